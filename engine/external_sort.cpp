// Sorting a text larger than the run's memory budget: the text is read in pieces
// that fit, each piece is sorted by the same engine (SortLines) and written as a
// sorted run to one unnamed temporary file, and the runs are merged into the
// output in one pass whenever the budget gives every run a buffer (else in as few
// passes as it takes). Lines without the key keep their places as in memory: they
// are written aside with their place in the whole table and put back there by the
// last merge, which also drops duplicate neighbours by the whole-line rule.
#include <string.h>  // memrchr

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "engine/engine_internal.h"
#include "engine/messages.h"
#include "engine/progress.h"
#include "engine/run_output.h"

namespace velkar {

BeyondMemoryStats LastBeyondMemory;

namespace {

// The place of a line without the key: 16 hex digits before the line.
constexpr std::size_t kSlotDigits = 16;

// A stretch of the store: one sorted run, or one piece's lines without the key.
struct Extent {
  std::uint64_t offset;
  std::uint64_t size;
};

// The temporary file all runs are written to, one after another; read back at
// their offsets. It has no name, so closing it is all its removal takes.
class Store : public TextSink {
 public:
  Store() = default;
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;
  ~Store() override { Close(); }

  bool Create() {
    file_ = CurrentPlatform()->CreateTempStore(&folder_);
    if (file_ == nullptr) ShowErrorFormat(kMsgTempCreate, folder_.c_str());
    return file_ != nullptr;
  }
  bool Put(const char* data, std::uint64_t size) override {
    if (failed_) return false;
    const std::uint64_t put = CurrentPlatform()->WriteFile(file_, data, size);
    end_ += put;
    failed_ = put != size;
    return !failed_;
  }
  std::uint64_t End() const { return end_; }
  PlatformFile* File() const { return file_; }
  const char* Folder() const { return folder_.c_str(); }
  void Close() {
    if (file_ != nullptr) CurrentPlatform()->CloseFile(file_);
    file_ = nullptr;
  }
  void Swap(Store& other) {
    std::swap(file_, other.file_);
    std::swap(folder_, other.folder_);
    std::swap(end_, other.end_);
    std::swap(failed_, other.failed_);
  }

 private:
  PlatformFile* file_ = nullptr;
  std::string folder_;
  std::uint64_t end_ = 0;
  bool failed_ = false;
};

// Reads the lines of one or more extents of a store in order, through a buffer that
// grows for a line longer than it. Each line is handed out ending in a NUL.
class RunReader {
 public:
  RunReader() = default;
  RunReader(const RunReader&) = delete;
  RunReader& operator=(const RunReader&) = delete;

  bool Start(PlatformFile* store, std::vector<Extent> extents, std::uint64_t bufferSize) {
    store_ = store;
    extents_ = std::move(extents);
    if (!buffer_.Allocate(std::max<std::uint64_t>(bufferSize, 64))) return false;
    return true;
  }
  // The next line into line/length; false at the end or on a failure (Failed).
  bool Next() {
    for (;;) {
      char* begin = buffer_.data + pos_;
      auto* lf = static_cast<char*>(std::memchr(begin, '\n', used_ - pos_));
      if (lf != nullptr) {
        *lf = '\0';
        line = begin;
        length = static_cast<std::size_t>(lf - begin);
        pos_ = static_cast<std::size_t>(lf - buffer_.data) + 1;
        return true;
      }
      if (!Refill()) return false;
    }
  }
  bool Failed() const { return failed_; }
  bool NoMemory() const { return noMemory_; }

  const char* line = nullptr;
  std::size_t length = 0;

 private:
  // Moves the unread rest to the front and reads more behind it, growing the buffer
  // when the rest fills it. false at the end of the extents or on a failure.
  bool Refill() {
    const std::size_t rest = used_ - pos_;
    if (rest == buffer_.size) {
      HeapBuffer larger;
      if (!larger.Allocate(buffer_.size * 2)) {
        failed_ = noMemory_ = true;
        return false;
      }
      std::memcpy(larger.data, buffer_.data + pos_, rest);
      std::swap(larger.data, buffer_.data);
      std::swap(larger.size, buffer_.size);
    } else if (pos_ > 0) {
      std::memmove(buffer_.data, buffer_.data + pos_, rest);
    }
    pos_ = 0;
    used_ = rest;
    while (extent_ < extents_.size() && extents_[extent_].size == 0) ++extent_;
    if (extent_ == extents_.size()) {
      // Every line of a run ends in LF: a rest without one is a damaged run.
      if (rest != 0) failed_ = true;
      return false;
    }
    Extent& e = extents_[extent_];
    const std::uint64_t want = std::min<std::uint64_t>(e.size, buffer_.size - used_);
    const std::uint64_t got =
        CurrentPlatform()->ReadFileAt(store_, buffer_.data + used_, want, e.offset);
    if (got != want) {
      failed_ = true;
      return false;
    }
    e.offset += got;
    e.size -= got;
    used_ += static_cast<std::size_t>(got);
    return true;
  }

  PlatformFile* store_ = nullptr;
  std::vector<Extent> extents_;
  std::size_t extent_ = 0;
  HeapBuffer buffer_;
  std::size_t pos_ = 0;
  std::size_t used_ = 0;
  bool failed_ = false;
  bool noMemory_ = false;
};

// The run's settings and what the pieces left for the merge.
struct ExternalRun {
  std::int32_t sortMode;
  std::int32_t order;
  ComparatorRow row;
  Comparator compare;
  std::uint64_t budget;
  Store store;                   // the sorted runs
  Store keylessStore;            // lines without the key, made when the first comes
  std::vector<Extent> runs;      // sorted runs in the order of their pieces
  std::vector<Extent> keyless;   // each piece's lines without the key
  std::uint64_t lines = 0;       // lines in the whole table
  std::uint64_t outputSize = 0;  // OutputSize's measure of them: length + 2 each
  std::uint64_t lineBytes = 0;   // the runs' bytes: length + 1 each
};

// The room for one reader's buffer, and the buffer the merge writes through.
std::uint64_t WriterBufferSize(std::uint64_t budget) {
  return std::clamp<std::uint64_t>(budget / 16, 64, std::uint64_t{1} << 20);
}
// The merge's writing: its buffer and the one written behind.
std::uint64_t WriteRoom(std::uint64_t budget) { return 2 * WriterBufferSize(budget); }
std::uint64_t MinReaderSize(std::uint64_t budget) {
  return std::clamp<std::uint64_t>(budget / 64, 64, std::uint64_t{64} << 10);
}

// Writes the sorted piece in Base: the lines with the key as one run, those
// without it (in their places) aside with their place in the whole table.
bool WritePiece(ExternalRun& run, WriteBehind& behind, char* writeBuffer, std::size_t writeSize) {
  const std::uint64_t first = run.lines;
  const auto n = static_cast<std::size_t>(LineCount);
  const std::uint64_t start = run.store.End();
  LineWriter writer(&behind, writeBuffer, writeSize, false);
  bool anyKeyless = false;
  for (std::size_t i = 0; i < n; ++i) {
    const char* line = Base[i];
    if (!LineHasKey(run.row, line)) {
      anyKeyless = true;
      continue;
    }
    writer.Line(line, std::strlen(line));
  }
  writer.Flush();
  if (!behind.Drain() || writer.Failed()) {
    ShowErrorFormat(kMsgTempWrite, run.store.Folder());
    return false;
  }
  run.runs.push_back(Extent{start, run.store.End() - start});
  run.lineBytes += writer.Length();
  if (anyKeyless) {
    if (run.keylessStore.File() == nullptr && !run.keylessStore.Create()) return false;
    const std::uint64_t keylessStart = run.keylessStore.End();
    LineWriter aside(&run.keylessStore, writeBuffer, writeSize, false);
    char slot[kSlotDigits + 1];
    std::string entry;
    for (std::size_t i = 0; i < n; ++i) {
      const char* line = Base[i];
      if (LineHasKey(run.row, line)) continue;
      std::snprintf(slot, sizeof slot, "%016" PRIx64, first + i);
      entry.assign(slot, kSlotDigits).append(line);
      aside.Line(entry.data(), entry.size());
    }
    aside.Flush();
    if (aside.Failed()) {
      ShowErrorFormat(kMsgTempWrite, run.keylessStore.Folder());
      return false;
    }
    run.keyless.push_back(Extent{keylessStart, run.keylessStore.End() - keylessStart});
  }
  return true;
}

// The position of the text's end in [from, end): its first NUL, or `end`.
std::uint64_t TextEnd(const char* buffer, std::uint64_t from, std::uint64_t end) {
  const void* nul = std::memchr(buffer + from, 0, end - from);
  return nul != nullptr ? static_cast<std::uint64_t>(static_cast<const char*>(nul) - buffer) : end;
}

// Where a piece of at most `maxLines` lines that starts at `start` ends: after
// the last LF before `end` (or at `end` itself once the text has ended there),
// and never after its maxLines-th LF. 0 when no LF lies in [start, end).
std::uint64_t PieceEnd(const char* buffer, std::uint64_t start, std::uint64_t end, bool textEnded,
                       std::uint64_t maxLines) {
  std::uint64_t cut = end;
  if (!textEnded) {
    const void* lf = memrchr(buffer + start, '\n', end - start);
    if (lf == nullptr) return 0;
    cut = static_cast<std::uint64_t>(static_cast<const char*>(lf) - buffer) + 1;
  }
  // Only a piece that may hold more lines than that is counted through.
  if (cut - start > maxLines) {
    std::uint64_t seen = 0;
    for (const char* p = buffer + start; p < buffer + cut;) {
      const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(buffer + cut - p));
      if (lf == nullptr) break;
      p = static_cast<const char*>(lf) + 1;
      if (++seen == maxLines) return static_cast<std::uint64_t>(p - buffer);
    }
  }
  return cut;
}

// Reads the text piece by piece; sorts each and writes it as a run. false after the
// message of the first failure.
bool SpillPieces(ExternalRun& run, TextSource& source, HeapBuffer& piece, std::uint64_t length,
                 std::int32_t sortPos, std::int32_t keyMode) {
  const std::uint64_t budget = run.budget;
  const std::uint64_t maxLines =
      std::max<std::uint64_t>(1, (budget - PieceLimit(budget)) / kTableBytesPerLine);
  HeapBuffer write;
  char fallback[4096];
  const std::uint64_t writeSize = WriterBufferSize(budget);
  char* writeBuffer = write.Allocate(writeSize) ? write.data : fallback;
  const std::size_t writeRoom = write.data != nullptr ? writeSize : sizeof fallback;
  // The runs are written while the next lines are assembled.
  WriteBehind behind(&run.store);
  behind.Start(writeRoom);

  std::uint64_t start = 0;
  std::uint64_t end = TextEnd(piece.data, 0, length);
  bool textEnded = end < length || source.AtEnd();
  if (textEnded) source.Close();
  for (;;) {
    // Fill the buffer behind what is left of the last piece.
    if (!textEnded && end - start < piece.size - 1) {
      if (start > 0) {
        std::memmove(piece.data, piece.data + start, end - start);
        end -= start;
        start = 0;
      }
      const std::uint64_t got = source.Read(piece.data + end, piece.size - 1 - end);
      if (source.Failed()) return false;
      const std::uint64_t filled = TextEnd(piece.data, end, end + got);
      textEnded = filled < end + got || source.AtEnd();
      end = filled;
      if (textEnded) source.Close();
    }
    if (start == end && textEnded) return true;
    std::uint64_t cut = PieceEnd(piece.data, start, end, textEnded, maxLines);
    if (cut == 0) {
      if (end - start < piece.size - 1) continue;
      // One line longer than the whole buffer: the buffer grows to hold it.
      HeapBuffer larger;
      if (!larger.Allocate(piece.size * 2)) {
        source.Close();
        ShowError(kMsgReadbufAlloc);
        return false;
      }
      std::memcpy(larger.data, piece.data + start, end - start);
      end -= start;
      start = 0;
      std::swap(larger.data, piece.data);
      std::swap(larger.size, piece.size);
      continue;
    }
    // The piece as a text of its own: a NUL after it, the byte there put back after.
    const char kept = piece.data[cut];
    piece.data[cut] = '\0';
    const std::int64_t count = CountLines(piece.data + start);
    bool written = true;
    if (count > 0) {
      if (AllocLineTable(count) != 0) {
        source.Close();
        return false;
      }
      SplitLines(piece.data + start, count);
      SortLines(Base, LineCount, run.order, sortPos, keyMode);
      run.outputSize += OutputSize;
      written = WritePiece(run, behind, writeBuffer, writeRoom);
      run.lines += static_cast<std::uint64_t>(LineCount);
      FreeLineTable();
    }
    piece.data[cut] = kept;
    if (!written) {
      source.Close();
      return false;
    }
    start = cut;
    ProgressTick();
  }
}

// The runs' current lines in a tree of losers: each inner node holds the run that
// lost the match played there, the root's winner is the next line of the merge. A
// new line from the winner's run replays only the matches on its way up: log2 of
// the runs' number comparisons a line. Of equal lines the earlier run's wins, as
// the sort of the whole table would order them; a run at its end loses to all.
template <class Compare>
class LoserTree {
 public:
  LoserTree(Compare compare, std::vector<RunReader*>& readers, std::vector<bool>& live)
      : compare_(compare), readers_(readers), live_(live) {
    leaves_ = 1;
    while (leaves_ < readers.size()) leaves_ *= 2;
    losers_.assign(leaves_, kNone);
    winner_ = Build(1);
  }
  // The run whose line comes next, or kNone when every run has ended.
  std::uint32_t Winner() const { return winner_; }
  // After the winner's run has moved on to its next line (or ended).
  void Replay() {
    std::uint32_t w = winner_;
    for (std::size_t node = (w + leaves_) / 2; node >= 1; node /= 2) {
      if (Beats(losers_[node], w)) std::swap(losers_[node], w);
    }
    winner_ = w;
  }
  static constexpr std::uint32_t kNone = UINT32_MAX;

 private:
  bool Beats(std::uint32_t a, std::uint32_t b) const {
    if (a == kNone || !live_[a]) return false;
    if (b == kNone || !live_[b]) return true;
    const int c = compare_(readers_[a]->line, readers_[b]->line);
    return c != 0 ? c < 0 : a < b;
  }
  // Plays the matches below `node` and returns their winner.
  std::uint32_t Build(std::size_t node) {
    if (node >= leaves_) {
      const std::size_t leaf = node - leaves_;
      return leaf < readers_.size() ? static_cast<std::uint32_t>(leaf) : kNone;
    }
    std::uint32_t left = Build(2 * node);
    std::uint32_t right = Build(2 * node + 1);
    if (Beats(right, left)) std::swap(left, right);
    losers_[node] = right;
    return left;
  }

  Compare compare_;
  std::vector<RunReader*>& readers_;
  std::vector<bool>& live_;
  std::size_t leaves_ = 1;
  std::vector<std::uint32_t> losers_;
  std::uint32_t winner_ = kNone;
};

template <class Compare, class Emit>
bool MergeWith(Compare compare, std::vector<RunReader*>& readers, Emit& emit) {
  std::vector<bool> live(readers.size());
  for (std::size_t i = 0; i < readers.size(); ++i) {
    live[i] = readers[i]->Next();
    if (!live[i] && readers[i]->Failed()) return false;
  }
  LoserTree<Compare> tree(compare, readers, live);
  std::uint64_t ticks = 0;
  for (std::uint32_t top; (top = tree.Winner()) != LoserTree<Compare>::kNone && live[top];) {
    RunReader* reader = readers[top];
    if (!emit(reader->line, reader->length)) return true;
    live[top] = reader->Next();
    if (!live[top] && reader->Failed()) return false;
    tree.Replay();
    if ((++ticks & 0x3FF) == 0) ProgressTick();
  }
  return true;
}

// Merges the runs read by `readers` (in run order), calling emit for each line in
// merged order until it answers false; false when a reader failed. The whole-line
// byte orders compare with strcmp in place, as the in-memory sort does.
template <class Emit>
bool MergeRuns(const ExternalRun& run, std::vector<RunReader*>& readers, Emit emit) {
  if (run.row == kRowLineText && run.order == 0) {
    return MergeWith([](const char* a, const char* b) { return std::strcmp(a, b); }, readers, emit);
  }
  if (run.row == kRowLineText && run.order == 1) {
    return MergeWith([](const char* a, const char* b) { return std::strcmp(b, a); }, readers, emit);
  }
  return MergeWith(run.compare, readers, emit);
}

// The message of a reader's failure: no memory for a long line, or a run that
// could not be read back.
void ShowReadFailure(const RunReader& reader, const Store& store) {
  if (reader.NoMemory()) {
    ShowError(kMsgReadbufAlloc);
  } else {
    ShowErrorFormat(kMsgTempRead, store.Folder());
  }
}

// Merges groups of runs into longer runs in a new store until no more than
// `fanIn` are left. false after its message.
bool MergePasses(ExternalRun& run, std::uint64_t fanIn) {
  const std::uint64_t budget = run.budget;
  while (run.runs.size() > fanIn) {
    Store next;
    if (!next.Create()) return false;
    std::vector<Extent> merged;
    const std::uint64_t readerSize = std::max<std::uint64_t>(
        MinReaderSize(budget), (budget - std::min(budget, WriteRoom(budget))) / (fanIn + 1));
    HeapBuffer write;
    if (!write.Allocate(WriterBufferSize(budget))) {
      ShowError(kMsgReadbufAlloc);
      return false;
    }
    for (std::size_t first = 0; first < run.runs.size(); first += fanIn) {
      const std::size_t last = std::min<std::size_t>(run.runs.size(), first + fanIn);
      std::vector<RunReader> readers(last - first);
      std::vector<RunReader*> pointers;
      for (std::size_t i = first; i < last; ++i) {
        RunReader& reader = readers[i - first];
        if (!reader.Start(run.store.File(), {run.runs[i]}, readerSize)) {
          ShowError(kMsgReadbufAlloc);
          return false;
        }
        pointers.push_back(&reader);
      }
      const std::uint64_t start = next.End();
      WriteBehind behind(&next);
      behind.Start(write.size);
      LineWriter writer(&behind, write.data, write.size, false);
      const bool read = MergeRuns(run, pointers, [&](const char* line, std::size_t length) {
        writer.Line(line, length);
        ProgressAdd(length + 1);
        return !writer.Failed();
      });
      writer.Flush();
      const bool written = behind.Stop() && !writer.Failed();
      if (!read) {
        for (RunReader* reader : pointers) {
          if (reader->Failed()) ShowReadFailure(*reader, run.store);
          if (reader->Failed()) return false;
        }
      }
      if (!written) {
        ShowErrorFormat(kMsgTempWrite, next.Folder());
        return false;
      }
      merged.push_back(Extent{start, next.End() - start});
    }
    // The old runs are gone with their store.
    run.store.Close();
    run.store.Swap(next);
    run.runs = std::move(merged);
  }
  return true;
}

// The last merge, into the output: lines without the key back in their places,
// duplicate neighbours dropped. 0, or -1 after its message.
int MergeIntoOutput(ExternalRun& run, const char* outputName) {
  Platform* platform = CurrentPlatform();
  const std::uint64_t budget = run.budget;
  const bool toBlock = outputName == nullptr && !platform->ClipboardInParts();
  // The clipboard takes the whole text at once: it must fit beside the merge.
  if (toBlock && run.outputSize + 1 > budget) {
    ShowError(kMsgBlockAlloc);
    return -1;
  }
  const std::uint64_t blockShare = toBlock ? run.outputSize + 1 : 0;
  const std::uint64_t room = budget > blockShare ? budget - blockShare : 0;
  const std::uint64_t readerSize =
      std::clamp<std::uint64_t>((room - std::min(room, WriteRoom(budget))) / (run.runs.size() + 1),
                                MinReaderSize(budget), std::uint64_t{4} << 20);
  std::vector<RunReader> readers(run.runs.size());
  std::vector<RunReader*> pointers;
  for (std::size_t i = 0; i < run.runs.size(); ++i) {
    if (!readers[i].Start(run.store.File(), {run.runs[i]}, readerSize)) {
      ShowError(kMsgReadbufAlloc);
      return -1;
    }
    pointers.push_back(&readers[i]);
  }
  RunReader aside;
  const bool anyKeyless = !run.keyless.empty();
  if (anyKeyless && !aside.Start(run.keylessStore.File(), run.keyless, readerSize)) {
    ShowError(kMsgReadbufAlloc);
    return -1;
  }
  HeapBuffer write;
  if (!write.Allocate(WriterBufferSize(budget))) {
    ShowError(kMsgReadbufAlloc);
    return -1;
  }

  RunOutput output;
  if (output.Open(outputName, run.outputSize) != 0) return -1;
  // The output is written while the merge goes on; the writing ends before the
  // output is finished or dropped.
  WriteBehind behind(&output);
  behind.Start(write.size);
  LineWriter writer(&behind, write.data, write.size, output.CrLf());

  // The duplicate filter compares each line with the one before it in the table.
  const bool dropDuplicates = (run.sortMode & kSortUnique) != 0;
  const bool ignoreCase = run.order >= kSortIgnoreCase;
  std::string previous;
  bool havePrevious = false;
  bool noMemory = false;
  auto put = [&](const char* line, std::size_t length) {
    if (dropDuplicates) {
      const bool same = havePrevious && platform->StringsEqual(previous.c_str(), line, ignoreCase);
      try {
        previous.assign(line, length);
      } catch (const std::bad_alloc&) {
        noMemory = true;
        return false;
      }
      havePrevious = true;
      if (same) return true;
    }
    writer.Line(line, length);
    return true;
  };

  std::uint64_t place = 0;
  std::uint64_t nextAside = UINT64_MAX;
  bool asideFailed = false;
  auto loadAside = [&] {
    nextAside = UINT64_MAX;
    if (!aside.Next()) {
      asideFailed = aside.Failed();
      return;
    }
    char digits[kSlotDigits + 1];
    std::memcpy(digits, aside.line, kSlotDigits);
    digits[kSlotDigits] = '\0';
    nextAside = std::strtoull(digits, nullptr, 16);
  };
  // Lines without the key whose place comes next go out before the next merged line.
  auto putAside = [&] {
    while (nextAside == place) {
      if (!put(aside.line + kSlotDigits, aside.length - kSlotDigits)) return false;
      ++place;
      loadAside();
    }
    return !asideFailed;
  };
  if (anyKeyless) loadAside();
  std::uint64_t progress = 0;
  bool read = putAside() && MergeRuns(run, pointers, [&](const char* line, std::size_t length) {
                if (!put(line, length)) return false;
                ++place;
                progress += length + 1;
                if (progress >= (1u << 20)) {
                  ProgressAdd(progress);
                  progress = 0;
                }
                return putAside();
              });
  if (read && anyKeyless) read = putAside() && !asideFailed;
  // What is left in the writer's buffer goes out from here.
  behind.Stop();
  if (noMemory) {
    output.Abandon();
    ShowError(kMsgReadbufAlloc);
    return -1;
  }
  if (!read || asideFailed) {
    output.Abandon();
    if (asideFailed) {
      ShowReadFailure(aside, run.keylessStore);
      return -1;
    }
    for (RunReader* reader : pointers) {
      if (reader->Failed()) {
        ShowReadFailure(*reader, run.store);
        return -1;
      }
    }
    ShowErrorFormat(kMsgTempRead, run.store.Folder());
    return -1;
  }
  writer.Flush();
  ProgressAdd(progress);
  return output.Finish(writer.Length(), writer.Lines());
}

int SortPiecesAndMerge(TextSource& source, char* buffer, std::uint64_t capacity,
                       std::uint64_t length, std::uint64_t budget, std::int32_t sortMode,
                       const char* outputName, std::int32_t sortPos, std::int32_t keyMode) {
  const std::int32_t order = sortMode & ~kSortUnique;
  LastBeyondMemory = BeyondMemoryStats{};
  HeapBuffer piece;
  piece.data = buffer;
  piece.size = buffer != nullptr ? capacity : 0;
  const std::uint64_t pieceSize = PieceLimit(budget);
  if (piece.size < pieceSize + 1) {
    HeapBuffer larger;
    if (!larger.Allocate(pieceSize + 1)) {
      source.Close();
      ShowError(kMsgReadbufAlloc);
      return -1;
    }
    if (length > 0) std::memcpy(larger.data, piece.data, length);
    std::swap(larger.data, piece.data);
    std::swap(larger.size, piece.size);
  }

  ExternalRun run{sortMode, order, kRowNone, nullptr, budget, {}, {}, {}, {}, 0, 0, 0};
  SortPos = sortPos;
  run.row = SelectRow(sortPos, keyMode);
  run.compare = SelectComparator(order, sortPos, keyMode);
  // With no routine the table keeps its order: every line goes as one run.
  if (!run.store.Create()) {
    source.Close();
    return -1;
  }
  if (!SpillPieces(run, source, piece, length, sortPos, keyMode)) return -1;
  piece.Reset();
  if (run.lines == 0) {
    ShowError(kMsgNoLine);
    return -1;
  }
  if (run.compare == nullptr) {
    // No sort: the runs follow each other in the text's order.
    run.compare = [](const char*, const char*) { return 0; };
  }
  // As many runs as the budget gives readers, one reader's room left for the rest.
  const std::uint64_t readers =
      (budget - std::min(budget, WriteRoom(budget))) / MinReaderSize(budget);
  const std::uint64_t fanIn = std::max<std::uint64_t>(2, readers > 1 ? readers - 1 : 0);
  // Every pass reads the runs' bytes once.
  std::uint64_t passes = 1;
  for (std::uint64_t left = run.runs.size(); left > fanIn; left = (left + fanIn - 1) / fanIn) {
    ++passes;
  }
  ProgressBegin(RunPhase::kMerge, run.lineBytes * passes);
  LastBeyondMemory.runs = run.runs.size();
  LastBeyondMemory.passes = passes;
  if (!MergePasses(run, fanIn)) return -1;
  return MergeIntoOutput(run, outputName);
}

}  // namespace

int SortBeyondMemory(TextSource& source, char* buffer, std::uint64_t capacity, std::uint64_t length,
                     std::uint64_t budget, std::int32_t sortMode, const char* outputName,
                     std::int32_t sortPos, std::int32_t keyMode) {
  // The bookkeeping of runs lives in standard containers: their allocation
  // failing is the run's memory failure like any other.
  try {
    return SortPiecesAndMerge(source, buffer, capacity, length, budget, sortMode, outputName,
                              sortPos, keyMode);
  } catch (const std::bad_alloc&) {
    FreeLineTable();
    source.Close();
    ShowError(kMsgReadbufAlloc);
    return -1;
  }
}

}  // namespace velkar
