// Text input and the line table: reads a file or the clipboard's text into readbuf,
// counts its lines and cuts them in place, each in one bulk pass over the text,
// recording them in Base; and the large-page advice for the engine's big buffers.
#include <string.h>  // memrchr
#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/engine_internal.h"
#include "engine/messages.h"
#include "engine/parallel.h"

namespace velkar {

char* readbuf = nullptr;
char** Base = nullptr;
std::int64_t LineCount = 0;
std::uint64_t OutputSize = 0;

namespace {

// First allocation and growth step of a text read from a pipe or a device.
constexpr std::uint64_t kStreamChunk = 64 * 1024;

// Whether the piece [p, end) after the last LF is a line: a text copied from an
// editor often lacks its final line end. A piece that is only the old end-of-file
// mark 0x1A is no line.
inline bool IsLastPiece(const char* p, const char* end) {
  return end > p && !(end - p == 1 && *p == '\x1A');
}

// Reads a file whose size is not known beforehand (a pipe, a device) until its end,
// into a buffer that grows by doubling. Closes the file. The buffer, or nullptr
// after the memory message.
char* ReadStream(PlatformFile* file) {
  Platform* platform = CurrentPlatform();
  std::uint64_t capacity = kStreamChunk;
  std::uint64_t length = 0;
  char* buffer = static_cast<char*>(platform->HeapAlloc(capacity));
  while (buffer != nullptr) {
    std::uint64_t room = capacity - 1 - length;
    std::uint64_t got = platform->ReadFile(file, buffer + length, room);
    length += got;
    if (got < room) break;
    char* larger =
        capacity <= SIZE_MAX / 2 ? static_cast<char*>(platform->HeapAlloc(capacity * 2)) : nullptr;
    if (larger != nullptr) std::memcpy(larger, buffer, length);
    platform->HeapFree(buffer);
    buffer = larger;
    capacity *= 2;
  }
  platform->CloseFile(file);
  if (buffer == nullptr) {
    ShowError(kMsgReadbufAlloc);
    return nullptr;
  }
  buffer[length] = '\0';
  return buffer;
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

#if defined(__SSE2__)
// ---- A large text in parts ----
// The text [text, end) is cut at 64-byte block boundaries into PartsFor(blocks)
// parts (64 bytes count as a line), so no two parts read the same aligned block;
// each part is counted and cut on a thread of its own.
struct TextParts {
  TextParts(const char* text, const char* textEnd) : start(text), end(textEnd) {
    first = FirstStep(text).block;
    blocks = static_cast<std::size_t>(end - first) / 64 + 1;
    count = PartsFor(blocks);
  }
  const char* Begin(std::size_t i) const {
    return i == 0 ? start : first + 64 * (blocks * i / count);
  }
  const char* End(std::size_t i) const { return i + 1 == count ? end : Begin(i + 1); }

  const char* start;
  const char* end;
  const char* first;  // the aligned block that holds the text's first byte
  std::size_t blocks;
  std::size_t count;
};

// The LF bits of the block at step.block that lie in [step's start, end).
inline std::uint64_t LineFeedsBefore(const Step& step, const char* end) {
  std::uint64_t lfs = Mask(LoadBlock(step.block), _mm_set1_epi8('\n')) & step.keep;
  const auto left = end - step.block;
  if (left < 64) lfs &= (std::uint64_t{1} << left) - 1;
  return lfs;
}

// The LFs in [begin, end), which holds no NUL, and the last of them in *last
// (nullptr when there is none).
inline std::uint64_t CountLineFeeds(const char* begin, const char* end, const char** last) {
  std::uint64_t count = 0;
  *last = nullptr;
  for (Step step = FirstStep(begin); step.block < end; step.block += 64, step.keep = ~0ull) {
    const std::uint64_t lfs = LineFeedsBefore(step, end);
    if (lfs == 0) continue;
    count += static_cast<std::uint64_t>(__builtin_popcountll(lfs));
    *last = step.block + 63 - __builtin_clzll(lfs);
  }
  return count;
}

// Calls onLineFeed(position) for every LF in [begin, end), in order.
template <class OnLineFeed>
inline void ScanRange(const char* begin, const char* end, OnLineFeed onLineFeed) {
  for (Step step = FirstStep(begin); step.block < end; step.block += 64, step.keep = ~0ull) {
    for (std::uint64_t lfs = LineFeedsBefore(step, end); lfs != 0; lfs &= lfs - 1) {
      onLineFeed(step.block + __builtin_ctzll(lfs));
    }
  }
}

// What a part's first pass found.
struct PartCount {
  std::uint64_t lineFeeds = 0;
  const char* lastLineFeed = nullptr;
};

// Counts the LFs of every part, on the parts' threads.
std::vector<PartCount> CountParts(const TextParts& parts) {
  std::vector<PartCount> counts(parts.count);
  RunParts(parts.count, [&](std::size_t i) {
    counts[i].lineFeeds = CountLineFeeds(parts.Begin(i), parts.End(i), &counts[i].lastLineFeed);
  });
  return counts;
}

// CountLines in parts: the LFs of each part, then the piece after the last one.
std::int64_t CountLinesInParts(const TextParts& parts) {
  std::uint64_t count = 0;
  const char* lastLf = nullptr;
  for (const PartCount& part : CountParts(parts)) {
    count += part.lineFeeds;
    if (part.lastLineFeed != nullptr) lastLf = part.lastLineFeed;
  }
  const char* lastStart = lastLf != nullptr ? lastLf + 1 : parts.start;
  if (IsLastPiece(lastStart, parts.end)) ++count;
  return static_cast<std::int64_t>(count);
}

// SplitLines in parts: after the count of each part, each part cuts the lines that
// end in it into its own slice of Base. The line ends a part cuts lie in its own
// blocks, except the CR before an LF that opens the part: the byte before the part
// is read before the cutting starts, and that CR is cut once all parts are done.
void SplitLinesInParts(char* text, std::int64_t count, const TextParts& parts) {
  const std::vector<PartCount> counts = CountParts(parts);
  struct Slice {
    std::int64_t first = 0;       // the index of the part's first line in Base
    char* lineStart = nullptr;    // where that line starts
    bool crBefore = false;        // the byte before the part is a CR
    char* deferredCut = nullptr;  // that CR, when it ends the part's first line
    std::uint64_t outputSize = 0;
  };
  std::vector<Slice> slices(parts.count);
  std::int64_t lines = 0;
  char* lineStart = text;
  for (std::size_t i = 0; i < parts.count; ++i) {
    slices[i].first = lines;
    slices[i].lineStart = lineStart;
    slices[i].crBefore = i > 0 && parts.Begin(i)[-1] == '\r';
    lines += static_cast<std::int64_t>(counts[i].lineFeeds);
    if (counts[i].lastLineFeed != nullptr) {
      lineStart = text + (counts[i].lastLineFeed - text) + 1;
    }
  }
  char** const base = Base;
  RunParts(parts.count, [&](std::size_t part) {
    Slice& slice = slices[part];
    std::int64_t i = slice.first;
    char* p = slice.lineStart;
    const char* begin = parts.Begin(part);
    std::uint64_t outputSize = 0;
    ScanRange(begin, parts.End(part), [&](const char* found) {
      if (i >= count) return;
      char* lf = text + (found - text);
      const bool cr = lf > p && (lf == begin ? slice.crBefore : lf[-1] == '\r');
      char* cut = cr ? lf - 1 : lf;
      if (cut < begin) {
        slice.deferredCut = cut;
      } else {
        *cut = '\0';
      }
      base[i++] = p;
      outputSize += static_cast<std::uint64_t>(cut - p) + 2;
      p = lf + 1;
    });
    slice.outputSize = outputSize;
  });
  std::uint64_t outputSize = 0;
  for (const Slice& slice : slices) {
    if (slice.deferredCut != nullptr) *slice.deferredCut = '\0';
    outputSize += slice.outputSize;
  }
  std::int64_t i = std::min(lines, count);
  // The unterminated last piece already ends at the text's NUL.
  if (i < count && IsLastPiece(lineStart, parts.end)) {
    base[i++] = lineStart;
    outputSize += static_cast<std::uint64_t>(parts.end - lineStart) + 2;
  }
  OutputSize = outputSize;
  LineCount = i;
}
#endif

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

// The file is read with one read call into one block sized from the status query.
// A directory gives the open message, as a missing file does (opening one for
// reading would succeed here). Files that are not regular are read to their end.
char* ReadTextFile(const char* fileName) {
  Platform* platform = CurrentPlatform();
  FileInfo statbuf;
  if (platform->QueryFile(fileName, &statbuf) != 0 || statbuf.isDirectory) {
    ShowErrorFormat(kMsgReadOpen, fileName);
    return nullptr;
  }
  PlatformFile* file = platform->OpenFileRead(fileName);
  if (file == nullptr) {
    ShowErrorFormat(kMsgReadOpen, fileName);
    return nullptr;
  }
  if (!statbuf.isRegular) return ReadStream(file);

  std::uint64_t size = statbuf.size;
  char* buffer = size < SIZE_MAX ? static_cast<char*>(platform->HeapAlloc(size + 1)) : nullptr;
  if (buffer == nullptr) {
    platform->CloseFile(file);
    ShowError(kMsgReadbufAlloc);
    return nullptr;
  }
  AdviseLargePages(buffer, size + 1);
  std::uint64_t readsize = platform->ReadFile(file, buffer, size);
  platform->CloseFile(file);
  if (readsize != size) {
    // A file that shrank since the query; one that grew is read up to the queried size.
    ShowErrorFormat(kMsgReadError, size, readsize);
    platform->HeapFree(buffer);
    return nullptr;
  }
  // Every byte before it was read, so the NUL is the only byte left to clear.
  buffer[size] = '\0';
  return buffer;
}

// The clipboard's own block is only read, never written or freed. A block that
// cannot be locked counts as no text: its text cannot be reached.
char* ReadClipboardText() {
  Platform* platform = CurrentPlatform();
  if (!platform->OpenClipboard(OwnerWindow)) {
    ShowError(kMsgClipOpen);
    return nullptr;
  }
  MemHandle block = platform->GetClipboardText();
  const char* text =
      block != nullptr ? static_cast<const char*>(platform->GlobalLock(block)) : nullptr;
  if (text == nullptr) {
    // A text too big for the memory left is the input step's memory failure.
    bool outOfMemory = block == nullptr && platform->ClipboardTextOutOfMemory();
    ShowError(outOfMemory ? kMsgReadbufAlloc : kMsgClipNoText);
    platform->CloseClipboard();
    return nullptr;
  }
  // The text ends at its first NUL, or at the end of the block if it has none.
  std::size_t blockSize = platform->GlobalSize(block);
  std::size_t length = TextLength(text, blockSize);
  char* copy = static_cast<char*>(platform->HeapAlloc(length + 1));
  if (copy != nullptr) {
    std::memcpy(copy, text, length);
    copy[length] = '\0';
  }
  platform->GlobalUnlock(block);
  if (copy == nullptr) ShowError(kMsgReadbufAlloc);
  platform->CloseClipboard();
  return copy;
}

// One bulk pass over the text up to the first NUL, counting its LFs; the piece
// after the last one is found from the end. A large text is counted in parts on
// several threads, once its length is known.
std::int64_t CountLines(const char* text) {
#if defined(__SSE2__)
  if (ThreadCount() > 1) {
    const TextParts parts(text, text + std::strlen(text));
    if (parts.count > 1) return CountLinesInParts(parts);
  }
#endif
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
// end the scan has still to see. A large text is cut in parts on several threads.
void SplitLines(char* text, std::int64_t count) {
#if defined(__SSE2__)
  if (ThreadCount() > 1) {
    const TextParts parts(text, text + std::strlen(text));
    if (parts.count > 1) {
      SplitLinesInParts(text, count, parts);
      return;
    }
  }
#endif
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
