// Text input and the line table: reads a file or the clipboard's text into readbuf,
// counts its lines and cuts them in place, recording them in Base.
#include <cstring>

#include "engine/engine_internal.h"
#include "engine/messages.h"

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

}  // namespace

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
  const void* nul = std::memchr(text, 0, blockSize);
  std::size_t length =
      nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - text) : blockSize;
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

// One linear pass: memchr from line end to line end, up to the first NUL.
std::int64_t CountLines(const char* text) {
  const char* end = text + std::strlen(text);
  std::int64_t count = 0;
  for (const char* p = text; p < end;) {
    const char* lf =
        static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    if (lf == nullptr) {
      if (IsLastPiece(p, end)) ++count;
      break;
    }
    ++count;
    p = lf + 1;
  }
  return count;
}

int AllocLineTable(std::int64_t count) {
  Base = nullptr;
  if (count > 0 && static_cast<std::uint64_t>(count) <= SIZE_MAX / sizeof(char*)) {
    Base = static_cast<char**>(
        CurrentPlatform()->HeapAlloc(static_cast<std::size_t>(count) * sizeof(char*)));
  }
  if (Base == nullptr) {
    ShowError(kMsgBaseAlloc);
    return -1;
  }
  return 0;
}

// Scans as CountLines does, so it never stores more lines than Base holds. The CR
// right before an LF is cut with it; the LF then stays behind the NUL unread.
void SplitLines(char* text, std::int64_t count) {
  char* end = text + std::strlen(text);
  std::int64_t i = 0;
  OutputSize = 0;
  for (char* p = text; p < end && i < count;) {
    char* lf = static_cast<char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    if (lf == nullptr) {
      // The unterminated last piece already ends at the text's NUL.
      if (IsLastPiece(p, end)) {
        Base[i++] = p;
        OutputSize += static_cast<std::uint64_t>(end - p) + 2;
      }
      break;
    }
    char* cut = lf > p && lf[-1] == '\r' ? lf - 1 : lf;
    *cut = '\0';
    Base[i++] = p;
    OutputSize += static_cast<std::uint64_t>(cut - p) + 2;
    p = lf + 1;
  }
  LineCount = i;
}

void FreeLineTable() {
  if (Base != nullptr) CurrentPlatform()->HeapFree(Base);
  Base = nullptr;
}

}  // namespace velkar
