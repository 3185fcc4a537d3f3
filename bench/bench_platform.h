// The platform of the in-process benchmarks: the heap of the defaults, no
// clipboard, no dialogs; a message box is a line on standard error.
#pragma once

#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace velkar {

class BenchPlatform : public Platform {
 public:
  explicit BenchPlatform(const char* program) : program_(program) {}
  void ShowMessageBox(WindowHandle, const char*, const char* text, unsigned) override {
    std::fprintf(stderr, "%s: %s\n", program_, text);
  }
  bool OpenClipboard(WindowHandle) override { return false; }
  MemHandle GetClipboardText() override { return nullptr; }
  bool EmptyClipboard() override { return false; }
  bool SetClipboardText(MemHandle) override { return false; }
  void CloseClipboard() override {}
  bool ShowFileDialog(WindowHandle, const FileDialogRequest&, std::string*) override {
    return false;
  }
  void ShowHelp(WindowHandle, const char*, unsigned, const char*) override {}
  void SetWaitCursor(bool) override {}

 private:
  const char* program_;
};

}  // namespace velkar
