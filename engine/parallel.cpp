// How many threads the engine may use, and from how many lines a step is split.
#include "engine/parallel.h"

#include <cstdlib>
#include <cstring>

namespace velkar {

int EngineThreads = 0;
std::size_t ParallelMinLines = std::size_t{1} << 16;
bool ThreadStartFails = false;

bool UseTwoThreads(std::size_t lines) {
  if (lines < ParallelMinLines || lines < 2) return false;
  if (EngineThreads == 0) {
    const char* forced = std::getenv("VELKAR_THREADS");
    return forced == nullptr || std::strcmp(forced, "1") != 0;
  }
  return EngineThreads > 1;
}

}  // namespace velkar
