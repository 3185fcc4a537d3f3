// The bounded sort: in order under consistent routines, and under routines that
// answer at random it still leaves a permutation, stays inside the table (run it
// under AddressSanitizer) and makes O(n log n) comparisons. Then a randomised run
// of the whole engine in every mode.
#include "engine/bounded_sort.h"

#include <cmath>
#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "engine_test_support.h"

namespace velkar::test {
namespace {

const std::int64_t kSizes[] = {0, 1, 2, 3, 15, 16, 17, 31, 100, 128, 129, 130, 1000, 5000};

// Most comparisons the sort may make for n entries, generous by a constant factor.
std::int64_t ComparisonBound(std::int64_t n) {
  double log2n = n > 1 ? std::log2(static_cast<double>(n)) : 1.0;
  return static_cast<std::int64_t>(8.0 * static_cast<double>(n) * log2n) + 16 * n + 64;
}

TEST(BoundedSort, OrdersConsistentInputOfEveryShape) {
  std::mt19937 random(7);
  for (std::int64_t n : kSizes) {
    std::vector<std::vector<int>> shapes(6, std::vector<int>(static_cast<std::size_t>(n)));
    for (std::int64_t i = 0; i < n; ++i) {
      auto k = static_cast<std::size_t>(i);
      shapes[0][k] = static_cast<int>(random());               // random
      shapes[1][k] = static_cast<int>(random() % 4);           // many equal keys
      shapes[2][k] = static_cast<int>(i);                      // sorted
      shapes[3][k] = static_cast<int>(n - i);                  // reversed
      shapes[4][k] = static_cast<int>(i < n / 2 ? i : n - i);  // organ pipe
      shapes[5][k] = 42;                                       // all equal
    }
    for (std::vector<int> values : shapes) {
      std::vector<int> expected = values;
      std::sort(expected.begin(), expected.end());
      std::int64_t comparisons = 0;
      BoundedSort(values.data(), n, [&](int a, int b) {
        ++comparisons;
        return (a > b) - (a < b);
      });
      EXPECT_EQ(values, expected) << "n " << n;
      EXPECT_LE(comparisons, ComparisonBound(n)) << "n " << n;
    }
  }
}

// Routines that are no ordering at all: random, always "before", always "after",
// and one that contradicts itself on purpose (a < b and b < a).
TEST(BoundedSort, AdversarialRoutinesLeaveAPermutation) {
  std::mt19937 random(12345);
  for (int kind = 0; kind < 4; ++kind) {
    for (std::int64_t n : kSizes) {
      for (int round = 0; round < (kind == 0 ? 20 : 1); ++round) {
        // Pointers into one array, so a stray write or a lost entry shows.
        std::vector<int> storage(static_cast<std::size_t>(n));
        std::vector<int*> table(static_cast<std::size_t>(n));
        for (std::int64_t i = 0; i < n; ++i) {
          storage[static_cast<std::size_t>(i)] = static_cast<int>(i);
          table[static_cast<std::size_t>(i)] = &storage[static_cast<std::size_t>(i)];
        }
        std::int64_t comparisons = 0;
        auto answer = [&](int*, int*) -> int {
          ++comparisons;
          switch (kind) {
            case 0:
              return static_cast<int>(random() % 3) - 1;
            case 1:
              return -1;
            case 2:
              return 1;
            default:
              return (random() & 1) != 0 ? INT32_MIN : INT32_MAX;
          }
        };
        BoundedSort(table.data(), n, answer);
        std::vector<int> seen(static_cast<std::size_t>(n), 0);
        for (int* p : table) {
          ASSERT_GE(p, storage.data());
          ASSERT_LT(p, storage.data() + n);
          ++seen[static_cast<std::size_t>(*p)];
        }
        EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), n) << "kind " << kind << " n " << n;
        EXPECT_LE(comparisons, ComparisonBound(n)) << "kind " << kind << " n " << n;
      }
    }
  }
}

// A sort of lines with missing keys: each line without the field compares equal
// to every line, so the routine is inconsistent; still a permutation.
TEST(BoundedSort, MissingKeysThroughSortLines) {
  ScopedFakePlatform fake;
  std::mt19937 random(99);
  std::vector<std::string> lines;
  for (int i = 0; i < 3000; ++i) {
    lines.push_back(random() % 3 == 0 ? std::to_string(random() % 50)
                                      : "x," + std::to_string(random() % 50));
  }
  std::vector<char*> table;
  for (std::string& line : lines) table.push_back(line.data());
  for (int order = 0; order < 4; ++order) {
    for (std::int32_t keyMode : {1, 2, 5, 6}) {
      std::vector<char*> sorted = table;
      SortLines(sorted.data(), static_cast<std::int64_t>(sorted.size()), order, 1, keyMode);
      std::vector<char*> a = sorted;
      std::vector<char*> b = table;
      std::sort(a.begin(), a.end());
      std::sort(b.begin(), b.end());
      EXPECT_EQ(a, b) << "order " << order << " keyMode " << keyMode;
    }
  }
}

// ---- Whole runs on random input ----

std::vector<std::string> SplitOutput(const std::string& text) {
  std::vector<std::string> lines;
  std::string::size_type start = 0;
  while (start < text.size()) {
    std::string::size_type lf = text.find('\n', start);
    lines.push_back(text.substr(start, lf - start));
    start = lf + 1;
  }
  return lines;
}

bool EqualLines(const std::string& a, const std::string& b, bool ignoreCase) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (ignoreCase) {
      if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 0x20);
      if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 0x20);
    }
    if (x != y) return false;
  }
  return true;
}

// Random lines from a small alphabet, so keys collide, fields and numbers occur and
// some lines lack a key. With `withKeys`, every line has the column and field used.
std::string RandomLine(std::mt19937& random, bool withKeys) {
  static const char alphabet[] = "aAbB,,1-2 9\"\xB1\x83";
  std::string line = withKeys ? "k,k,k,k" : "";
  int length = static_cast<int>(random() % 9);
  for (int i = 0; i < length; ++i) line += alphabet[random() % (sizeof alphabet - 1)];
  return line;
}

TEST(RandomRuns, EveryModeGivesAPermutationInOrder) {
  std::mt19937 random(2024);
  for (int round = 0; round < 400; ++round) {
    ScopedFakePlatform fake;
    bool withKeys = round % 2 == 0;
    std::int32_t sortMode = static_cast<std::int32_t>(random() % 8);
    const std::int32_t keyModes[] = {1, 2, 5, 6, 0, 3};
    std::int32_t keyMode = keyModes[random() % 6];
    std::int32_t sortPos = static_cast<std::int32_t>(random() % 4) - (withKeys ? 0 : 1);
    std::vector<std::string> input;
    std::string text;
    int count = 1 + static_cast<int>(random() % 200);
    for (int i = 0; i < count; ++i) {
      input.push_back(RandomLine(random, withKeys));
      text += input.back() + (random() % 4 == 0 ? "\r\n" : "\n");
    }
    fake->clipboardText = text;
    RunResult = 7;
    RunSort(kOwner, sortMode, nullptr, nullptr, sortPos, keyMode);
    ASSERT_EQ(RunResult, 0);
    ASSERT_TRUE(fake->clipboardText.has_value());
    std::vector<std::string> output = SplitOutput(*fake->clipboardText);
    std::string trace = "round " + std::to_string(round) + " mode " + std::to_string(sortMode) +
                        " key " + std::to_string(keyMode) + " pos " + std::to_string(sortPos);

    bool unique = (sortMode & kSortUnique) != 0;
    bool ignoreCase = (sortMode & kSortIgnoreCase) != 0;
    std::multiset<std::string> in(input.begin(), input.end());
    std::multiset<std::string> out(output.begin(), output.end());
    if (!unique) {
      EXPECT_EQ(in, out) << trace;
    } else {
      // Every distinct line survives at least once (up to case when it is ignored),
      // and no written line equals the one written before it.
      for (const std::string& line : input) {
        bool found = false;
        for (const std::string& kept : output) found = found || EqualLines(line, kept, ignoreCase);
        EXPECT_TRUE(found) << trace << ": " << line;
      }
      for (std::size_t i = 1; i < output.size(); ++i) {
        EXPECT_FALSE(EqualLines(output[i - 1], output[i], ignoreCase)) << trace;
      }
    }
    Comparator compare = SelectComparator(sortMode & 3, sortPos, keyMode);
    if (compare == nullptr) {
      if (!unique) {
        EXPECT_EQ(output, input) << trace;
      }
    } else if (withKeys) {
      // Every line has its key, so the routine is an ordering: neighbours in order.
      SortPos = sortPos;
      for (std::size_t i = 1; i < output.size(); ++i) {
        EXPECT_LE(compare(output[i - 1].c_str(), output[i].c_str()), 0)
            << trace << ": " << output[i - 1] << " / " << output[i];
      }
    }
    EXPECT_EQ(fake->EngineBlocks(), 0);
    EXPECT_EQ(fake->LiveHeap(), 0);
  }
}

}  // namespace
}  // namespace velkar::test
