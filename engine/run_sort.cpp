// One sort run from start to finish: the mode check, input, line table, sort, the
// output block, its delivery to the clipboard (a file's is in file_delivery.cpp)
// and the run's boxes. Each step reports its own failure through ShowError;
// RunSort only ends the run.
#include <string.h>  // memrchr

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/engine_internal.h"
#include "engine/messages.h"

namespace velkar {

std::int32_t RunResult = 0;
unsigned char QuietFinish = 0;
WindowHandle OwnerWindow = nullptr;
char* pMem = nullptr;
bool BlockTaken = false;

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

}  // namespace

void RunSort(WindowHandle ownerWindow, std::int32_t sortMode, const char* inputName,
             const char* outputName, std::int32_t sortPos, std::int32_t keyMode) {
  OwnerWindow = ownerWindow;
  std::int32_t order = sortMode & ~kSortUnique;
  if (order < 0 || order > 3) {
    ShowError(kMsgSortModeRange);
    RunResult = -1;
    return;
  }

  readbuf = inputName != nullptr ? ReadTextFile(inputName) : ReadClipboardText();
  if (readbuf == nullptr) {
    RunResult = -1;
    return;
  }
  std::int64_t lines = CountLines(readbuf);
  if (lines == 0) {
    ShowError(kMsgNoLine);
    FreeReadbuf();
    RunResult = -1;
    return;
  }
  if (AllocLineTable(lines) != 0) {
    FreeReadbuf();
    RunResult = -1;
    return;
  }
  SplitLines(readbuf, lines);
  SortLines(Base, LineCount, order, sortPos, keyMode);

  if (AllocOutputBlock() != 0) {
    FreeReadbuf();
    FreeLineTable();
    RunResult = -1;
    return;
  }
  BuildOutput(sortMode);
  // From here the block holds everything that will be delivered.
  FreeReadbuf();
  FreeLineTable();

  RunResult = outputName != nullptr ? WriteTextFile(outputName) : WriteClipboardText();
  FreeOutputBlock();
  if (RunResult == 0 && QuietFinish == 0) {
    CurrentPlatform()->ShowMessageBox(OwnerWindow, kFinishText, kFinishCaption, kBoxOk);
  }
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

// One pass at a moving write position. The duplicate test always covers whole
// lines through the platform's equality, whatever the sort key was; the line
// compared with is the one before in the table, written or not.
void BuildOutput(std::int32_t sortMode) {
  Platform* platform = CurrentPlatform();
  bool dropDuplicates = (sortMode & kSortUnique) != 0;
  bool ignoreCase = (sortMode & ~kSortUnique) >= kSortIgnoreCase;
  char* w = pMem;
  const char* previous = nullptr;
  // After the sort the lines lie scattered over readbuf: ask for a line a few
  // places ahead while this one is copied, so the copies do not wait on memory.
  constexpr std::int64_t kAhead = 16;
  for (std::int64_t i = 0; i < LineCount; ++i) {
    if (i + kAhead < LineCount) __builtin_prefetch(Base[i + kAhead]);
    const char* line = Base[i];
    if (!dropDuplicates || previous == nullptr ||
        !platform->StringsEqual(line, previous, ignoreCase)) {
      std::size_t length = std::strlen(line);
      std::memcpy(w, line, length);
      w[length] = '\n';
      w += length + 1;
    }
    previous = line;
  }
  *w = '\0';
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

// ---- Line ends of the file form (delivery: file_delivery.cpp) ----

std::uint64_t ExpandLineEnds(char* text, std::uint64_t length, std::uint64_t lineFeeds) {
  // Each line moves once, right to left, so nothing is overwritten before it is read.
  const std::uint64_t expandedLength = length + lineFeeds;
  char* dst = text + expandedLength;
  *dst = '\0';
  std::uint64_t end = length;
  while (lineFeeds > 0) {
    auto* lf = static_cast<char*>(memrchr(text, '\n', static_cast<std::size_t>(end)));
    if (lf == nullptr) break;
    std::size_t tail = static_cast<std::size_t>(end) - static_cast<std::size_t>(lf - text) - 1;
    dst -= tail;
    std::memmove(dst, lf + 1, tail);
    *--dst = '\n';
    *--dst = '\r';
    end = static_cast<std::uint64_t>(lf - text);
    --lineFeeds;
  }
  return expandedLength;
}

}  // namespace velkar
