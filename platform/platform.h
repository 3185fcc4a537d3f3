// The seam between VELKAR and the services of the desktop it runs on: message
// boxes, the clipboard, movable memory blocks, files, file dialogs, help and cursors.
// Plain C++ with no Qt in it; the engine includes only this header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace velkar {

// An opaque window token. The engine only stores and passes it on; the desktop
// backend knows what it stands for.
using WindowHandle = void*;

// Message box styles: one OK button, with or without the error icon.
enum : unsigned {
  kBoxOk = 0x00,
  kBoxIconError = 0x10,
};

// A movable memory block. Only the platform knows its layout.
struct MemBlock;
using MemHandle = MemBlock*;

// An open file of the platform's.
struct PlatformFile;

// What a status query tells about a name (symbolic links followed).
struct FileInfo {
  std::uint64_t size = 0;   // bytes, for a regular file
  unsigned mode = 0;        // permission bits (07777)
  std::uint32_t owner = 0;  // user and group ids
  std::uint32_t group = 0;
  bool isRegular = false;
  bool isDirectory = false;
};

// Options of the file dialogs, named after the Windows flags they stand for.
enum : unsigned {
  kDlgPathMustExist = 0x01,
  kDlgFileMustExist = 0x02,
  kDlgOverwritePrompt = 0x04,
  kDlgHideReadOnly = 0x08,
  kDlgNoReadOnlyReturn = 0x10,
};

struct FileDialogRequest {
  bool save = false;        // a save dialog, else an open dialog
  unsigned options = 0;     // kDlg* bits
  std::string filter;       // "description|patterns|description|patterns", Windows style
  std::string initialName;  // the name offered when the dialog opens (bytes)
};

// Help commands, with the values WinHelp gave them.
enum : unsigned {
  kHelpContents = 0x0003,
  kHelpPartialKey = 0x0105,
};

// The steps of a run that report how far they are, in the order they come. A run
// in memory reads, sorts and writes; a run beyond memory reads its pieces, sorting
// and spilling each as it comes (all kRead), then merges them (kMerge) and writes
// as it merges.
enum class RunPhase { kRead, kSort, kMerge, kWrite };

// How far a run is: `done` of `total` units of the phase (bytes for kRead, kMerge
// and kWrite, lines for kSort); `total` is 0 while it is not known (a pipe being
// read). `done` never goes back within a phase.
struct RunProgress {
  RunPhase phase = RunPhase::kRead;
  std::uint64_t done = 0;
  std::uint64_t total = 0;
};

// The services. Memory blocks, heap and files have working defaults over the C
// library and POSIX (platform.cpp); a backend overrides what it provides itself and
// the fake overrides everything it can make fail.
class Platform {
 public:
  virtual ~Platform();

  // Message box owned by `owner`; returns when the user has closed it.
  virtual void ShowMessageBox(WindowHandle owner, const char* text, const char* caption,
                              unsigned style) = 0;

  // Heap memory for the engine's buffers; nullptr when there is none.
  virtual void* HeapAlloc(std::size_t size);
  virtual void HeapFree(void* p);

  // Movable blocks: allocated zero-filled; nullptr on failure. A block the
  // clipboard accepted belongs to the clipboard and is freed by it.
  virtual MemHandle GlobalAlloc(std::size_t size);
  virtual void* GlobalLock(MemHandle block);  // nullptr on failure
  virtual void GlobalUnlock(MemHandle block);
  virtual void GlobalFree(MemHandle block);
  virtual MemHandle GlobalHandle(const void* lockedAddress);
  virtual std::size_t GlobalSize(MemHandle block);
  // Blocks allocated and not yet freed (by the engine or the clipboard).
  std::int64_t LiveBlocks() const { return liveBlocks_; }

  // Clipboard, text only. Open fails where there is no clipboard.
  virtual bool OpenClipboard(WindowHandle owner) = 0;
  // The clipboard's text as a NUL-terminated block it owns, or nullptr when it holds
  // no text. The block stays valid until the clipboard is closed.
  virtual MemHandle GetClipboardText() = 0;
  // After GetClipboardText gave no text: whether there was a text but no memory to
  // hold it.
  virtual bool ClipboardTextOutOfMemory();
  virtual bool EmptyClipboard() = 0;
  // Hands a block of NUL-terminated text to the clipboard; on success the
  // clipboard owns it.
  virtual bool SetClipboardText(MemHandle block) = 0;
  virtual void CloseClipboard() = 0;

  // Whole-string equality for the duplicate filter: exact, or with ASCII letter
  // case ignored. The engine calls it from a second thread too, at the same time:
  // it must depend on its arguments alone.
  virtual bool StringsEqual(const char* a, const char* b, bool ignoreCase);

  // Files, by byte-string name. Results: 0 / -1, a file or nullptr, byte counts.
  virtual int QueryFile(const char* name, FileInfo* info);
  virtual PlatformFile* OpenFileRead(const char* name);
  // Reads up to `size` bytes, retrying short reads; returns the number read.
  virtual std::uint64_t ReadFile(PlatformFile* file, void* buffer, std::uint64_t size);
  // Opens `name` for writing from its start, creating it when missing. An existing
  // file keeps its content until it is written over and cut (SetFileLength).
  virtual PlatformFile* OpenFileWrite(const char* name);
  // Creates a new, empty file in the directory of `target`; its name in *tempName.
  virtual PlatformFile* CreateTempFileBeside(const char* target, std::string* tempName);
  // Writes up to `size` bytes, retrying short writes; returns the number written.
  virtual std::uint64_t WriteFile(PlatformFile* file, const void* data, std::uint64_t size);
  // Makes sure the storage for the first `size` bytes of an open regular file is
  // there, growing a shorter file with zeros, without changing what it holds. -1
  // when the space cannot be made sure of; the file then keeps its length and
  // content. Other files (devices, FIFOs) have nothing to reserve: 0.
  virtual int ReserveFileSpace(PlatformFile* file, std::uint64_t size);
  // Cuts (or grows) an open regular file to `size` bytes; 0 for other files.
  virtual int SetFileLength(PlatformFile* file, std::uint64_t size);
  // Gives an open file this owner and group: 0 when it has them then (or had them
  // already), -1 when they cannot be set (not permitted).
  virtual int SetFileOwner(PlatformFile* file, std::uint32_t owner, std::uint32_t group);
  // Pushes what was written to the storage; -1 when that fails.
  virtual int FlushFile(PlatformFile* file);
  // Asks the system to start writing `size` bytes from `offset` of an open file to
  // its storage now, without waiting, so that the flush at the end has less left to
  // do. A hint: nothing is reported.
  virtual void StartWriteBack(PlatformFile* file, std::uint64_t offset, std::uint64_t size);
  // Closes the file; -1 when the close reports a failure (the file is closed anyway).
  virtual int CloseFile(PlatformFile* file);
  virtual int RenameFile(const char* from, const char* to);
  virtual int RemoveFile(const char* name);
  virtual int SetFileMode(const char* name, unsigned mode);
  // Whether this process may write to the existing file `name` (access(2), W_OK).
  virtual bool CanWriteFile(const char* name);
  // While `name` is a temporary file of ours: SIGTERM, SIGINT and SIGHUP, where they
  // would end the program, remove it first and then end the program as the signal
  // does (platform/temp_file_guard.h, which can guard several names at once).
  // nullptr ends the watch of every name and puts the previous handlers back. The
  // default CreateTempFileBeside guards its file from the moment it is made, so
  // that no signal finds it unguarded; guarding that name again changes nothing.
  virtual void GuardTempFile(const char* name);
  // The name a symbolic link leads to, followed to its end; the name itself when
  // it is no link.
  virtual std::string ResolveLinks(const char* name);

  // ---- Runs too large for memory ----

  // The bytes of memory a run may use: the lowest of the address-space and data
  // limits (less what is in use and a margin), the control group's memory limit
  // (less its use), the memory the system has available, and the cap the user set
  // in VELKAR_MEMORY. Asked once at the start of each run.
  virtual std::uint64_t MemoryBudget();
  // A new, empty file for a run's temporary data, in the temporary folder ($TMPDIR
  // when set, else /var/tmp): made afresh with mode 0600 and without a name where
  // the file system allows, else removed from its folder at once, so nothing is
  // left behind however the program ends. *folder gets the folder's name (also
  // when the file cannot be made). nullptr on failure.
  virtual PlatformFile* CreateTempStore(std::string* folder);
  // Reads up to `size` bytes from `offset` of an open file; returns the number
  // read, less than `size` only at the file's end or on a failure.
  virtual std::uint64_t ReadFileAt(PlatformFile* file, void* buffer, std::uint64_t size,
                                   std::uint64_t offset);
  // Whether the clipboard's text is read and written in parts (ReadClipboardPart,
  // WriteClipboardPart), as standard input and output are, rather than in blocks.
  virtual bool ClipboardInParts();
  // With the clipboard open: the next part of its text, up to `size` bytes. The
  // number of bytes read; 0 at the end of the text (its first NUL, or the end of
  // the input); -1 when there is no text at all or it cannot be read.
  virtual std::int64_t ReadClipboardPart(void* buffer, std::uint64_t size);
  // With the clipboard open and emptied: appends to its new text. false when the
  // bytes cannot be delivered.
  virtual bool WriteClipboardPart(const void* data, std::uint64_t size);
  // Ends the text written in parts; false when its delivery failed at the end.
  virtual bool FinishClipboardParts();

  // File dialog; true and the chosen name when the user confirms.
  virtual bool ShowFileDialog(WindowHandle owner, const FileDialogRequest& request,
                              std::string* chosen) = 0;

  // Help on `helpFile` with a command and its keyword data.
  virtual void ShowHelp(WindowHandle owner, const char* helpFile, unsigned command,
                        const char* data) = 0;

  // The application-wide wait cursor: on sets it, off restores the default cursor.
  virtual void SetWaitCursor(bool on) = 0;

  // How far the current run is. Called on the run's thread only, at most about 20
  // times a second and at least about 5 times a second while the run works
  // (also when nothing moved), so a backend may use it to keep its window painted.
  // Not called after a message box of the run has been shown. The default shows
  // nothing.
  virtual void ReportProgress(const RunProgress& progress);

 protected:
  // Block bookkeeping for backends that free clipboard-owned blocks themselves.
  void FreeBlockStorage(MemHandle block);

 private:
  std::int64_t liveBlocks_ = 0;
};

// Writes `size` bytes to a descriptor, retrying short writes and interruptions;
// returns the number written (less than `size` only on a failure).
std::uint64_t WriteToDescriptor(int fd, const void* data, std::uint64_t size);
// The same, true only when every byte was written.
bool WriteAll(int fd, const void* data, std::uint64_t size);

// The length of the text in a block of `size` bytes: up to its first NUL, or the
// whole block when it holds none.
std::size_t TextLength(const char* bytes, std::size_t size);

// The platform the program runs on; set by the start of the console run or of the
// desktop part, or by each test.
Platform* CurrentPlatform();
void SetCurrentPlatform(Platform* platform);

}  // namespace velkar
