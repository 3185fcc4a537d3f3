// The run request: the window's controls turned into the arguments of one sort
// run, the checks for missing file names, the status text and the cursors, the
// progress of a long run and a close request that comes during one.
#include <QCheckBox>
#include <QCloseEvent>
#include <QRadioButton>
#include <QTimer>

#include "engine/engine.h"
#include "platform/byte_text.h"
#include "platform/platform.h"
#include "platform/window_handle.h"
#include "ui/command_line.h"
#include "ui/main_form.h"
#include "ui/ui_texts.h"

namespace velkar {

RunSettings TVelkarMainForm::Settings() const {
  RunSettings s;
  s.descending = !Sort_F_RadioButton->isChecked();
  s.ignoreCase = NotCaseSensitiveCheckBox->isChecked();
  s.unique = UniqCheckBox->isChecked();
  if (!ClipBoardCheckBox1->isChecked()) s.inputName = TextToBytes(FileOpenEdit->text());
  if (!ClipBoardCheckBox2->isChecked()) s.outputName = TextToBytes(FileSaveEdit->text());
  s.positionText = TextToBytes(SortPosEdit->text());
  s.numberKey = NumCompCheckBox->isChecked();
  s.fieldKey = !ColumCheckBox->isChecked();
  s.autoRun = AutoRun != 0;
  s.quietFinish = QuietFinish != 0;
  return s;
}

void TVelkarMainForm::OKButtonClick(QObject*) {
  if (running_) return;
  setCursor(Qt::WaitCursor);
  ExecuteSort();
  unsetCursor();
}

// One run with the settings the controls hold now. A request that finds a file
// name missing says so and ends before touching the status line or the cursor.
// The engine's state is process-wide: a request made while one is in progress
// (from inside one of the engine's boxes) is ignored.
void TVelkarMainForm::ExecuteSort() {
  if (running_) return;
  running_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{running_};

  const QString statusText = StatusLine->SimpleText();

  const RunSettings settings = Settings();
  if (const char* missing = settings.MissingName()) {
    CurrentPlatform()->ShowMessageBox(ApplicationWindow(), missing, texts::kRequestCaption, kBoxOk);
    return;
  }

  StatusLine->SetSimpleText(QString::fromUtf8(texts::kRunning));
  StatusLine->repaint();  // the run holds the event loop; show the text now
  CurrentPlatform()->SetWaitCursor(true);
  runClock_.start();
  settings.Run(ApplicationWindow());
  StatusLine->HideProgress();
  CurrentPlatform()->SetWaitCursor(false);
  StatusLine->SetSimpleText(statusText);
  // The window was asked to close while the run went on: it closes now that the
  // run has delivered its result (and shown its message).
  if (closeAfterRun_) {
    closeAfterRun_ = false;
    QTimer::singleShot(0, this, [this] { close(); });
  }
}

void TVelkarMainForm::ShowRunProgress(const RunProgress& progress) {
  if (!running_ || !runClock_.isValid() || runClock_.elapsed() < kProgressDelayMs) return;
  const char* step = texts::kStepRead;
  switch (progress.phase) {
    case RunPhase::kRead:
      step = texts::kStepRead;
      break;
    case RunPhase::kSort:
      step = texts::kStepSort;
      break;
    case RunPhase::kMerge:
      step = texts::kStepMerge;
      break;
    case RunPhase::kWrite:
      step = texts::kStepWrite;
      break;
  }
  StatusLine->ShowProgress(QString::fromUtf8(step), progress.done, progress.total);
}

// A close that arrives while the run paints the window never cuts the run: it is
// kept and carried out once the run has ended. (On X11 Qt holds the window
// manager's close request back with the user's input; a close comes here during
// a run from the session ending, from platforms that send it as a plain event, or
// from the program itself.)
void TVelkarMainForm::closeEvent(QCloseEvent* event) {
  if (running_) {
    closeAfterRun_ = true;
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
}

}  // namespace velkar
