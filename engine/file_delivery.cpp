// Delivery of the output block to a file: the text goes to a temporary file beside
// an existing target and is renamed over it once written and flushed, so a failed
// write leaves the old content; new files, devices and FIFOs are written in place.
// The LF text of the block becomes CR LF in the block itself before the write, and
// a short write is reported in bytes of the LF text.
#include <cstring>
#include <string>

#include "engine/engine_internal.h"
#include "engine/messages.h"

namespace velkar {

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
