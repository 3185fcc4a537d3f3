// Test double of the platform: logs every message box and service call, keeps the
// clipboard in memory, answers dialogs as scripted and fails any step on request.
// Files are real (tests point them into a temporary folder); failures are injected.
// Its calls may come from the run's writing thread too: each holds one lock.
#pragma once

#include <array>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace velkar {

class FakePlatform : public Platform {
 public:
  // Every step that can be made to fail. Read and Write fail short: they move
  // half of what was asked for.
  enum class Step {
    HeapAlloc,
    GlobalAlloc,
    GlobalLock,  // locks of blocks other than the clipboard's own
    ClipOpen,
    ClipGet,
    ClipLock,  // the lock of the block the clipboard handed out
    ClipEmpty,
    ClipSet,
    QueryFile,
    OpenRead,
    Read,
    OpenWrite,
    CreateTemp,
    Write,
    Flush,
    Close,
    Rename,
    CanWrite,  // answers that the file may not be written
    Reserve,   // no space for the new length (the file is left as it was)
    SetLength,
    SetOwner,  // not permitted
    // The temporary store of a sort beyond memory: making it, writing to it (short,
    // as Write) and reading it back (short, as Read).
    StoreCreate,
    StoreWrite,
    StoreRead,
    ClipPart,  // a part of the clipboard's text, read or written
    kCount
  };

  struct Box {
    WindowHandle owner;
    std::string text;
    std::string caption;
    unsigned style;
    bool clipboardOpen;  // whether the clipboard was open while the box showed
  };

  FakePlatform();
  ~FakePlatform() override;

  // Makes the nth call (1-based, counted from now) of `step` fail.
  void FailAt(Step step, int nth = 1);
  // Makes every call of `step` from the nth on fail.
  void FailFrom(Step step, int nth = 1);
  int Calls(Step step) const { return calls_[static_cast<int>(step)]; }

  // What was shown and called, in order. Calls are logged by name
  // ("HeapFree", "GlobalFree", "CloseClipboard", "Box:VELKAR-ERROR", ...).
  std::vector<Box> boxes;
  std::vector<std::string> log;
  std::function<void(const Box&)> onBox;  // runs while a box is "open"
  std::function<void()> onWrite;          // runs at each WriteFile, before the write

  // The clipboard: its text (nullopt: no text), open state and counts.
  std::optional<std::string> clipboardText;
  bool clipboardOpen = false;
  bool clipboardExists = true;  // false: no clipboard at all
  // With no text to give: say that the text was there but memory ran out.
  bool clipboardOutOfMemory = false;
  // Blocks held by the clipboard (its text handed out, or a block it accepted).
  int ClipboardBlocks() const;
  // Blocks the engine (or a test) allocated and has not released.
  std::int64_t EngineBlocks() const { return LiveBlocks() - ClipboardBlocks(); }
  std::int64_t LiveHeap() const { return liveHeap_; }

  // The memory budget the engine is given; tiny values force a sort beyond memory.
  std::uint64_t memoryBudget = std::uint64_t{1} << 40;
  // The clipboard takes its text in parts, as standard input and output do.
  bool clipboardInParts = false;
  // Stores made and not yet closed.
  int OpenStores() const { return static_cast<int>(stores_.size()); }

  // Dialogs: each showing takes the next scripted answer (nullopt: cancelled;
  // no answer left: cancelled) and logs the request.
  std::deque<std::optional<std::string>> dialogAnswers;
  std::vector<FileDialogRequest> dialogRequests;

  struct HelpCall {
    std::string file;
    unsigned command;
    std::string data;
  };
  std::vector<HelpCall> helpCalls;

  bool waitCursor = false;
  std::vector<bool> waitCursorLog;

  // The progress reports of the runs, each with the size `log` had when it came,
  // so that a test sees where it fell among the calls and boxes.
  struct Report {
    RunProgress progress;
    std::size_t logSize;
  };
  std::vector<Report> progress;
  std::function<void(const RunProgress&)> onProgress;  // runs at each report

  void ShowMessageBox(WindowHandle owner, const char* text, const char* caption,
                      unsigned style) override;
  void* HeapAlloc(std::size_t size) override;
  void HeapFree(void* p) override;
  MemHandle GlobalAlloc(std::size_t size) override;
  void* GlobalLock(MemHandle block) override;
  void GlobalUnlock(MemHandle block) override;
  void GlobalFree(MemHandle block) override;
  bool OpenClipboard(WindowHandle owner) override;
  MemHandle GetClipboardText() override;
  bool ClipboardTextOutOfMemory() override;
  bool EmptyClipboard() override;
  bool SetClipboardText(MemHandle block) override;
  void CloseClipboard() override;
  int QueryFile(const char* name, FileInfo* info) override;
  PlatformFile* OpenFileRead(const char* name) override;
  std::uint64_t ReadFile(PlatformFile* file, void* buffer, std::uint64_t size) override;
  PlatformFile* OpenFileWrite(const char* name) override;
  PlatformFile* CreateTempFileBeside(const char* target, std::string* tempName) override;
  std::uint64_t WriteFile(PlatformFile* file, const void* data, std::uint64_t size) override;
  int ReserveFileSpace(PlatformFile* file, std::uint64_t size) override;
  int SetFileLength(PlatformFile* file, std::uint64_t size) override;
  int SetFileOwner(PlatformFile* file, std::uint32_t owner, std::uint32_t group) override;
  int FlushFile(PlatformFile* file) override;
  int CloseFile(PlatformFile* file) override;
  int RenameFile(const char* from, const char* to) override;
  int RemoveFile(const char* name) override;
  int SetFileMode(const char* name, unsigned mode) override;
  bool CanWriteFile(const char* name) override;
  void GuardTempFile(const char* name) override;
  std::string ResolveLinks(const char* name) override;
  bool ShowFileDialog(WindowHandle owner, const FileDialogRequest& request,
                      std::string* chosen) override;
  void ShowHelp(WindowHandle owner, const char* helpFile, unsigned command,
                const char* data) override;
  void SetWaitCursor(bool on) override;
  std::uint64_t MemoryBudget() override;
  PlatformFile* CreateTempStore(std::string* folder) override;
  std::uint64_t ReadFileAt(PlatformFile* file, void* buffer, std::uint64_t size,
                           std::uint64_t offset) override;
  bool ClipboardInParts() override;
  std::int64_t ReadClipboardPart(void* buffer, std::uint64_t size) override;
  bool WriteClipboardPart(const void* data, std::uint64_t size) override;
  bool FinishClipboardParts() override;
  void ReportProgress(const RunProgress& progress) override;

 private:
  // Counts a call of `step` and tells whether it is to fail.
  bool Fails(Step step);
  void DropClipboardBlocks();

  static constexpr int kSteps = static_cast<int>(Step::kCount);
  std::array<int, kSteps> calls_{};
  std::array<int, kSteps> failOnce_{};  // call number that fails once, 0: none
  std::array<int, kSteps> failFrom_{};  // first call number of a lasting failure, 0: none
  MemHandle handedOut_ = nullptr;       // the text block GetClipboardText gave
  MemHandle accepted_ = nullptr;        // the block SetClipboardText took
  std::int64_t liveHeap_ = 0;
  std::vector<PlatformFile*> stores_;
  std::size_t partRead_ = 0;  // bytes of the clipboard text read in parts
  std::string partText_;      // the new text written in parts
  bool partsFailed_ = false;
  std::recursive_mutex mutex_;
};

// Installs a fresh fake as the current platform for the lifetime of the object.
class ScopedFakePlatform {
 public:
  ScopedFakePlatform() : previous_(CurrentPlatform()) { SetCurrentPlatform(&fake_); }
  ~ScopedFakePlatform() { SetCurrentPlatform(previous_); }
  ScopedFakePlatform(const ScopedFakePlatform&) = delete;
  ScopedFakePlatform& operator=(const ScopedFakePlatform&) = delete;
  FakePlatform* operator->() { return &fake_; }
  FakePlatform& operator*() { return fake_; }

 private:
  FakePlatform fake_;
  Platform* previous_;
};

}  // namespace velkar
