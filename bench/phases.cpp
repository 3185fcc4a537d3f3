// Where one console run's wall time goes: the run of velkar's own words (file to
// file is the case it is made for), on the console platform, with every progress
// report taken (interval 0) so that each phase's start is seen, and the time spent
// inside the platform's file calls added up per phase. Prints one row per phase:
// its wall seconds, the seconds in reads of the input, writes, reads of the
// temporary runs and the final flush, and the rest (the engine's own work): the
// wall time less the calls made on the run's own thread. Writes made behind, on a
// thread of their own, overlap the rest.
// Phases that come back (a run beyond memory) are summed. The thread count comes
// from the process's processors (run it under taskset) or VELKAR_THREADS.
//   phases -a+ -f INPUT -o OUTPUT [velkar's other words]
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cli/console_run.h"
#include "engine/progress.h"
#include "platform/platform_console.h"
#include "settings/run_settings.h"

namespace velkar {
namespace {

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

enum Call { kInputRead, kWrite, kRunRead, kFlush, kCalls };

struct PhaseTimes {
  double wall = 0;
  double calls[kCalls] = {};
  double onRunThread = 0;  // of the calls, those made on the run's thread
};

class TimedPlatform : public ConsolePlatform {
 public:
  TimedPlatform() : ConsolePlatform(0, 1, 2) {}

  void ReportProgress(const RunProgress& progress) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    const double now = Now();
    Close(now);
    current_ = static_cast<int>(progress.phase);
    since_ = now;
  }
  void Close(double now) {
    if (current_ >= 0) phases_[current_].wall += now - since_;
    since_ = now;
  }
  std::uint64_t ReadFile(PlatformFile* file, void* buffer, std::uint64_t size) override {
    return Timed(kInputRead, [&] { return ConsolePlatform::ReadFile(file, buffer, size); });
  }
  std::uint64_t WriteFile(PlatformFile* file, const void* data, std::uint64_t size) override {
    return Timed(kWrite, [&] { return ConsolePlatform::WriteFile(file, data, size); });
  }
  std::uint64_t ReadFileAt(PlatformFile* file, void* buffer, std::uint64_t size,
                           std::uint64_t offset) override {
    return Timed(kRunRead, [&] { return ConsolePlatform::ReadFileAt(file, buffer, size, offset); });
  }
  int FlushFile(PlatformFile* file) override {
    return Timed(kFlush, [&] { return ConsolePlatform::FlushFile(file); });
  }

  PhaseTimes phases_[4];

 private:
  template <class F>
  auto Timed(Call call, F f) -> decltype(f()) {
    const double start = Now();
    auto result = f();
    const double took = Now() - start;
    const std::lock_guard<std::mutex> lock(mutex_);
    if (current_ >= 0) {
      phases_[current_].calls[call] += took;
      if (std::this_thread::get_id() == runThread_) phases_[current_].onRunThread += took;
    }
    return result;
  }

  std::mutex mutex_;
  const std::thread::id runThread_ = std::this_thread::get_id();
  int current_ = -1;
  double since_ = 0;
};

}  // namespace
}  // namespace velkar

int main(int argc, char* argv[]) {
  using namespace velkar;
  const std::vector<std::string> words(argv, argv + argc);
  const RunSettings settings = SettingsFromWords(words);
  ProgressIntervalMs = 0;
  TimedPlatform platform;
  SetCurrentPlatform(&platform);
  const double start = Now();
  const int status = RunConsole(settings);
  const double end = Now();
  platform.Close(end);
  SetCurrentPlatform(nullptr);
  const char* names[] = {"read", "sort", "merge", "write"};
  std::printf("| phase | wall s | input reads | writes | run reads | flush | rest |\n");
  std::printf("|---|---|---|---|---|---|---|\n");
  for (int p = 0; p < 4; ++p) {
    const PhaseTimes& t = platform.phases_[p];
    if (t.wall == 0) continue;
    std::printf("| %s | %.3f |", names[p], t.wall);
    for (double c : t.calls) std::printf(" %.3f |", c);
    std::printf(" %.3f |\n", t.wall - t.onRunThread);
  }
  std::printf("| whole run | %.3f | | | | | |\n", end - start);
  return status;
}
