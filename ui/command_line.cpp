// The command line: words from argv or from one Windows-style string, the options
// applied to the main window's controls, and FormCreate with the automatic run.
#include "ui/command_line.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QRadioButton>
#include <QStatusTipEvent>
#include <QTimer>
#include <utility>

#include "engine/engine.h"
#include "platform/byte_text.h"
#include "ui/main_form.h"

namespace velkar {

unsigned char AutoRun = 0;
bool QuitRequested = false;

namespace {

// The words of this start, word 0 included.
std::vector<std::string>& Words() {
  static std::vector<std::string> words;
  return words;
}

bool IsSeparator(unsigned char c) { return c >= 1 && c <= 32; }

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::string_view::size_type end = line.find('\0');
  if (end != std::string_view::npos) line = line.substr(0, end);

  std::vector<std::string> words;
  std::size_t i = 0;
  const std::size_t n = line.size();
  for (;;) {
    while (i < n && IsSeparator(static_cast<unsigned char>(line[i]))) ++i;
    // Empty pairs of quotes where a word would begin make no word.
    while (i + 1 < n && line[i] == '"' && line[i + 1] == '"') i += 2;
    if (i >= n) break;
    if (IsSeparator(static_cast<unsigned char>(line[i]))) continue;

    std::string word;
    bool quoted = false;
    for (; i < n; ++i) {
      char c = line[i];
      if (c == '"') {
        quoted = !quoted;
      } else if (!quoted && IsSeparator(static_cast<unsigned char>(c))) {
        break;
      } else {
        word.push_back(c);
      }
    }
    if (!word.empty()) words.push_back(std::move(word));
  }
  return words;
}

std::vector<std::string> WordsFromArgv(int argc, const char* const* argv) {
  std::vector<std::string> words;
  for (int i = 0; i < argc; ++i) {
    if (argv[i] == nullptr) break;
    if (i > 0 && argv[i][0] == '\0') continue;
    words.emplace_back(argv[i]);
  }
  return words;
}

const std::vector<std::string>& CommandLineWords() { return Words(); }

void SetCommandLineWords(std::vector<std::string> words) { Words() = std::move(words); }

std::string PositionText(std::string_view lowerWord) {
  std::string digits;
  for (std::size_t i = 1; i < lowerWord.size() && lowerWord[i] >= '0' && lowerWord[i] <= '9'; ++i) {
    if (digits.size() < kMaxPositionDigits) digits.push_back(lowerWord[i]);
  }
  return digits;
}

namespace {

// Only the ASCII letters change case; every other byte stays as it is.
std::string AsciiLower(std::string_view word) {
  std::string lower(word);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

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
void TakePosition(TVelkarMainForm* form, std::string_view lower) {
  form->SortPosEdit->setText(QString::fromLatin1(PositionText(lower)));
  form->UpDown1->SetPosition(ParseDecimal(form->SortPosEdit->text(), 1));
  std::size_t next = 1;
  while (next < lower.size() && lower[next] >= '0' && lower[next] <= '9') ++next;
  if (next < lower.size() && lower[next] == 'n') {
    form->NumCompCheckBox->setChecked(true);
    form->StringCompCheckBox->setChecked(false);
    ++next;
  }
  if (next < lower.size() && lower[next] == 'f') {
    form->FieldCheckBox->setChecked(true);
    form->ColumCheckBox->setChecked(false);
  }
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

void TVelkarMainForm::ParseCommandLine() {
  const std::vector<std::string>& words = CommandLineWords();
  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::string& word = words[i];
    const std::string lower = AsciiLower(word);
    if (lower == "-a") {
      AutoRun = 1;
    } else if (lower == "-a+") {
      AutoRun = 1;
      QuietFinish = 1;
    } else if (lower == "-r") {
      Sort_F_RadioButton->setChecked(false);
      Sort_R_RadioButton->setChecked(true);
    } else if (lower == "-i") {
      NotCaseSensitiveCheckBox->setChecked(true);
    } else if (lower == "-u") {
      UniqCheckBox->setChecked(true);
    } else if (lower == "-f") {
      if (i + 1 < words.size()) TakeInputName(this, words[++i]);
    } else if (lower == "-o") {
      if (i + 1 < words.size()) TakeOutputName(this, words[++i]);
    } else if (lower.size() >= 2 && lower[0] == '-' && lower[1] >= '1' && lower[1] <= '9') {
      TakePosition(this, lower);
    } else {
      TakeInputName(this, word);
    }
  }
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
