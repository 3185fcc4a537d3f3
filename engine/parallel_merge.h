// Sorting a table's keys in parts, one a thread, and merging the sorted parts into
// the table on as many threads: the merged order is cut into ranges of about equal
// size (exactly at the middle for two parts, at sampled splitters for more), and
// each thread merges its range of every part straight into the table's slots. A
// key kind (radix_sort.cpp) brings the location of its keys, their sort and their
// order.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

#include "engine/parallel.h"
#include "engine/progress.h"

namespace velkar {

// What SortInParts asks of a key kind `Kind`:
// - `Entry`, the work array's element;
// - `Locate(lines, work, begin, end)` puts the keys of lines [begin, end) into
//   work[begin, end): the entries of keyed lines from the front, those of keyless
//   lines from the back with their slot (so the smallest slot is last), and
//   returns how many lines had a key;
// - `Sort(a, n)` sorts one part's keyed entries in the order of `Before`, ready
//   for it;
// - `Before(x, y)`, a strict total order of the keyed entries: the keys' order,
//   and equal keys in the order of their lines (or its reverse where the merged
//   order is read from the back), so that any cut into parts merges to one result;
// - `Line(e)`, `KeylessLine(e)` and `Slot(e)` give an entry's line and a keyless
//   entry's slot.

namespace merge_detail {

// The most parts a table is cut into (ThreadCount() gives no more): the merge of a
// range keeps its runs in arrays of this size, so the worker threads allocate
// nothing.
inline constexpr std::size_t kMaxParts = 256;

// One part of the work array: its sorted keyed entries at the front of its range,
// its keyless entries at the back, the smallest slot last.
template <class Entry>
struct Part {
  Entry* keyed;
  std::size_t keyedCount;
  const Entry* end;  // the end of the part's range
  std::size_t keylessCount;
};

// The keyless entries of all parts, in slot order.
template <class Entry>
class Keyless {
 public:
  explicit Keyless(const std::vector<Part<Entry>>& parts) : parts_(parts) {
    offsets_.reserve(parts.size() + 1);
    offsets_.push_back(0);
    for (const Part<Entry>& part : parts) offsets_.push_back(offsets_.back() + part.keylessCount);
  }
  std::size_t Count() const { return offsets_.back(); }
  const Entry& operator[](std::size_t j) const {
    const std::size_t p = PartOf(j);
    return parts_[p].end[-1 - static_cast<std::ptrdiff_t>(j - offsets_[p])];
  }

  // Walks the keyless entries in slot order from entry j on, forward or back.
  class Cursor {
   public:
    Cursor(const Keyless& keyless, std::size_t j) : keyless_(keyless), j_(j) {
      part_ = j < keyless.Count() ? keyless.PartOf(j) : keyless.parts_.size();
    }
    std::size_t Index() const { return j_; }
    // The entry at the cursor; only while Index() < Count().
    const Entry& Here() const {
      return keyless_.parts_[part_]
          .end[-1 - static_cast<std::ptrdiff_t>(j_ - keyless_.offsets_[part_])];
    }
    void Next() {
      ++j_;
      while (part_ < keyless_.parts_.size() && j_ >= keyless_.offsets_[part_ + 1]) ++part_;
    }
    void Previous() {
      --j_;
      while (j_ < keyless_.offsets_[part_] || part_ == keyless_.parts_.size()) --part_;
    }

   private:
    const Keyless& keyless_;
    std::size_t j_;
    std::size_t part_;
  };

 private:
  // The part that holds keyless entry j (j < Count()).
  std::size_t PartOf(std::size_t j) const {
    return static_cast<std::size_t>(std::upper_bound(offsets_.begin(), offsets_.end(), j) -
                                    offsets_.begin()) -
           1;
  }

  const std::vector<Part<Entry>>& parts_;
  std::vector<std::size_t> offsets_;  // the keyless entries before each part's
};

// The sorted runs of a range, merged smallest first by a tournament of losers:
// each step replays only the path of the run that gave the last entry.
template <class Kind>
class LoserTree {
 public:
  using Entry = typename Kind::Entry;
  struct Run {
    const Entry* next;
    const Entry* end;
  };
  LoserTree(const Kind& kind, const Run* runs, std::size_t count) : kind_(kind) {
    while (leaves_ < count) leaves_ *= 2;
    for (std::size_t i = 0; i < leaves_; ++i)
      runs_[i] = i < count ? runs[i] : Run{nullptr, nullptr};
    tree_[0] = Build(1);
  }
  const Entry& Next() {
    std::size_t winner = tree_[0];
    const Entry& e = *runs_[winner].next++;
    for (std::size_t node = (winner + leaves_) / 2; node >= 1; node /= 2) {
      if (Less(tree_[node], winner)) std::swap(tree_[node], winner);
    }
    tree_[0] = winner;
    return e;
  }

 private:
  // Whether run a's next entry goes before run b's; an ended run goes last.
  bool Less(std::size_t a, std::size_t b) const {
    if (runs_[a].next == runs_[a].end) return false;
    if (runs_[b].next == runs_[b].end) return true;
    return kind_.Before(*runs_[a].next, *runs_[b].next);
  }
  // Plays the matches below `node`, keeping each loser there; returns the winner.
  std::size_t Build(std::size_t node) {
    if (node >= leaves_) return node - leaves_;
    const std::size_t left = Build(2 * node);
    const std::size_t right = Build(2 * node + 1);
    if (Less(right, left)) {
      tree_[node] = left;
      return right;
    }
    tree_[node] = right;
    return left;
  }

  const Kind& kind_;
  Run runs_[kMaxParts];
  std::size_t leaves_ = 1;
  std::size_t tree_[kMaxParts];  // [0]: the winner; the others: the losers
};

// Fills slots [first, last) from the first on: keyless lines into their own slots
// (the cursor stands at the first keyless entry from `first` on), the entries that
// `take` gives into the others.
template <class Kind, class Take>
void FillForward(const Kind& kind, typename Keyless<typename Kind::Entry>::Cursor keyless,
                 std::size_t count, char** out, std::size_t first, std::size_t last, Take take) {
  std::size_t next = keyless.Index() < count ? kind.Slot(keyless.Here()) : last;
  for (std::size_t slot = first; slot < last; ++slot) {
    if (slot == next) {
      out[slot] = kind.KeylessLine(keyless.Here());
      keyless.Next();
      next = keyless.Index() < count ? kind.Slot(keyless.Here()) : last;
    } else {
      out[slot] = kind.Line(take());
    }
  }
}

// Fills slots [first, last) from the last one back (the cursor stands just past
// the last keyless entry before `last`).
template <class Kind, class Take>
void FillBackward(const Kind& kind, typename Keyless<typename Kind::Entry>::Cursor keyless,
                  char** out, std::size_t first, std::size_t last, Take take) {
  auto previous = [&]() -> std::size_t {
    if (keyless.Index() == 0) return last;  // none left: no slot matches
    keyless.Previous();
    return kind.Slot(keyless.Here());
  };
  std::size_t next = previous();
  for (std::size_t slot = last; slot-- > first;) {
    if (slot == next) {
      out[slot] = kind.KeylessLine(keyless.Here());
      next = previous();
    } else {
      out[slot] = kind.Line(take());
    }
  }
}

// The keyed entries of every part merged, and the table filled from them range by
// range.
template <class Kind>
class Merger {
 public:
  using Entry = typename Kind::Entry;
  Merger(const Kind& kind, const std::vector<Part<Entry>>& parts, char** out, std::size_t n,
         bool descending)
      : kind_(kind), parts_(parts), keyless_(parts), out_(out), n_(n), descending_(descending) {
    for (const Part<Entry>& part : parts) keyed_ += part.keyedCount;
  }

  // For `ranges` ranges of the merged order, where each begins in every part:
  // cuts[t * parts + i] entries of part i come before range t. Row 0 is all 0, row
  // `ranges` the parts' sizes.
  std::vector<std::size_t> Cuts(std::size_t ranges) const {
    const std::size_t p = parts_.size();
    std::vector<std::size_t> cuts((ranges + 1) * p, 0);
    for (std::size_t i = 0; i < p; ++i) cuts[ranges * p + i] = parts_[i].keyedCount;
    if (keyed_ == 0 || ranges < 2) return cuts;
    if (p == 2) {
      for (std::size_t t = 1; t < ranges; ++t) {
        const std::size_t first = CoRank(keyed_ * t / ranges);
        cuts[t * p] = first;
        cuts[t * p + 1] = keyed_ * t / ranges - first;
      }
      return cuts;
    }
    // Evenly spaced samples of every part, sorted; the range boundaries are the
    // samples at the right quantiles, and each part is cut before them.
    const std::size_t perPart = std::max<std::size_t>(16, std::min(32 * ranges, 65536 / p));
    std::vector<Entry> samples;
    for (const Part<Entry>& part : parts_) {
      const std::size_t taken = std::min(perPart, part.keyedCount);
      for (std::size_t s = 0; s < taken; ++s) {
        samples.push_back(part.keyed[(2 * s + 1) * part.keyedCount / (2 * taken)]);
      }
    }
    auto before = [this](const Entry& x, const Entry& y) { return kind_.Before(x, y); };
    std::sort(samples.begin(), samples.end(), before);
    for (std::size_t t = 1; t < ranges; ++t) {
      const Entry& splitter = samples[samples.size() * t / ranges];
      for (std::size_t i = 0; i < p; ++i) {
        const Part<Entry>& part = parts_[i];
        cuts[t * p + i] = static_cast<std::size_t>(
            std::lower_bound(part.keyed, part.keyed + part.keyedCount, splitter, before) -
            part.keyed);
      }
    }
    return cuts;
  }

  // Fills the slots of range t of `ranges`, whose entries are parts_[i].keyed
  // [from[i], to[i]): in the merged order, or from the back for descending order.
  void Fill(std::size_t t, std::size_t ranges, const std::size_t* from,
            const std::size_t* to) const {
    typename LoserTree<Kind>::Run runs[kMaxParts];
    std::size_t count = 0;
    std::size_t low = 0;
    std::size_t high = 0;
    for (std::size_t i = 0; i < parts_.size(); ++i) {
      low += from[i];
      high += to[i];
      if (to[i] > from[i]) runs[count++] = {parts_[i].keyed + from[i], parts_[i].keyed + to[i]};
    }
    // The ranks in the output's order of the keyed lines this range places; the
    // range first in the output also takes the keyless slots before its first
    // line, the last one those after its last.
    const std::size_t begin = descending_ ? keyed_ - high : low;
    const std::size_t end = descending_ ? keyed_ - low : high;
    const bool firstOut = descending_ ? t + 1 == ranges : t == 0;
    const bool lastOut = descending_ ? t == 0 : t + 1 == ranges;
    const std::size_t first = firstOut ? 0 : SlotOf(begin);
    const std::size_t last = lastOut ? n_ : SlotOf(end);
    auto fill = [&](auto take) {
      if (descending_) {
        FillBackward(kind_, typename Keyless<Entry>::Cursor(keyless_, last - end), out_, first,
                     last, take);
      } else {
        FillForward(kind_, typename Keyless<Entry>::Cursor(keyless_, first - begin),
                    keyless_.Count(), out_, first, last, take);
      }
    };
    if (count <= 1) {
      const Entry* next = count == 0 ? nullptr : runs[0].next;
      fill([&]() -> const Entry& { return *next++; });
    } else if (count == 2) {
      const Entry* a = runs[0].next;
      const Entry* aEnd = runs[0].end;
      const Entry* b = runs[1].next;
      const Entry* bEnd = runs[1].end;
      fill([&]() -> const Entry& {
        if (b == bEnd || (a != aEnd && kind_.Before(*a, *b))) return *a++;
        return *b++;
      });
    } else {
      LoserTree<Kind> tree(kind_, runs, count);
      fill([&]() -> const Entry& { return tree.Next(); });
    }
  }

 private:
  // The slot of the keyed line of output rank q (q = keyed_: n): q plus the keyless
  // slots before it, which are the keyless entries j with no more than q keyed
  // slots before their own.
  std::size_t SlotOf(std::size_t q) const {
    std::size_t low = 0;
    std::size_t high = keyless_.Count();
    while (low < high) {
      const std::size_t mid = low + (high - low) / 2;
      if (kind_.Slot(keyless_[mid]) - mid <= q) {
        low = mid + 1;
      } else {
        high = mid;
      }
    }
    return q + low;
  }

  // For two parts: how many of part one's entries are among the first r merged.
  std::size_t CoRank(std::size_t r) const {
    const Entry* a = parts_[0].keyed;
    const Entry* b = parts_[1].keyed;
    std::size_t low = r > parts_[1].keyedCount ? r - parts_[1].keyedCount : 0;
    std::size_t high = std::min(r, parts_[0].keyedCount);
    while (low < high) {
      const std::size_t mid = low + (high - low) / 2;
      if (kind_.Before(b[r - mid - 1], a[mid])) {
        high = mid;
      } else {
        low = mid + 1;
      }
    }
    return low;
  }

  const Kind& kind_;
  const std::vector<Part<Entry>>& parts_;
  Keyless<Entry> keyless_;
  char** out_;
  std::size_t n_;
  bool descending_;
  std::size_t keyed_ = 0;
};

}  // namespace merge_detail

// Locates and sorts the keys of the table's lines and writes the lines in order
// into `out` (which may be the table itself), lines without a key in their slots.
// From ParallelMinLines lines on the table is cut into PartsFor(n) parts, each
// located and sorted on a thread of its own, and the sorted parts are merged into
// the table on as many threads, each taking one range of the merged order; where
// a thread cannot be started its share runs here. The progress of the run gains
// the n lines: three quarters as the parts are sorted, the rest as the ranges are
// merged. Returns false, with `out` untouched, when the few bookkeeping arrays of
// the parts cannot be had.
template <class Kind>
bool SortInParts(const Kind& kind, char** lines, typename Kind::Entry* work, std::size_t n,
                 bool descending, char** out) try {
  using Entry = typename Kind::Entry;
  const std::size_t count = std::min(PartsFor(n), merge_detail::kMaxParts);
  const bool ticking = n >= ParallelMinLines;
  std::vector<merge_detail::Part<Entry>> parts(count);
  std::uint64_t mergeShare = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t begin = n * i / count;
    const std::size_t end = n * (i + 1) / count;
    parts[i] = {work + begin, 0, work + end, 0};
    mergeShare += (end - begin) / 4;
  }
  RunParts(
      count,
      [&](std::size_t i) {
        merge_detail::Part<Entry>& part = parts[i];
        const auto begin = static_cast<std::size_t>(part.keyed - work);
        const auto end = static_cast<std::size_t>(part.end - work);
        part.keyedCount = kind.Locate(lines, work, begin, end);
        part.keylessCount = end - begin - part.keyedCount;
        kind.Sort(part.keyed, part.keyedCount);
        ProgressAdd((end - begin) - (end - begin) / 4);
      },
      ticking);
  const merge_detail::Merger<Kind> merger(kind, parts, out, n, descending);
  const std::vector<std::size_t> cuts = merger.Cuts(count);
  RunParts(
      count,
      [&](std::size_t t) {
        merger.Fill(t, count, cuts.data() + t * count, cuts.data() + (t + 1) * count);
        ProgressAdd(mergeShare * (t + 1) / count - mergeShare * t / count);
      },
      ticking);
  return true;
} catch (const std::bad_alloc&) {
  return false;
}

}  // namespace velkar
