// Micro-benchmark of SortLines, one case per comparator row and order kind, on
// 100k generated lines held in memory; beside it, the in-place sort with the row's
// routine, which SortLines falls back to when it has no room for its work array.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_platform.h"
#include "engine/bounded_sort.h"
#include "engine/engine_internal.h"
#include "platform/platform.h"

namespace velkar {
namespace {

// Lines that carry every row's key: a signed number of fixed width (whole-line
// number, and a column number from offset 1), words (column text from offset 12),
// a number field (field 2) and a code; e.g. "-0001234567,Lorem ipsum,-42,XK3".
struct Corpus {
  std::string text;
  std::vector<char*> lines;
};

Corpus& Lines() {
  static Corpus corpus = [] {
    Corpus c;
    std::mt19937 random(20261208);
    const char* words[] = {"alpha", "Bravo", "charlie", "DELTA", "echo", "foxtrot", "Golf",
                           "hotel", "india", "Juliet",  "kilo",  "lima", "MIKE",    "november"};
    std::vector<std::size_t> starts;
    for (int i = 0; i < 100000; ++i) {
      char number[16];
      std::snprintf(number, sizeof number, "%+011d",
                    static_cast<int>(random() % 2000000000u) - 1000000000);
      std::string line = number;
      line += ',';
      for (int w = 0, count = 2 + static_cast<int>(random() % 5); w < count; ++w) {
        line += words[random() % 14];
        line += ' ';
      }
      line += ',' + std::to_string(static_cast<int>(random()) - 0x40000000) + ",XK" +
              std::to_string(random() % 100);
      starts.push_back(c.text.size());
      c.text += line;
      c.text += '\0';
    }
    for (std::size_t s : starts) c.lines.push_back(c.text.data() + s);
    return c;
  }();
  return corpus;
}

// Arguments: keyMode, sortPos, order. The table is copied afresh inside the timed
// loop: a copy of 100k pointers costs well under a percent of a sort.
void BM_SortLines(benchmark::State& state) {
  BenchPlatform platform("sort_bench");
  SetCurrentPlatform(&platform);
  const auto keyMode = static_cast<std::int32_t>(state.range(0));
  const auto sortPos = static_cast<std::int32_t>(state.range(1));
  const auto order = static_cast<std::int32_t>(state.range(2));
  std::vector<char*>& lines = Lines().lines;
  std::vector<char*> table(lines.size());
  for (auto _ : state) {
    std::memcpy(table.data(), lines.data(), lines.size() * sizeof(char*));
    SortLines(table.data(), static_cast<std::int64_t>(table.size()), order, sortPos, keyMode);
    benchmark::DoNotOptimize(table.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(lines.size()));
  SetCurrentPlatform(nullptr);
}

void BM_InPlaceRoutine(benchmark::State& state) {
  const auto keyMode = static_cast<std::int32_t>(state.range(0));
  const auto sortPos = static_cast<std::int32_t>(state.range(1));
  const auto order = static_cast<std::int32_t>(state.range(2));
  SortPos = sortPos;
  Comparator compare = SelectComparator(order, sortPos, keyMode);
  std::vector<char*>& lines = Lines().lines;
  std::vector<char*> table(lines.size());
  for (auto _ : state) {
    std::memcpy(table.data(), lines.data(), lines.size() * sizeof(char*));
    BoundedSort(table.data(), static_cast<std::int64_t>(table.size()), compare);
    benchmark::DoNotOptimize(table.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(lines.size()));
}

// One case per row: ascending, and the folded or descending twin.
void Rows(benchmark::internal::Benchmark* b) {
  b->ArgNames({"keyMode", "pos", "order"});
  b->Args({1, 0, 0})->Args({1, 0, 2});    // row 0: whole line, bytes and folded
  b->Args({1, 12, 0})->Args({1, 12, 3});  // row 1: column text
  b->Args({2, 1, 0})->Args({2, 1, 2});    // row 2: field text
  b->Args({5, 0, 0})->Args({5, 0, 1});    // row 3: whole-line number
  b->Args({5, 1, 0})->Args({5, 1, 1});    // row 4: column number
  b->Args({6, 2, 0})->Args({6, 2, 1});    // row 5: field number
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_SortLines)->Apply(Rows);
BENCHMARK(BM_InPlaceRoutine)->Apply(Rows);

}  // namespace
}  // namespace velkar

BENCHMARK_MAIN();
