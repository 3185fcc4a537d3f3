// The memory a run may use, worked out from the limits the system sets and what
// it has available; the rule apart from where its figures come from, so that it
// can be tested.
#pragma once

#include <cstdint>

namespace velkar {

// What the system says of memory; 0 for a figure it does not give.
struct MemoryFacts {
  std::uint64_t addressLimit = 0;  // RLIMIT_AS
  std::uint64_t addressUsed = 0;   // the address space in use now (VmSize)
  std::uint64_t dataLimit = 0;     // RLIMIT_DATA
  std::uint64_t dataUsed = 0;      // the data segment and mappings in use (VmData)
  std::uint64_t groupLimit = 0;    // the control group's memory.max / limit_in_bytes
  std::uint64_t groupUsed = 0;     // its memory.current / usage_in_bytes
  std::uint64_t available = 0;     // MemAvailable
  std::uint64_t cap = 0;           // VELKAR_MEMORY
  unsigned threads = 1;            // threads a run may start (their stacks take space)
};

// The lowest room the figures leave, each less a margin, never less than
// kMinimumBudget; with no figure at all, kDefaultBudget.
std::uint64_t BudgetFrom(const MemoryFacts& facts);
// The figures of this process and machine.
MemoryFacts ReadMemoryFacts();
// A size as the user writes it: a decimal number of bytes with an optional K, M, G
// or T (powers of 1024, either case, an optional "iB" or "B" after it). 0 for a
// text that is none.
std::uint64_t ParseSize(const char* text);

inline constexpr std::uint64_t kMinimumBudget = std::uint64_t{1} << 20;
inline constexpr std::uint64_t kDefaultBudget = std::uint64_t{1} << 30;

}  // namespace velkar
