// Delivery of the output block to a file: the text goes to a temporary file beside
// an existing target (with its owner, group and mode) and is renamed over it once
// written and flushed, so a failed write leaves the old content. New files,
// devices, FIFOs and targets no temporary file can replace are written in place,
// an existing file only once the space for the new text is reserved. The block
// already holds the CR LF text (BuildOutput writes the file form), and a short
// write is reported in bytes of the LF text.
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

// Writes the CR LF text with one write, cuts a file written in place to what it
// now holds, pushes it to storage and closes the file. 0, or -1 with *writesize
// set to what the write-error message shows: the bytes of the LF text the write
// took when it fell short (the file is cut to them), and 0 when the write took all
// of them but the cut, the flush or the close failed (then none of it is known to
// be stored).
int PutText(PlatformFile* file, const char* text, std::uint64_t size, bool inPlace,
            std::uint64_t* writesize) {
  Platform* platform = CurrentPlatform();
  std::uint64_t put = platform->WriteFile(file, text, size);
  bool written = put == size;
  bool cut = !inPlace || platform->SetFileLength(file, put) == 0;
  bool flushed = written && cut && platform->FlushFile(file) == 0;
  bool closed = platform->CloseFile(file) == 0;
  if (written && flushed && closed) return 0;
  *writesize = written ? 0 : SourceBytesWritten(text, size, put);
  return -1;
}

// What became of a replacement through a temporary file.
enum class Replacement { kDone, kFailed, kNotPossible };

// Removes the temporary file and ends its guard.
void DropTempFile(const std::string& tempName) {
  Platform* platform = CurrentPlatform();
  platform->RemoveFile(tempName.c_str());
  platform->GuardTempFile(nullptr);
}

// Writes the CR LF text of `size` bytes to a temporary file beside `target` and
// renames it over the target. The new file gets the old one's owner, group and
// permission bits. kFailed after the write-error message; kNotPossible, with
// nothing shown and no temporary file left, where no temporary file can be made,
// given the owner or renamed.
Replacement ReplaceThroughTempFile(const std::string& target, const FileInfo& info,
                                   std::uint64_t length, std::uint64_t size) {
  Platform* platform = CurrentPlatform();
  std::string tempName;
  PlatformFile* temp = platform->CreateTempFileBeside(target.c_str(), &tempName);
  if (temp == nullptr) return Replacement::kNotPossible;
  // A terminating signal from the file's making to the rename removes it.
  platform->GuardTempFile(tempName.c_str());
  // The owner's file must stay the owner's: when the new file cannot be given its
  // owner and group, the old one is written in place instead.
  if (platform->SetFileOwner(temp, info.owner, info.group) != 0) {
    platform->CloseFile(temp);
    DropTempFile(tempName);
    return Replacement::kNotPossible;
  }
  std::uint64_t writesize = 0;
  if (PutText(temp, pMem, size, false, &writesize) != 0) {
    DropTempFile(tempName);
    ShowErrorFormat(kMsgWriteError, length, writesize);
    return Replacement::kFailed;
  }
  platform->SetFileMode(tempName.c_str(), info.mode);
  if (platform->RenameFile(tempName.c_str(), target.c_str()) == 0) {
    platform->GuardTempFile(nullptr);
    return Replacement::kDone;
  }
  DropTempFile(tempName);
  return Replacement::kNotPossible;
}

// Writes the CR LF text over the file from its start, and cuts it to the new
// length. Nothing is written before the space for the whole text is made sure of,
// so that a file system without room for it (or a file-size limit) leaves the old
// content as it was. 0, or -1 after the open or the write-error message.
int WriteInPlace(const char* fileName, std::uint64_t length, std::uint64_t size) {
  Platform* platform = CurrentPlatform();
  PlatformFile* file = platform->OpenFileWrite(fileName);
  if (file == nullptr) {
    ShowErrorFormat(kMsgWriteOpen, fileName);
    return -1;
  }
  if (platform->ReserveFileSpace(file, size) != 0) {
    platform->CloseFile(file);
    ShowErrorFormat(kMsgWriteError, length, std::uint64_t{0});
    return -1;
  }
  std::uint64_t writesize = 0;
  if (PutText(file, pMem, size, true, &writesize) != 0) {
    ShowErrorFormat(kMsgWriteError, length, writesize);
    return -1;
  }
  return 0;
}

}  // namespace

// Safe delivery: an existing regular file is replaced through a temporary file
// beside it (beside the file a symbolic link names), renamed over it only once the
// whole text is written and flushed, so a failure leaves the old content whole;
// this also covers an output that is the run's input. A read-only file is refused
// as the open would refuse it. Where no temporary file can be made, given the
// file's owner or renamed, and for new files, devices and FIFOs, the file is
// written in place.
int WriteTextFile(const char* fileName) {
  Platform* platform = CurrentPlatform();
  // The CR LF text BuildOutput wrote, and its length as LF text for the messages.
  const std::uint64_t size = OutputLength;
  const std::uint64_t length = OutputLength - OutputLines;

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

  if (replace) {
    std::string target = platform->ResolveLinks(fileName);
    switch (ReplaceThroughTempFile(target, info, length, size)) {
      case Replacement::kDone:
        return 0;
      case Replacement::kFailed:
        return -1;
      case Replacement::kNotPossible:
        break;
    }
  }
  return WriteInPlace(fileName, length, size);
}

}  // namespace velkar
