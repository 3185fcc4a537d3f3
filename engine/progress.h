// How far the current run is, handed to the platform (ReportProgress) at a bounded
// rate. Worker threads add to the amount done; only the run's own thread reports.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/platform.h"

namespace velkar {

// The shortest time between two reports, in milliseconds (50; the tests may set 0).
extern std::int64_t ProgressIntervalMs;

// Starts a phase of `total` units (0: not known yet) and reports it when due.
void ProgressBegin(RunPhase phase, std::uint64_t total);
// Sets the total once it is known.
void ProgressTotal(std::uint64_t total);
// Adds to the amount done; any thread may call it.
void ProgressAdd(std::uint64_t amount);
// Reports on the run's thread when the last report is old enough. Cheap enough to
// be called often (it reads a coarse clock).
void ProgressTick();
// Reports the current phase as done (done = total) at once, ignoring the rate.
void ProgressComplete();
// Stops all reports until the next run (after a message box of the run).
void ProgressStop();
// Starts a run's reports; the first comes ProgressIntervalMs later at the earliest.
void ProgressStart();

}  // namespace velkar
