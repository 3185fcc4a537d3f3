// The desktop backend of the platform seam, on Qt Widgets: message boxes, the
// clipboard (its Unicode text as UTF-8 bytes, lossless), file dialogs, help (handed
// to the viewer the desktop part sets) and cursors. Blocks, heap and files are the
// seam's defaults. The window handles it takes are those of window_handle.h.
#pragma once

#include <QStringList>
#include <functional>
#include <string_view>

#include "platform/platform.h"
#include "platform/window_handle.h"

namespace velkar {

class QtPlatform : public Platform {
 public:
  QtPlatform();
  ~QtPlatform() override;

  // Application-modal box with no visible parent: the caption and text as given,
  // one OK button, the error icon only with kBoxIconError.
  void ShowMessageBox(WindowHandle owner, const char* text, const char* caption,
                      unsigned style) override;

  bool OpenClipboard(WindowHandle owner) override;
  MemHandle GetClipboardText() override;
  bool EmptyClipboard() override;
  bool SetClipboardText(MemHandle block) override;
  void CloseClipboard() override;

  // Qt's own (non-native) file dialog, parented to `owner` when it is a widget.
  bool ShowFileDialog(WindowHandle owner, const FileDialogRequest& request,
                      std::string* chosen) override;

  // Hands the request to `helpViewer`; nothing happens while none is set.
  void ShowHelp(WindowHandle owner, const char* helpFile, unsigned command,
                const char* data) override;
  std::function<void(WindowHandle owner, const char* helpFile, unsigned command, const char* data)>
      helpViewer;

  // On: the wait cursor over the whole application. Off: the default cursor, with
  // every override Qt holds removed.
  void SetWaitCursor(bool on) override;

  // Hands the report to `progressView`, then lets Qt paint and answer the window
  // system (exposed and moved windows, the desktop's are-you-alive pings, close
  // requests); the user's input waits until the run has ended.
  void ReportProgress(const RunProgress& progress) override;
  std::function<void(const RunProgress& progress)> progressView;

 private:
  bool clipboardOpen_ = false;
  MemHandle handedOut_ = nullptr;  // the text block GetClipboardText gave out
};

// "description|pattern;pattern|..." (the Windows filter form) as Qt name filters:
// each description kept exactly, its patterns appended in a group of their own
// ("*.*" meaning every file), for a dialog that hides the appended group.
QStringList TranslateFilter(std::string_view filter);

}  // namespace velkar
