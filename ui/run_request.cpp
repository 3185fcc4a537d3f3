// The run request: the window's controls turned into the arguments of one sort
// run, the checks for missing file names, the status text and the cursors.
#include <QCheckBox>
#include <QRadioButton>

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
  settings.Run(ApplicationWindow());
  CurrentPlatform()->SetWaitCursor(false);
  StatusLine->SetSimpleText(statusText);
}

}  // namespace velkar
