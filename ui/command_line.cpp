// The command line on the window: the option table's walk applied to the main
// window's controls, the hint handler, and FormCreate with the automatic run.
#include "ui/command_line.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QRadioButton>
#include <QStatusTipEvent>
#include <QTimer>

#include "cli/run_settings.h"
#include "engine/engine.h"
#include "platform/byte_text.h"
#include "ui/main_form.h"

namespace velkar {

unsigned char AutoRun = 0;
bool QuitRequested = false;

namespace {

void TakeInputName(TVelkarMainForm* form, const std::string& name) {
  form->ClipBoardCheckBox1->setChecked(false);
  form->FileOpenCheckBox->setChecked(true);
  form->FileOpenEdit->setVisible(true);
  form->FileOpenEdit->setText(BytesToText(name));
}

void TakeOutputName(TVelkarMainForm* form, const std::string& name) {
  form->ClipBoardCheckBox2->setChecked(false);
  form->FileSaveCheckBox->setChecked(true);
  form->FileSaveEdit->setVisible(true);
  form->FileSaveEdit->setText(BytesToText(name));
}

// A position option: the digit run into SortPosEdit (set by the program, so neither
// the byte limit nor the validation acts), UpDown1 from it, then "n", then "f".
void TakePosition(TVelkarMainForm* form, const std::string& digits, bool number, bool field) {
  form->SortPosEdit->setText(QString::fromLatin1(digits));
  form->UpDown1->SetPosition(ParseDecimal(form->SortPosEdit->text(), 1));
  if (number) {
    form->NumCompCheckBox->setChecked(true);
    form->StringCompCheckBox->setChecked(false);
  }
  if (field) {
    form->FieldCheckBox->setChecked(true);
    form->ColumCheckBox->setChecked(false);
  }
}

// The options applied to the controls through their ordinary changes of state, so
// that the reactions of the check-box pairs run as after a user's click.
class ControlsSink : public OptionSink {
 public:
  explicit ControlsSink(TVelkarMainForm* form) : form_(form) {}
  void AutoRunOption(bool quiet) override {
    AutoRun = 1;
    if (quiet) QuietFinish = 1;
  }
  void DescendingOption() override {
    form_->Sort_F_RadioButton->setChecked(false);
    form_->Sort_R_RadioButton->setChecked(true);
  }
  void IgnoreCaseOption() override { form_->NotCaseSensitiveCheckBox->setChecked(true); }
  void UniqueOption() override { form_->UniqCheckBox->setChecked(true); }
  void InputName(const std::string& name) override { TakeInputName(form_, name); }
  void OutputName(const std::string& name) override { TakeOutputName(form_, name); }
  void PositionOption(const std::string& digits, bool number, bool field) override {
    TakePosition(form_, digits, number, field);
  }

 private:
  TVelkarMainForm* form_;
};

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

void TVelkarMainForm::ParseCommandLine() {
  ControlsSink sink(this);
  WalkCommandLine(CommandLineWords(), &sink);
}

void TVelkarMainForm::FormCreate(QObject*) {
  qApp->installEventFilter(new HintWatcher(this));
  AutoRun = 0;
  QuietFinish = 0;
  QuitRequested = false;
  if (CommandLineWords().size() > 1) {
    setWindowState(Qt::WindowMinimized);
    ParseCommandLine();
    if (AutoRun != 0) {
      ExecuteSort();
      if (RunResult == 0) {
        // Queued, so that the loop ends as soon as it runs, after the window is shown.
        QuitRequested = true;
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
      }
    }
  }
  setWindowState(Qt::WindowNoState);
}

}  // namespace velkar
