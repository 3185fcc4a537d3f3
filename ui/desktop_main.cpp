// Entry of the desktop part, the module `velkar-desktop.so` that the program loads
// when a display is there: the clipboard server role, or the window's start-up on
// the Qt platform with its help viewer, and the clipboard handed on before the exit.
// Qt's messages are kept to what a user needs (a fatal one ends the program with
// one line, never an abort), and nothing is left under the temporary folder.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QtGlobal>
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
  // Said on every start outside a login session (see QtRuntimeFolder below).
  if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) return;
  if (qtDefaultHandler != nullptr) {
    qtDefaultHandler(type, context, message);
  } else {
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
  }
}

// Outside a login session XDG_RUNTIME_DIR is unset: Qt then falls back to
// $TMPDIR/runtime-USER (its platform start looks there), makes the folder when it
// is missing and warns (the warning is dropped above). A folder that was not there
// before is removed again at the end if it is still empty, so that a window run
// leaves nothing under the temporary folder; one that was there stays.
class QtRuntimeFolder {
 public:
  QtRuntimeFolder() {
    const char* set = std::getenv("XDG_RUNTIME_DIR");
    if (set != nullptr && set[0] != '\0') return;
    const passwd* user = ::getpwuid(::geteuid());
    if (user == nullptr) return;
    const QString path =
        QDir::tempPath() + QLatin1String("/runtime-") + QString::fromLocal8Bit(user->pw_name);
    folder_ = QFile::encodeName(path).toStdString();
    struct stat st;
    if (::lstat(folder_.c_str(), &st) == 0) folder_.clear();
  }
  ~QtRuntimeFolder() {
    if (!folder_.empty()) ::rmdir(folder_.c_str());
  }
  QtRuntimeFolder(const QtRuntimeFolder&) = delete;
  QtRuntimeFolder& operator=(const QtRuntimeFolder&) = delete;

 private:
  std::string folder_;
};

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
  qtDefaultHandler = qInstallMessageHandler(FilterQtMessages);
  const QtRuntimeFolder runtimeFolder;
  if (velkar::IsClipboardServerRole()) return velkar::RunClipboardServer(1, argv);
  // The settings are made once, from the words before Qt sees argv.
  return RunWindow(argv, velkar::SettingsFromWords(velkar::WordsFromArgv(argc, argv)));
}
