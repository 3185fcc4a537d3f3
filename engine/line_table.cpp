// The line table: counts the lines of the text and cuts them in place, each in one
// bulk pass over the text, recording them in Base; and the large-page advice for
// the engine's big buffers.
#include <string.h>  // memrchr
#include <sys/mman.h>

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/engine_internal.h"
#include "engine/messages.h"

namespace velkar {

char* readbuf = nullptr;
char** Base = nullptr;
std::int64_t LineCount = 0;
std::uint64_t OutputSize = 0;

namespace {

// Whether the piece [p, end) after the last LF is a line: a text copied from an
// editor often lacks its final line end. A piece that is only the old end-of-file
// mark 0x1A is no line.
inline bool IsLastPiece(const char* p, const char* end) {
  return end > p && !(end - p == 1 && *p == '\x1A');
}

#if defined(__SSE2__)
// The 64 aligned bytes at `block` as four vectors. AddressSanitizer would take the
// bytes of the last step past the text's NUL (in the same 64 bytes, never used)
// for an overflow, so it does not watch this read; aligned, it never crosses into
// the next page.
struct Block {
  __m128i v[4];
};
__attribute__((no_sanitize_address)) inline Block LoadBlock(const char* block) {
  const auto* p = reinterpret_cast<const __m128i*>(block);
  return Block{
      {_mm_load_si128(p), _mm_load_si128(p + 1), _mm_load_si128(p + 2), _mm_load_si128(p + 3)}};
}

// Bit k set where byte k of the block equals every byte of `what`.
inline std::uint64_t Mask(const Block& b, __m128i what) {
  auto m = [&](int k) {
    return std::uint64_t{
        static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(b.v[k], what)))};
  };
  return m(0) | m(1) << 16 | m(2) << 32 | m(3) << 48;
}

// Whether the block holds a NUL byte, with one mask for the 64 bytes.
inline bool HasNul(const Block& b) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i any =
      _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(b.v[0], zero), _mm_cmpeq_epi8(b.v[1], zero)),
                   _mm_or_si128(_mm_cmpeq_epi8(b.v[2], zero), _mm_cmpeq_epi8(b.v[3], zero)));
  return _mm_movemask_epi8(any) != 0;
}

// The aligned 64-byte step that holds the text's first byte, and the mask that
// keeps the bits of the bytes from the text's start on.
struct Step {
  const char* block;
  std::uint64_t keep;
};
inline Step FirstStep(const char* text) {
  const auto misalign = static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(text) & 63);
  return Step{text - misalign, ~0ull << misalign};
}

// Bit k set for each LF at byte k of the block that `keep` keeps and that lies
// before the first kept NUL; *nuls gets the kept NULs' bits (0 when there are none).
inline std::uint64_t LineFeedsBeforeNul(const Block& bytes, std::uint64_t keep,
                                        std::uint64_t* nuls) {
  std::uint64_t lfs = Mask(bytes, _mm_set1_epi8('\n')) & keep;
  *nuls = HasNul(bytes) ? Mask(bytes, _mm_setzero_si128()) & keep : 0;
  if (*nuls != 0) lfs &= (*nuls & (0 - *nuls)) - 1;
  return lfs;
}

// The sum of the 16 byte counters.
inline std::uint64_t SumLanes(__m128i lanes) {
  const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
  return static_cast<std::uint64_t>(_mm_cvtsi128_si64(sums)) +
         static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
}
#endif

// Calls onLineFeed(position) for every LF before the text's first NUL, in order, and
// returns the position of that NUL: one pass over the text 64 bytes at a time, with
// no call per line. The reads are aligned, so none crosses into the next page.
template <class OnLineFeed>
inline const char* ScanLineEnds(const char* text, OnLineFeed onLineFeed) {
#if defined(__SSE2__)
  for (Step step = FirstStep(text);; step.block += 64, step.keep = ~0ull) {
    std::uint64_t nuls = 0;
    std::uint64_t lfs = LineFeedsBeforeNul(LoadBlock(step.block), step.keep, &nuls);
    for (; lfs != 0; lfs &= lfs - 1) onLineFeed(step.block + __builtin_ctzll(lfs));
    if (nuls != 0) return step.block + __builtin_ctzll(nuls);
  }
#else
  const char* end = text + std::strlen(text);
  for (const char* p = text;;) {
    const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
    if (lf == nullptr) return end;
    onLineFeed(static_cast<const char*>(lf));
    p = static_cast<const char*>(lf) + 1;
  }
#endif
}

// The number of LFs before the text's first NUL, and that NUL's position in *end:
// the same pass as ScanLineEnds, counting in byte lanes and adding the lanes up
// every 63 steps (a lane gains at most 4 a step). The first step, which may begin
// before the text, and the step that holds the NUL are counted one mask at a time.
inline std::uint64_t CountLineFeedsToNul(const char* text, const char** end) {
#if defined(__SSE2__)
  const __m128i lineFeed = _mm_set1_epi8('\n');
  std::uint64_t count = 0;
  Step step = FirstStep(text);
  for (;;) {
    __m128i lanes = _mm_setzero_si128();
    for (int i = 0; i < 63; ++i, step.block += 64, step.keep = ~0ull) {
      const Block bytes = LoadBlock(step.block);
      if (step.keep != ~0ull || HasNul(bytes)) {
        std::uint64_t nuls = 0;
        count += static_cast<std::uint64_t>(
            __builtin_popcountll(LineFeedsBeforeNul(bytes, step.keep, &nuls)));
        if (nuls != 0) {
          *end = step.block + __builtin_ctzll(nuls);
          return count + SumLanes(lanes);
        }
        continue;
      }
      // cmpeq gives 0xFF (-1) where the byte is an LF: subtracting adds 1.
      lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(bytes.v[0], lineFeed));
      lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(bytes.v[1], lineFeed));
      lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(bytes.v[2], lineFeed));
      lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(bytes.v[3], lineFeed));
    }
    count += SumLanes(lanes);
  }
#else
  std::uint64_t count = 0;
  *end = ScanLineEnds(text, [&](const char*) { ++count; });
  return count;
#endif
}

}  // namespace

void AdviseLargePages(void* p, std::size_t size) {
#if defined(MADV_HUGEPAGE)
  // Only the whole 2 MiB pages inside the block; a hint, so its result is ignored.
  constexpr std::uintptr_t kLarge = std::uintptr_t{2} << 20;
  const auto start = (reinterpret_cast<std::uintptr_t>(p) + kLarge - 1) & ~(kLarge - 1);
  const auto end = (reinterpret_cast<std::uintptr_t>(p) + size) & ~(kLarge - 1);
  if (end > start) ::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#else
  (void)p;
  (void)size;
#endif
}

// One bulk pass over the text up to the first NUL, counting its LFs; the piece
// after the last one is found from the end.
std::int64_t CountLines(const char* text) {
  const char* end = nullptr;
  auto count = static_cast<std::int64_t>(CountLineFeedsToNul(text, &end));
  const void* lastLf = memrchr(text, '\n', static_cast<std::size_t>(end - text));
  const char* lastStart = lastLf != nullptr ? static_cast<const char*>(lastLf) + 1 : text;
  if (IsLastPiece(lastStart, end)) ++count;
  return count;
}

int AllocLineTable(std::int64_t count) {
  Base = nullptr;
  if (count > 0 && static_cast<std::uint64_t>(count) <= SIZE_MAX / sizeof(char*)) {
    Base = static_cast<char**>(
        CurrentPlatform()->HeapAlloc(static_cast<std::size_t>(count) * sizeof(char*)));
    if (Base != nullptr) AdviseLargePages(Base, static_cast<std::size_t>(count) * sizeof(char*));
  }
  if (Base == nullptr) {
    ShowError(kMsgBaseAlloc);
    return -1;
  }
  return 0;
}

// Scans as CountLines does, so it never stores more lines than Base holds. The CR
// right before an LF is cut with it; the LF then stays behind the NUL unread. The
// cut goes no further than the byte the scan stands on, so it never hides a line
// end the scan has still to see.
void SplitLines(char* text, std::int64_t count) {
  std::int64_t i = 0;
  std::uint64_t outputSize = 0;
  char* p = text;
  char** const base = Base;
  const char* end = ScanLineEnds(text, [&](const char* found) {
    if (i == count) return;
    char* lf = const_cast<char*>(found);
    char* cut = lf > p && lf[-1] == '\r' ? lf - 1 : lf;
    *cut = '\0';
    base[i++] = p;
    outputSize += static_cast<std::uint64_t>(cut - p) + 2;
    p = lf + 1;
  });
  // The unterminated last piece already ends at the text's NUL.
  if (i < count && IsLastPiece(p, end)) {
    base[i++] = p;
    outputSize += static_cast<std::uint64_t>(end - p) + 2;
  }
  OutputSize = outputSize;
  LineCount = i;
}

void FreeLineTable() {
  if (Base != nullptr) CurrentPlatform()->HeapFree(Base);
  Base = nullptr;
}

}  // namespace velkar
