// The run's progress reports: one phase at a time, its amount done kept in an
// atomic counter that worker threads add to, reported from the run's thread no
// more often than every ProgressIntervalMs.
#include "engine/progress.h"

#include <time.h>

namespace velkar {

std::int64_t ProgressIntervalMs = 50;

namespace {

std::atomic<std::uint64_t> done{0};
RunProgress current;
std::int64_t lastReport = 0;
bool stopped = true;

std::int64_t NowMs() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void Report() {
  RunProgress progress = current;
  progress.done = done.load(std::memory_order_relaxed);
  // The amount done never goes back and never passes a known total.
  if (progress.done < current.done) progress.done = current.done;
  if (progress.total != 0 && progress.done > progress.total) progress.done = progress.total;
  current.done = progress.done;
  CurrentPlatform()->ReportProgress(progress);
}

}  // namespace

void ProgressStart() {
  stopped = false;
  current = RunProgress{};
  done.store(0);
  lastReport = NowMs();
}

void ProgressBegin(RunPhase phase, std::uint64_t total) {
  current = RunProgress{phase, 0, total};
  done.store(0, std::memory_order_relaxed);
  ProgressTick();
}

void ProgressTotal(std::uint64_t total) { current.total = total; }

void ProgressAdd(std::uint64_t amount) { done.fetch_add(amount, std::memory_order_relaxed); }

void ProgressTick() {
  if (stopped) return;
  const std::int64_t now = NowMs();
  if (now - lastReport < ProgressIntervalMs) return;
  lastReport = now;
  Report();
}

void ProgressComplete() {
  if (stopped) return;
  if (current.total != 0) done.store(current.total, std::memory_order_relaxed);
  lastReport = NowMs();
  Report();
}

void ProgressStop() { stopped = true; }

}  // namespace velkar
