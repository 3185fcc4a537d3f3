// The application's frame: run mode, start-up order, help commands and the end.
#include "ui/application.h"

#include <fcntl.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QIcon>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "engine/engine.h"
#include "platform/platform.h"
#include "platform/platform_qt.h"
#include "ui/about_box.h"
#include "ui/command_line.h"
#include "ui/main_form.h"

namespace velkar {

TVelkarMainForm* VelkarMainForm = nullptr;

namespace {

std::string& HelpFile() {
  static std::string file;
  return file;
}

// Closing the main window, by any of its ways, ends the program; other windows
// left open (the About box, the help viewer) do not keep it alive.
class QuitOnClose : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Close) QCoreApplication::quit();
    return false;
  }
};

}  // namespace

const std::string& ApplicationHelpFile() { return HelpFile(); }

void OpenStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // A closed standard output gets a descriptor that refuses writes (EBADF), so
    // that text written there fails and is reported instead of vanishing.
    int opened = ::open("/dev/null", fd == 2 ? O_WRONLY : O_RDONLY);
    if (opened >= 0 && opened != fd) {
      ::dup2(opened, fd);
      ::close(opened);
    }
  }
}

RunMode ChooseRunMode() {
  const char* chosen = std::getenv("QT_QPA_PLATFORM");
  std::string platform = chosen != nullptr ? chosen : "";
  platform = platform.substr(0, platform.find(':'));
  if (platform == "offscreen" || platform == "minimal") return RunMode::kConsole;
  if (!platform.empty()) return RunMode::kDesktop;

  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  const bool hasX = display != nullptr && display[0] != '\0';
  const bool hasWayland = wayland != nullptr && wayland[0] != '\0';
  if (!hasX && !hasWayland) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return RunMode::kConsole;
  }
  if (hasX) ::setenv("QT_QPA_PLATFORM", "xcb", 1);
  return RunMode::kDesktop;
}

void ConnectHelpMenu(TVelkarMainForm* form) {
  QObject::connect(form->HelpContentsItem, &QAction::triggered, form,
                   [form] { form->HelpContents(form->HelpContentsItem); });
  QObject::connect(form->HelpSearchItem, &QAction::triggered, form,
                   [form] { form->HelpSearch(form->HelpSearchItem); });
  QObject::connect(form->HelpAboutItem, &QAction::triggered, form,
                   [form] { form->HelpAbout(form->HelpAboutItem); });
}

void TVelkarMainForm::HelpContents(QObject*) {
  CurrentPlatform()->ShowHelp(HandleOf(this), ApplicationHelpFile().c_str(), kHelpContents,
                              nullptr);
}

// The empty keyword opens the help file's index.
void TVelkarMainForm::HelpSearch(QObject*) {
  CurrentPlatform()->ShowHelp(HandleOf(this), ApplicationHelpFile().c_str(), kHelpPartialKey,
                              "");
}

int RunApplication(RunMode mode) {
  QCoreApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
  QIcon icon;
  icon.addFile(QStringLiteral(":/velkar/velkar-16.png"));
  icon.addFile(QStringLiteral(":/velkar/velkar-32.png"));
  QApplication::setWindowIcon(icon);
  HelpFile() = kHelpFileName;

  // The main window: built hidden, a drop target from its construction on, then
  // FormCreate (command line, automatic run, perhaps a queued quit), then shown.
  auto* form = new TVelkarMainForm;
  VelkarMainForm = form;
  form->setObjectName(QStringLiteral("VelkarMainForm"));
  ConnectHelpMenu(form);
  form->installEventFilter(new QuitOnClose(form));
  form->FormCreate(form);
  if (mode == RunMode::kDesktop) form->show();

  AboutBox = new TAboutBox;

  int status = 0;
  if (mode == RunMode::kDesktop) {
    // A quit queued by FormCreate ends the loop as soon as it starts.
    QApplication::exec();
  } else if (AutoRun == 0) {
    std::fputs(kConsoleUsage, stderr);
    std::fflush(stderr);
    status = 2;
  } else {
    status = RunResult == 0 ? 0 : 1;
  }

  delete AboutBox;
  AboutBox = nullptr;
  delete form;
  VelkarMainForm = nullptr;
  return status;
}

}  // namespace velkar
