// The run request: the window's controls turned into the arguments of one sort
// run, the checks for missing file names, the status text and the cursors.
#include <QCheckBox>
#include <QRadioButton>
#include <limits>

#include "engine/engine.h"
#include "platform/byte_text.h"
#include "platform/platform.h"
#include "platform/window_handle.h"
#include "ui/main_form.h"
#include "ui/ui_texts.h"

namespace velkar {

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

  std::int32_t sortMode = 0;
  if (!Sort_F_RadioButton->isChecked()) sortMode |= kSortDescending;
  if (NotCaseSensitiveCheckBox->isChecked()) sortMode |= kSortIgnoreCase;
  if (UniqCheckBox->isChecked()) sortMode |= kSortUnique;

  std::string inputName;
  const bool inputFromFile = !ClipBoardCheckBox1->isChecked();
  if (inputFromFile) {
    inputName = TextToBytes(FileOpenEdit->text());
    if (inputName.empty()) {
      CurrentPlatform()->ShowMessageBox(ApplicationWindow(), texts::kNoInputName,
                                        texts::kRequestCaption, kBoxOk);
      return;
    }
  }
  std::string outputName;
  const bool outputToFile = !ClipBoardCheckBox2->isChecked();
  if (outputToFile) {
    outputName = TextToBytes(FileSaveEdit->text());
    if (outputName.empty()) {
      CurrentPlatform()->ShowMessageBox(ApplicationWindow(), texts::kNoOutputName,
                                        texts::kRequestCaption, kBoxOk);
      return;
    }
  }

  // One-based in the edit; a text that is no integer counts as 1.
  const long long position = ParseDecimal(SortPosEdit->text(), 1);
  const auto sortPos = static_cast<std::int32_t>(
      std::max<long long>(position - 1, std::numeric_limits<std::int32_t>::min()));

  std::int32_t keyMode = ColumCheckBox->isChecked() ? kKeyColumn : kKeyField;
  if (NumCompCheckBox->isChecked()) keyMode += kKeyNumber;

  StatusLine->SetSimpleText(QString::fromUtf8(texts::kRunning));
  StatusLine->repaint();  // the run holds the event loop; show the text now
  CurrentPlatform()->SetWaitCursor(true);
  RunSort(ApplicationWindow(), sortMode, inputFromFile ? inputName.c_str() : nullptr,
          outputToFile ? outputName.c_str() : nullptr, sortPos, keyMode);
  CurrentPlatform()->SetWaitCursor(false);
  StatusLine->SetSimpleText(statusText);
}

}  // namespace velkar
