// The library evaluation: the engine's radix sort (SortByKeys) against the sorts of
// three Debian packages over the same work arrays, in the same order, so that every
// result must be the very table SortByKeys gives:
//   ips4o     IPS4o, parallel in-place samplesort (ips4o::parallel::sort), and its
//             one-thread form (ips4o::sort);
//   vqsort    Highway's vectorised quicksort (one thread): number keys as 64-bit
//             words (value, slot), text keys as 64-bit key + 64-bit value pairs
//             (first 8 key bytes, entry index), then a fix-up pass that sorts the
//             groups whose 8 bytes agree with the whole comparison (counted);
//   tbb       oneTBB's parallel_sort.
// The shapes are the engine's own: a whole-line text key ("words": 16-byte entries
// of the next 8 key bytes and a key pointer, equal keys by pointer) and a number
// field ("csv": the number in field 3 and the slot, one 64-bit word). For the
// libraries the keys are located and the table rewritten on the engine's threads
// (RunParts), as SortByKeys does; only the sort differs. Each repetition runs
// every sorter once, in turn, on a fresh copy of the table; the medians are shown.
//
//   lib_sort_bench words|csv FILE [REPETITIONS]
// Threads: VELKAR_THREADS, else the processors this process may use.
#include <hwy/contrib/sort/vqsort.h>
#include <oneapi/tbb/global_control.h>
#include <oneapi/tbb/parallel_sort.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <ips4o.hpp>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_platform.h"
#include "engine/engine_internal.h"
#include "engine/parallel.h"
#include "engine/radix_passes.h"
#include "engine/radix_sort.h"
#include "platform/platform.h"

namespace velkar {
namespace {

using Clock = std::chrono::steady_clock;
using radix::TextEntry;

double Seconds(Clock::time_point from) {
  return std::chrono::duration<double>(Clock::now() - from).count();
}

// Runs part(begin, end) over [0, n) on the engine's threads.
template <class Part>
void InParts(std::size_t n, Part part) {
  const std::size_t parts = PartsFor(n);
  RunParts(
      parts, [&](std::size_t i) { part(n * i / parts, n * (i + 1) / parts); }, false);
}

// ---- words: whole-line text keys ----

bool TextBefore(const TextEntry& x, const TextEntry& y) {
  return radix::KeyBefore<false, false>(x, y, false);
}

std::vector<TextEntry> LocateText(char** lines, std::size_t n) {
  std::vector<TextEntry> work(n);
  InParts(n, [&](std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i) {
      const auto* key = reinterpret_cast<const radix::Byte*>(lines[i]);
      work[i] = TextEntry{radix::LoadPrefix<false, false>(key, 0), key};
    }
  });
  return work;
}

void RewriteText(const std::vector<TextEntry>& work, char** lines) {
  InParts(work.size(), [&](std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i) {
      lines[i] = const_cast<char*>(reinterpret_cast<const char*>(work[i].key));
    }
  });
}

// vqsort orders the pairs by their 8 key bytes only; groups that agree on them and
// whose keys go on are then sorted with the whole comparison. Returns the entries
// those groups held.
std::size_t VqsortText(char** lines, std::size_t n) {
  std::vector<TextEntry> work = LocateText(lines, n);
  std::vector<hwy::K64V64> pairs(n);
  InParts(n, [&](std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i) {
      pairs[i].key = work[i].prefix;
      pairs[i].value = i;
    }
  });
  const hwy::Sorter vqsort;
  vqsort(pairs.data(), n, hwy::SortAscending());
  std::vector<TextEntry> sorted(n);
  InParts(n, [&](std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i) sorted[i] = work[pairs[i].value];
  });
  std::size_t fixed = 0;
  for (std::size_t start = 0; start < n;) {
    std::size_t end = start + 1;
    while (end < n && sorted[end].prefix == sorted[start].prefix) ++end;
    if (end - start > 1) {
      fixed += end - start;
      std::sort(sorted.begin() + static_cast<std::ptrdiff_t>(start),
                sorted.begin() + static_cast<std::ptrdiff_t>(end), TextBefore);
    }
    start = end;
  }
  RewriteText(sorted, lines);
  return fixed;
}

// ---- csv: the number in field 3 ----

// (value made unsigned) << 32 | slot: the stable order as one word.
std::vector<std::uint64_t> LocateNumbers(char** lines, std::size_t n) {
  std::vector<std::uint64_t> work(n);
  InParts(n, [&](std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i) {
      const auto value = static_cast<std::uint32_t>(FieldKeyNumber(lines[i])) ^ 0x80000000u;
      work[i] = std::uint64_t{value} << 32 | i;
    }
  });
  return work;
}

void RewriteNumbers(const std::vector<std::uint64_t>& work, char* const* from, char** lines) {
  InParts(work.size(), [&](std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i) lines[i] = from[work[i] & 0xFFFFFFFFu];
  });
}

// ---- the run ----

struct Sorter {
  Sorter(const char* sorterName, std::function<std::size_t(char**, std::size_t)> sorterSort)
      : name(sorterName), sort(std::move(sorterSort)) {}
  const char* name;
  std::function<std::size_t(char** lines, std::size_t n)> sort;  // returns the fix-ups
  std::vector<double> seconds;
  std::size_t fixed = 0;
};

int Main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: lib_sort_bench words|csv FILE [REPETITIONS]\n");
    return 2;
  }
  const bool words = std::strcmp(argv[1], "words") == 0;
  const int repetitions = argc > 3 ? std::atoi(argv[3]) : 5;
  BenchPlatform platform("lib_sort_bench");
  SetCurrentPlatform(&platform);

  std::ifstream in(argv[2], std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (text.empty()) {
    std::fprintf(stderr, "lib_sort_bench: no text in %s\n", argv[2]);
    return 1;
  }
  const std::int64_t count = CountLines(text.c_str());
  if (count < 2 || AllocLineTable(count) != 0) return 1;
  SplitLines(text.data(), count);
  const auto n = static_cast<std::size_t>(LineCount);
  const std::vector<char*> table(Base, Base + n);
  const int threads = ThreadCount();
  SortPos = words ? 0 : 2;  // the whole line, or field 3
  const ComparatorRow row = words ? kRowLineText : kRowFieldNumber;
  oneapi::tbb::global_control control(oneapi::tbb::global_control::max_allowed_parallelism,
                                      static_cast<std::size_t>(threads));

  std::vector<Sorter> sorters;
  sorters.emplace_back("SortByKeys (radix, engine)", [&](char** lines, std::size_t size) {
    SortByKeys(lines, static_cast<std::int64_t>(size), 0, row);
    return std::size_t{0};
  });
  if (words) {
    sorters.emplace_back("ips4o::parallel::sort", [&](char** lines, std::size_t size) {
      std::vector<TextEntry> work = LocateText(lines, size);
      ips4o::parallel::sort(work.begin(), work.end(), TextBefore, threads);
      RewriteText(work, lines);
      return std::size_t{0};
    });
    sorters.emplace_back("ips4o::sort (1 thread)", [&](char** lines, std::size_t size) {
      std::vector<TextEntry> work = LocateText(lines, size);
      ips4o::sort(work.begin(), work.end(), TextBefore);
      RewriteText(work, lines);
      return std::size_t{0};
    });
    sorters.emplace_back("hwy::VQSort K64V64 + fix-up", VqsortText);
    sorters.emplace_back("tbb::parallel_sort", [&](char** lines, std::size_t size) {
      std::vector<TextEntry> work = LocateText(lines, size);
      oneapi::tbb::parallel_sort(work.begin(), work.end(), TextBefore);
      RewriteText(work, lines);
      return std::size_t{0};
    });
  } else {
    sorters.emplace_back("ips4o::parallel::sort", [&](char** lines, std::size_t size) {
      std::vector<std::uint64_t> work = LocateNumbers(lines, size);
      ips4o::parallel::sort(work.begin(), work.end(), std::less<>(), threads);
      RewriteNumbers(work, table.data(), lines);
      return std::size_t{0};
    });
    sorters.emplace_back("ips4o::sort (1 thread)", [&](char** lines, std::size_t size) {
      std::vector<std::uint64_t> work = LocateNumbers(lines, size);
      ips4o::sort(work.begin(), work.end());
      RewriteNumbers(work, table.data(), lines);
      return std::size_t{0};
    });
    sorters.emplace_back("hwy::VQSort u64", [&](char** lines, std::size_t size) {
      std::vector<std::uint64_t> work = LocateNumbers(lines, size);
      const hwy::Sorter vqsort;
      vqsort(work.data(), size, hwy::SortAscending());
      RewriteNumbers(work, table.data(), lines);
      return std::size_t{0};
    });
    sorters.emplace_back("tbb::parallel_sort", [&](char** lines, std::size_t size) {
      std::vector<std::uint64_t> work = LocateNumbers(lines, size);
      oneapi::tbb::parallel_sort(work.begin(), work.end());
      RewriteNumbers(work, table.data(), lines);
      return std::size_t{0};
    });
  }

  std::vector<char*> reference;
  std::vector<char*> lines;
  bool same = true;
  for (int r = 0; r < repetitions; ++r) {
    // Alternate the order of the sorters between repetitions.
    for (std::size_t k = 0; k < sorters.size(); ++k) {
      Sorter& sorter = sorters[r % 2 == 0 ? k : sorters.size() - 1 - k];
      lines = table;
      const Clock::time_point start = Clock::now();
      sorter.fixed = sorter.sort(lines.data(), n);
      sorter.seconds.push_back(Seconds(start));
      if (&sorter == &sorters[0]) {
        if (reference.empty()) reference = lines;
      } else if (!reference.empty() && lines != reference) {
        std::fprintf(stderr, "lib_sort_bench: %s gives another table\n", sorter.name);
        same = false;
      }
    }
  }
  std::printf("%s: %zu lines, %d threads, %d repetitions; median seconds\n", argv[2], n, threads,
              repetitions);
  for (Sorter& sorter : sorters) {
    std::sort(sorter.seconds.begin(), sorter.seconds.end());
    std::printf("  %-30s %8.4f  (min %.4f)", sorter.name, sorter.seconds[sorter.seconds.size() / 2],
                sorter.seconds.front());
    if (sorter.fixed != 0) std::printf("  fix-up of %zu entries", sorter.fixed);
    std::printf("\n");
  }
  FreeLineTable();
  return same ? 0 : 1;
}

}  // namespace
}  // namespace velkar

int main(int argc, char** argv) { return velkar::Main(argc, argv); }
