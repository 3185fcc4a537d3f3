// Test double of the platform: in-memory clipboard and scripted dialogs over the
// default blocks and files, with a log of every call and injectable failures.
#include "platform/platform_fake.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace velkar {

FakePlatform::FakePlatform() = default;

FakePlatform::~FakePlatform() { DropClipboardBlocks(); }

void FakePlatform::FailAt(Step step, int nth) {
  int i = static_cast<int>(step);
  failOnce_[i] = calls_[i] + nth;
}

void FakePlatform::FailFrom(Step step, int nth) {
  int i = static_cast<int>(step);
  failFrom_[i] = calls_[i] + nth;
}

bool FakePlatform::Fails(Step step) {
  int i = static_cast<int>(step);
  int n = ++calls_[i];
  return n == failOnce_[i] || (failFrom_[i] != 0 && n >= failFrom_[i]);
}

int FakePlatform::ClipboardBlocks() const {
  return (handedOut_ != nullptr ? 1 : 0) + (accepted_ != nullptr ? 1 : 0);
}

void FakePlatform::DropClipboardBlocks() {
  if (handedOut_ != nullptr) FreeBlockStorage(handedOut_);
  if (accepted_ != nullptr) FreeBlockStorage(accepted_);
  handedOut_ = nullptr;
  accepted_ = nullptr;
}

void FakePlatform::ShowMessageBox(WindowHandle owner, const char* text, const char* caption,
                                  unsigned style) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  Box box{owner, text, caption, style, clipboardOpen};
  log.push_back(std::string("Box:") + caption);
  boxes.push_back(box);
  if (onBox) onBox(box);
}

void* FakePlatform::HeapAlloc(std::size_t size) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back("HeapAlloc");
  if (Fails(Step::HeapAlloc)) return nullptr;
  void* p = Platform::HeapAlloc(size);
  if (p != nullptr) ++liveHeap_;
  return p;
}

void FakePlatform::HeapFree(void* p) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back("HeapFree");
  if (p != nullptr) --liveHeap_;
  Platform::HeapFree(p);
}

MemHandle FakePlatform::GlobalAlloc(std::size_t size) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back("GlobalAlloc");
  if (Fails(Step::GlobalAlloc)) return nullptr;
  return Platform::GlobalAlloc(size);
}

void* FakePlatform::GlobalLock(MemHandle block) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back("GlobalLock");
  if (block != nullptr && block == handedOut_) {
    if (Fails(Step::ClipLock)) return nullptr;
  } else if (Fails(Step::GlobalLock)) {
    return nullptr;
  }
  return Platform::GlobalLock(block);
}

void FakePlatform::GlobalUnlock(MemHandle block) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back("GlobalUnlock");
  Platform::GlobalUnlock(block);
}

void FakePlatform::GlobalFree(MemHandle block) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back("GlobalFree");
  Platform::GlobalFree(block);
}

bool FakePlatform::OpenClipboard(WindowHandle) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back("OpenClipboard");
  if (!clipboardExists || clipboardOpen || Fails(Step::ClipOpen)) return false;
  clipboardOpen = true;
  partRead_ = 0;
  return true;
}

MemHandle FakePlatform::GetClipboardText() {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back("GetClipboardText");
  if (!clipboardOpen || Fails(Step::ClipGet) || !clipboardText) return nullptr;
  if (handedOut_ == nullptr) {
    // Like CF_TEXT: the text up to its first NUL, NUL-terminated.
    std::size_t len = std::strlen(clipboardText->c_str());
    handedOut_ = Platform::GlobalAlloc(len + 1);
    if (handedOut_ == nullptr) return nullptr;
    std::memcpy(Platform::GlobalLock(handedOut_), clipboardText->data(), len);
    Platform::GlobalUnlock(handedOut_);
  }
  return handedOut_;
}

bool FakePlatform::ClipboardTextOutOfMemory() { return clipboardOutOfMemory; }

bool FakePlatform::EmptyClipboard() {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back("EmptyClipboard");
  if (!clipboardOpen || Fails(Step::ClipEmpty)) return false;
  clipboardText.reset();
  DropClipboardBlocks();
  return true;
}

bool FakePlatform::SetClipboardText(MemHandle block) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back("SetClipboardText");
  if (!clipboardOpen || block == nullptr || Fails(Step::ClipSet)) return false;
  if (accepted_ != nullptr) FreeBlockStorage(accepted_);
  accepted_ = block;
  // The text is read when the clipboard is asked for it; keep a copy now, since the
  // block is the clipboard's from here on.
  const char* bytes = static_cast<const char*>(Platform::GlobalLock(block));
  std::size_t size = GlobalSize(block);
  clipboardText = std::string(bytes, TextLength(bytes, size));
  Platform::GlobalUnlock(block);
  return true;
}

void FakePlatform::CloseClipboard() {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back("CloseClipboard");
  clipboardOpen = false;
  if (handedOut_ != nullptr) {
    FreeBlockStorage(handedOut_);
    handedOut_ = nullptr;
  }
}

int FakePlatform::QueryFile(const char* name, FileInfo* info) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back("QueryFile");
  if (Fails(Step::QueryFile)) return -1;
  return Platform::QueryFile(name, info);
}

PlatformFile* FakePlatform::OpenFileRead(const char* name) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back("OpenFileRead");
  if (Fails(Step::OpenRead)) return nullptr;
  return Platform::OpenFileRead(name);
}

std::uint64_t FakePlatform::ReadFile(PlatformFile* file, void* buffer, std::uint64_t size) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back("ReadFile");
  if (Fails(Step::Read)) return Platform::ReadFile(file, buffer, size / 2);
  return Platform::ReadFile(file, buffer, size);
}

PlatformFile* FakePlatform::OpenFileWrite(const char* name) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back("OpenFileWrite");
  if (Fails(Step::OpenWrite)) return nullptr;
  return Platform::OpenFileWrite(name);
}

PlatformFile* FakePlatform::CreateTempFileBeside(const char* target, std::string* tempName) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back("CreateTempFileBeside");
  if (Fails(Step::CreateTemp)) return nullptr;
  return Platform::CreateTempFileBeside(target, tempName);
}

std::uint64_t FakePlatform::WriteFile(PlatformFile* file, const void* data, std::uint64_t size) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (std::find(stores_.begin(), stores_.end(), file) != stores_.end()) {
    log.emplace_back("WriteStore");
    if (Fails(Step::StoreWrite)) return Platform::WriteFile(file, data, size / 2);
    return Platform::WriteFile(file, data, size);
  }
  log.emplace_back("WriteFile");
  if (onWrite) onWrite();
  if (Fails(Step::Write)) return Platform::WriteFile(file, data, size / 2);
  return Platform::WriteFile(file, data, size);
}

int FakePlatform::ReserveFileSpace(PlatformFile* file, std::uint64_t size) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back("ReserveFileSpace");
  if (Fails(Step::Reserve)) return -1;
  return Platform::ReserveFileSpace(file, size);
}

int FakePlatform::SetFileLength(PlatformFile* file, std::uint64_t size) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back("SetFileLength");
  if (Fails(Step::SetLength)) return -1;
  return Platform::SetFileLength(file, size);
}

int FakePlatform::SetFileOwner(PlatformFile* file, std::uint32_t owner, std::uint32_t group) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back("SetFileOwner");
  if (Fails(Step::SetOwner)) return -1;
  return Platform::SetFileOwner(file, owner, group);
}

int FakePlatform::FlushFile(PlatformFile* file) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back("FlushFile");
  if (Fails(Step::Flush)) return -1;
  return Platform::FlushFile(file);
}

int FakePlatform::CloseFile(PlatformFile* file) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (auto store = std::find(stores_.begin(), stores_.end(), file); store != stores_.end()) {
    stores_.erase(store);
    log.emplace_back("CloseStore");
    return Platform::CloseFile(file);
  }
  log.emplace_back("CloseFile");
  int rc = Platform::CloseFile(file);
  if (Fails(Step::Close)) return -1;
  return rc;
}

int FakePlatform::RenameFile(const char* from, const char* to) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back("RenameFile");
  if (Fails(Step::Rename)) return -1;
  return Platform::RenameFile(from, to);
}

int FakePlatform::RemoveFile(const char* name) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back("RemoveFile");
  return Platform::RemoveFile(name);
}

int FakePlatform::SetFileMode(const char* name, unsigned mode) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back("SetFileMode");
  return Platform::SetFileMode(name, mode);
}

bool FakePlatform::CanWriteFile(const char* name) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back("CanWriteFile");
  if (Fails(Step::CanWrite)) return false;
  return Platform::CanWriteFile(name);
}

void FakePlatform::GuardTempFile(const char* name) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back(name != nullptr ? "GuardTempFile" : "EndTempFileGuard");
  Platform::GuardTempFile(name);
}

std::string FakePlatform::ResolveLinks(const char* name) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back("ResolveLinks");
  return Platform::ResolveLinks(name);
}

bool FakePlatform::ShowFileDialog(WindowHandle, const FileDialogRequest& request,
                                  std::string* chosen) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back(request.save ? "SaveDialog" : "OpenDialog");
  dialogRequests.push_back(request);
  if (dialogAnswers.empty()) return false;
  std::optional<std::string> answer = dialogAnswers.front();
  dialogAnswers.pop_front();
  if (!answer) return false;
  *chosen = *answer;
  return true;
}

void FakePlatform::ShowHelp(WindowHandle, const char* helpFile, unsigned command,
                            const char* data) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back("ShowHelp");
  helpCalls.push_back({helpFile, command, data != nullptr ? data : ""});
}

void FakePlatform::SetWaitCursor(bool on) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back(on ? "WaitCursorOn" : "WaitCursorOff");
  waitCursor = on;
  waitCursorLog.push_back(on);
}

std::uint64_t FakePlatform::MemoryBudget() {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back("MemoryBudget");
  return memoryBudget;
}

PlatformFile* FakePlatform::CreateTempStore(std::string* folder) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back("CreateTempStore");
  if (Fails(Step::StoreCreate)) {
    *folder = "/fake/tmp";
    return nullptr;
  }
  PlatformFile* file = Platform::CreateTempStore(folder);
  if (file != nullptr) stores_.push_back(file);
  return file;
}

std::uint64_t FakePlatform::ReadFileAt(PlatformFile* file, void* buffer, std::uint64_t size,
                                       std::uint64_t offset) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back("ReadStore");
  if (Fails(Step::StoreRead)) return Platform::ReadFileAt(file, buffer, size / 2, offset);
  return Platform::ReadFileAt(file, buffer, size, offset);
}

bool FakePlatform::ClipboardInParts() { return clipboardInParts; }

std::int64_t FakePlatform::ReadClipboardPart(void* buffer, std::uint64_t size) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back("ReadClipboardPart");
  if (!clipboardOpen || Fails(Step::ClipPart) || !clipboardText) return -1;
  const std::string& text = *clipboardText;
  // The text ends at its first NUL.
  const std::size_t length = std::min(text.size(), std::strlen(text.c_str()));
  const std::size_t n = std::min<std::size_t>(size, length - std::min(partRead_, length));
  std::memcpy(buffer, text.data() + partRead_, n);
  partRead_ += n;
  return static_cast<std::int64_t>(n);
}

bool FakePlatform::WriteClipboardPart(const void* data, std::uint64_t size) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back("WriteClipboardPart");
  if (!clipboardOpen || Fails(Step::ClipPart)) {
    partsFailed_ = true;
    return false;
  }
  partText_.append(static_cast<const char*>(data), size);
  return true;
}

bool FakePlatform::FinishClipboardParts() {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  log.emplace_back("FinishClipboardParts");
  const bool delivered = clipboardOpen && !partsFailed_;
  if (delivered) clipboardText = partText_;
  partText_.clear();
  partsFailed_ = false;
  partRead_ = 0;
  return delivered;
}

// Kept apart from `log`: how many reports a run makes depends on its timing.
void FakePlatform::ReportProgress(const RunProgress& report) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  progress.push_back({report, log.size()});
  if (onProgress) onProgress(report);
}

}  // namespace velkar
