// The command line on the window: the settings value the words made applied to the
// main window's controls, the hint handler, and FormCreate with the automatic run.
#include "ui/command_line.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QRadioButton>
#include <QStatusTipEvent>
#include <QTimer>
#include <optional>
#include <string>

#include "engine/engine.h"
#include "platform/byte_text.h"
#include "settings/run_settings.h"
#include "ui/main_form.h"

namespace velkar {

unsigned char AutoRun = 0;

namespace {

// One side in file mode with this name, its edit and panel shown; or in clipboard
// mode, the name controls hidden by the pair's handlers.
void ApplyFileSide(QCheckBox* clipboard, QCheckBox* file, TEdit* edit,
                   const std::optional<std::string>& name) {
  if (!name) {
    clipboard->setChecked(true);
    return;
  }
  clipboard->setChecked(false);
  file->setChecked(true);
  edit->setVisible(true);
  edit->setText(BytesToText(*name));
}

// One of a coupled pair checked; the pair's handler clears the other.
void ApplyChoice(QCheckBox* chosen, QCheckBox* other) {
  chosen->setChecked(true);
  other->setChecked(false);
}

// The application's hint: Qt's status tips stand for it. The watcher calls the
// hint handler only when the text changes; no control carries one, so outside a
// run the status line keeps its own text.
class HintWatcher : public QObject {
 public:
  explicit HintWatcher(TVelkarMainForm* form) : QObject(form), form_(form) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::StatusTip) {
      const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
      if (tip != CurrentHint) {
        CurrentHint = tip;
        form_->ShowHint(watched);
      }
    }
    return false;
  }

  inline static QString CurrentHint;

 private:
  TVelkarMainForm* form_;
};

}  // namespace

QString ApplicationHint() { return HintWatcher::CurrentHint; }

void TVelkarMainForm::ShowHint(QObject*) { StatusLine->SetSimpleText(HintWatcher::CurrentHint); }

// The controls are changed through their ordinary changes of state, so that the
// reactions of the check-box pairs run as after a user's click; a control already
// holding its setting is left alone.
void TVelkarMainForm::ParseCommandLine(const RunSettings& settings) {
  (settings.descending ? Sort_R_RadioButton : Sort_F_RadioButton)->setChecked(true);
  NotCaseSensitiveCheckBox->setChecked(settings.ignoreCase);
  UniqCheckBox->setChecked(settings.unique);
  ApplyFileSide(ClipBoardCheckBox1, FileOpenCheckBox, FileOpenEdit, settings.inputName);
  ApplyFileSide(ClipBoardCheckBox2, FileSaveCheckBox, FileSaveEdit, settings.outputName);
  // The position text set by the program, so neither the byte limit nor the
  // validation acts; UpDown1 follows it within its range.
  const QString position = BytesToText(settings.positionText);
  if (SortPosEdit->text() != position) {
    SortPosEdit->setText(position);
    UpDown1->SetPosition(ParseDecimal(position, 1));
  }
  if (settings.numberKey) {
    ApplyChoice(NumCompCheckBox, StringCompCheckBox);
  } else {
    ApplyChoice(StringCompCheckBox, NumCompCheckBox);
  }
  if (settings.fieldKey) {
    ApplyChoice(FieldCheckBox, ColumCheckBox);
  } else {
    ApplyChoice(ColumCheckBox, FieldCheckBox);
  }
  AutoRun = settings.autoRun ? 1 : 0;
  QuietFinish = settings.quietFinish ? 1 : 0;
}

void TVelkarMainForm::FormCreate(QObject*, const RunSettings& commandLine) {
  qApp->installEventFilter(new HintWatcher(this));
  AutoRun = 0;
  QuietFinish = 0;
  // Words that change nothing leave the window as it is built.
  if (commandLine != RunSettings{}) {
    setWindowState(Qt::WindowMinimized);
    ParseCommandLine(commandLine);
    if (AutoRun != 0) {
      ExecuteSort();
      if (RunResult == 0) {
        // Queued, so that the loop ends as soon as it runs, after the window is shown.
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
      }
    }
  }
  setWindowState(Qt::WindowNoState);
}

}  // namespace velkar
