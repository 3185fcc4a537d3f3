// The sort engine's face: one run from input to delivery, and the state the
// window reads or sets around it. Plain C++; it calls only the platform seam.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace velkar {

// SortMode bits.
enum : std::int32_t {
  kSortDescending = 1,
  kSortIgnoreCase = 2,
  kSortUnique = 4,
};

// KeyMode values: a byte column or a comma field, plus kKeyNumber for a number key.
enum : std::int32_t {
  kKeyColumn = 1,
  kKeyField = 2,
  kKeyNumber = 4,
};

// Result of the last run: 0 success, -1 failure; 0 at program start.
extern std::int32_t RunResult;
// Set by the command line ("-a+"); while set, a successful run shows no "Finish!".
extern unsigned char QuietFinish;

// One complete sort run. Names are NUL-terminated byte strings; nullptr means the
// clipboard. Every failure is shown in one box; the outcome is left in RunResult.
void RunSort(WindowHandle ownerWindow, std::int32_t sortMode, const char* inputName,
             const char* outputName, std::int32_t sortPos, std::int32_t keyMode);

}  // namespace velkar
