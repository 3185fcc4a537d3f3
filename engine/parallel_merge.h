// Sorting a table's keys in two halves on two cores and merging them into the
// table from both ends at once: the front takes the merged order smallest first,
// the back largest first, and together they give the one stable merge. A key kind
// (radix_sort.cpp) brings the location of its keys, their sort and their order.
#pragma once

#include <cstddef>

#include "engine/parallel.h"

namespace velkar {

// What SortInParts asks of a key kind `Kind`:
// - `Entry`, the work array's element;
// - `Locate(lines, work, begin, end)` puts the keys of lines [begin, end) into
//   work[begin, end): the entries of keyed lines from the front, those of keyless
//   lines from the back with their slot (so the smallest slot is last), and
//   returns how many lines had a key;
// - `Sort(a, n, forMerge)` sorts one part's keyed entries (forMerge: ready for
//   `Before`);
// - `Before(x, y)` orders two sorted entries of different parts for the merge;
// - `Line(e)`, `KeylessLine(e)` and `Slot(e)` give an entry's line and a keyless
//   entry's slot.

namespace merge_detail {

// The keyless entries of both parts in slot order: each part keeps its own at the
// back of its range, the smallest slot last.
template <class Entry>
struct Keyless {
  const Entry* firstEnd;
  std::size_t firstCount;
  const Entry* secondEnd;
  std::size_t secondCount;

  std::size_t Count() const { return firstCount + secondCount; }
  const Entry& operator[](std::size_t j) const {
    return j < firstCount ? firstEnd[-1 - static_cast<std::ptrdiff_t>(j)]
                          : secondEnd[-1 - static_cast<std::ptrdiff_t>(j - firstCount)];
  }
};

// The sorted keyed entries of two parts in merged order, taken from the front
// (smallest first; of equal keys part one's first) or from the back (largest
// first; of equal keys part two's last). Both ends are those of the one stable
// merge, so k entries taken from the front and the rest from the back take every
// entry once.
template <class Kind>
class Merge {
 public:
  using Entry = typename Kind::Entry;
  Merge(const Kind& kind, const Entry* a, std::size_t na, const Entry* b, std::size_t nb)
      : kind_(kind), a_(a), aEnd_(a + na), b_(b), bEnd_(b + nb) {}
  const Entry& Front() {
    if (b_ == bEnd_ || (a_ != aEnd_ && !kind_.Before(*b_, *a_))) return *a_++;
    return *b_++;
  }
  const Entry& Back() {
    if (b_ == bEnd_ || (a_ != aEnd_ && kind_.Before(bEnd_[-1], aEnd_[-1]))) return *--aEnd_;
    return *--bEnd_;
  }

 private:
  const Kind& kind_;
  const Entry* a_;
  const Entry* aEnd_;
  const Entry* b_;
  const Entry* bEnd_;
};

// Fills the table's slots from the first on: keyless lines into their own slots,
// the next `quota` entries that `take` gives into the others, and then the keyless
// slots that follow the last of those.
template <class Kind, class Take>
void FillFromFront(const Kind& kind, const Keyless<typename Kind::Entry>& keyless, char** out,
                   std::size_t quota, Take take) {
  std::size_t slot = 0;
  std::size_t j = 0;
  const std::size_t count = keyless.Count();
  for (std::size_t placed = 0; placed < quota; ++slot) {
    if (j < count && kind.Slot(keyless[j]) == slot) {
      out[slot] = kind.KeylessLine(keyless[j++]);
    } else {
      out[slot] = kind.Line(take());
      ++placed;
    }
  }
  for (; j < count && kind.Slot(keyless[j]) == slot; ++slot) {
    out[slot] = kind.KeylessLine(keyless[j++]);
  }
}

// Fills the table's slots from the last one back until `quota` entries that `take`
// gives are placed, keyless lines into their own slots on the way.
template <class Kind, class Take>
void FillFromBack(const Kind& kind, const Keyless<typename Kind::Entry>& keyless, char** out,
                  std::size_t n, std::size_t quota, Take take) {
  std::size_t slot = n;
  std::size_t j = keyless.Count();
  for (std::size_t placed = 0; placed < quota;) {
    --slot;
    if (j > 0 && kind.Slot(keyless[j - 1]) == slot) {
      out[slot] = kind.KeylessLine(keyless[--j]);
    } else {
      out[slot] = kind.Line(take());
      ++placed;
    }
  }
}

}  // namespace merge_detail

// Locates and sorts the keys of the table's lines and writes the lines in order
// into `out` (which may be the table itself), lines without a key in their slots.
// From ParallelMinLines lines on each half of the table is located and sorted on
// its own core, and the table filled from both ends at once, each end merging the
// two halves; where no thread can be started all of it runs here.
template <class Kind>
void SortInParts(const Kind& kind, char** lines, typename Kind::Entry* work, std::size_t n,
                 bool descending, char** out) {
  using Entry = typename Kind::Entry;
  const bool twoParts = UseTwoThreads(n);
  const std::size_t half = twoParts ? n / 2 : n;
  std::size_t keyedA = 0;
  std::size_t keyedB = 0;
  if (twoParts) {
    RunBoth(
        [&] {
          keyedA = kind.Locate(lines, work, 0, half);
          kind.Sort(work, keyedA, true);
        },
        [&] {
          keyedB = kind.Locate(lines, work, half, n);
          kind.Sort(work + half, keyedB, true);
        });
  } else {
    keyedA = kind.Locate(lines, work, 0, n);
    kind.Sort(work, keyedA, false);
  }
  const merge_detail::Keyless<Entry> keyless{work + half, half - keyedA, work + n,
                                             n - half - keyedB};
  const std::size_t keyed = keyedA + keyedB;
  // Descending order is the merged order taken from the other end.
  auto fillFront = [&](std::size_t quota) {
    merge_detail::Merge<Kind> merge(kind, work, keyedA, work + half, keyedB);
    if (descending) {
      merge_detail::FillFromFront(kind, keyless, out, quota,
                                  [&]() -> const Entry& { return merge.Back(); });
    } else {
      merge_detail::FillFromFront(kind, keyless, out, quota,
                                  [&]() -> const Entry& { return merge.Front(); });
    }
  };
  if (!twoParts) {
    fillFront(keyed);
    return;
  }
  const std::size_t frontQuota = keyed / 2;
  RunBoth([&] { fillFront(frontQuota); },
          [&] {
            merge_detail::Merge<Kind> merge(kind, work, keyedA, work + half, keyedB);
            if (descending) {
              merge_detail::FillFromBack(kind, keyless, out, n, keyed - frontQuota,
                                         [&]() -> const Entry& { return merge.Front(); });
            } else {
              merge_detail::FillFromBack(kind, keyless, out, n, keyed - frontQuota,
                                         [&]() -> const Entry& { return merge.Back(); });
            }
          });
}

}  // namespace velkar
