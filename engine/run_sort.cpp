// One sort run from start to finish: the mode check, input, line table, sort, the
// output block and its assembly, its delivery to the clipboard (a file's is in
// file_delivery.cpp), the error box with its message formatter, and the run's
// boxes. Each step reports its own failure through ShowError; RunSort only ends
// the run.
#include <string.h>  // stpcpy

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/engine_internal.h"
#include "engine/messages.h"
#include "engine/parallel.h"
#include "engine/progress.h"
#include "engine/run_output.h"

namespace velkar {

std::int32_t RunResult = 0;
unsigned char QuietFinish = 0;
WindowHandle OwnerWindow = nullptr;
char* pMem = nullptr;
bool BlockTaken = false;
std::uint64_t OutputLength = 0;
std::uint64_t OutputLines = 0;

// ---- Messages ----

MessageText::~MessageText() {
  if (text_ != local_) CurrentPlatform()->HeapFree(text_);
}

void MessageText::Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormatV(format, args);
  va_end(args);
}

void MessageText::FormatV(const char* format, va_list args) {
  va_list again;
  va_copy(again, args);
  int needed = std::vsnprintf(local_, sizeof local_, format, args);
  if (needed < 0) local_[0] = '\0';
  if (needed >= static_cast<int>(sizeof local_)) {
    auto* heap =
        static_cast<char*>(CurrentPlatform()->HeapAlloc(static_cast<std::size_t>(needed) + 1));
    if (heap != nullptr) {
      std::vsnprintf(heap, static_cast<std::size_t>(needed) + 1, format, again);
      text_ = heap;
    }
  }
  va_end(again);
}

void ShowError(const char* text) {
  ProgressStop();
  CurrentPlatform()->ShowMessageBox(OwnerWindow, text, kErrorCaption, kBoxOk | kBoxIconError);
}

void ShowErrorFormat(const char* format, ...) {
  MessageText message;
  va_list args;
  va_start(args, format);
  message.FormatV(format, args);
  va_end(args);
  ShowError(message.c_str());
}

// ---- The run ----

namespace {

void FreeReadbuf() {
  CurrentPlatform()->HeapFree(readbuf);
  readbuf = nullptr;
}

// The memory a run in memory takes beyond its text: a line's pointer and its key
// in the sort's work array, and for a clipboard that takes only a block, the
// block of the whole text.
bool FitsInMemory(std::uint64_t length, std::int64_t lines, std::uint64_t budget, bool toBlock) {
  const auto count = static_cast<std::uint64_t>(lines);
  std::uint64_t need = length + 1 + count * kTableBytesPerLine;
  if (toBlock) need += length + 2 * count + 1;
  return need <= budget;
}

// Ends the run after a failure that has been shown.
void EndFailed() {
  FreeReadbuf();
  FreeLineTable();
  RunResult = -1;
}

}  // namespace

// A text that fits in the memory budget is sorted in memory: read whole, cut into
// its line table, sorted, and written out (a file and standard output line by line
// through a bounded buffer, the clipboard as one block). A larger one is sorted in
// pieces through temporary runs (external_sort.cpp).
void RunSort(WindowHandle ownerWindow, std::int32_t sortMode, const char* inputName,
             const char* outputName, std::int32_t sortPos, std::int32_t keyMode) {
  Platform* platform = CurrentPlatform();
  OwnerWindow = ownerWindow;
  ProgressStart();
  std::int32_t order = sortMode & ~kSortUnique;
  if (order < 0 || order > 3) {
    ShowError(kMsgSortModeRange);
    RunResult = -1;
    return;
  }

  const std::uint64_t budget = platform->MemoryBudget();
  const bool toBlock = outputName == nullptr && !platform->ClipboardInParts();
  TextSource source;
  if (source.Open(inputName) != 0) {
    RunResult = -1;
    return;
  }
  std::uint64_t length = 0;
  bool whole = false;
  readbuf = ReadInput(source, PieceLimit(budget), &length, &whole);
  if (source.Failed()) {
    RunResult = -1;
    return;
  }
  std::int64_t lines = 0;
  if (whole) {
    source.Close();
    lines = CountLines(readbuf);
    if (lines == 0) {
      ShowError(kMsgNoLine);
      EndFailed();
      return;
    }
  }
  if (!whole || !FitsInMemory(length, lines, budget, toBlock)) {
    char* text = readbuf;
    readbuf = nullptr;
    RunResult = SortBeyondMemory(source, text, text != nullptr ? length + 1 : 0, length, budget,
                                 sortMode, outputName, sortPos, keyMode);
  } else {
    if (AllocLineTable(lines) != 0) {
      EndFailed();
      return;
    }
    SplitLines(readbuf, lines);
    ProgressBegin(RunPhase::kSort, static_cast<std::uint64_t>(LineCount));
    SortLines(Base, LineCount, order, sortPos, keyMode);
    ProgressComplete();
    RunResult = toBlock ? WriteBlock(sortMode) : WriteLines(sortMode, outputName);
  }
  if (RunResult == 0) ProgressComplete();
  ProgressStop();
  if (RunResult == 0 && QuietFinish == 0) {
    platform->ShowMessageBox(OwnerWindow, kFinishText, kFinishCaption, kBoxOk);
  }
}

// The clipboard's block: assembled whole, the text and table released, then handed
// over.
int WriteBlock(std::int32_t sortMode) {
  if (AllocOutputBlock() != 0) {
    EndFailed();
    return -1;
  }
  ProgressBegin(RunPhase::kWrite, OutputSize);
  BuildOutput(sortMode, LineEnds::kLf);
  // From here the block holds everything that will be delivered.
  FreeReadbuf();
  FreeLineTable();
  const int result = WriteClipboardText();
  FreeOutputBlock();
  return result;
}

// A file or standard output: the lines go out straight from the table.
int WriteLines(std::int32_t sortMode, const char* outputName) {
  RunOutput output;
  int result = output.Open(outputName, OutputSize);
  if (result == 0) result = WriteTable(output, sortMode);
  FreeReadbuf();
  FreeLineTable();
  return result;
}

// ---- The output block ----

int AllocOutputBlock() {
  Platform* platform = CurrentPlatform();
  pMem = nullptr;
  BlockTaken = false;
  MemHandle hMem = OutputSize < SIZE_MAX ? platform->GlobalAlloc(OutputSize + 1) : nullptr;
  if (hMem != nullptr) pMem = static_cast<char*>(platform->GlobalLock(hMem));
  if (pMem != nullptr) AdviseLargePages(pMem, OutputSize + 1);
  if (pMem == nullptr) {
    ShowError(kMsgBlockAlloc);
    if (hMem != nullptr) {
      platform->GlobalUnlock(hMem);
      platform->GlobalFree(hMem);
    }
    return -1;
  }
  return 0;
}

namespace {

// The duplicate filter over Base: a line is written unless the filter is on and it
// equals the line before it in the table, written or not. The test always covers
// whole lines through the platform's equality, whatever the sort key was.
struct Assembly {
  Platform* platform;
  bool dropDuplicates;
  bool ignoreCase;
  bool crlf;

  bool Writes(std::int64_t i) const {
    return !dropDuplicates || i == 0 || !platform->StringsEqual(Base[i], Base[i - 1], ignoreCase);
  }
};

// After the sort the lines lie scattered over readbuf: a line this many places
// ahead is asked for while one is copied, so the copies do not wait on memory.
constexpr std::int64_t kAhead = 16;

// Writes lines [begin, end) of the table at a moving position from `w` on and
// returns the position after the last; *lines gets how many were written. Each
// line is copied by one pass that also finds its end.
char* AssembleForward(const Assembly& a, std::int64_t begin, std::int64_t end, char* w,
                      std::uint64_t* lines) {
  std::uint64_t written = 0;
  for (std::int64_t i = begin; i < end; ++i) {
    if (i + kAhead < end) __builtin_prefetch(Base[i + kAhead]);
    if (!a.Writes(i)) continue;
    w = ::stpcpy(w, Base[i]);  // the NUL it leaves is the line end's place
    if (a.crlf) *w++ = '\r';
    *w++ = '\n';
    ++written;
  }
  *lines = written;
  return w;
}

// Writes lines [begin, end) of the table so that the last ends right before `w`,
// moving back; returns the position of the first written byte.
char* AssembleBackward(const Assembly& a, std::int64_t begin, std::int64_t end, char* w,
                       std::uint64_t* lines) {
  std::uint64_t written = 0;
  for (std::int64_t i = end; i-- > begin;) {
    if (i - kAhead >= begin) __builtin_prefetch(Base[i - kAhead]);
    if (!a.Writes(i)) continue;
    *--w = '\n';
    if (a.crlf) *--w = '\r';
    const std::size_t length = std::strlen(Base[i]);
    w -= length;
    std::memcpy(w, Base[i], length);
    ++written;
  }
  *lines = written;
  return w;
}

}  // namespace

// One pass at a moving write position. From ParallelMinLines lines on, the first
// half of the table is written from the block's start on while a second thread
// writes the second half backward from the end of the longest text the lines can
// make (none dropped); only where lines were dropped does the second half then move
// down to meet the first. The block stays zero behind the text.
void BuildOutput(std::int32_t sortMode, LineEnds ends) {
  const Assembly assembly{CurrentPlatform(), (sortMode & kSortUnique) != 0,
                          (sortMode & ~kSortUnique) >= kSortIgnoreCase, ends == LineEnds::kCrLf};
  const std::int64_t n = LineCount;
  if (!UseTwoThreads(static_cast<std::size_t>(n))) {
    char* w = AssembleForward(assembly, 0, n, pMem, &OutputLines);
    *w = '\0';
    OutputLength = static_cast<std::uint64_t>(w - pMem);
    return;
  }
  // OutputSize counts two line-end bytes a line.
  const std::uint64_t unusedEnds = assembly.crlf ? 0 : static_cast<std::uint64_t>(n);
  char* const textEnd = pMem + (OutputSize - unusedEnds);
  const std::int64_t half = n / 2;
  char* frontEnd = nullptr;
  char* backStart = nullptr;
  std::uint64_t frontLines = 0;
  std::uint64_t backLines = 0;
  RunBoth([&] { frontEnd = AssembleForward(assembly, 0, half, pMem, &frontLines); },
          [&] { backStart = AssembleBackward(assembly, half, n, textEnd, &backLines); });
  const auto backSize = static_cast<std::size_t>(textEnd - backStart);
  if (backStart != frontEnd) {
    std::memmove(frontEnd, backStart, backSize);
    std::memset(frontEnd + backSize, 0, static_cast<std::size_t>(backStart - frontEnd));
  }
  OutputLength = static_cast<std::uint64_t>(frontEnd - pMem) + backSize;
  OutputLines = frontLines + backLines;
}

void FreeOutputBlock() {
  Platform* platform = CurrentPlatform();
  // A block the clipboard accepted is the clipboard's from the hand-over on: the
  // engine's hold on it ends there, and it is neither touched nor freed here.
  if (pMem != nullptr && !BlockTaken) {
    MemHandle hMem = platform->GlobalHandle(pMem);
    platform->GlobalUnlock(hMem);
    platform->GlobalFree(hMem);
  }
  pMem = nullptr;
  BlockTaken = false;
}

// ---- Delivery to the clipboard ----

// The clipboard stays open while a box of the empty or set step shows.
int WriteClipboardText() {
  Platform* platform = CurrentPlatform();
  MemHandle hMem = platform->GlobalHandle(pMem);
  if (!platform->OpenClipboard(OwnerWindow)) {
    ShowError(kMsgClipOpen);
    return -1;
  }
  if (!platform->EmptyClipboard()) {
    ShowError(kMsgClipEmpty);
    platform->CloseClipboard();
    return -1;
  }
  if (!platform->SetClipboardText(hMem)) {
    ShowError(kMsgClipWrite);
    platform->CloseClipboard();
    return -1;
  }
  BlockTaken = true;
  platform->CloseClipboard();
  return 0;
}

}  // namespace velkar
