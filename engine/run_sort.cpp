// One sort run from start to finish: the mode check, input, line table, sort, the
// output block and its delivery to a file or the clipboard, and the run's boxes.
// Each step reports its own failure through ShowError; RunSort only ends the run.
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

// ---- Delivery to a file ----

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

namespace {

std::uint64_t CountLineFeeds(const char* text, std::uint64_t length) {
  std::uint64_t lineFeeds = 0;
  for (const char* p = text; p < text + length;) {
    const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(text + length - p));
    if (lf == nullptr) break;
    ++lineFeeds;
    p = static_cast<const char*>(lf) + 1;
  }
  return lineFeeds;
}

}  // namespace

std::uint64_t SourceBytesWritten(const char* expanded, std::uint64_t expandedLength,
                                 std::uint64_t written) {
  std::uint64_t lineFeeds = CountLineFeeds(expanded, written);
  // Each CR LF pair stands for one LF; a CR added before an LF that was not written
  // stands for nothing.
  bool danglingCr = written > 0 && written < expandedLength && expanded[written] == '\n';
  return written - lineFeeds - (danglingCr ? 1 : 0);
}

namespace {

// Names of devices and process files (/dev/stdout, /dev/fd/1, /proc/self/fd/1) are
// written directly: renaming a file over them would not reach what they stand for.
bool IsSpecialName(const char* name) {
  return std::strncmp(name, "/dev/", 5) == 0 || std::strncmp(name, "/proc/", 6) == 0;
}

// Writes the CR LF text with one write, pushes it to storage and closes the file.
// 0, or -1 with *writesize set to what the write-error message shows: the bytes of
// the LF text the write took when it fell short, and 0 when the write took all of
// them but the flush or the close failed (then none of it is known to be stored).
int PutText(PlatformFile* file, const char* text, std::uint64_t size, std::uint64_t* writesize) {
  Platform* platform = CurrentPlatform();
  std::uint64_t put = platform->WriteFile(file, text, size);
  bool written = put == size;
  bool flushed = written && platform->FlushFile(file) == 0;
  bool closed = platform->CloseFile(file) == 0;
  if (written && flushed && closed) return 0;
  *writesize = written ? 0 : SourceBytesWritten(text, size, put);
  return -1;
}

}  // namespace

// Safe delivery: an existing regular file is replaced through a temporary file
// beside it (beside the file a symbolic link names), renamed over it only once the
// whole text is written and flushed, so a failure leaves the old content whole;
// this also covers an output that is the run's input. A read-only file is refused
// as the open would refuse it. Where no temporary file can be made or renamed, and
// for new files, devices and FIFOs, the file is written in place.
int WriteTextFile(const char* fileName) {
  Platform* platform = CurrentPlatform();
  std::uint64_t length = std::strlen(pMem);
  std::uint64_t lineFeeds = CountLineFeeds(pMem, length);

  FileInfo info;
  bool exists = platform->QueryFile(fileName, &info) == 0;
  if (exists && info.isDirectory) {
    ShowErrorFormat(kMsgWriteOpen, fileName);
    return -1;
  }
  bool replace = exists && info.isRegular && !IsSpecialName(fileName);
  if (replace && !platform->CanWriteFile(fileName)) {
    ShowErrorFormat(kMsgWriteOpen, fileName);
    return -1;
  }

  // The block holds OutputSize + 1 bytes and OutputSize counts two line-end bytes
  // per line, so the CR LF form fits in the block itself.
  MemHandle hMem = platform->GlobalHandle(pMem);
  if (length + lineFeeds >= platform->GlobalSize(hMem)) {
    ShowErrorFormat(kMsgWriteError, length, std::uint64_t{0});
    return -1;
  }
  bool expanded = false;
  std::uint64_t size = length + lineFeeds;
  std::uint64_t writesize = 0;

  if (replace) {
    std::string target = platform->ResolveLinks(fileName);
    std::string tempName;
    PlatformFile* temp = platform->CreateTempFileBeside(target.c_str(), &tempName);
    if (temp != nullptr) {
      ExpandLineEnds(pMem, length, lineFeeds);
      expanded = true;
      if (PutText(temp, pMem, size, &writesize) != 0) {
        platform->RemoveFile(tempName.c_str());
        ShowErrorFormat(kMsgWriteError, length, writesize);
        return -1;
      }
      platform->SetFileMode(tempName.c_str(), info.mode);
      if (platform->RenameFile(tempName.c_str(), target.c_str()) == 0) return 0;
      platform->RemoveFile(tempName.c_str());
    }
  }

  PlatformFile* file = platform->OpenFileWrite(fileName);
  if (file == nullptr) {
    ShowErrorFormat(kMsgWriteOpen, fileName);
    return -1;
  }
  if (!expanded) ExpandLineEnds(pMem, length, lineFeeds);
  if (PutText(file, pMem, size, &writesize) != 0) {
    ShowErrorFormat(kMsgWriteError, length, writesize);
    return -1;
  }
  return 0;
}

}  // namespace velkar
