// The radix sorts of the work array's entries. Text keys: each entry holds the
// next 8 key bytes as one big-endian number (folded when case is ignored) and a
// pointer to its key; an in-place MSD radix sort orders the entries by those bytes
// and reloads the next 8 only for groups that still agree. Number keys: each entry
// holds the 32-bit value made unsigned, and an LSD radix sort orders the values.
// Also the order of two sorted text entries, for the merge of two parts. Only
// radix_sort.cpp includes this.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "engine/engine_internal.h"
#include "platform/ascii_fold.h"

namespace velkar::radix {

using Byte = unsigned char;

// A field text key is cut after this many bytes.
inline constexpr std::size_t kFieldKeyMax = kKeyBufferSize - 1;
// Groups up to kSmallMax entries are sorted by their whole cached prefix at once
// (insertion sort up to kInsertionMax), larger ones one radix digit at a time.
inline constexpr std::size_t kInsertionMax = 24;
inline constexpr std::size_t kSmallMax = 512;

// FoldAscii of every byte, looked up.
struct FoldTable {
  Byte map[256];
  constexpr FoldTable() : map() {
    for (int i = 0; i < 256; ++i) map[i] = FoldAscii(static_cast<Byte>(i));
  }
};
inline constexpr FoldTable kFold;

// Bytes depth..depth+7 of a key as a big-endian number, 0 past the key's end, one
// byte at a time. The caller knows the key has at least `depth` bytes. Line and
// column keys end at the NUL; field keys also at the comma and after kFieldKeyMax.
template <bool kFoldCase, bool kField>
inline std::uint64_t LoadPrefixBytes(const Byte* key, std::size_t depth) {
  if (kField && depth >= kFieldKeyMax) return 0;  // depth is a multiple of 8, as is the cut
  const Byte* p = key + depth;
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < 8; ++i) {
    Byte c = p[i];
    if (c == 0 || (kField && c == ',')) break;
    value |= std::uint64_t{kFoldCase ? kFold.map[c] : c} << (56 - 8 * i);
  }
  return value;
}

// Marks with 0x80 each zero byte of w; a byte above the first zero may be marked
// too (the borrow), the first zero itself always is.
inline std::uint64_t ZeroBytes(std::uint64_t w) {
  return (w - 0x0101010101010101ull) & ~w & 0x8080808080808080ull;
}

// As LoadPrefixBytes, in one 8-byte read: the bytes from the key's end on are
// masked off and a..z are folded in all 8 lanes at once. This runs for every key
// at every step, and reading bytes one by one with a branch on each was most of the
// radix sort's time. The read may pass the key's end, never the 4 KiB page it
// starts in (so it cannot fault; glibc's string functions read the same way): near
// a page end the bytes are read one by one. AddressSanitizer would take the bytes
// read past a heap block's end for an overflow, so it does not watch this read;
// those bytes never reach the result.
template <bool kFoldCase, bool kField>
__attribute__((no_sanitize_address)) inline std::uint64_t LoadPrefix(const Byte* key,
                                                                     std::size_t depth) {
  const Byte* p = key + depth;
  if ((reinterpret_cast<std::uintptr_t>(p) & 4095) > 4096 - 8) {
    return LoadPrefixBytes<kFoldCase, kField>(key, depth);
  }
  if (kField && depth >= kFieldKeyMax) return 0;
  std::uint64_t w;  // little-endian: the first byte is the lowest
  std::memcpy(&w, p, 8);
  std::uint64_t end = ZeroBytes(w);
  if (kField) end |= ZeroBytes(w ^ 0x2C2C2C2C2C2C2C2Cull);  // the comma
  if (end != 0) {
    const unsigned keep = static_cast<unsigned>(__builtin_ctzll(end)) - 7;  // 8 x bytes kept
    w &= keep == 0 ? 0 : ~0ull >> (64 - keep);
  }
  if (kFoldCase) {
    // FoldAscii on eight bytes at once: a byte below 0x80 with 0x61 <= b <= 0x7A
    // loses 0x20; no lane carries into the next, since b + 0x1F stays below 0x100.
    const std::uint64_t low = w & 0x7F7F7F7F7F7F7F7Full;
    const std::uint64_t fromA = low + 0x1F1F1F1F1F1F1F1Full;  // 0x80 set when b >= 0x61
    const std::uint64_t pastZ = low + 0x0505050505050505ull;  // 0x80 set when b >= 0x7B
    const std::uint64_t letters = fromA & ~pastZ & ~w & 0x8080808080808080ull;
    w -= letters >> 2;
  }
  return __builtin_bswap64(w);
}

// A line or column text key: the line is the key minus the column offset.
struct TextEntry {
  std::uint64_t prefix;
  const Byte* key;
};
// A field text key, which starts at a different offset in every line.
struct FieldEntry {
  std::uint64_t prefix;
  const Byte* key;
  char* line;
};

// The MSD radix sort over text entries. `prefix` holds key bytes depth..depth+7;
// digit `byte` (0 = most significant) is the one being distributed. A digit 0
// means the key has ended, so that whole bucket is equal and needs no more work.
template <class Entry, bool kFoldCase, bool kField>
class TextRadix {
 public:
  static void Sort(Entry* a, std::size_t n) { Radix(a, n, 0, 0); }

 private:
  // Orders a small group by its cached prefixes alone. The integer order is
  // consistent, so the standard sort is safe here.
  static void SortByPrefix(Entry* a, std::size_t n) {
    if (n > kInsertionMax) {
      std::sort(a, a + n, [](const Entry& x, const Entry& y) { return x.prefix < y.prefix; });
      return;
    }
    for (std::size_t i = 1; i < n; ++i) {
      Entry v = a[i];
      std::size_t j = i;
      for (; j > 0 && v.prefix < a[j - 1].prefix; --j) a[j] = a[j - 1];
      a[j] = v;
    }
  }

  // Loads key bytes depth..depth+7 of every entry, fetching a few keys ahead.
  static void Reload(Entry* a, std::size_t n, std::size_t depth) {
    constexpr std::size_t kAhead = 12;
    for (std::size_t i = 0; i < n; ++i) {
      if (i + kAhead < n) __builtin_prefetch(a[i + kAhead].key + depth);
      a[i].prefix = LoadPrefix<kFoldCase, kField>(a[i].key, depth);
    }
  }

  static unsigned Digit(const Entry& e, unsigned shift) {
    return static_cast<unsigned>(e.prefix >> shift) & 0xFF;
  }

  // Recurses on every bucket but the largest, which the loop takes on, so the
  // recursion is at most log2(n) deep whatever the keys.
  static void Radix(Entry* a, std::size_t n, std::size_t depth, unsigned byte) {
    for (;;) {
      if (n < 2) return;
      if (byte == 8) {
        if ((a[0].prefix & 0xFF) == 0) return;  // every key ended: all equal
        depth += 8;
        byte = 0;
        Reload(a, n, depth);
        continue;
      }
      if (n <= kSmallMax) {
        std::size_t same = 1;
        while (same < n && a[same].prefix == a[0].prefix) ++same;
        if (same == n) {  // the whole group agrees on these 8 bytes
          byte = 8;
          continue;
        }
        // Sorted by the whole prefix; groups that agree on it and go on need the
        // next 8 bytes: all but the largest by recursion, the largest by the loop.
        SortByPrefix(a, n);
        Entry* largest = nullptr;
        std::size_t largestSize = 0;
        for (std::size_t start = 0, i = 1; i <= n; ++i) {
          if (i < n && a[i].prefix == a[start].prefix) continue;
          const std::size_t size = i - start;
          if (size > 1 && (a[start].prefix & 0xFF) != 0) {
            if (size > largestSize) {
              if (largest != nullptr) Radix(largest, largestSize, depth, 8);
              largest = a + start;
              largestSize = size;
            } else {
              Radix(a + start, size, depth, 8);
            }
          }
          start = i;
        }
        a = largest;
        n = largestSize;
        byte = 8;
        continue;
      }
      const unsigned shift = 56 - 8 * byte;
      std::size_t count[256] = {};
      for (std::size_t i = 0; i < n; ++i) ++count[Digit(a[i], shift)];
      const unsigned first = Digit(a[0], shift);
      if (count[first] == n) {
        // One bucket: skip every byte the whole group shares; a 0 among them
        // means every key has ended there.
        if (first == 0) return;
        std::uint64_t diff = 0;
        for (std::size_t i = 1; i < n; ++i) diff |= a[i].prefix ^ a[0].prefix;
        const unsigned shared = diff == 0 ? 8 : static_cast<unsigned>(__builtin_clzll(diff)) / 8;
        for (unsigned b = byte + 1; b < shared; ++b) {
          if (Digit(a[0], 56 - 8 * b) == 0) return;
        }
        byte = shared;
        continue;
      }
      std::size_t next[256];
      std::size_t end[256];
      std::size_t sum = 0;
      for (unsigned c = 0; c < 256; ++c) {
        next[c] = sum;
        sum += count[c];
        end[c] = sum;
      }
      // American flag permutation: each swap puts one entry into its bucket for good.
      for (unsigned c = 0; c < 256; ++c) {
        while (next[c] < end[c]) {
          Entry v = a[next[c]];
          unsigned d = Digit(v, shift);
          while (d != c) {
            std::swap(v, a[next[d]++]);
            d = Digit(v, shift);
          }
          a[next[c]++] = v;
        }
      }
      unsigned largest = 1;
      for (unsigned c = 2; c < 256; ++c) {
        if (count[c] > count[largest]) largest = c;
      }
      for (unsigned c = 1; c < 256; ++c) {
        if (c != largest && count[c] > 1) Radix(a + end[c] - count[c], count[c], depth, byte + 1);
      }
      a += end[largest] - count[largest];
      n = count[largest];
      ++byte;
    }
  }
};

// Number keys: the value made unsigned so that unsigned order is the wanted order.
struct NumberEntry {
  std::uint32_t key;
  std::uint32_t slot;
};

// LSD radix sort of a[0..n), n < 2^32, by key in three passes of 11, 11 and 10
// bits through tmp; a pass in which every key has the same digit is skipped. The
// result ends in a.
inline void RadixNumbers(NumberEntry* a, NumberEntry* tmp, std::size_t n) {
  static constexpr unsigned kShift[3] = {0, 11, 22};
  std::uint32_t count[3][2048] = {};
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint32_t k = a[i].key;
    ++count[0][k & 0x7FF];
    ++count[1][(k >> 11) & 0x7FF];
    ++count[2][k >> 22];
  }
  NumberEntry* from = a;
  NumberEntry* to = tmp;
  for (unsigned pass = 0; pass < 3; ++pass) {
    std::uint32_t* c = count[pass];
    if (c[(from[0].key >> kShift[pass]) & 0x7FF] == n) continue;
    std::uint32_t sum = 0;
    for (unsigned d = 0; d < 2048; ++d) {
      const std::uint32_t k = c[d];
      c[d] = sum;
      sum += k;
    }
    for (std::size_t i = 0; i < n; ++i) to[c[(from[i].key >> kShift[pass]) & 0x7FF]++] = from[i];
    std::swap(from, to);
  }
  if (from != a) std::memcpy(a, from, n * sizeof(NumberEntry));
}

// First key bytes back into every entry's prefix, for the merge of two parts.
template <bool kFoldCase, bool kField, class Entry>
void ReloadFirstBytes(Entry* a, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) a[i].prefix = LoadPrefix<kFoldCase, kField>(a[i].key, 0);
}

// The radix sort's order of two text entries whose prefix holds their first 8 key
// bytes: further 8-byte steps only while those agree and the keys go on.
template <bool kFoldCase, bool kField, class Entry>
bool KeyBefore(const Entry& x, const Entry& y) {
  std::uint64_t px = x.prefix;
  std::uint64_t py = y.prefix;
  for (std::size_t depth = 0;;) {
    if (px != py) return px < py;
    if ((px & 0xFF) == 0) return false;  // both keys ended in these bytes: equal
    depth += 8;
    px = LoadPrefix<kFoldCase, kField>(x.key, depth);
    py = LoadPrefix<kFoldCase, kField>(y.key, depth);
  }
}

}  // namespace velkar::radix
