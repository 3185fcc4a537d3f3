// How many threads the engine uses, and the wait of the run's thread for them.
#include "engine/parallel.h"

#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace velkar {

int EngineThreads = 0;
std::size_t ParallelMinLines = std::size_t{1} << 16;
bool ThreadStartFails = false;

namespace {

constexpr int kMaxThreads = 256;

// The CPU quota of the control group in processors (rounded up), or 0 when none.
int QuotaThreads() {
  long long quota = 0;
  long long period = 0;
  if (std::FILE* f = std::fopen("/sys/fs/cgroup/cpu.max", "r")) {
    char first[32] = {};
    if (std::fscanf(f, "%31s %lld", first, &period) == 2 && std::strcmp(first, "max") != 0)
      quota = std::atoll(first);
    std::fclose(f);
  } else if (std::FILE* q = std::fopen("/sys/fs/cgroup/cpu/cpu.cfs_quota_us", "r")) {
    if (std::fscanf(q, "%lld", &quota) != 1) quota = 0;
    std::fclose(q);
    if (std::FILE* p = std::fopen("/sys/fs/cgroup/cpu/cpu.cfs_period_us", "r")) {
      if (std::fscanf(p, "%lld", &period) != 1) period = 0;
      std::fclose(p);
    }
  }
  if (quota <= 0 || period <= 0) return 0;
  return static_cast<int>(std::min<long long>((quota + period - 1) / period, kMaxThreads));
}

// A count from VELKAR_THREADS (1 .. kMaxThreads), or 0 when it holds none.
int ForcedThreads() {
  const char* forced = std::getenv("VELKAR_THREADS");
  if (forced == nullptr) return 0;
  char* end = nullptr;
  const long value = std::strtol(forced, &end, 10);
  if (end == forced || *end != '\0' || value < 1) return 0;
  return static_cast<int>(std::min<long>(value, kMaxThreads));
}

}  // namespace

int MachineThreads() {
  int count = 0;
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) == 0) count = CPU_COUNT(&set);
  if (count <= 0) count = static_cast<int>(std::thread::hardware_concurrency());
  if (const int quota = QuotaThreads(); quota > 0 && quota < count) count = quota;
  return std::clamp(count, 1, kMaxThreads);
}

int ThreadCount() {
  if (EngineThreads > 0) return std::min(EngineThreads, kMaxThreads);
  static const int chosen = [] {
    const int forced = ForcedThreads();
    return forced > 0 ? forced : MachineThreads();
  }();
  return chosen;
}

std::size_t PartsFor(std::size_t lines) {
  if (lines < ParallelMinLines || lines < 2) return 1;
  return std::min(static_cast<std::size_t>(ThreadCount()), lines);
}

void parallel_detail::Latch::WaitTicking() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (count_ != 0) {
    done_.wait_for(lock, std::chrono::milliseconds(50));
    if (count_ == 0) break;
    lock.unlock();
    ProgressTick();
    lock.lock();
  }
}

}  // namespace velkar
