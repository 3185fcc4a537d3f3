// The memory budget of a run: the lowest room left by the address-space and data
// limits, the control group and the memory available, and the user's cap.
#include "platform/memory_budget.h"

#include <sched.h>
#include <sys/resource.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace velkar {

namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
// Address space every thread's stack reserves, and what the program, its
// libraries and the allocator's own bookkeeping may still map during a run.
constexpr std::uint64_t kStackReserve = 8 * kMiB;
constexpr std::uint64_t kMargin = 24 * kMiB;

std::uint64_t Room(std::uint64_t limit, std::uint64_t used, std::uint64_t margin) {
  return limit > used + margin ? limit - used - margin : 0;
}

// The soft limit of a resource, or 0 when there is none.
std::uint64_t SoftLimit(int resource) {
  rlimit limit{};
  if (::getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 0;
  return static_cast<std::uint64_t>(limit.rlim_cur);
}

// The value of "Key:   123 kB" in a /proc file, in bytes; 0 when missing.
std::uint64_t ProcKilobytes(const char* path, const char* key) {
  std::FILE* f = std::fopen(path, "re");
  if (f == nullptr) return 0;
  char line[256];
  std::uint64_t value = 0;
  const std::size_t keyLength = std::strlen(key);
  while (std::fgets(line, sizeof line, f) != nullptr) {
    if (std::strncmp(line, key, keyLength) == 0 && line[keyLength] == ':') {
      value = std::strtoull(line + keyLength + 1, nullptr, 10) * 1024;
      break;
    }
  }
  std::fclose(f);
  return value;
}

// The first number in a file ("max" and anything unreadable give 0).
std::uint64_t FileNumber(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "re");
  if (f == nullptr) return 0;
  char text[64] = {};
  const bool read = std::fgets(text, sizeof text, f) != nullptr;
  std::fclose(f);
  if (!read || !std::isdigit(static_cast<unsigned char>(text[0]))) return 0;
  return std::strtoull(text, nullptr, 10);
}

// The control group's memory limit and use: cgroup v2 first, then v1's memory
// controller, each at the group this process is in.
void ReadGroup(MemoryFacts* facts) {
  std::FILE* f = std::fopen("/proc/self/cgroup", "re");
  if (f == nullptr) return;
  char line[4096];
  std::string v2;
  std::string v1;
  while (std::fgets(line, sizeof line, f) != nullptr) {
    std::string entry(line);
    if (!entry.empty() && entry.back() == '\n') entry.pop_back();
    if (entry.rfind("0::", 0) == 0) v2 = entry.substr(3);
    const std::string::size_type colon = entry.find(':');
    const std::string::size_type second = entry.find(':', colon + 1);
    if (colon != std::string::npos && second != std::string::npos) {
      const std::string controllers = entry.substr(colon + 1, second - colon - 1);
      if (controllers == "memory" || controllers.find("memory,") != std::string::npos ||
          controllers.find(",memory") != std::string::npos)
        v1 = entry.substr(second + 1);
    }
  }
  std::fclose(f);
  // A group's own limit, or the nearest one above it.
  auto walk = [&](const std::string& root, std::string group, const char* limitName,
                  const char* usedName) {
    for (;;) {
      const std::uint64_t limit = FileNumber(root + group + "/" + limitName);
      if (limit != 0 && limit < (std::uint64_t{1} << 60)) {
        facts->groupLimit = limit;
        facts->groupUsed = FileNumber(root + group + "/" + usedName);
        return;
      }
      if (group.empty() || group == "/") return;
      const std::string::size_type slash = group.rfind('/');
      group = slash == std::string::npos || slash == 0 ? std::string() : group.substr(0, slash);
    }
  };
  if (!v2.empty()) walk("/sys/fs/cgroup", v2, "memory.max", "memory.current");
  if (facts->groupLimit == 0 && !v1.empty())
    walk("/sys/fs/cgroup/memory", v1, "memory.limit_in_bytes", "memory.usage_in_bytes");
}

}  // namespace

std::uint64_t ParseSize(const char* text) {
  if (text == nullptr || !std::isdigit(static_cast<unsigned char>(*text))) return 0;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text, &end, 10);
  std::uint64_t unit = 1;
  switch (std::toupper(static_cast<unsigned char>(*end))) {
    case 'K':
      unit = std::uint64_t{1} << 10;
      break;
    case 'M':
      unit = std::uint64_t{1} << 20;
      break;
    case 'G':
      unit = std::uint64_t{1} << 30;
      break;
    case 'T':
      unit = std::uint64_t{1} << 40;
      break;
    case '\0':
      return value;
    default:
      return 0;
  }
  ++end;
  if (std::toupper(static_cast<unsigned char>(*end)) == 'I') ++end;
  if (std::toupper(static_cast<unsigned char>(*end)) == 'B') ++end;
  if (*end != '\0' || value > UINT64_MAX / unit) return 0;
  return value * unit;
}

std::uint64_t BudgetFrom(const MemoryFacts& facts) {
  std::uint64_t budget = UINT64_MAX;
  const std::uint64_t stacks = kStackReserve * std::max(facts.threads, 1u);
  if (facts.addressLimit != 0)
    budget = std::min(budget, Room(facts.addressLimit, facts.addressUsed, kMargin + stacks));
  if (facts.dataLimit != 0)
    budget = std::min(budget, Room(facts.dataLimit, facts.dataUsed, kMargin));
  if (facts.groupLimit != 0)
    budget = std::min(budget, Room(facts.groupLimit, facts.groupUsed, kMargin));
  // What is available now is shared with everything else running: a run takes
  // three quarters of it.
  if (facts.available != 0) budget = std::min(budget, facts.available / 4 * 3);
  if (facts.cap != 0) budget = std::min(budget, facts.cap);
  if (budget == UINT64_MAX) return kDefaultBudget;
  return std::max(budget, kMinimumBudget);
}

MemoryFacts ReadMemoryFacts() {
  MemoryFacts facts;
  facts.addressLimit = SoftLimit(RLIMIT_AS);
  facts.dataLimit = SoftLimit(RLIMIT_DATA);
  if (facts.addressLimit != 0 || facts.dataLimit != 0) {
    facts.addressUsed = ProcKilobytes("/proc/self/status", "VmSize");
    facts.dataUsed = ProcKilobytes("/proc/self/status", "VmData");
  }
  ReadGroup(&facts);
  facts.available = ProcKilobytes("/proc/meminfo", "MemAvailable");
  facts.cap = ParseSize(std::getenv("VELKAR_MEMORY"));
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) == 0) {
    facts.threads = static_cast<unsigned>(std::min(CPU_COUNT(&set), 16));
  }
  return facts;
}

}  // namespace velkar
