// How the main window's controls work together: the coupled check-box pairs and the
// name controls shown only in file mode, the browse panels and File > Open, the key
// position edit's validation, the up-downs, files dropped on the window, the default
// button following the focus, closing.
#include <QApplication>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

#include "platform/byte_text.h"
#include "platform/platform.h"
#include "platform/platform_qt.h"
#include "ui/main_form.h"

namespace velkar {

namespace {

constexpr const char* kSortPosCaption = "SortPosEdit->Text";
constexpr const char* kNotANumber = "数値を入力してください";
constexpr const char* kNotANumberCaption = "ERROR";

constexpr unsigned kOpenOptions = kDlgPathMustExist | kDlgFileMustExist;
constexpr unsigned kSaveOptions =
    kDlgOverwritePrompt | kDlgHideReadOnly | kDlgPathMustExist | kDlgNoReadOnlyReturn;

void ShowBox(const std::string& text, const char* caption) {
  CurrentPlatform()->ShowMessageBox(ApplicationWindow(), text.c_str(), caption, kBoxOk);
}

// The local files of a drag, as byte-string names in the order given. The URI list
// is decoded byte by byte, so a name that is not valid UTF-8 stays the same name.
std::vector<std::string> DroppedFileNames(const QMimeData* data) {
  std::vector<std::string> names;
  if (data == nullptr || !data->hasFormat(QStringLiteral("text/uri-list"))) return names;
  const QList<QByteArray> lines = data->data(QStringLiteral("text/uri-list")).split('\n');
  for (QByteArray line : lines) {
    line = line.trimmed();
    if (line.isEmpty() || line.startsWith('#')) continue;
    if (line.size() < 5 || qstrnicmp(line.constData(), "file:", 5) != 0) continue;
    QByteArray rest = line.mid(5);
    if (rest.startsWith("//")) {
      qsizetype slash = rest.indexOf('/', 2);
      QByteArray host = rest.mid(2, slash < 0 ? -1 : slash - 2);
      if (slash < 0 || !(host.isEmpty() || host == "localhost")) continue;
      rest = rest.mid(slash);
    }
    QByteArray name = QByteArray::fromPercentEncoding(rest);
    if (!name.isEmpty())
      names.emplace_back(name.constData(), static_cast<std::size_t>(name.size()));
  }
  return names;
}

bool FromOutside(const QDropEvent* event) {
  return event->source() == nullptr && !DroppedFileNames(event->mimeData()).empty();
}

// Qt keeps the default-button state in step with the focus only inside a dialog;
// in this window a push button that loses the focus also drops its default mark,
// so after the focus has passed over both buttons none would show as the default.
// The push button with the focus is the default; with the focus on anything else
// in the window, OKButton is (Enter there presses it).
void ShowDefaultButton(TVelkarMainForm* form, QWidget* focus) {
  if (focus == nullptr || focus->window() != form) return;
  auto* focusedButton = qobject_cast<QPushButton*>(focus);
  QPushButton* const owner = focusedButton != nullptr ? focusedButton : form->OKButton;
  for (QPushButton* button : {form->OKButton, form->CancelButton}) {
    button->setDefault(button == owner);
  }
}

}  // namespace

void TVelkarMainForm::ConnectHandlers() {
  // Check boxes react to every real change of state, the program's included.
  struct Pair {
    QCheckBox* box;
    void (TVelkarMainForm::*handler)(QObject*);
  };
  const Pair pairs[] = {
      {ClipBoardCheckBox1, &TVelkarMainForm::ClipBoardCheckBox1Click},
      {FileOpenCheckBox, &TVelkarMainForm::FileOpenCheckBoxClick},
      {ClipBoardCheckBox2, &TVelkarMainForm::ClipBoardCheckBox2Click},
      {FileSaveCheckBox, &TVelkarMainForm::FileSaveCheckBoxClick},
      {ColumCheckBox, &TVelkarMainForm::ColumCheckBoxClick},
      {FieldCheckBox, &TVelkarMainForm::FieldCheckBoxClick},
      {StringCompCheckBox, &TVelkarMainForm::StringCompCheckBoxClick},
      {NumCompCheckBox, &TVelkarMainForm::NumCompCheckBoxClick},
  };
  for (const Pair& pair : pairs) {
    connect(pair.box, &QCheckBox::toggled, this, [this, pair] { (this->*pair.handler)(pair.box); });
  }
  connect(FileOpenPanel, &TBrowsePanel::Clicked, this, [this] { FileOpen(FileOpenPanel); });
  connect(FileOpenPanel, &TBrowsePanel::Entered, this, [this] { FileOpen(FileOpenPanel); });
  connect(FileSavePanel, &TBrowsePanel::Clicked, this, [this] { FileSaveAs(FileSavePanel); });
  connect(SortPosEdit, &QLineEdit::textChanged, this, [this] { SortPosEditChange(SortPosEdit); });
  connect(UpDown1, &TUpDown::Click, this,
          [this](TUpDown::Direction direction) { UpDown1Click(UpDown1, direction); });
  connect(UpDown2, &TUpDown::Click, this,
          [this](TUpDown::Direction direction) { UpDown2Click(UpDown2, direction); });
  connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(OKButton); });
  connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButtonClick(CancelButton); });
  connect(FileOpenItem, &QAction::triggered, this, [this] { FileOpen2(FileOpenItem); });
  connect(FileExitItem, &QAction::triggered, this, [this] { FileExit(FileExitItem); });
  connect(qApp, &QApplication::focusChanged, this,
          [this](QWidget*, QWidget* now) { ShowDefaultButton(this, now); });
}

// --- Coupled pairs: each sets its partner to the opposite; a box set to the state
// it already has runs nothing, so every exchange ends after one bounce. ---

void TVelkarMainForm::ClipBoardCheckBox1Click(QObject*) {
  FileOpenCheckBox->setChecked(!ClipBoardCheckBox1->isChecked());
}

void TVelkarMainForm::FileOpenCheckBoxClick(QObject*) {
  if (FileOpenCheckBox->isChecked()) {
    ClipBoardCheckBox1->setChecked(false);
    FileOpenPanel->show();
    FileOpenEdit->show();
    if (isActiveWindow()) FileOpenEdit->setFocus();
  } else {
    FileOpenEdit->hide();
    FileOpenPanel->hide();
    ClipBoardCheckBox1->setChecked(true);
  }
}

void TVelkarMainForm::ClipBoardCheckBox2Click(QObject*) {
  FileSaveCheckBox->setChecked(!ClipBoardCheckBox2->isChecked());
}

void TVelkarMainForm::FileSaveCheckBoxClick(QObject*) {
  if (FileSaveCheckBox->isChecked()) {
    ClipBoardCheckBox2->setChecked(false);
    FileSavePanel->show();
    FileSaveEdit->show();
    if (isActiveWindow()) FileSaveEdit->setFocus();
  } else {
    FileSaveEdit->hide();
    FileSavePanel->hide();
    ClipBoardCheckBox2->setChecked(true);
  }
}

void TVelkarMainForm::ColumCheckBoxClick(QObject*) {
  FieldCheckBox->setChecked(!ColumCheckBox->isChecked());
}

void TVelkarMainForm::FieldCheckBoxClick(QObject*) {
  ColumCheckBox->setChecked(!FieldCheckBox->isChecked());
}

void TVelkarMainForm::StringCompCheckBoxClick(QObject*) {
  NumCompCheckBox->setChecked(!StringCompCheckBox->isChecked());
}

void TVelkarMainForm::NumCompCheckBoxClick(QObject*) {
  StringCompCheckBox->setChecked(!NumCompCheckBox->isChecked());
}

// --- File names by dialog ---

void TVelkarMainForm::FileOpen(QObject*) {
  OpenDialog.options = kOpenOptions;
  if (OpenDialog.Execute(this)) FileOpenEdit->setText(BytesToText(OpenDialog.fileName));
}

void TVelkarMainForm::FileOpen2(QObject*) {
  OpenDialog.options = kOpenOptions;
  if (!OpenDialog.Execute(this)) return;
  ClipBoardCheckBox1->setChecked(false);
  FileOpenPanel->show();
  FileOpenEdit->show();
  FileOpenEdit->setText(BytesToText(OpenDialog.fileName));
  FileOpenEdit->setFocus();
}

void TVelkarMainForm::FileSaveAs(QObject*) {
  SaveDialog.options = kSaveOptions;
  if (SaveDialog.Execute(this)) FileSaveEdit->setText(BytesToText(SaveDialog.fileName));
}

// --- Key position ---

// Runs on every change of the edit's text; only the user's own edits are examined.
// Every byte that is not an ASCII digit is removed, from the end, with a box each.
void TVelkarMainForm::SortPosEditChange(QObject*) {
  if (!SortPosEdit->Modified()) return;
  const std::string text = TextToBytes(SortPosEdit->text());
  const std::size_t length = text.size();
  ShowBox(text, kSortPosCaption);
  if (length == 0 || text == "0") {
    SortPosEdit->setText(QStringLiteral("1"));
    return;
  }
  std::string copy = text;
  std::size_t caret = 0;
  for (std::size_t i = length; i >= 1; --i) {
    const char c = copy[i - 1];
    if (c < '0' || c > '9') {
      ShowBox(kNotANumber, kNotANumberCaption);
      caret = i - 1;
      copy.erase(i - 1, 1);
    }
  }
  if (copy.size() < length) {
    SortPosEdit->setText(BytesToText(copy));
    // What is left is ASCII digits, so the byte offset is the character offset.
    SortPosEdit->setCursorPosition(static_cast<int>(caret));
    SortPosEdit->deselect();
  }
  UpDown2->SetPosition(ParseDecimal(SortPosEdit->text(), 1));
}

void TVelkarMainForm::UpDown1Click(QObject*, TUpDown::Direction) {
  UpDown2->SetPosition(ParseDecimal(SortPosEdit->text(), 1));
}

void TVelkarMainForm::UpDown2Click(QObject*, TUpDown::Direction) {
  SortPosEdit->setText(QString::number(UpDown2->Position()));
}

// --- Files dropped from outside ---

QWidget* TVelkarMainForm::ChildWindowFromPoint(QPoint clientPoint) const {
  if (!ClientArea->rect().contains(clientPoint)) return nullptr;
  QWidget* widget = ClientArea->childAt(clientPoint);
  while (widget != nullptr && widget->parentWidget() != ClientArea) widget = widget->parentWidget();
  return widget;
}

// The first name only, whole: a name cut short would name another file. A drop on
// the output group, or on anything in it, names the output; any other the input.
void TVelkarMainForm::FilesDropped(const std::vector<std::string>& names, QPoint clientPoint) {
  if (names.empty()) return;
  const QString name = BytesToText(names.front());
  if (ChildWindowFromPoint(clientPoint) == OutputGroupBox) {
    ClipBoardCheckBox2->setChecked(false);
    FileSavePanel->show();
    FileSaveEdit->show();
    FileSaveEdit->setText(name);
    FileSaveEdit->setFocus();
  } else {
    ClipBoardCheckBox1->setChecked(false);
    FileOpenPanel->show();
    FileOpenEdit->show();
    FileOpenEdit->setText(name);
    FileOpenEdit->setFocus();
  }
}

void TVelkarMainForm::dragEnterEvent(QDragEnterEvent* event) {
  if (FromOutside(event)) event->acceptProposedAction();
}

void TVelkarMainForm::dragMoveEvent(QDragMoveEvent* event) {
  if (FromOutside(event)) event->acceptProposedAction();
}

void TVelkarMainForm::dropEvent(QDropEvent* event) {
  if (!FromOutside(event)) return;
  event->acceptProposedAction();
  FilesDropped(DroppedFileNames(event->mimeData()),
               ClientArea->mapFrom(this, event->position().toPoint()));
}

// --- Keys and closing ---

bool TVelkarMainForm::event(QEvent* event) {
  // The status line shows only its own text: menu and control status tips are dropped.
  if (event->type() == QEvent::StatusTip) return true;
  return QMainWindow::event(event);
}

void TVelkarMainForm::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  // Enter that no control took for itself (only push buttons do) presses the
  // default button.
  if ((key == Qt::Key_Return || key == Qt::Key_Enter) &&
      (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
    if (OKButton->isVisible() && OKButton->isEnabled()) {
      event->accept();
      OKButton->click();
      return;
    }
  }
  QWidget* focus = QApplication::focusWidget();
  if (focus == nullptr || focus == this) {
    int k = key;
    FormKeyDown(this, k, event->modifiers());
  }
  QMainWindow::keyPressEvent(event);
}

void TVelkarMainForm::FormKeyDown(QObject*, int& Key, Qt::KeyboardModifiers) {
  if (Key == Qt::Key_Escape) close();
}

void TVelkarMainForm::FileExit(QObject*) { close(); }

void TVelkarMainForm::CancelButtonClick(QObject*) { close(); }

}  // namespace velkar
