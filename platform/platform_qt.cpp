// Desktop backend: application-modal QMessageBox, QClipboard through the lossless
// byte conversion, a non-native QFileDialog with the Windows option sets mapped, the
// override cursor, and the window kept painted during a long run. After a modal
// window closes the previously active window is activated again, which a desktop
// without a window manager does not do by itself.
#include "platform/platform_qt.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <cstring>

#include "platform/byte_text.h"

namespace velkar {

namespace {

// Gives the activation back to `previous` when the modal window, now closed, leaves
// none active (or is still recorded as the active one).
void Reactivate(const QPointer<QWidget>& previous) {
  QWidget* active = QApplication::activeWindow();
  if (previous != nullptr && previous->isVisible() && (active == nullptr || !active->isVisible())) {
    previous->activateWindow();
  }
}

// QFileDialog with the checks it lacks itself: the folder of a typed name must
// exist, and a read-only file may be refused. Its own checks cover the rest (the
// file must exist when opening, the question before overwriting).
class CheckedFileDialog : public QFileDialog {
 public:
  CheckedFileDialog(QWidget* parent, unsigned options) : QFileDialog(parent), options_(options) {}

  void accept() override {
    const QStringList files = selectedFiles();
    if (!files.isEmpty()) {
      QFileInfo info(files.first());
      if ((options_ & kDlgPathMustExist) != 0 && !info.absoluteDir().exists()) {
        QMessageBox::warning(this, windowTitle(),
                             tr("%1\nPath not found.\nPlease verify the correct path was given.")
                                 .arg(info.absolutePath()));
        return;
      }
      if ((options_ & kDlgNoReadOnlyReturn) != 0 && info.exists() && !info.isWritable()) {
        QMessageBox::warning(this, windowTitle(),
                             tr("%1\nThis file is read-only.\nPlease choose another file name.")
                                 .arg(info.fileName()));
        return;
      }
    }
    QFileDialog::accept();
  }

 private:
  unsigned options_;
};

}  // namespace

QtPlatform::QtPlatform() = default;

QtPlatform::~QtPlatform() {
  if (handedOut_ != nullptr) FreeBlockStorage(handedOut_);
}

void QtPlatform::ShowMessageBox(WindowHandle, const char* text, const char* caption,
                                unsigned style) {
  QPointer<QWidget> previous = QApplication::activeWindow();
  QMessageBox box((style & kBoxIconError) != 0 ? QMessageBox::Critical : QMessageBox::NoIcon,
                  BytesToText(caption), BytesToText(text), QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
  Reactivate(previous);
}

bool QtPlatform::OpenClipboard(WindowHandle) {
  if (clipboardOpen_ || qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
    return false;
  }
  clipboardOpen_ = true;
  return true;
}

MemHandle QtPlatform::GetClipboardText() {
  if (!clipboardOpen_) return nullptr;
  if (handedOut_ != nullptr) return handedOut_;
  const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
  if (data == nullptr || !data->hasText()) return nullptr;
  std::string bytes = TextToBytes(data->text());
  // Like CF_TEXT: the text up to its first NUL, NUL-terminated.
  std::size_t len = std::strlen(bytes.c_str());
  handedOut_ = Platform::GlobalAlloc(len + 1);
  if (handedOut_ == nullptr) return nullptr;
  std::memcpy(Platform::GlobalLock(handedOut_), bytes.data(), len);
  Platform::GlobalUnlock(handedOut_);
  return handedOut_;
}

bool QtPlatform::EmptyClipboard() {
  if (!clipboardOpen_) return false;
  QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
  return true;
}

bool QtPlatform::SetClipboardText(MemHandle block) {
  if (!clipboardOpen_ || block == nullptr) return false;
  const char* bytes = static_cast<const char*>(Platform::GlobalLock(block));
  if (bytes == nullptr) return false;
  std::size_t size = GlobalSize(block);
  QString text = BytesToText(std::string_view(bytes, TextLength(bytes, size)));
  Platform::GlobalUnlock(block);
  QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
  // Qt keeps its own copy: the block, now the clipboard's, is released at once.
  FreeBlockStorage(block);
  return true;
}

void QtPlatform::CloseClipboard() {
  clipboardOpen_ = false;
  if (handedOut_ != nullptr) {
    FreeBlockStorage(handedOut_);
    handedOut_ = nullptr;
  }
}

bool QtPlatform::ShowFileDialog(WindowHandle owner, const FileDialogRequest& request,
                                std::string* chosen) {
  QPointer<QWidget> previous = QApplication::activeWindow();
  CheckedFileDialog dialog(WidgetOf(owner), request.options);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setWindowModality(Qt::ApplicationModal);
  if (request.save) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite,
                     (request.options & kDlgOverwritePrompt) == 0);
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode((request.options & kDlgFileMustExist) != 0 ? QFileDialog::ExistingFile
                                                                  : QFileDialog::AnyFile);
  }
  const QStringList filters = TranslateFilter(request.filter);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.first());
  }
  if (!request.initialName.empty()) dialog.selectFile(BytesToText(request.initialName));
  bool accepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
  if (accepted) {
    *chosen = TextToBytes(dialog.selectedFiles().first());
    // As the Windows dialogs do unless told to keep it: the chosen file's folder
    // becomes the current directory, where relative names are then looked up.
    QDir::setCurrent(QFileInfo(dialog.selectedFiles().first()).absolutePath());
  }
  Reactivate(previous);
  return accepted;
}

void QtPlatform::ShowHelp(WindowHandle owner, const char* helpFile, unsigned command,
                          const char* data) {
  if (helpViewer) helpViewer(owner, helpFile, command, data);
}

void QtPlatform::SetWaitCursor(bool on) {
  if (on) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
  }
}

void QtPlatform::ReportProgress(const RunProgress& progress) {
  if (progressView) progressView(progress);
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

QStringList TranslateFilter(std::string_view filter) {
  QStringList result;
  const QStringList fields = BytesToText(filter).split(u'|');
  for (qsizetype i = 0; i + 1 < fields.size(); i += 2) {
    QStringList patterns;
    for (const QString& pattern : fields[i + 1].split(u';', Qt::SkipEmptyParts)) {
      QString p = pattern.trimmed();
      patterns << (p == u"*.*" ? QStringLiteral("*") : p);
    }
    result << fields[i] + QStringLiteral(" (") + patterns.join(u' ') + u')';
  }
  return result;
}

}  // namespace velkar
