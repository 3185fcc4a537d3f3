// How the main window's controls work together: the coupled check-box pairs and the
// name controls shown only in file mode, the browse panels and File > Open, the key
// position edit's validation, the up-downs, files dropped on the window. The input
// and the output side share one set of rules, each handler naming its side.
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QMimeData>
#include <QUrl>

#include "platform/byte_text.h"
#include "platform/platform.h"
#include "platform/window_handle.h"
#include "ui/main_form.h"
#include "ui/ui_texts.h"

namespace velkar {

namespace {

constexpr unsigned kOpenOptions = kDlgPathMustExist | kDlgFileMustExist;
constexpr unsigned kSaveOptions =
    kDlgOverwritePrompt | kDlgHideReadOnly | kDlgPathMustExist | kDlgNoReadOnlyReturn;

void ShowBox(const std::string& text, const char* caption) {
  CurrentPlatform()->ShowMessageBox(ApplicationWindow(), text.c_str(), caption, kBoxOk);
}

// The controls of one side of the window, input or output, and its file dialog.
struct FileSide {
  QCheckBox* clipboard;
  QCheckBox* file;
  TBrowsePanel* panel;
  TEdit* edit;
  TFileDialog& dialog;
  unsigned options;
};

FileSide InputSide(TVelkarMainForm* form) {
  return {form->ClipBoardCheckBox1, form->FileOpenCheckBox, form->FileOpenPanel,
          form->FileOpenEdit,       form->OpenDialog,       kOpenOptions};
}

FileSide OutputSide(TVelkarMainForm* form) {
  return {form->ClipBoardCheckBox2, form->FileSaveCheckBox, form->FileSavePanel,
          form->FileSaveEdit,       form->SaveDialog,       kSaveOptions};
}

void CheckOpposite(QCheckBox* partner, const QCheckBox* box) {
  partner->setChecked(!box->isChecked());
}

void ClipboardBoxChanged(const FileSide& side) { CheckOpposite(side.file, side.clipboard); }

// File mode shows the name controls (and, in the active window, gives the edit the
// focus); clipboard mode hides them, the name staying in the edit.
void FileBoxChanged(TVelkarMainForm* form, const FileSide& side) {
  if (side.file->isChecked()) {
    side.clipboard->setChecked(false);
    side.panel->show();
    side.edit->show();
    if (form->isActiveWindow()) side.edit->setFocus();
  } else {
    side.edit->hide();
    side.panel->hide();
    side.clipboard->setChecked(true);
  }
}

// A name chosen from outside the edit (File > Open, a drop): the side in file mode,
// the name in its edit, the focus there.
void ShowFileName(const FileSide& side, const QString& name) {
  side.clipboard->setChecked(false);
  side.panel->show();
  side.edit->show();
  side.edit->setText(name);
  side.edit->setFocus();
}

bool RunDialog(TVelkarMainForm* form, const FileSide& side) {
  side.dialog.options = side.options;
  return side.dialog.Execute(form);
}

// A browse panel: the chosen name into the edit; a cancel changes nothing.
void BrowseForName(TVelkarMainForm* form, const FileSide& side) {
  if (RunDialog(form, side)) side.edit->setText(BytesToText(side.dialog.fileName));
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

}  // namespace

// --- Coupled pairs: each sets its partner to the opposite; a box set to the state
// it already has runs nothing, so every exchange ends after one bounce. ---

void TVelkarMainForm::ClipBoardCheckBox1Click(QObject*) { ClipboardBoxChanged(InputSide(this)); }

void TVelkarMainForm::FileOpenCheckBoxClick(QObject*) { FileBoxChanged(this, InputSide(this)); }

void TVelkarMainForm::ClipBoardCheckBox2Click(QObject*) { ClipboardBoxChanged(OutputSide(this)); }

void TVelkarMainForm::FileSaveCheckBoxClick(QObject*) { FileBoxChanged(this, OutputSide(this)); }

void TVelkarMainForm::ColumCheckBoxClick(QObject*) { CheckOpposite(FieldCheckBox, ColumCheckBox); }

void TVelkarMainForm::FieldCheckBoxClick(QObject*) { CheckOpposite(ColumCheckBox, FieldCheckBox); }

void TVelkarMainForm::StringCompCheckBoxClick(QObject*) {
  CheckOpposite(NumCompCheckBox, StringCompCheckBox);
}

void TVelkarMainForm::NumCompCheckBoxClick(QObject*) {
  CheckOpposite(StringCompCheckBox, NumCompCheckBox);
}

// --- File names by dialog ---

void TVelkarMainForm::FileOpen(QObject*) { BrowseForName(this, InputSide(this)); }

void TVelkarMainForm::FileOpen2(QObject*) {
  const FileSide side = InputSide(this);
  if (RunDialog(this, side)) ShowFileName(side, BytesToText(side.dialog.fileName));
}

void TVelkarMainForm::FileSaveAs(QObject*) { BrowseForName(this, OutputSide(this)); }

// --- Key position ---

// Runs on every change of the edit's text; only the user's own edits are examined.
// Every byte that is not an ASCII digit is removed, from the end, with a box each.
void TVelkarMainForm::SortPosEditChange(QObject*) {
  if (!SortPosEdit->Modified()) return;
  const std::string text = TextToBytes(SortPosEdit->text());
  const std::size_t length = text.size();
  ShowBox(text, texts::kSortPosCaption);
  if (length == 0 || text == "0") {
    SortPosEdit->setText(QStringLiteral("1"));
    return;
  }
  std::string copy = text;
  std::size_t caret = 0;
  for (std::size_t i = length; i >= 1; --i) {
    const char c = copy[i - 1];
    if (c < '0' || c > '9') {
      ShowBox(texts::kNotANumber, texts::kNotANumberCaption);
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
  const bool onOutput = ChildWindowFromPoint(clientPoint) == OutputGroupBox;
  ShowFileName(onOutput ? OutputSide(this) : InputSide(this), BytesToText(names.front()));
}

// While a run paints the window, a drop is refused: the run's settings are taken
// and the controls wait for its end like the user's other input.
void TVelkarMainForm::dragEnterEvent(QDragEnterEvent* event) {
  if (!running_ && FromOutside(event)) event->acceptProposedAction();
}

void TVelkarMainForm::dragMoveEvent(QDragMoveEvent* event) {
  if (!running_ && FromOutside(event)) event->acceptProposedAction();
}

void TVelkarMainForm::dropEvent(QDropEvent* event) {
  if (running_ || !FromOutside(event)) return;
  event->acceptProposedAction();
  FilesDropped(DroppedFileNames(event->mimeData()),
               ClientArea->mapFrom(this, event->position().toPoint()));
}

}  // namespace velkar
