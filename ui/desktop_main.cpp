// Entry of the desktop part, the module `velkar-desktop.so` that the program loads
// when a display is there: the clipboard server role, or the window's start-up on
// the Qt platform with its help viewer, and the clipboard handed on before the exit.
// Also a private runtime folder when the session has none, and Qt's messages kept
// to what a user needs (a fatal one ends the program with one line, never an abort).
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QtGlobal>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/platform_qt.h"
#include "settings/command_words.h"
#include "settings/run_settings.h"
#include "ui/application.h"
#include "ui/clipboard_keeper.h"
#include "ui/help_viewer.h"
#include "ui/main_form.h"

namespace {

QtMessageHandler qtDefaultHandler = nullptr;

// A fatal message (no platform plugin, a display lost at start) is one line and
// status 1 instead of Qt's abort; everything else goes to Qt's own handler.
void FilterQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtFatalMsg) {
    const QString first = message.section(QLatin1Char('\n'), 0, 0);
    std::fprintf(stderr, "velkar: %s\n", first.toLocal8Bit().constData());
    std::fflush(stderr);
    std::_Exit(1);
  }
  // Said on every start outside a login session when no folder could be made.
  if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) return;
  if (qtDefaultHandler != nullptr) {
    qtDefaultHandler(type, context, message);
  } else {
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
  }
}

// Outside a login session XDG_RUNTIME_DIR is unset and Qt warns on every start. The
// folder Qt would fall back to is made ours (0700) beforehand and named.
void EnsureRuntimeFolder() {
  const char* set = std::getenv("XDG_RUNTIME_DIR");
  if (set != nullptr && set[0] != '\0') return;
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = (tmp != nullptr && tmp[0] == '/') ? tmp : "/tmp";
  folder += "/runtime-velkar-" + std::to_string(::getuid());
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return;
  struct stat st;
  if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) return;
  if ((st.st_mode & 0777) != 0700 && ::chmod(folder.c_str(), 0700) != 0) return;
  ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
}

int RunWindow(char* argv[], const velkar::RunSettings& commandLine) {
  // Qt gets the program's name alone: every other word is ours.
  static int qtArgc = 1;
  QApplication app(qtArgc, argv);

  velkar::QtPlatform platform;
  platform.helpViewer = [](velkar::WindowHandle, const char* helpFile, unsigned command,
                           const char* data) { velkar::ShowHelpViewer(helpFile, command, data); };
  // A long run's progress goes to the main window's status line.
  platform.progressView = [](const velkar::RunProgress& progress) {
    if (velkar::VelkarMainForm != nullptr) velkar::VelkarMainForm->ShowRunProgress(progress);
  };
  velkar::SetCurrentPlatform(&platform);
  velkar::RunApplication(commandLine);
  // Help windows left open go with the program.
  delete velkar::CurrentHelpViewer();
  delete velkar::HelpMissingBox();
  velkar::KeepClipboardAfterExit();
  velkar::SetCurrentPlatform(nullptr);
  return 0;
}

}  // namespace

// Called by the program with its argv untouched; returns the exit status.
extern "C" __attribute__((visibility("default"))) int VelkarDesktopMain(int argc, char* argv[]) {
  EnsureRuntimeFolder();
  qtDefaultHandler = qInstallMessageHandler(FilterQtMessages);
  if (velkar::IsClipboardServerRole()) return velkar::RunClipboardServer(1, argv);
  // The settings are made once, from the words before Qt sees argv.
  return RunWindow(argv, velkar::SettingsFromWords(velkar::WordsFromArgv(argc, argv)));
}
