// Two pieces of work on the two cores: the caller's thread takes one, a second
// thread the other, and both are done when RunBoth returns. Where no thread can be
// started both run on the caller's thread, one after the other. The engine's
// callers see one thread: no box is shown and nothing is reported from here.
#pragma once

#include <cstddef>
#include <exception>
#include <system_error>
#include <thread>

namespace velkar {

// How many threads the engine may use: 0 chooses (2, or 1 when the environment
// variable VELKAR_THREADS is "1"), 1 keeps every step on the caller's thread.
extern int EngineThreads;
// A step is split over two threads only from this many lines on.
extern std::size_t ParallelMinLines;
// For the tests: while set, starting a thread fails as it does when the system
// has none to give (std::system_error).
extern bool ThreadStartFails;

// Whether a step of `lines` lines is worth a second thread.
bool UseTwoThreads(std::size_t lines);

template <class First, class Second>
void RunBoth(First first, Second second) {
  std::thread other;
  try {
    if (ThreadStartFails)
      throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    other = std::thread(second);
  } catch (const std::exception&) {
    first();
    second();
    return;
  }
  first();
  other.join();
}

}  // namespace velkar
