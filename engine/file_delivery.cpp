// Delivery of a text to a file, in one part or many: the text goes to a temporary
// file beside an existing target (with its owner, group and mode) and is renamed
// over it once written and flushed, so a failed write leaves the old content. New
// files, devices, FIFOs and targets no temporary file can replace are written in
// place, an existing file only once the space for the new text is reserved. The
// parts are CR LF text, and a short write is reported in bytes of the LF text.
#include <cstring>
#include <string>

#include "engine/engine_internal.h"
#include "engine/messages.h"

namespace velkar {

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

// Removes the temporary file and ends its guard.
void DropTempFile(const std::string& tempName) {
  Platform* platform = CurrentPlatform();
  platform->RemoveFile(tempName.c_str());
  platform->GuardTempFile(nullptr);
}

// Opens a temporary file beside `target` for its replacement, with the old file's
// owner and group. false, with nothing shown and no temporary file left, where no
// temporary file can be made or given the owner.
bool OpenTempFile(const std::string& target, const FileInfo& info, PlatformFile** file,
                  std::string* tempName) {
  Platform* platform = CurrentPlatform();
  PlatformFile* temp = platform->CreateTempFileBeside(target.c_str(), tempName);
  if (temp == nullptr) return false;
  // A terminating signal from the file's making to the rename removes it.
  platform->GuardTempFile(tempName->c_str());
  // The owner's file must stay the owner's: when the new file cannot be given its
  // owner and group, the old one is written in place instead.
  if (platform->SetFileOwner(temp, info.owner, info.group) != 0) {
    platform->CloseFile(temp);
    DropTempFile(*tempName);
    return false;
  }
  *file = temp;
  return true;
}

}  // namespace

// An existing regular file is replaced through a temporary file beside it (beside
// the file a symbolic link names), so that a failure leaves the old content whole;
// this also covers an output that is the run's input. A read-only file is refused as
// the open would refuse it. Where no temporary file can be made or given the file's
// owner, and for new files, devices and FIFOs, the file is written in place, an
// existing one only once the space for the whole text is reserved.
int FileDelivery::Open(const char* fileName, std::uint64_t upperBound) {
  Platform* platform = CurrentPlatform();
  name_ = fileName;
  FileInfo info;
  const bool exists = platform->QueryFile(fileName, &info) == 0;
  if (exists && info.isDirectory) {
    ShowErrorFormat(kMsgWriteOpen, fileName);
    return -1;
  }
  const bool replace = exists && info.isRegular && !IsSpecialName(fileName);
  if (replace && !platform->CanWriteFile(fileName)) {
    ShowErrorFormat(kMsgWriteOpen, fileName);
    return -1;
  }
  if (replace) {
    target_ = platform->ResolveLinks(fileName);
    mode_ = info.mode;
    if (OpenTempFile(target_, info, &file_, &tempName_)) return 0;
    tempName_.clear();
  }
  return OpenInPlace(fileName, upperBound);
}

bool FileDelivery::Write(const char* data, std::uint64_t size) {
  if (failed_ || reserveFailed_) return false;
  const std::uint64_t put = CurrentPlatform()->WriteFile(file_, data, size);
  written_ += put;
  if (put == size) {
    lfWritten_ += size - CountLineFeeds(data, size);
    return true;
  }
  lfWritten_ += SourceBytesWritten(data, size, put);
  failed_ = true;
  return false;
}

// A write that fell short reports the bytes of the LF text that reached the file
// (a file written in place is cut to them); a cut, flush or close that fails
// reports 0, since none of the text is then known to be stored.
int FileDelivery::Finish(std::uint64_t length) {
  Platform* platform = CurrentPlatform();
  if (reserveFailed_) {
    ShowErrorFormat(kMsgWriteError, length, std::uint64_t{0});
    return -1;
  }
  const bool written = !failed_;
  const bool cut = !inPlace_ || platform->SetFileLength(file_, written_) == 0;
  const bool flushed = written && cut && platform->FlushFile(file_) == 0;
  const bool closed = platform->CloseFile(file_) == 0;
  file_ = nullptr;
  if (written && flushed && closed) {
    if (tempName_.empty()) return 0;
    platform->SetFileMode(tempName_.c_str(), mode_);
    if (platform->RenameFile(tempName_.c_str(), target_.c_str()) == 0) {
      platform->GuardTempFile(nullptr);
      return 0;
    }
    return Retry(length);
  }
  if (!tempName_.empty()) DropTempFile(tempName_);
  ShowErrorFormat(kMsgWriteError, length, written ? std::uint64_t{0} : lfWritten_);
  return -1;
}

void FileDelivery::Abandon() {
  Platform* platform = CurrentPlatform();
  if (file_ != nullptr) platform->CloseFile(file_);
  file_ = nullptr;
  if (!tempName_.empty()) DropTempFile(tempName_);
  tempName_.clear();
}

// A rename that failed leaves the text in the temporary file: it is copied over
// the file in place, as where no temporary file could be made, and then removed.
int FileDelivery::Retry(std::uint64_t length) {
  Platform* platform = CurrentPlatform();
  const std::string tempName = tempName_;
  tempName_.clear();
  PlatformFile* copy = platform->OpenFileRead(tempName.c_str());
  constexpr std::uint64_t kChunk = std::uint64_t{1} << 20;
  char* buffer = copy != nullptr ? static_cast<char*>(platform->HeapAlloc(kChunk)) : nullptr;
  if (buffer == nullptr) {
    if (copy != nullptr) platform->CloseFile(copy);
    DropTempFile(tempName);
    ShowErrorFormat(kMsgWriteError, length, std::uint64_t{0});
    return -1;
  }
  const std::uint64_t size = written_;
  FileDelivery inPlace;
  int result = inPlace.OpenInPlace(name_.c_str(), size);
  if (result == 0) {
    for (std::uint64_t done = 0; done < size;) {
      const std::uint64_t want = size - done < kChunk ? size - done : kChunk;
      const std::uint64_t got = platform->ReadFile(copy, buffer, want);
      if (!inPlace.Write(buffer, got) || got < want) break;
      done += got;
    }
    if (inPlace.written_ < size && !inPlace.failed_) inPlace.failed_ = true;
    result = inPlace.Finish(length);
  }
  platform->HeapFree(buffer);
  platform->CloseFile(copy);
  DropTempFile(tempName);
  return result;
}

int FileDelivery::OpenInPlace(const char* fileName, std::uint64_t upperBound) {
  Platform* platform = CurrentPlatform();
  name_ = fileName;
  file_ = platform->OpenFileWrite(fileName);
  if (file_ == nullptr) {
    ShowErrorFormat(kMsgWriteOpen, fileName);
    return -1;
  }
  inPlace_ = true;
  // Nothing is written before the space for the whole text is made sure of, so that
  // a file system without room for it (or a file-size limit) leaves the old content.
  if (platform->ReserveFileSpace(file_, upperBound) != 0) {
    platform->CloseFile(file_);
    file_ = nullptr;
    reserveFailed_ = true;
  }
  return 0;
}

// The block BuildOutput filled with the file form goes out in one write.
int WriteTextFile(const char* fileName) {
  const std::uint64_t size = OutputLength;
  const std::uint64_t length = OutputLength - OutputLines;
  FileDelivery delivery;
  if (delivery.Open(fileName, size) != 0) return -1;
  delivery.Write(pMem, size);
  return delivery.Finish(length);
}

}  // namespace velkar
