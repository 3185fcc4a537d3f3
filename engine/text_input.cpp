// The run's input, a file or the clipboard's text, read in parts: all of it into
// readbuf when it fits the run's piece of memory, or piece by piece for the sort
// beyond memory. Each failure is shown once, in the input step's own words.
#include <cstring>

#include "engine/engine_internal.h"
#include "engine/messages.h"
#include "engine/progress.h"

namespace velkar {

namespace {

// The most one read call asks for, so that the progress moves during a long read.
constexpr std::uint64_t kReadChunk = std::uint64_t{64} << 20;
// First allocation of a text whose size is not known beforehand.
constexpr std::uint64_t kStreamChunk = 64 * 1024;

}  // namespace

TextSource::~TextSource() { Close(); }

// A directory gives the open message, as a missing file does (opening one for
// reading would succeed here). The clipboard's own block is only read, never
// written or freed; a block that cannot be locked counts as no text.
int TextSource::Open(const char* fileName) {
  Platform* platform = CurrentPlatform();
  if (fileName != nullptr) {
    FileInfo info;
    if (platform->QueryFile(fileName, &info) != 0 || info.isDirectory) {
      ShowErrorFormat(kMsgReadOpen, fileName);
      return -1;
    }
    file_ = platform->OpenFileRead(fileName);
    if (file_ == nullptr) {
      ShowErrorFormat(kMsgReadOpen, fileName);
      return -1;
    }
    sizeKnown_ = info.isRegular;
    size_ = info.size;
    return 0;
  }
  if (!platform->OpenClipboard(OwnerWindow)) {
    ShowError(kMsgClipOpen);
    return -1;
  }
  clipboardOpen_ = true;
  if (platform->ClipboardInParts()) {
    inParts_ = true;
    return 0;
  }
  block_ = platform->GetClipboardText();
  text_ = block_ != nullptr ? static_cast<const char*>(platform->GlobalLock(block_)) : nullptr;
  if (text_ == nullptr) {
    // A text too big for the memory left is the input step's memory failure.
    const bool outOfMemory = block_ == nullptr && platform->ClipboardTextOutOfMemory();
    block_ = nullptr;
    Fail(outOfMemory ? kMsgReadbufAlloc : kMsgClipNoText);
    return -1;
  }
  // The text ends at its first NUL, or at the end of the block if it has none.
  sizeKnown_ = true;
  size_ = TextLength(text_, platform->GlobalSize(block_));
  return 0;
}

std::uint64_t TextSource::Read(char* buffer, std::uint64_t size) {
  Platform* platform = CurrentPlatform();
  if (failed_ || ended_) return 0;
  if (text_ != nullptr) {
    const std::uint64_t n = size < size_ - done_ ? size : size_ - done_;
    std::memcpy(buffer, text_ + done_, n);
    done_ += n;
    ended_ = done_ == size_;
    ProgressAdd(n);
    return n;
  }
  if (inParts_) {
    std::uint64_t got = 0;
    while (got < size) {
      const std::int64_t part = platform->ReadClipboardPart(buffer + got, size - got);
      if (part < 0) {
        // No text at all, or a read that failed part way: no text, never part of it.
        Fail(kMsgClipNoText);
        return 0;
      }
      if (part == 0) {
        ended_ = true;
        break;
      }
      got += static_cast<std::uint64_t>(part);
    }
    done_ += got;
    ProgressAdd(got);
    ProgressTick();
    return got;
  }
  // A regular file is read up to the size its status gave; one that grew is read
  // up to that size, one that shrank is a read error.
  if (sizeKnown_ && size > size_ - done_) size = size_ - done_;
  std::uint64_t got = 0;
  while (got < size) {
    const std::uint64_t want = size - got < kReadChunk ? size - got : kReadChunk;
    const std::uint64_t read = platform->ReadFile(file_, buffer + got, want);
    got += read;
    ProgressAdd(read);
    ProgressTick();
    if (read < want) {
      ended_ = true;
      break;
    }
  }
  done_ += got;
  if (sizeKnown_ && done_ == size_) ended_ = true;
  if (ended_ && sizeKnown_ && done_ != size_) {
    platform->CloseFile(file_);
    file_ = nullptr;
    failed_ = true;
    ShowErrorFormat(kMsgReadError, size_, done_);
    return 0;
  }
  return got;
}

// The box of a clipboard step shows while the clipboard is open; a file's after
// the file is closed.
void TextSource::Fail(const char* message) {
  failed_ = true;
  if (clipboardOpen_) {
    if (block_ != nullptr) CurrentPlatform()->GlobalUnlock(block_);
    block_ = nullptr;
    text_ = nullptr;
    ShowError(message);
    Close();
    return;
  }
  Close();
  ShowError(message);
}

void TextSource::Close() {
  Platform* platform = CurrentPlatform();
  if (file_ != nullptr) platform->CloseFile(file_);
  file_ = nullptr;
  if (block_ != nullptr) platform->GlobalUnlock(block_);
  block_ = nullptr;
  text_ = nullptr;
  if (clipboardOpen_) platform->CloseClipboard();
  clipboardOpen_ = false;
}

// A text of known size gets one block of its size; any other grows by doubling,
// up to the limit. The text is read to its end unless that passes the limit.
char* ReadInput(TextSource& source, std::uint64_t limit, std::uint64_t* length, bool* whole) {
  Platform* platform = CurrentPlatform();
  *whole = false;
  *length = 0;
  ProgressBegin(RunPhase::kRead, source.SizeKnown() ? source.Size() : 0);
  if (source.SizeKnown() && source.Size() > limit) return nullptr;
  std::uint64_t capacity = source.SizeKnown() ? source.Size() + 1 : kStreamChunk;
  if (capacity > limit + 1) capacity = limit + 1;
  char* buffer = capacity < SIZE_MAX ? static_cast<char*>(platform->HeapAlloc(capacity)) : nullptr;
  if (buffer != nullptr && source.SizeKnown()) AdviseLargePages(buffer, capacity);
  std::uint64_t used = 0;
  while (buffer != nullptr) {
    const std::uint64_t room = capacity - 1 - used;
    const std::uint64_t got = source.Read(buffer + used, room);
    if (source.Failed()) {
      platform->HeapFree(buffer);
      return nullptr;
    }
    // A text of unknown size ends at its first NUL: nothing after it is read, so
    // an endless stream of zeros ends at once.
    if (!source.SizeKnown()) {
      if (const void* nul = std::memchr(buffer + used, 0, got)) {
        used = static_cast<std::uint64_t>(static_cast<const char*>(nul) - buffer);
        *whole = true;
        break;
      }
    }
    used += got;
    if (source.AtEnd()) {
      *whole = true;
      break;
    }
    if (got < room) continue;
    // Full: a text past the limit goes on beyond memory from what is read.
    if (capacity > limit) break;
    std::uint64_t larger = capacity * 2 <= limit + 1 ? capacity * 2 : limit + 1;
    char* grown = static_cast<char*>(platform->HeapAlloc(larger));
    if (grown != nullptr) std::memcpy(grown, buffer, used);
    platform->HeapFree(buffer);
    buffer = grown;
    capacity = larger;
  }
  if (buffer == nullptr) {
    source.Fail(kMsgReadbufAlloc);
    return nullptr;
  }
  buffer[used] = '\0';
  *length = used;
  return buffer;
}

}  // namespace velkar
