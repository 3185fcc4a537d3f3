// The in-place sort SortLines falls back to when the radix sort finds no memory for
// its work array: an introsort whose every loop is bounded by indices, never by
// what the comparison answers. So a routine that is not a consistent ordering (a
// missing key compares equal to everything) still leaves a permutation, touches
// nothing outside the table and ends in O(n log n).
#pragma once

#include <cstdint>
#include <utility>

namespace velkar {

namespace sort_detail {

// Ranges up to this size are finished by insertion sort.
inline constexpr std::int64_t kInsertionLimit = 16;
// Above this size the pivot is the median of three medians (Tukey's ninther).
inline constexpr std::int64_t kNintherLimit = 128;

// Insertion sort; the inner loop stops at the start of the range whatever the
// comparison says.
template <class T, class Compare>
void InsertionSort(T* a, std::int64_t n, Compare& compare) {
  for (std::int64_t i = 1; i < n; ++i) {
    T x = a[i];
    std::int64_t j = i;
    while (j > 0 && compare(x, a[j - 1]) < 0) {
      a[j] = a[j - 1];
      --j;
    }
    a[j] = x;
  }
}

template <class T, class Compare>
void SiftDown(T* a, std::int64_t root, std::int64_t n, Compare& compare) {
  T x = a[root];
  for (;;) {
    std::int64_t child = 2 * root + 1;
    if (child >= n) break;
    if (child + 1 < n && compare(a[child], a[child + 1]) < 0) ++child;
    if (!(compare(x, a[child]) < 0)) break;
    a[root] = a[child];
    root = child;
  }
  a[root] = x;
}

// The fallback when partitioning goes badly: O(n log n) whatever the input.
template <class T, class Compare>
void HeapSort(T* a, std::int64_t n, Compare& compare) {
  for (std::int64_t i = n / 2; i-- > 0;) SiftDown(a, i, n, compare);
  for (std::int64_t end = n - 1; end > 0; --end) {
    std::swap(a[0], a[end]);
    SiftDown(a, 0, end, compare);
  }
}

// Orders a[i], a[j], a[k] so that the middle one is at j.
template <class T, class Compare>
void Sort3(T* a, std::int64_t i, std::int64_t j, std::int64_t k, Compare& compare) {
  if (compare(a[j], a[i]) < 0) std::swap(a[i], a[j]);
  if (compare(a[k], a[j]) < 0) {
    std::swap(a[j], a[k]);
    if (compare(a[j], a[i]) < 0) std::swap(a[i], a[j]);
  }
}

// Moves the pivot to a[0]; n > kInsertionLimit.
template <class T, class Compare>
void ChoosePivot(T* a, std::int64_t n, Compare& compare) {
  std::int64_t mid = n / 2;
  if (n > kNintherLimit) {
    Sort3(a, 0, mid, n - 1, compare);
    Sort3(a, 1, mid - 1, n - 2, compare);
    Sort3(a, 2, mid + 1, n - 3, compare);
    Sort3(a, mid - 1, mid, mid + 1, compare);
  } else {
    Sort3(a, 0, mid, n - 1, compare);
  }
  std::swap(a[0], a[mid]);
}

// Partitions around a[0] and returns its final index p: a[0..p) go no later than
// the pivot, a(p..n) no earlier. Both scans stop on equal keys, so many equal keys
// still split evenly; both are bounded by i <= j, so 0 <= p < n always.
template <class T, class Compare>
std::int64_t Partition(T* a, std::int64_t n, Compare& compare) {
  T pivot = a[0];
  std::int64_t i = 1;
  std::int64_t j = n - 1;
  for (;;) {
    while (i <= j && compare(a[i], pivot) < 0) ++i;
    while (i <= j && compare(pivot, a[j]) < 0) --j;
    if (i >= j) break;
    std::swap(a[i], a[j]);
    ++i;
    --j;
  }
  std::swap(a[0], a[j]);
  return j;
}

template <class T, class Compare>
void IntroSort(T* a, std::int64_t n, int depth, Compare& compare) {
  while (n > kInsertionLimit) {
    if (depth == 0) {
      HeapSort(a, n, compare);
      return;
    }
    --depth;
    ChoosePivot(a, n, compare);
    std::int64_t p = Partition(a, n, compare);
    // Recurse into the smaller side and loop on the larger: the stack stays
    // within log2 n frames.
    std::int64_t leftSize = p;
    std::int64_t rightSize = n - p - 1;
    if (leftSize < rightSize) {
      IntroSort(a, leftSize, depth, compare);
      a += p + 1;
      n = rightSize;
    } else {
      IntroSort(a + p + 1, rightSize, depth, compare);
      n = leftSize;
    }
  }
  InsertionSort(a, n, compare);
}

}  // namespace sort_detail

// Sorts table[0 .. count-1] in place by `compare(x, y)`, whose sign says whether x
// goes before (negative) or after (positive) y. Not stable.
template <class T, class Compare>
void BoundedSort(T* table, std::int64_t count, Compare compare) {
  if (count < 2) return;
  int depth = 0;
  for (std::int64_t m = count; m > 1; m >>= 1) depth += 2;
  sort_detail::IntroSort(table, count, depth, compare);
}

}  // namespace velkar
