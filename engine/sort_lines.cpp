// Sorting the line table: a table already in the routine's order, or in its
// reverse, is left or turned round after one pass; any other goes to the radix sort
// of its keys (radix_sort.cpp), or, when that finds no memory, to the bounded
// in-place sort with the routine itself (bounded_sort.h).
#include <algorithm>
#include <cstring>
#include <utility>

#include "engine/bounded_sort.h"
#include "engine/engine_internal.h"
#include "engine/radix_sort.h"
#include "platform/ascii_fold.h"

namespace velkar {

namespace {

// What one pass over the table found: the lines with a key already in the
// routine's order, in its reverse, or neither.
enum class Run { kNone, kAscending, kDescending };

struct RunShape {
  Run run = Run::kNone;
  bool equalNeighbours = false;  // two neighbouring keyed lines compare equal
  bool keyless = false;          // some line lacks the key
};

// One linear pass: each line's key (`keyOf` fills it in, false when the line has
// none) against the key of the keyed line before it, until the table has been
// seen to go both up and down. `compare` gives the routine's sign for two keys.
template <class Key, class KeyOf, class Compare>
RunShape FindRun(char** base, std::size_t n, KeyOf keyOf, Compare compare) {
  RunShape shape;
  bool up = true;
  bool down = true;
  bool havePrevious = false;
  Key previous{};
  for (std::size_t i = 0; i < n && (up || down); ++i) {
    Key key{};
    if (!keyOf(base[i], &key)) {
      shape.keyless = true;
      continue;
    }
    if (havePrevious) {
      const int c = compare(previous, key);
      if (c > 0) up = false;
      if (c < 0) down = false;
      if (c == 0) shape.equalNeighbours = true;
    }
    previous = key;
    havePrevious = true;
  }
  shape.run = up ? Run::kAscending : down ? Run::kDescending : Run::kNone;
  return shape;
}

// The text field key of a line as the field routines see it: the field up to its
// comma, cut where the key buffer cuts it; nullptr when the line has no such field.
const char* FieldKey(const char* line, std::size_t* length) {
  const char* field = LocateField(line);
  if (field != nullptr) *length = std::min(std::strcspn(field, ","), kKeyBufferSize - 1);
  return field;
}

// The sign the field routines give two such keys: bytes unsigned, a..z folded to
// A..Z when `folded`, a key that is the start of the other one first.
int CompareFieldKeys(const char* a, std::size_t aLength, const char* b, std::size_t bLength,
                     bool folded) {
  const auto* x = reinterpret_cast<const unsigned char*>(a);
  const auto* y = reinterpret_cast<const unsigned char*>(b);
  const std::size_t common = std::min(aLength, bLength);
  for (std::size_t i = 0; i < common; ++i) {
    const unsigned char cx = folded ? FoldAscii(x[i]) : x[i];
    const unsigned char cy = folded ? FoldAscii(y[i]) : y[i];
    if (cx != cy) return cx < cy ? -1 : 1;
  }
  return (aLength > bLength) - (aLength < bLength);
}

// A text field key in place: where the field starts in its line and how long the
// key is.
struct FieldKeyRef {
  const char* text;
  std::size_t length;
};

// The pass for a table: the line itself is the key, compared by the routine; for
// the text field rows each line's field is located once and compared in place,
// where the routine would locate and copy both fields of every pair (the same
// answer as the routine's).
template <class Compare>
RunShape FindTableRun(char** base, std::size_t n, ComparatorRow row, std::int32_t order,
                      Compare& compare) {
  if (row == kRowFieldText) {
    const bool descending = (order & 1) != 0;
    const bool folded = (order & 2) != 0;
    return FindRun<FieldKeyRef>(
        base, n,
        [](const char* line, FieldKeyRef* key) {
          key->text = FieldKey(line, &key->length);
          return key->text != nullptr;
        },
        [descending, folded](const FieldKeyRef& a, const FieldKeyRef& b) {
          const int c = CompareFieldKeys(a.text, a.length, b.text, b.length, folded);
          return descending ? -c : c;
        });
  }
  return FindRun<const char*>(
      base, n,
      [row](const char* line, const char** key) {
        *key = line;
        return LineHasKey(row, line);
      },
      [&compare](const char* a, const char* b) { return compare(a, b); });
}

// Reverses the order of the keyed lines among their own places; lines without a
// key keep theirs.
void ReverseKeyed(char** base, std::size_t n, ComparatorRow row) {
  std::size_t i = 0;
  std::size_t j = n;
  for (;;) {
    while (i < j && !LineHasKey(row, base[i])) ++i;
    while (i < j && !LineHasKey(row, base[j - 1])) --j;
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
// false when the table needs the sort. Every way gives what the stable radix sort
// gives: a reversed table gets equal keys in the order they came in (a reversed
// table with equal keys and keyless lines goes to the sort).
template <class Compare>
bool TakeRun(char** base, std::size_t n, ComparatorRow row, std::int32_t order, Compare compare) {
  const RunShape shape = FindTableRun(base, n, row, order, compare);
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

// Calls `sort` with the selected routine; for the whole-line byte rows with
// strcmp in a lambda instead, which gives the routine's sign and which the pass
// and the in-place sort call inline rather than through a pointer.
template <class Sort>
auto WithRoutine(ComparatorRow row, std::int32_t order, Comparator compare, Sort sort) {
  if (row == kRowLineText && order == 0) {
    return sort([](const char* a, const char* b) { return std::strcmp(a, b); });
  }
  if (row == kRowLineText && order == 1) {
    return sort([](const char* a, const char* b) { return std::strcmp(b, a); });
  }
  return sort(compare);
}

}  // namespace

// A table already in order, or in reverse order, costs one pass. Otherwise each
// line's key is located once and the keys radix sorted (radix_sort.cpp). Only when
// that work array cannot be allocated is the table sorted in place with the
// routine itself, which needs no memory. All give the routine's order, equal keys
// in the order of their lines (the in-place sort orders them by address, which is
// that order for a table cut from one text; lines without a key keep their places
// only in the radix sort and the one-pass ways).
void SortLines(char** base, std::int64_t lineCount, std::int32_t order, std::int32_t sortPos,
               std::int32_t keyMode) {
  SortPos = sortPos;
  Comparator compare = SelectComparator(order, sortPos, keyMode);
  if (compare == nullptr || lineCount < 2) return;
  const ComparatorRow row = SelectRow(sortPos, keyMode);
  const auto n = static_cast<std::size_t>(lineCount);
  if (WithRoutine(row, order, compare,
                  [&](auto routine) { return TakeRun(base, n, row, order, routine); })) {
    return;
  }
  if (SortByKeys(base, lineCount, order, row)) return;
  WithRoutine(row, order, compare, [&](auto routine) {
    BoundedSort(base, lineCount, [&](const char* a, const char* b) {
      const int c = routine(a, b);
      return c != 0 ? c : (a > b) - (a < b);
    });
  });
}

}  // namespace velkar
