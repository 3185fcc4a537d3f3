// The console backend: message boxes become lines on standard error, the
// clipboard becomes standard input (read) and standard output (write).
#include "platform/platform_console.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string>

namespace velkar {

namespace {

// A write error that shows only when the file is closed (a network file system)
// shows on the close of a second descriptor of it; the first stays open.
bool CloseCheckPasses(int fd) {
  int copy = ::dup(fd);
  if (copy < 0) return true;
  return ::close(copy) == 0 || errno == EINTR;
}

}  // namespace

ConsolePlatform::ConsolePlatform(int inputFd, int outputFd, int errorFd)
    : inputFd_(inputFd), outputFd_(outputFd), errorFd_(errorFd) {}

ConsolePlatform::~ConsolePlatform() { DropContent(); }

void ConsolePlatform::ShowMessageBox(WindowHandle, const char* text, const char* caption,
                                     unsigned) {
  // One write, so that the line is not torn apart by other writers of the stream.
  std::string line;
  try {
    line.append(caption).append(": ").append(text).push_back('\n');
  } catch (const std::bad_alloc&) {
    WriteAll(errorFd_, caption, std::strlen(caption));
    WriteAll(errorFd_, ": ", 2);
    WriteAll(errorFd_, text, std::strlen(text));
    WriteAll(errorFd_, "\n", 1);
    return;
  }
  WriteAll(errorFd_, line.data(), line.size());
}

bool ConsolePlatform::OpenClipboard(WindowHandle) {
  if (open_) return false;
  open_ = true;
  return true;
}

MemHandle ConsolePlatform::GetClipboardText() {
  if (!open_) return nullptr;
  if (!inputRead_) {
    inputRead_ = true;
    DropContent();
    content_ = ReadInput();
  }
  return content_;
}

bool ConsolePlatform::ClipboardTextOutOfMemory() { return outOfMemory_; }

bool ConsolePlatform::WaitForInput() {
  pollfd wanted{inputFd_, POLLIN, 0};
  for (;;) {
    if (::poll(&wanted, 1, -1) >= 0) return true;
    if (errno != EINTR) return false;
  }
}

MemHandle ConsolePlatform::ReadInput() {
  // The text ends at the end of the input or at its first NUL; nothing after a
  // NUL is read, so an endless stream of zeros ends at once. A non-blocking input
  // is waited for, never taken as ended; a read that fails gives no text, not
  // part of it.
  outOfMemory_ = false;
  std::string text;
  bool anyByte = false;  // an input that starts with NUL still holds a (empty) text
  try {
    std::size_t used = 0;
    bool sawNul = false;
    while (!sawNul) {
      if (text.size() - used < 65536) text.resize(text.size() < 65536 ? 131072 : text.size() * 2);
      ssize_t got = ::read(inputFd_, text.data() + used, text.size() - used);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && WaitForInput()) continue;
      if (got < 0) return nullptr;
      if (got == 0) break;
      anyByte = true;
      const void* nul = std::memchr(text.data() + used, 0, static_cast<std::size_t>(got));
      if (nul != nullptr) {
        got = static_cast<const char*>(nul) - (text.data() + used);
        sawNul = true;
      }
      used += static_cast<std::size_t>(got);
    }
    text.resize(used);
  } catch (const std::bad_alloc&) {
    outOfMemory_ = true;
    return nullptr;
  }
  if (!anyByte) return nullptr;
  MemHandle block = Platform::GlobalAlloc(text.size() + 1);
  if (block == nullptr) {
    outOfMemory_ = true;
    return nullptr;
  }
  std::memcpy(Platform::GlobalLock(block), text.data(), text.size());
  Platform::GlobalUnlock(block);
  return block;
}

bool ConsolePlatform::ClipboardInParts() { return true; }

std::int64_t ConsolePlatform::ReadClipboardPart(void* buffer, std::uint64_t size) {
  if (!open_) return -1;
  if (partsEnded_ || inputRead_) return anyPart_ ? 0 : -1;
  // The text ends at the input's end or its first NUL; nothing after a NUL is
  // read. A non-blocking input is waited for, never taken as ended.
  auto* out = static_cast<char*>(buffer);
  const std::size_t want =
      size < (std::uint64_t{1} << 30) ? static_cast<std::size_t>(size) : std::size_t{1} << 30;
  for (;;) {
    const ssize_t got = ::read(inputFd_, out, want);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && WaitForInput()) continue;
    if (got < 0) return -1;
    if (got == 0) {
      partsEnded_ = true;
      return anyPart_ ? 0 : -1;
    }
    anyPart_ = true;
    const void* nul = std::memchr(out, 0, static_cast<std::size_t>(got));
    if (nul != nullptr) {
      partsEnded_ = true;
      return static_cast<const char*>(nul) - out;
    }
    return got;
  }
}

bool ConsolePlatform::WriteClipboardPart(const void* data, std::uint64_t size) {
  return open_ && WriteAll(outputFd_, data, size);
}

bool ConsolePlatform::FinishClipboardParts() {
  inputRead_ = true;
  return open_ && CloseCheckPasses(outputFd_);
}

bool ConsolePlatform::EmptyClipboard() {
  if (!open_) return false;
  // Standard output cannot be taken back; emptying only forgets the input text.
  DropContent();
  inputRead_ = true;
  return true;
}

bool ConsolePlatform::SetClipboardText(MemHandle block) {
  if (!open_ || block == nullptr) return false;
  const char* bytes = static_cast<const char*>(Platform::GlobalLock(block));
  if (bytes == nullptr) return false;
  std::size_t size = GlobalSize(block);
  std::size_t length = TextLength(bytes, size);
  bool written = WriteAll(outputFd_, bytes, length) && CloseCheckPasses(outputFd_);
  Platform::GlobalUnlock(block);
  if (!written) return false;
  // The block is the clipboard's from here on: keep it until the next content.
  if (content_ != block) DropContent();
  content_ = block;
  inputRead_ = true;
  return true;
}

void ConsolePlatform::CloseClipboard() { open_ = false; }

bool ConsolePlatform::ShowFileDialog(WindowHandle, const FileDialogRequest&, std::string*) {
  return false;
}

void ConsolePlatform::ShowHelp(WindowHandle, const char*, unsigned, const char*) {}

void ConsolePlatform::SetWaitCursor(bool) {}

void ConsolePlatform::DropContent() {
  if (content_ != nullptr) FreeBlockStorage(content_);
  content_ = nullptr;
}

}  // namespace velkar
