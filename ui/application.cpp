// The application's frame: start-up order, help commands and the end.
#include "ui/application.h"

#include <QApplication>
#include <QEvent>
#include <QIcon>

#include "platform/platform.h"
#include "platform/window_handle.h"
#include "ui/about_box.h"
#include "ui/main_form.h"
#include "ui/ui_texts.h"

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

void TVelkarMainForm::HelpContents(QObject*) {
  CurrentPlatform()->ShowHelp(HandleOf(this), ApplicationHelpFile().c_str(), kHelpContents,
                              nullptr);
}

// The empty keyword opens the help file's index.
void TVelkarMainForm::HelpSearch(QObject*) {
  CurrentPlatform()->ShowHelp(HandleOf(this), ApplicationHelpFile().c_str(), kHelpPartialKey, "");
}

int RunApplication(const RunSettings& commandLine) {
  QCoreApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
  QIcon icon;
  icon.addFile(QString::fromLatin1(texts::kSmallIconPath));
  icon.addFile(QString::fromLatin1(texts::kIconPath));
  QApplication::setWindowIcon(icon);
  HelpFile() = kHelpFileName;

  // The main window: built hidden, a drop target from its construction on, then
  // FormCreate (command line, automatic run, perhaps a queued quit), then shown.
  auto* form = new TVelkarMainForm;
  VelkarMainForm = form;
  form->installEventFilter(new QuitOnClose(form));
  form->FormCreate(form, commandLine);
  form->show();

  AboutBox = new TAboutBox;

  // A quit queued by FormCreate ends the loop as soon as it starts.
  QApplication::exec();

  delete AboutBox;
  AboutBox = nullptr;
  delete form;
  VelkarMainForm = nullptr;
  return 0;
}

}  // namespace velkar
