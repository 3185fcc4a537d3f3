// Program entry: the standard descriptors, the clipboard server role, the words
// of the command line (taken before Qt sees argv), the run mode and its platform,
// then the start-up; on the desktop the clipboard is handed on before the exit.
#include <QApplication>
#include <QMessageBox>
#include <QtGlobal>
#include <csignal>
#include <cstdio>

#include "platform/platform_console.h"
#include "platform/platform_qt.h"
#include "ui/application.h"
#include "ui/clipboard_keeper.h"
#include "ui/command_line.h"
#include "ui/help_viewer.h"

namespace {

// Console mode keeps standard error for the program's own lines.
void DropQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtFatalMsg) {
    std::fputs(message.toLocal8Bit().constData(), stderr);
    std::fputc('\n', stderr);
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  velkar::OpenStandardDescriptors();
  // Past a file-size limit a write must fail and be reported, not kill the program
  // half-way through a file.
  std::signal(SIGXFSZ, SIG_IGN);
  if (velkar::IsClipboardServerRole()) return velkar::RunClipboardServer(1, argv);

  velkar::SetCommandLineWords(velkar::WordsFromArgv(argc, argv));
  const velkar::RunMode mode = velkar::ChooseRunMode();
  if (mode == velkar::RunMode::kConsole) qInstallMessageHandler(DropQtMessages);

  // Qt gets the program's name alone: every other word is ours.
  static int qtArgc = 1;
  QApplication app(qtArgc, argv);

  if (mode == velkar::RunMode::kConsole) {
    velkar::ConsolePlatform platform;
    velkar::SetCurrentPlatform(&platform);
    int status = velkar::RunApplication(mode);
    velkar::SetCurrentPlatform(nullptr);
    return status;
  }

  velkar::QtPlatform platform;
  platform.helpViewer = [](velkar::WindowHandle, const char* helpFile, unsigned command,
                           const char* data) { velkar::ShowHelpViewer(helpFile, command, data); };
  velkar::SetCurrentPlatform(&platform);
  velkar::RunApplication(mode);
  // Help windows left open go with the program.
  delete velkar::CurrentHelpViewer();
  delete velkar::HelpMissingBox();
  velkar::KeepClipboardAfterExit();
  velkar::SetCurrentPlatform(nullptr);
  return 0;
}
