// Sorting the line table: the eighteen comparison routines, ComparatorTable, the
// choice of a routine from the run's settings, and SortLines over Base.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "engine/engine_internal.h"
#include "engine/radix_sort.h"
#include "engine/bounded_sort.h"
#include "engine/parallel.h"

namespace velkar {

std::int32_t SortPos = 0;
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
char LeftKeyBuffer[kKeyBufferSize];
char RightKeyBuffer[kKeyBufferSize];

namespace {

inline int CompareNumbers(std::int32_t a, std::int32_t b) { return (a > b) - (a < b); }

// Every result below lies within -255..255, so reversing the sign cannot overflow.

int LineBytesAsc(const char* a, const char* b) { return CompareBytes(a, b); }
int LineBytesDesc(const char* a, const char* b) { return -CompareBytes(a, b); }
int LineFoldedAsc(const char* a, const char* b) { return CompareFolded(a, b); }
int LineFoldedDesc(const char* a, const char* b) { return -CompareFolded(a, b); }

int ColumnBytesAsc(const char* a, const char* b) {
  if (!HasColumn(a) || !HasColumn(b)) return 0;
  std::size_t pos = static_cast<std::uint32_t>(SortPos);
  return CompareBytes(a + pos, b + pos);
}
int ColumnBytesDesc(const char* a, const char* b) { return -ColumnBytesAsc(a, b); }
int ColumnFoldedAsc(const char* a, const char* b) {
  if (!HasColumn(a) || !HasColumn(b)) return 0;
  std::size_t pos = static_cast<std::uint32_t>(SortPos);
  return CompareFolded(a + pos, b + pos);
}
int ColumnFoldedDesc(const char* a, const char* b) { return -ColumnFoldedAsc(a, b); }

int FieldBytesAsc(const char* a, const char* b) {
  const char* left = FieldKeyText(a, LeftKeyBuffer);
  const char* right = FieldKeyText(b, RightKeyBuffer);
  if (left == nullptr || right == nullptr) return 0;
  return CompareBytes(left, right);
}
int FieldBytesDesc(const char* a, const char* b) { return -FieldBytesAsc(a, b); }
int FieldFoldedAsc(const char* a, const char* b) {
  const char* left = FieldKeyText(a, LeftKeyBuffer);
  const char* right = FieldKeyText(b, RightKeyBuffer);
  if (left == nullptr || right == nullptr) return 0;
  return CompareFolded(left, right);
}
int FieldFoldedDesc(const char* a, const char* b) { return -FieldFoldedAsc(a, b); }

int LineNumberAsc(const char* a, const char* b) {
  return CompareNumbers(NumberValue(a), NumberValue(b));
}
int LineNumberDesc(const char* a, const char* b) { return -LineNumberAsc(a, b); }

int ColumnNumberAsc(const char* a, const char* b) {
  if (!HasColumn(a) || !HasColumn(b)) return 0;
  std::size_t pos = static_cast<std::uint32_t>(SortPos);
  return CompareNumbers(NumberValue(a + pos), NumberValue(b + pos));
}
int ColumnNumberDesc(const char* a, const char* b) { return -ColumnNumberAsc(a, b); }

int FieldNumberAsc(const char* a, const char* b) {
  return CompareNumbers(FieldKeyNumber(a), FieldKeyNumber(b));
}
int FieldNumberDesc(const char* a, const char* b) { return -FieldNumberAsc(a, b); }

}  // namespace

// Ignoring case means nothing to a number key: its columns 2 and 3 repeat 0 and 1.
const Comparator ComparatorTable[6][4] = {
    {LineBytesAsc, LineBytesDesc, LineFoldedAsc, LineFoldedDesc},
    {ColumnBytesAsc, ColumnBytesDesc, ColumnFoldedAsc, ColumnFoldedDesc},
    {FieldBytesAsc, FieldBytesDesc, FieldFoldedAsc, FieldFoldedDesc},
    {LineNumberAsc, LineNumberDesc, LineNumberAsc, LineNumberDesc},
    {ColumnNumberAsc, ColumnNumberDesc, ColumnNumberAsc, ColumnNumberDesc},
    {FieldNumberAsc, FieldNumberDesc, FieldNumberAsc, FieldNumberDesc},
};

int SelectRow(std::int32_t sortPos, std::int32_t keyMode) {
  switch (keyMode) {
    case kKeyColumn:  // a string key at position 0 is the whole line
      return sortPos == 0 ? 0 : 1;
    case kKeyField:
      return sortPos == 0 ? 0 : 2;
    case kKeyColumn | kKeyNumber:
      return sortPos == 0 ? 3 : 4;
    case kKeyField | kKeyNumber:  // field 0 still passes a leading double quote
      return 5;
    default:
      return -1;
  }
}

Comparator SelectComparator(std::int32_t order, std::int32_t sortPos, std::int32_t keyMode) {
  if (order < 0 || order > 3) return nullptr;
  int row = SelectRow(sortPos, keyMode);
  return row < 0 ? nullptr : ComparatorTable[row][order];
}

namespace {

// Whether the line has the key of the row: a column key needs a line longer than
// SortPos, a text field key the field. A line without its key compares equal to
// every line. Number fields are always there (a missing one is 0).
bool HasKey(int row, const char* line) {
  switch (row) {
    case 1:
    case 4:
      return HasColumn(line);
    case 2:
      return LocateField(line) != nullptr;
    default:
      return true;
  }
}

// What one pass over the table found: the lines with a key already in the
// routine's order, in its reverse, or neither.
enum class Run { kNone, kAscending, kDescending };

struct RunShape {
  Run run = Run::kNone;
  bool equalNeighbours = false;  // two neighbouring keyed lines compare equal
  bool keyless = false;          // some line lacks the key
};

// One linear pass: each line with a key against the keyed line before it, until
// the table has been seen to go both up and down.
template <class Compare>
RunShape FindRun(char** base, std::size_t n, int row, Compare& compare) {
  RunShape shape;
  bool up = true;
  bool down = true;
  const char* previous = nullptr;
  for (std::size_t i = 0; i < n && (up || down); ++i) {
    const char* line = base[i];
    if (!HasKey(row, line)) {
      shape.keyless = true;
      continue;
    }
    if (previous != nullptr) {
      const int c = compare(previous, line);
      if (c > 0) up = false;
      if (c < 0) down = false;
      if (c == 0) shape.equalNeighbours = true;
    }
    previous = line;
  }
  shape.run = up ? Run::kAscending : down ? Run::kDescending : Run::kNone;
  return shape;
}

// Reverses the order of the keyed lines among their own places; lines without a
// key keep theirs.
void ReverseKeyed(char** base, std::size_t n, int row) {
  std::size_t i = 0;
  std::size_t j = n;
  for (;;) {
    while (i < j && !HasKey(row, base[i])) ++i;
    while (i < j && !HasKey(row, base[j - 1])) --j;
    if (j - i < 2) return;
    std::swap(base[i++], base[--j]);
  }
}

// Reverses the table, then each group of equal neighbours back: the order a stable
// sort gives a table whose keys never go up.
template <class Compare>
void ReverseStable(char** base, std::size_t n, Compare& compare) {
  std::reverse(base, base + n);
  for (std::size_t start = 0; start < n;) {
    std::size_t end = start + 1;
    while (end < n && compare(base[start], base[end]) == 0) ++end;
    std::reverse(base + start, base + end);
    start = end;
  }
}

// Leaves in order a table that is already in the routine's order or its reverse;
// false when the table needs the sort. A reversed table gets equal keys in the
// order they came in, as the stable number sort gives them.
template <class Compare>
bool TakeRun(char** base, std::size_t n, int row, Compare compare) {
  const RunShape shape = FindRun(base, n, row, compare);
  switch (shape.run) {
    case Run::kAscending:
      return true;
    case Run::kDescending:
      if (!shape.equalNeighbours) {
        ReverseKeyed(base, n, row);
        return true;
      }
      if (shape.keyless) return false;
      ReverseStable(base, n, compare);
      return true;
    case Run::kNone:
      return false;
  }
  return false;
}

}  // namespace

// A table already in order, or in reverse order, costs one pass. Otherwise each
// line's key is located once and the keys radix sorted (radix_sort.cpp). Only when
// that work array cannot be allocated is the table sorted in place with the
// routine itself, which needs no memory. All give the routine's order.
void SortLines(char** base, std::int64_t lineCount, std::int32_t order, std::int32_t sortPos,
               std::int32_t keyMode) {
  SortPos = sortPos;
  Comparator compare = SelectComparator(order, sortPos, keyMode);
  if (compare == nullptr || lineCount < 2) return;
  const int row = SelectRow(sortPos, keyMode);
  const auto n = static_cast<std::size_t>(lineCount);
  // The whole-line byte routines are the common case: hand the passes strcmp
  // itself, which gives the same sign and is called without a pointer.
  auto ascending = [](const char* a, const char* b) { return std::strcmp(a, b); };
  auto descending = [](const char* a, const char* b) { return std::strcmp(b, a); };
  if (compare == LineBytesAsc ? TakeRun(base, n, row, ascending)
      : compare == LineBytesDesc ? TakeRun(base, n, row, descending)
                                 : TakeRun(base, n, row, compare)) {
    return;
  }
  if (SortByKeys(base, lineCount, order, row)) return;
  if (compare == LineBytesAsc) {
    BoundedSort(base, lineCount, ascending);
  } else if (compare == LineBytesDesc) {
    BoundedSort(base, lineCount, descending);
  } else {
    BoundedSort(base, lineCount, compare);
  }
}

}  // namespace velkar
