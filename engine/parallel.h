// Work split over the engine's threads. ThreadCount() threads do the work while
// the run's own thread waits for them and keeps the progress reports going (so a
// window stays painted during a long step). Where a thread cannot be started, its
// share runs on the run's thread. Every platform call other than the progress
// report stays on the run's thread (only the write calls of a WriteBehind,
// run_output.h, are made from its own): no box is shown and nothing is reported
// from a worker.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/progress.h"

namespace velkar {

// How many threads the engine may use: 0 chooses (the environment variable
// VELKAR_THREADS when it holds a count, else the processors this process may run
// on, within its control group's CPU quota); any other value is that count.
extern int EngineThreads;
// A step is split over threads only from this many lines on.
extern std::size_t ParallelMinLines;
// For the tests: while set, starting a thread fails as it does when the system
// has none to give (std::system_error).
extern bool ThreadStartFails;

// The number of threads a step may use: EngineThreads, or the count chosen from
// the environment and the machine (at least 1, at most 256).
int ThreadCount();
// How many parts a step of `lines` lines is split into: 1 below
// ParallelMinLines, else ThreadCount(), never more than `lines`.
std::size_t PartsFor(std::size_t lines);
// Whether a step of `lines` lines is split in two or more.
inline bool UseTwoThreads(std::size_t lines) { return PartsFor(lines) > 1; }

// The processors the affinity mask gives, within the control group's CPU quota
// (cgroup v2 cpu.max, v1 cpu.cfs_quota_us / cpu.cfs_period_us) where one is set.
int MachineThreads();

namespace parallel_detail {

// Counts the parts still running; the waiting thread wakes at least every tick.
class Latch {
 public:
  explicit Latch(std::size_t count) : count_(count) {}
  void CountDown() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (--count_ == 0) done_.notify_all();
  }
  // Waits until every part has ended, calling ProgressTick in between.
  void WaitTicking();

 private:
  std::mutex mutex_;
  std::condition_variable done_;
  std::size_t count_;
};

}  // namespace parallel_detail

// Runs part(i) for every i in [0, parts) and returns when all have ended. Each part
// runs on a thread of its own while this thread waits and ticks the progress; a
// part whose thread cannot be started runs here. With one part (or none) the work
// still goes to a thread of its own when `ticking`, so that the run's thread can
// keep the reports going; else it runs here.
template <class Part>
void RunParts(std::size_t parts, Part part, bool ticking = true) {
  if (parts == 0) return;
  if (parts == 1 && !ticking) {
    part(std::size_t{0});
    return;
  }
  parallel_detail::Latch latch(parts);
  std::vector<std::thread> threads;
  std::size_t started = 0;
  try {
    threads.reserve(parts);
    for (; started < parts; ++started) {
      if (ThreadStartFails)
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
      threads.emplace_back([&latch, &part, started] {
        part(started);
        latch.CountDown();
      });
    }
  } catch (const std::exception&) {
    // The parts no thread took run here, one after the other.
    for (std::size_t i = started; i < parts; ++i) {
      part(i);
      latch.CountDown();
      ProgressTick();
    }
  }
  latch.WaitTicking();
  for (std::thread& t : threads) t.join();
}

// Two pieces of work at once: RunParts with two parts.
template <class First, class Second>
void RunBoth(First first, Second second) {
  RunParts(2, [&](std::size_t i) {
    if (i == 0) {
      first();
    } else {
      second();
    }
  });
}

}  // namespace velkar
