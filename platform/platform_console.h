// The console backend, used when there is no display: every message box is one
// line on standard error, the clipboard's text is standard input and text put on
// the clipboard goes to standard output. Dialogs are cancelled; help and cursors do nothing.
#pragma once

#include "platform/platform.h"

namespace velkar {

class ConsolePlatform : public Platform {
 public:
  // The descriptors stand for standard input, output and error; tests give others.
  explicit ConsolePlatform(int inputFd = 0, int outputFd = 1, int errorFd = 2);
  ~ConsolePlatform() override;
  ConsolePlatform(const ConsolePlatform&) = delete;
  ConsolePlatform& operator=(const ConsolePlatform&) = delete;

  // "CAPTION: TEXT\n", the text's line breaks kept; answered at once.
  void ShowMessageBox(WindowHandle owner, const char* text, const char* caption,
                      unsigned style) override;

  bool OpenClipboard(WindowHandle owner) override;
  // Standard input up to its end or its first NUL, read once (a non-blocking input
  // is waited for); no text when the input was empty or a read failed.
  MemHandle GetClipboardText() override;
  // Whether the input had no text because memory ran out while reading it.
  bool ClipboardTextOutOfMemory() override;
  bool EmptyClipboard() override;
  // Writes the block's text, up to its NUL, to standard output; false when the
  // write or the close check after it fails (a closed or read-only descriptor, a
  // reader gone, a full disk).
  bool SetClipboardText(MemHandle block) override;
  void CloseClipboard() override;
  // The run reads standard input and writes standard output in parts, so that a
  // text larger than memory streams through. Standard input is read once, up to its
  // end or its first NUL.
  bool ClipboardInParts() override;
  std::int64_t ReadClipboardPart(void* buffer, std::uint64_t size) override;
  bool WriteClipboardPart(const void* data, std::uint64_t size) override;
  // The close check of standard output.
  bool FinishClipboardParts() override;

  bool ShowFileDialog(WindowHandle owner, const FileDialogRequest& request,
                      std::string* chosen) override;
  void ShowHelp(WindowHandle owner, const char* helpFile, unsigned command,
                const char* data) override;
  void SetWaitCursor(bool on) override;

 private:
  // Reads the input into a new block; nullptr when there is no text.
  MemHandle ReadInput();
  // Waits until the input has data or its end; false when it cannot be waited for.
  bool WaitForInput();
  void DropContent();

  int inputFd_;
  int outputFd_;
  int errorFd_;
  bool open_ = false;
  bool inputRead_ = false;       // standard input is read at most once
  bool partsEnded_ = false;      // the input's text has ended (its end or a NUL)
  bool anyPart_ = false;         // a byte of the input has been read in parts
  bool outOfMemory_ = false;     // the input did not fit in memory
  MemHandle content_ = nullptr;  // the clipboard's text block, owned here
};

}  // namespace velkar
