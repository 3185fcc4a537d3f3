// The radix sort over located keys against the comparison routines themselves: on
// random and adversarial tables of every row and order it must leave a permutation
// in the routine's order, with the lines that lack a key in their own places, lines
// with equal keys in their input order (the sort is stable), and the same keys,
// place by place, as the in-place sort with the routine.
#include "engine/radix_sort.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "engine/bounded_sort.h"
#include "engine/parallel.h"
#include "engine/progress.h"
#include "engine_test_support.h"

namespace velkar::test {
// While above 0, counts the allocations through operator new down; the one that
// brings it to 0 fails with std::bad_alloc.
std::atomic<int> newFailsIn{0};
}  // namespace velkar::test

// The single-object forms, plain and nothrow, over malloc and free (the array
// forms of the library call them; a sanitizer's own array forms stay paired). Kept
// out of line: inlined into the standard allocator, the pair of malloc and free
// would look mismatched to the compiler's new/delete check.
__attribute__((noinline)) void* operator new(std::size_t size) {
  int left = velkar::test::newFailsIn.load();
  while (left > 0 && !velkar::test::newFailsIn.compare_exchange_weak(left, left - 1)) {
  }
  if (left == 1) throw std::bad_alloc();
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
__attribute__((noinline)) void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size == 0 ? 1 : size);
}
__attribute__((noinline)) void operator delete(void* p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete(void* p, std::size_t) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}

namespace velkar::test {
namespace {

// Settings that reach each row, with key positions around the interesting ones.
struct Case {
  std::int32_t keyMode;
  std::int32_t sortPos;
};
const Case kCases[] = {
    {kKeyColumn, 0}, {kKeyColumn, 1}, {kKeyColumn, 3}, {kKeyColumn, 9}, {kKeyColumn, -1},
    {kKeyField, 0},  {kKeyField, 1},  {kKeyField, 2},  {kKeyField, -2}, {5, 0},
    {5, 2},          {5, -1},         {6, 0},          {6, 1},          {6, 3},
};

// Whether a line has the key of `row` at the current SortPos; lines without one
// compare equal to every line.
bool HasKey(ComparatorRow row, const char* line) {
  static char buffer[kKeyBufferSize];
  if (row == kRowColumnText || row == kRowColumnNumber) {
    return std::string(line).size() > static_cast<std::uint32_t>(SortPos);
  }
  if (row == kRowFieldText) return FieldKeyText(line, buffer) != nullptr;
  return true;
}

// The sort under test: SortByKeys itself, or the whole SortLines.
enum class Sorter { kByKeys, kSortLines };

// " key K pos P order O": where a failing case stands, for the traces.
std::string Where(const Case& c, std::int32_t order) {
  return " key " + std::to_string(c.keyMode) + " pos " + std::to_string(c.sortPos) + " order " +
         std::to_string(order);
}

// The lines one after the other in one block, as the engine cuts them from a text,
// and the table of them: the lines' addresses rise with their places.
struct Packed {
  explicit Packed(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) block.append(line.c_str(), line.size() + 1);
    for (std::size_t at = 0; at < block.size(); at += std::strlen(block.data() + at) + 1) {
      table.push_back(block.data() + at);
    }
  }
  std::string block;
  std::vector<char*> table;
};

// Sorts `lines` with SortByKeys (or SortLines) and checks the result against the
// routine.
void CheckAgainstRoutine(std::vector<std::string>& lines, const Case& c, std::int32_t order,
                         const std::string& trace, Sorter sorter = Sorter::kByKeys) {
  Packed packed(lines);
  const std::vector<char*>& table = packed.table;
  const auto n = static_cast<std::int64_t>(table.size());
  SortPos = c.sortPos;
  const ComparatorRow row = SelectRow(c.sortPos, c.keyMode);
  ASSERT_NE(row, kRowNone);
  Comparator compare = ComparatorTable[row][order];

  std::vector<char*> fast = table;
  if (sorter == Sorter::kByKeys) {
    ASSERT_TRUE(SortByKeys(fast.data(), n, order, row)) << trace;
  } else {
    SortLines(fast.data(), n, order, c.sortPos, c.keyMode);
  }

  // A permutation of the table.
  std::vector<char*> a = fast;
  std::vector<char*> b = table;
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  ASSERT_EQ(a, b) << trace;

  // Lines without a key in their own places; the others in order among themselves,
  // equal keys in input order. Together: every pair of lines, near or far, is in
  // the routine's order, and the sort is stable.
  const char* previous = nullptr;
  bool complete = true;
  for (std::size_t i = 0; i < fast.size(); ++i) {
    if (!HasKey(row, fast[i])) {
      EXPECT_EQ(fast[i], table[i]) << trace << " slot " << i;
      complete = false;
      continue;
    }
    if (previous != nullptr) {
      const int sign = compare(previous, fast[i]);
      EXPECT_LE(sign, 0) << trace << ": " << previous << " / " << fast[i];
      if (sign == 0) {
        EXPECT_LT(previous, fast[i]) << trace << " ties: " << previous;
      }
    }
    previous = fast[i];
  }

  // With every key present the routine is an ordering, and the in-place sort with
  // it must give the same key in every place.
  if (complete) {
    std::vector<char*> plain = table;
    BoundedSort(plain.data(), n, compare);
    for (std::size_t i = 0; i < plain.size(); ++i) {
      EXPECT_EQ(compare(plain[i], fast[i]), 0) << trace << " place " << i;
    }
  }
}

// Random lines over a small alphabet: commas, digits, signs, blanks, quotes, both
// letter cases, the bytes just around the folded range and high bytes.
std::string RandomLine(std::mt19937& random, int maxLength) {
  static const char alphabet[] = "aAbBzZ_`[@,,,0123456789-+ \t\"\x80\xA1\xDF\xFF\x83\x61";
  std::string line;
  int length = static_cast<int>(random() % static_cast<unsigned>(maxLength + 1));
  for (int i = 0; i < length; ++i) line += alphabet[random() % (sizeof alphabet - 1)];
  return line;
}

class SortByKeysTest : public ::testing::Test {
 protected:
  ScopedFakePlatform fake;
};

// Small and large tables (the large ones go through the radix passes, the small
// ones straight to the prefix sort), every row and order.
TEST_F(SortByKeysTest, RandomTablesInTheRoutinesOrder) {
  std::mt19937 random(31337);
  for (int size : {2, 3, 17, 200, 3000}) {
    for (const Case& c : kCases) {
      for (std::int32_t order = 0; order < 4; ++order) {
        std::vector<std::string> lines;
        for (int i = 0; i < size; ++i) lines.push_back(RandomLine(random, 12));
        CheckAgainstRoutine(lines, c, order, "size " + std::to_string(size) + Where(c, order));
      }
    }
  }
  EXPECT_EQ(fake->LiveHeap(), 0);
}

// Tables built to hit the corners: every key equal, most keys missing, long shared
// prefixes that cross many 8-byte steps and the 512-byte cut of field keys, bytes
// 0x80-0xFF only, numbers at and beyond the 32-bit edges.
TEST_F(SortByKeysTest, AdversarialTables) {
  std::mt19937 random(4242);
  const std::string shared(700, 'q');
  std::vector<std::vector<std::string>> tables;
  tables.push_back(std::vector<std::string>(2000, "same,same,same"));
  {
    std::vector<std::string> t;  // mostly short lines without the keys
    for (int i = 0; i < 2000; ++i) t.push_back(random() % 5 == 0 ? RandomLine(random, 12) : "x");
    tables.push_back(t);
  }
  {
    std::vector<std::string> t;  // long common prefixes, differing late or not at all
    for (int i = 0; i < 2000; ++i) {
      std::string tail = RandomLine(random, 3);
      std::string line = shared.substr(0, 1 + random() % shared.size()) + tail;
      t.push_back(random() % 2 ? line : "k," + line + "," + line);
    }
    tables.push_back(t);
  }
  {
    std::vector<std::string> t;  // high bytes only (no NUL, LF or CR inside a line)
    for (int i = 0; i < 2000; ++i) {
      std::string line;
      for (int j = 0, len = static_cast<int>(random() % 20); j < len; ++j) {
        line += static_cast<char>(0x80 + random() % 0x80);
      }
      t.push_back(line);
    }
    tables.push_back(t);
  }
  {
    std::vector<std::string> t;  // numbers at the edges and beyond, with quotes and signs
    const char* numbers[] = {
        "-2147483648", "2147483647", "2147483648", "4294967297", "-1",  "0",   "+7",         "-7",
        "007",         "\"12",       " \"12",      "\"\"12",     "+-5", "- 5", "99999999999"};
    for (int i = 0; i < 2000; ++i) {
      std::string n = numbers[random() % 15];
      t.push_back(random() % 2 ? n + "," + n + "," + n : "ab," + n + "," + n + "," + n);
    }
    tables.push_back(t);
  }
  for (std::size_t k = 0; k < tables.size(); ++k) {
    for (const Case& c : kCases) {
      for (std::int32_t order = 0; order < 4; ++order) {
        std::vector<std::string> lines = tables[k];
        CheckAgainstRoutine(lines, c, order, "table " + std::to_string(k) + Where(c, order));
      }
    }
  }
  EXPECT_EQ(fake->LiveHeap(), 0);
}

// Every row is split into ThreadCount() parts from ParallelMinLines lines on; with
// the limit set low, small tables take that way too. Every count (1, 2, 3, 7, 16,
// more parts than some tables have lines) and a thread that cannot be started (the
// parts then run here) must give the routine's order with keyless lines in place
// and the very table one thread gives: the sort is stable, so there is only one,
// also across the seams of the parts and among many equal keys (short lines).
TEST_F(SortByKeysTest, EveryThreadCountGivesTheOneStableTable) {
  struct Mode {
    int threads;
    bool startFails;
  };
  const Mode modes[] = {{2, false}, {3, false}, {7, false}, {16, false}, {2, true}, {7, true}};
  const std::size_t savedMin = ParallelMinLines;
  std::mt19937 random(99);
  ParallelMinLines = 2;
  for (int size : {2, 3, 17, 3000}) {
    for (int maxLength : {12, 2}) {
      for (const Case& c : kCases) {
        for (std::int32_t order = 0; order < 4; ++order) {
          std::vector<std::string> lines;
          for (int i = 0; i < size; ++i) lines.push_back(RandomLine(random, maxLength));
          const ComparatorRow row = SelectRow(c.sortPos, c.keyMode);
          Packed packed(lines);
          std::vector<char*> one = packed.table;
          SortPos = c.sortPos;
          EngineThreads = 1;
          ASSERT_TRUE(SortByKeys(one.data(), size, order, row));
          for (const Mode& mode : modes) {
            EngineThreads = mode.threads;
            ThreadStartFails = mode.startFails;
            const std::string trace = "threads " + std::to_string(mode.threads) +
                                      (mode.startFails ? " failing" : "") + " size " +
                                      std::to_string(size) + Where(c, order);
            CheckAgainstRoutine(lines, c, order, trace);
            std::vector<char*> split = packed.table;
            ASSERT_TRUE(SortByKeys(split.data(), size, order, row)) << trace;
            EXPECT_EQ(split, one) << trace;
          }
          ThreadStartFails = false;
        }
      }
    }
  }
  EngineThreads = 0;
  ParallelMinLines = savedMin;
  EXPECT_EQ(fake->LiveHeap(), 0);
}

// The sort adds each line to the run's progress once, as its parts are sorted and
// merged: with no total to cap it, the phase stands at exactly the table's lines
// afterwards, at every thread count, with and without keyless lines.
TEST_F(SortByKeysTest, TheSortAddsEveryLineToTheProgress) {
  struct Recorder : FakePlatform {
    void ReportProgress(const RunProgress& report) override { last = report; }
    RunProgress last;
  };
  Recorder recorder;
  SetCurrentPlatform(&recorder);
  const std::size_t savedMin = ParallelMinLines;
  const std::int64_t savedInterval = ProgressIntervalMs;
  ParallelMinLines = 2;
  ProgressIntervalMs = 0;
  std::mt19937 random(5);
  for (const Case c : {Case{kKeyColumn, 3}, Case{kKeyField | kKeyNumber, 1}}) {
    for (int threads : {1, 2, 3, 7, 16}) {
      for (int size : {2, 1000}) {
        std::vector<std::string> lines;
        for (int i = 0; i < size; ++i) lines.push_back(RandomLine(random, 12));
        Packed packed(lines);
        EngineThreads = threads;
        SortPos = c.sortPos;
        ProgressStart();
        ProgressBegin(RunPhase::kSort, 0);
        ASSERT_TRUE(SortByKeys(packed.table.data(), size, 0, SelectRow(c.sortPos, c.keyMode)));
        ProgressTick();
        EXPECT_EQ(recorder.last.phase, RunPhase::kSort);
        EXPECT_EQ(recorder.last.done, static_cast<std::uint64_t>(size))
            << "threads " << threads << Where(c, 0);
      }
    }
  }
  ProgressStop();
  EngineThreads = 0;
  ParallelMinLines = savedMin;
  ProgressIntervalMs = savedInterval;
  SetCurrentPlatform(&*fake);
  EXPECT_EQ(recorder.LiveHeap(), 0);
}

// Tables already in the routine's order, in its reverse, nearly in order (one pair
// swapped) and all equal, in every row and order: SortLines' one-pass shortcut must
// give the routine's order with keyless lines in place, take no work array where
// the table is in order or strictly reversed, and for number keys the very table
// the stable radix sort gives (equal keys in input order).
TEST_F(SortByKeysTest, PresortedReversedAndNearlySortedTables) {
  std::mt19937 random(777);
  for (const Case& c : kCases) {
    for (std::int32_t order = 0; order < 4; ++order) {
      SortPos = c.sortPos;
      const ComparatorRow row = SelectRow(c.sortPos, c.keyMode);
      std::vector<std::string> source;
      for (int i = 0; i < 300; ++i) source.push_back(RandomLine(random, 12));
      std::vector<char*> sorted;
      for (std::string& line : source) sorted.push_back(line.data());
      ASSERT_TRUE(SortByKeys(sorted.data(), static_cast<std::int64_t>(sorted.size()), order, row));
      std::vector<std::string> ascending(sorted.begin(), sorted.end());
      std::vector<std::string> descending(ascending.rbegin(), ascending.rend());
      std::vector<std::string> nearly = ascending;
      std::swap(nearly[100], nearly[200]);
      const std::vector<std::string> equal(300, "7,x,7,x");
      const std::string where = Where(c, order);
      for (auto* table : {&ascending, &descending, &nearly}) {
        std::vector<std::string> lines = *table;
        CheckAgainstRoutine(lines, c, order, "shape" + where, Sorter::kSortLines);
      }
      std::vector<std::string> lines = equal;
      CheckAgainstRoutine(lines, c, order, "all equal" + where, Sorter::kSortLines);
      // Reversed with equal keys, some with the key and some without.
      std::vector<std::string> ties;
      for (int i = 0; i < 40; ++i) ties.push_back(i % 7 == 0 ? "" : i < 20 ? "9,b,9,b" : "1,A,1,a");
      CheckAgainstRoutine(ties, c, order, "reversed ties" + where, Sorter::kSortLines);

      // In order: nothing allocated, nothing moved.
      std::vector<char*> table;
      for (std::string& line : ascending) table.push_back(line.data());
      const int allocations = fake->Calls(FakePlatform::Step::HeapAlloc);
      std::vector<char*> result = table;
      SortLines(result.data(), static_cast<std::int64_t>(result.size()), order, c.sortPos,
                c.keyMode);
      EXPECT_EQ(result, table) << where;
      EXPECT_EQ(fake->Calls(FakePlatform::Step::HeapAlloc), allocations) << where;

      // Reversed: for number keys exactly the stable radix sort's table.
      if (row >= kRowLineNumber) {
        table.clear();
        for (std::string& line : descending) table.push_back(line.data());
        std::vector<char*> viaKeys = table;
        ASSERT_TRUE(
            SortByKeys(viaKeys.data(), static_cast<std::int64_t>(viaKeys.size()), order, row));
        result = table;
        SortLines(result.data(), static_cast<std::int64_t>(result.size()), order, c.sortPos,
                  c.keyMode);
        EXPECT_EQ(result, viaKeys) << where;
      }
    }
  }
  EXPECT_EQ(fake->LiveHeap(), 0);
}

// The in-order pass of the text field rows compares the fields in place, not
// through the routine: two-line tables whose right order hangs on one detail of the
// routine's key (a key that starts the other, bytes above 0x7F, folding, the
// 512-byte cut, a missing field) must come out in the routine's order either way
// round, in every order.
TEST_F(SortByKeysTest, FieldKeysComparedInPlaceAgreeWithTheRoutine) {
  const std::string cut(512, 'k');
  const std::vector<std::pair<std::string, std::string>> pairs = {
      {"1,ab,z", "2,a,z"},
      {"1,a,z", "2,,z"},
      {"1,\x81,z", "2,A,z"},
      {"1,b,z", "2,B,z"},
      {"1,b,z", "2,A,z"},
      {"1,[,z", "2,a,z"},
      {"1," + cut + "b", "2," + cut + "a"},
      {"1," + cut.substr(1) + "b", "2," + cut + "a"},
      {"1,c", "2"},
      {"1,a,b,c", "2,a"},
  };
  const Case field{kKeyField, 1};
  for (const auto& [first, second] : pairs) {
    for (std::int32_t order = 0; order < 4; ++order) {
      for (bool swapped : {false, true}) {
        std::vector<std::string> lines = {swapped ? second : first, swapped ? first : second,
                                          "3,m,z"};
        CheckAgainstRoutine(lines, field, order,
                            first.substr(0, 12) + " order " + std::to_string(order),
                            Sorter::kSortLines);
      }
    }
  }
  EXPECT_EQ(fake->LiveHeap(), 0);
}

// Keys are read 8 bytes at a time, but never across the end of the page a read
// starts in: lines packed against a page whose successor is unmapped must sort
// without a fault, in every row and order.
TEST_F(SortByKeysTest, KeysEndingAtAPageEndAreReadSafely) {
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  void* mapped =
      ::mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(mapped, MAP_FAILED);
  char* area = static_cast<char*>(mapped);
  ASSERT_EQ(::mprotect(area + page, page, PROT_NONE), 0);
  // Lines of 1 to 15 bytes ending at the very end of the page, each after the
  // next, so every possible distance from a key to the page end occurs.
  const char* texts[] = {"x,b,9",          "a",         "ab,c,1",        "-5,zz,3",
                         "Hello,World,12", "q,q,q,q,q", "abcdefghijklm", "7,\"8\",9"};
  std::vector<char*> table;
  char* end = area + page;
  for (const char* text : texts) {
    const std::size_t length = std::strlen(text) + 1;
    end -= length;
    std::memcpy(end, text, length);
    table.push_back(end);
  }
  for (const Case& c : kCases) {
    for (std::int32_t order = 0; order < 4; ++order) {
      SortPos = c.sortPos;
      const ComparatorRow row = SelectRow(c.sortPos, c.keyMode);
      std::vector<char*> sorted = table;
      ASSERT_TRUE(SortByKeys(sorted.data(), static_cast<std::int64_t>(sorted.size()), order, row));
      std::vector<std::string> lines;
      for (char* line : table) lines.emplace_back(line);
      CheckAgainstRoutine(lines, c, order, "page end");
    }
  }
  ::munmap(mapped, 2 * page);
}

// The parts of a split sort keep track of themselves in a few small arrays: where
// one of those (or a thread) cannot be had, at any allocation in turn, SortByKeys
// either gives the one table or says no with the table untouched, and SortLines
// still sorts it (in place with the routine).
TEST_F(SortByKeysTest, NoRoomForThePartsBookkeeping) {
  const std::size_t savedMin = ParallelMinLines;
  ParallelMinLines = 2;
  std::mt19937 random(3);
  std::vector<std::string> lines;
  for (int i = 0; i < 500; ++i) lines.push_back(RandomLine(random, 6));
  fake->log.reserve(fake->log.size() + 100000);  // the fake's own log takes no allocation
  for (const Case c : {Case{kKeyColumn, 1}, Case{kKeyField | kKeyNumber, 1}}) {
    for (int threads : {2, 3}) {
      EngineThreads = threads;
      SortPos = c.sortPos;
      const ComparatorRow row = SelectRow(c.sortPos, c.keyMode);
      Packed packed(lines);
      std::vector<char*> expected = packed.table;
      ASSERT_TRUE(SortByKeys(expected.data(), 500, 1, row));
      int refused = 0;
      for (int fail = 1; fail <= 40; ++fail) {
        std::vector<char*> table = packed.table;
        newFailsIn = fail;
        const bool sorted = SortByKeys(table.data(), 500, 1, row);
        newFailsIn = 0;
        const std::string where = "threads " + std::to_string(threads) + " allocation " +
                                  std::to_string(fail) + Where(c, 1);
        EXPECT_EQ(table, sorted ? expected : packed.table) << where;
        refused += sorted ? 0 : 1;
        newFailsIn = fail;
        SortLines(table.data(), 500, 1, c.sortPos, c.keyMode);
        newFailsIn = 0;
        std::vector<std::string> copy = lines;
        if (!sorted) CheckAgainstRoutine(copy, c, 1, where, Sorter::kSortLines);
      }
      EXPECT_GT(refused, 0) << threads;
    }
  }
  EngineThreads = 0;
  ParallelMinLines = savedMin;
  EXPECT_EQ(fake->LiveHeap(), 0);
}

// Without room for the work array, SortLines still sorts, in place with the routine,
// equal keys in input order, and shows nothing.
TEST_F(SortByKeysTest, NoRoomFallsBackToTheInPlaceSort) {
  std::vector<std::string> lines = {"b,3", "a,1", "c,2"};
  std::vector<char*> table;
  for (std::string& line : lines) table.push_back(line.data());
  for (std::int32_t keyMode : {1, 2, 6}) {
    std::vector<char*> sorted = table;
    const int allocations = fake->Calls(FakePlatform::Step::HeapAlloc);
    fake->FailAt(FakePlatform::Step::HeapAlloc);
    SortLines(sorted.data(), 3, 0, keyMode == 6 ? 1 : 0, keyMode);
    EXPECT_EQ(fake->Calls(FakePlatform::Step::HeapAlloc), allocations + 1) << keyMode;
    EXPECT_STREQ(sorted[0], "a,1") << keyMode;
    EXPECT_STREQ(sorted[2], keyMode == 6 ? "b,3" : "c,2") << keyMode;
  }
  // Equal keys by address, which is input order for lines cut from one text: a
  // table long enough for the introsort's partitions, three keys in turn.
  std::vector<std::string> many;
  for (int i = 0; i < 60; ++i) many.push_back("L" + std::to_string(i) + "," + "201"[i % 3]);
  std::vector<std::string> expected = many;
  std::stable_sort(expected.begin(), expected.end(),
                   [](const std::string& a, const std::string& b) { return a.back() < b.back(); });
  Packed ties(many);
  fake->FailAt(FakePlatform::Step::HeapAlloc);
  SortLines(ties.table.data(), 60, 0, 1, kKeyField | kKeyNumber);
  EXPECT_EQ(std::vector<std::string>(ties.table.begin(), ties.table.end()), expected);
  EXPECT_TRUE(fake->boxes.empty());
  EXPECT_EQ(fake->LiveHeap(), 0);
}

}  // namespace
}  // namespace velkar::test
