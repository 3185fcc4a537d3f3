// The fast sort of the line table, SortByKeys: the key kind of the comparator row
// (text, field or number) locates each line's key once into the work array (the
// next 8 key bytes and a pointer to the key, or the 32-bit number value), the
// entries are radix sorted (radix_passes.h) and the table is rewritten from them.
// No comparison routine is called at all. Large tables are located and sorted in
// parts, one a thread, and merged into the table on as many threads
// (parallel_merge.h). The sort is stable: equal keys keep their lines' order.
#include "engine/radix_sort.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>

#include "engine/engine_internal.h"
#include "engine/parallel_merge.h"
#include "engine/radix_passes.h"

namespace velkar {
namespace {

using namespace radix;  // the entries and the radix sorts

// The work array, from the platform's heap.
void* AllocWork(std::size_t bytes) {
  void* work = CurrentPlatform()->HeapAlloc(bytes);
  if (work != nullptr) AdviseLargePages(work, bytes);
  return work;
}
void FreeWork(void* p) { CurrentPlatform()->HeapFree(p); }

// ---- The key kinds ----
// One kind a key: each meets what SortInParts (parallel_merge.h) asks of it.

// The text kinds break ties by key pointer: every line lies in one block in table
// order, and a line's key lies inside the line, so the pointers' order is the
// lines' order. Descending order is the merged order read from the back, so there
// equal keys are merged with the pointers descending.
template <bool kFoldCase, bool kColumn>
struct TextKind {
  using Entry = TextEntry;
  std::size_t offset;  // the column's position; 0 for the whole line
  bool descending;

  std::size_t Locate(char** lines, Entry* work, std::size_t begin, std::size_t end) const {
    std::size_t keyed = begin;
    std::size_t tail = end;
    for (std::size_t i = begin; i < end; ++i) {
      if (!kColumn || HasColumn(lines[i])) {
        const Byte* key = reinterpret_cast<const Byte*>(lines[i]) + offset;
        work[keyed++] = Entry{LoadPrefix<kFoldCase, false>(key, 0), key};
      } else {
        work[--tail] = Entry{i, reinterpret_cast<const Byte*>(lines[i])};
      }
    }
    return keyed - begin;
  }
  void Sort(Entry* a, std::size_t n) const {
    TextRadix<Entry, kFoldCase, false>::Sort(a, n, descending);
  }
  bool Before(const Entry& x, const Entry& y) const {
    return KeyBefore<kFoldCase, false>(x, y, descending);
  }
  char* Line(const Entry& e) const {
    return const_cast<char*>(reinterpret_cast<const char*>(e.key - offset));
  }
  char* KeylessLine(const Entry& e) const {
    return const_cast<char*>(reinterpret_cast<const char*>(e.key));
  }
  std::size_t Slot(const Entry& e) const { return e.prefix; }
};

template <bool kFoldCase>
struct FieldKind {
  using Entry = FieldEntry;
  bool descending;

  std::size_t Locate(char** lines, Entry* work, std::size_t begin, std::size_t end) const {
    std::size_t keyed = begin;
    std::size_t tail = end;
    for (std::size_t i = begin; i < end; ++i) {
      const char* field = LocateField(lines[i]);
      if (field != nullptr) {
        const Byte* key = reinterpret_cast<const Byte*>(field);
        work[keyed++] = Entry{LoadPrefix<kFoldCase, true>(key, 0), key, lines[i]};
      } else {
        work[--tail] = Entry{i, nullptr, lines[i]};
      }
    }
    return keyed - begin;
  }
  void Sort(Entry* a, std::size_t n) const {
    TextRadix<Entry, kFoldCase, true>::Sort(a, n, descending);
  }
  bool Before(const Entry& x, const Entry& y) const {
    return KeyBefore<kFoldCase, true>(x, y, descending);
  }
  char* Line(const Entry& e) const { return e.line; }
  char* KeylessLine(const Entry& e) const { return e.line; }
  std::size_t Slot(const Entry& e) const { return e.prefix; }
};

// The number rows. The radix sort is stable and each part holds a run of slots in
// order, so merging equal keys by slot gives exactly the one-part result.
struct NumberKind {
  using Entry = NumberEntry;
  char** lines;          // the table as it came, read for the rewrite
  NumberEntry* entries;  // the work array
  NumberEntry* spare;    // the radix sort's second buffer, as long as the work array
  ComparatorRow row;
  std::uint32_t flip;  // turns the signed value into the unsigned order wanted

  std::size_t Locate(char** table, Entry* work, std::size_t begin, std::size_t end) const {
    const std::size_t pos = static_cast<std::uint32_t>(SortPos);
    std::size_t keyed = begin;
    std::size_t tail = end;
    for (std::size_t i = begin; i < end; ++i) {
      const auto slot = static_cast<std::uint32_t>(i);
      std::int32_t value;
      if (row == kRowLineNumber) {
        value = NumberValue(table[i]);
      } else if (row == kRowColumnNumber) {
        if (!HasColumn(table[i])) {
          work[--tail] = Entry{0, slot};
          continue;
        }
        value = NumberValue(table[i] + pos);
      } else {
        value = FieldKeyNumber(table[i]);
      }
      work[keyed++] = Entry{static_cast<std::uint32_t>(value) ^ flip, slot};
    }
    return keyed - begin;
  }
  void Sort(Entry* a, std::size_t n) const {
    if (n > 1) RadixNumbers(a, spare + (a - entries), n);
  }
  bool Before(const Entry& x, const Entry& y) const {
    return x.key < y.key || (x.key == y.key && x.slot < y.slot);
  }
  char* Line(const Entry& e) const { return lines[e.slot]; }
  char* KeylessLine(const Entry& e) const { return lines[e.slot]; }
  std::size_t Slot(const Entry& e) const { return e.slot; }
};

// Text keys: the work array holds one entry per line and the lines are written
// back into the table.
template <class Kind>
bool SortTextKind(const Kind& kind, char** lines, std::size_t n, bool descending) {
  using Entry = typename Kind::Entry;
  auto* work = static_cast<Entry*>(AllocWork(n * sizeof(Entry)));
  if (work == nullptr) return false;
  const bool sorted = SortInParts(kind, lines, work, n, descending, lines);
  FreeWork(work);
  return sorted;
}

template <bool kFoldCase>
bool SortText(char** lines, std::size_t n, bool descending, bool column) {
  if (!column) {
    return SortTextKind(TextKind<kFoldCase, false>{0, descending}, lines, n, descending);
  }
  const std::size_t offset = static_cast<std::uint32_t>(SortPos);
  return SortTextKind(TextKind<kFoldCase, true>{offset, descending}, lines, n, descending);
}

// The number rows: whole line, column and field numbers.
bool SortNumbers(char** lines, std::size_t n, bool descending, ComparatorRow row) {
  // Slots are 32-bit; a table too long for them takes the in-place sort.
  if (n > std::numeric_limits<std::uint32_t>::max()) return false;
  // The entries and the radix sort's second buffer, which then takes the
  // rewritten table (a pointer is no larger than an entry).
  static_assert(sizeof(char*) <= sizeof(NumberEntry));
  auto* work = static_cast<NumberEntry*>(AllocWork(2 * n * sizeof(NumberEntry)));
  if (work == nullptr) return false;
  // Flipping the sign bit makes unsigned order the signed order; flipping the
  // other bits as well reverses it, so the entries are always merged ascending.
  const NumberKind kind{lines, work, work + n, row, descending ? 0x7FFFFFFFu : 0x80000000u};
  auto* table = reinterpret_cast<char**>(work + n);
  const bool sorted = SortInParts(kind, lines, work, n, false, table);
  if (sorted) std::memcpy(lines, table, n * sizeof(char*));
  FreeWork(work);
  return sorted;
}

}  // namespace

bool SortByKeys(char** base, std::int64_t lineCount, std::int32_t order, ComparatorRow row) {
  if (lineCount < 2) return true;
  const auto n = static_cast<std::size_t>(lineCount);
  const bool descending = (order & 1) != 0;
  const bool foldCase = (order & 2) != 0;
  switch (row) {
    case kRowLineText:
    case kRowColumnText: {
      const bool column = row == kRowColumnText;
      return foldCase ? SortText<true>(base, n, descending, column)
                      : SortText<false>(base, n, descending, column);
    }
    case kRowFieldText:
      return foldCase ? SortTextKind(FieldKind<true>{descending}, base, n, descending)
                      : SortTextKind(FieldKind<false>{descending}, base, n, descending);
    case kRowLineNumber:
    case kRowColumnNumber:
    case kRowFieldNumber:
      return SortNumbers(base, n, descending, row);
    default:
      return false;
  }
}

}  // namespace velkar
