// The console's self-erasing progress line. Drawing is "\r", the text, then erase
// to the end of the line; erasing is "\r" and erase to the end of the line, which
// leaves the cursor at the start of the empty line where the run found it.
#include "platform/progress_line.h"

#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <new>

namespace velkar {

namespace {

constexpr char kEraseLine[] = "\r\x1b[K";

// The line that took the last report, for EndProgressLine.
ProgressLine* activeLine = nullptr;

std::int64_t MonotonicMs() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

const char* PhaseName(RunPhase phase) {
  switch (phase) {
    case RunPhase::kRead:
      return "reading";
    case RunPhase::kSort:
      return "sorting";
    case RunPhase::kMerge:
      return "merging";
    case RunPhase::kWrite:
      return "writing";
  }
  return "working";
}

// Bytes in the largest binary unit that keeps a whole number in front: "512 B",
// "1.5 MiB".
std::string Bytes(std::uint64_t bytes) {
  static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  char text[32];
  if (bytes < 1024) {
    std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
    return text;
  }
  double value = static_cast<double>(bytes) / 1024;
  int unit = 0;
  while (value >= 1024 && unit < 5) {
    value /= 1024;
    ++unit;
  }
  std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
  return text;
}

std::string Amount(RunPhase phase, std::uint64_t amount) {
  // The sort counts lines, the other phases bytes.
  if (phase == RunPhase::kSort) return std::to_string(amount);
  return Bytes(amount);
}

// "0:07", "12:30", "1:02:03".
std::string Duration(std::int64_t seconds) {
  char text[32];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
  }
  return text;
}

// The terminal's width in columns, 80 when it does not say.
std::size_t Columns(int fd) {
  winsize size{};
  if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

}  // namespace

ProgressLine::ProgressLine(int fd) : ProgressLine(fd, ::isatty(fd) == 1, MonotonicMs) {}

// The line is made where its run starts: the run's clock starts with it.
ProgressLine::ProgressLine(int fd, bool terminal, Clock clock)
    : fd_(fd), terminal_(terminal), clock_(clock), running_(true), runStart_(clock()) {
  phaseStart_ = runStart_;
}

ProgressLine::~ProgressLine() {
  Erase();
  if (activeLine == this) activeLine = nullptr;
}

std::string ProgressLine::Text(const RunProgress& progress, std::int64_t elapsedMs,
                               std::uint64_t doneAtStart) {
  std::string text = "velkar: ";
  text += PhaseName(progress.phase);
  if (progress.total == 0) {
    text += "  " + Amount(progress.phase, progress.done);
    if (progress.phase == RunPhase::kSort) text += " lines";
    return text;
  }
  const auto percent = static_cast<unsigned>(static_cast<long double>(progress.done) * 100 /
                                             static_cast<long double>(progress.total));
  char head[16];
  std::snprintf(head, sizeof head, " %3u%%  ", percent);
  text += head;
  text += Amount(progress.phase, progress.done) + " of " + Amount(progress.phase, progress.total);
  if (progress.phase == RunPhase::kSort) text += " lines";
  // The time left at the pace the phase has kept so far, once it has a pace.
  if (elapsedMs >= 500 && progress.done > doneAtStart && progress.done < progress.total) {
    const long double pace =
        static_cast<long double>(elapsedMs) / static_cast<long double>(progress.done - doneAtStart);
    const long double leftMs = pace * static_cast<long double>(progress.total - progress.done);
    const auto seconds = static_cast<std::int64_t>(leftMs / 1000 + 0.999L);
    text += ", " + Duration(seconds) + " left";
  }
  return text;
}

void ProgressLine::Report(const RunProgress& progress) {
  if (!terminal_ || silenced_) return;
  activeLine = this;
  const std::int64_t now = clock_();
  if (!running_) {
    running_ = true;
    runStart_ = now;
    phaseStart_ = now;
    phase_ = progress.phase;
    phaseDoneAtStart_ = progress.done;
  } else if (progress.phase != phase_ || progress.done < lastDone_) {
    // A new phase, or the next piece of the same one.
    phase_ = progress.phase;
    phaseStart_ = now;
    phaseDoneAtStart_ = progress.done;
  }
  lastDone_ = progress.done;
  if (now - runStart_ < kDelayMs) return;
  if (drawn_ && now - lastDraw_ < kRedrawMs) return;
  // A run short of memory goes on without this drawing.
  try {
    std::string text = Text(progress, now - phaseStart_, phaseDoneAtStart_);
    // One row only: a line that wrapped could not be taken back with "\r".
    const std::size_t columns = Columns(fd_);
    if (text.size() >= columns) text.resize(columns > 1 ? columns - 1 : 0);
    const std::string bytes = "\r" + text + "\x1b[K";
    WriteAll(fd_, bytes.data(), bytes.size());
  } catch (const std::bad_alloc&) {
    return;
  }
  drawn_ = true;
  lastDraw_ = now;
}

void ProgressLine::Erase() {
  if (!drawn_) return;
  WriteAll(fd_, kEraseLine, sizeof kEraseLine - 1);
  drawn_ = false;
}

void ProgressLine::EndRun() {
  Erase();
  running_ = false;
  silenced_ = false;
}

void ProgressLine::Silence() {
  Erase();
  silenced_ = true;
}

void EndProgressLine() {
  if (activeLine != nullptr) activeLine->EndRun();
}

}  // namespace velkar
