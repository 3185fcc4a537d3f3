// The console's progress line: when standard error is a terminal and a run has
// lasted about a second, one line there tells the phase, the percentage, the
// amount done and the time the phase still needs, redrawn in place at most ten
// times a second. It is erased before any message and at the end of the run, so a
// run that succeeds leaves the terminal as it found it. Where the stream is no
// terminal, nothing is ever written.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace velkar {

class ProgressLine {
 public:
  // Milliseconds of a monotonic clock.
  using Clock = std::int64_t (*)();

  // Draws on `fd` only when it is a terminal. The first run's clock starts here.
  explicit ProgressLine(int fd);
  // For the tests: whether `fd` counts as a terminal, and the clock to use.
  ProgressLine(int fd, bool terminal, Clock clock);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Takes a report of the run; draws it when the run is old enough and the last
  // drawing is not too recent.
  void Report(const RunProgress& progress);
  // Removes the line from the terminal, if it is drawn.
  void Erase();
  // Erases the line; the next report starts the clock of a new run.
  void EndRun();
  // Erases the line and draws no more in this run: the terminal shows the run's
  // own text (the clipboard's input typed there, or its output).
  void Silence();

  // The text of the line for a report, without control bytes: `elapsedMs` is how
  // long the phase has run and `doneAtStart` what was done when it began.
  static std::string Text(const RunProgress& progress, std::int64_t elapsedMs,
                          std::uint64_t doneAtStart);

  // How long a run goes before the line appears, and the shortest time between two
  // drawings, in milliseconds.
  static constexpr std::int64_t kDelayMs = 1000;
  static constexpr std::int64_t kRedrawMs = 100;

 private:
  int fd_;
  bool terminal_;
  Clock clock_;
  bool running_;  // a run's clock is going
  std::int64_t runStart_;
  bool drawn_ = false;     // the line is on the terminal
  bool silenced_ = false;  // no more drawing in this run
  std::int64_t lastDraw_ = 0;
  RunPhase phase_ = RunPhase::kRead;
  std::int64_t phaseStart_ = 0;
  std::uint64_t phaseDoneAtStart_ = 0;
  std::uint64_t lastDone_ = 0;
};

// Ends the run of the line that took the last report: erases it if it is drawn,
// so that nothing of it is left whatever comes after. Called where a console run
// ends.
void EndProgressLine();

}  // namespace velkar
