// The desktop backend and the byte conversion: names and clipboard text round-trip
// byte for byte, the boxes carry exactly their caption and text, the file dialogs
// list what the filters promise, and the wait cursor goes back to the default.
#include "platform/platform_qt.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <random>

#include "platform/byte_text.h"
#include "tests/ui/qt_print.h"

using namespace velkar;

namespace {

// Runs `check` on the application's modal window once it is up.
template <typename W, typename F>
void WhenModal(F check) {
  QTimer::singleShot(0, [check] {
    W* window = nullptr;
    (void)QTest::qWaitFor(
        [&] { return (window = qobject_cast<W*>(QApplication::activeModalWidget())); });
    ASSERT_TRUE(window != nullptr);
    check(window);
  });
}

void Touch(const QString& path) { std::ofstream(path.toStdString()) << "x\n"; }

}  // namespace

TEST(PlatformQt, BytesRoundTrip) {
  // Every single byte, every pair of bytes, and random strings.
  for (int a = 1; a < 256; ++a) {
    std::string one(1, static_cast<char>(a));
    ASSERT_EQ(TextToBytes(BytesToText(one)), one);
    for (int b = 1; b < 256; ++b) {
      std::string two{static_cast<char>(a), static_cast<char>(b)};
      ASSERT_EQ(TextToBytes(BytesToText(two)), two);
    }
  }
  std::mt19937 random(7);
  for (int i = 0; i < 2000; ++i) {
    std::string s(random() % 12, '\0');
    for (char& c : s) c = static_cast<char>(1 + random() % 255);
    ASSERT_EQ(TextToBytes(BytesToText(s)), s);
  }
}

TEST(PlatformQt, ValidUtf8IsPlainText) {
  ASSERT_EQ(BytesToText("日本語.txt"), QString::fromUtf8("日本語.txt"));
  ASSERT_EQ(BytesToText("\xF0\x9F\x98\x80"), QString::fromUtf8("\xF0\x9F\x98\x80"));
  ASSERT_EQ(TextByteLength(QString::fromUtf8("あa")), std::size_t{4});
  // Invalid bytes become lone surrogates; overlong forms and encoded surrogates too.
  ASSERT_EQ(BytesToText("\x82\xa0"), QString() + QChar(0xDC82) + QChar(0xDCA0));
  ASSERT_EQ(BytesToText("\xC0\xAF").size(), 2);
  ASSERT_EQ(BytesToText("\xED\xA0\x80").size(), 3);
  ASSERT_EQ(BytesToText("\xE3\x81").size(), 2);  // cut short
  // A lone surrogate other than the escapes is not dropped.
  ASSERT_EQ(TextToBytes(QString(QChar(0xD800))), std::string("\xED\xA0\x80"));
}

TEST(PlatformQt, FiltersTranslated) {
  ASSERT_EQ(TranslateFilter("テキストファイル(*.TXT,*.CSV)|*.TXT;*.CSV|すべてのファイル(*.*)|*.*"),
            (QStringList{QString::fromUtf8("テキストファイル(*.TXT,*.CSV) (*.TXT *.CSV)"),
                         QString::fromUtf8("すべてのファイル(*.*) (*)")}));
  ASSERT_EQ(TranslateFilter(""), QStringList());
}

TEST(PlatformQt, MessageBoxAsAsked) {
  QtPlatform platform;
  bool seen = false;
  WhenModal<QMessageBox>([&](QMessageBox* box) {
    ASSERT_EQ(box->windowTitle(), QString("VELKAR-ERROR"));
    ASSERT_EQ(box->text(), QString::fromUtf8("読み込み先ファイルが未指定です"));
    ASSERT_EQ(box->icon(), QMessageBox::NoIcon);
    ASSERT_EQ(box->buttons().size(), 1);
    ASSERT_EQ(box->standardButtons(), QMessageBox::Ok);
    ASSERT_EQ(box->windowModality(), Qt::ApplicationModal);
    ASSERT_EQ(box->parentWidget(), nullptr);
    seen = true;
    box->button(QMessageBox::Ok)->click();
  });
  platform.ShowMessageBox(ApplicationWindow(), "読み込み先ファイルが未指定です", "VELKAR-ERROR",
                          kBoxOk);
  ASSERT_TRUE(seen);

  seen = false;
  WhenModal<QMessageBox>([&](QMessageBox* box) {
    ASSERT_EQ(box->icon(), QMessageBox::Critical);
    ASSERT_EQ(box->text(), QString("<b>File</b> [x]"));  // shown as plain text
    seen = true;
    box->button(QMessageBox::Ok)->click();
  });
  platform.ShowMessageBox(ApplicationWindow(), "<b>File</b> [x]", "VELKAR-ERROR", kBoxIconError);
  ASSERT_TRUE(seen);
}

// The window that was active is active again when the box closes.
TEST(PlatformQt, ActivationComesBack) {
  QtPlatform platform;
  QWidget window;
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  WhenModal<QMessageBox>([&](QMessageBox* box) { box->button(QMessageBox::Ok)->click(); });
  platform.ShowMessageBox(ApplicationWindow(), "Finish!", "VELKAR", kBoxOk);
  (void)QTest::qWaitFor([&] { return QApplication::activeWindow() == &window; });
  ASSERT_EQ(QApplication::activeWindow(), &window);
}

TEST(PlatformQt, ClipboardRoundTrip) {
  QtPlatform platform;
  const std::string text = "b,2\n日本語\n\x82\xa0 sjis\n";
  MemHandle block = platform.GlobalAlloc(text.size() + 1);
  std::memcpy(platform.GlobalLock(block), text.data(), text.size());
  platform.GlobalUnlock(block);
  ASSERT_TRUE(platform.OpenClipboard(ApplicationWindow()));
  ASSERT_FALSE(platform.OpenClipboard(ApplicationWindow()));  // already open
  ASSERT_TRUE(platform.EmptyClipboard());
  ASSERT_TRUE(platform.SetClipboardText(block));
  platform.CloseClipboard();
  ASSERT_EQ(platform.LiveBlocks(), 0);
  ASSERT_EQ(QGuiApplication::clipboard()->text().left(8), QString::fromUtf8("b,2\n日本語\n"));

  ASSERT_TRUE(platform.OpenClipboard(ApplicationWindow()));
  MemHandle got = platform.GetClipboardText();
  ASSERT_TRUE(got != nullptr);
  ASSERT_EQ(std::string(static_cast<const char*>(platform.GlobalLock(got))), text);
  platform.GlobalUnlock(got);
  platform.CloseClipboard();
  ASSERT_EQ(platform.LiveBlocks(), 0);

  // No text on the clipboard: no block.
  QGuiApplication::clipboard()->clear();
  ASSERT_TRUE(platform.OpenClipboard(ApplicationWindow()));
  ASSERT_EQ(platform.GetClipboardText(), nullptr);
  platform.CloseClipboard();
}

TEST(PlatformQt, WaitCursorBackToDefault) {
  QtPlatform platform;
  platform.SetWaitCursor(true);
  ASSERT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  QApplication::setOverrideCursor(Qt::IBeamCursor);  // someone else's, on top
  platform.SetWaitCursor(false);
  ASSERT_EQ(QApplication::overrideCursor(), nullptr);
}

// The open dialog: descriptions shown exactly, a.txt, B.TXT and c.csv listed and
// nothing else; the last name offered; the chosen name returned as bytes.
TEST(PlatformQt, OpenDialogListsByFilter) {
  QTemporaryDir dir;
  for (const char* name : {"a.txt", "B.TXT", "c.csv", "d.bin", "noext"}) Touch(dir.filePath(name));
  QtPlatform platform;
  FileDialogRequest request;
  request.options = kDlgPathMustExist | kDlgFileMustExist;
  request.filter = "テキストファイル(*.TXT,*.CSV)|*.TXT;*.CSV|すべてのファイル(*.*)|*.*";
  request.initialName = dir.filePath("c.csv").toStdString();
  bool seen = false;
  WhenModal<QFileDialog>([&](QFileDialog* dialog) {
    ASSERT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
    ASSERT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
    auto* combo = dialog->findChild<QComboBox*>("fileTypeCombo");
    ASSERT_EQ(combo->count(), 2);
    ASSERT_EQ(combo->itemText(0), QString::fromUtf8("テキストファイル(*.TXT,*.CSV)"));
    ASSERT_EQ(combo->itemText(1), QString::fromUtf8("すべてのファイル(*.*)"));
    ASSERT_EQ(combo->currentIndex(), 0);
    ASSERT_EQ(dialog->directory().absolutePath(), QDir(dir.path()).absolutePath());
    auto* list = dialog->findChild<QAbstractItemView*>("listView");
    auto listed = [&] {
      QStringList names;
      for (int r = 0; r < list->model()->rowCount(list->rootIndex()); ++r) {
        names << list->model()->index(r, 0, list->rootIndex()).data().toString();
      }
      names.sort(Qt::CaseInsensitive);
      return names;
    };
    const QStringList text = {"a.txt", "B.TXT", "c.csv"};
    (void)QTest::qWaitFor([&] { return listed() == text; });
    ASSERT_EQ(listed(), text);
    combo->setCurrentIndex(1);
    combo->activated(1);
    const QStringList all = {"a.txt", "B.TXT", "c.csv", "d.bin", "noext"};
    (void)QTest::qWaitFor([&] { return listed() == all; });
    ASSERT_EQ(listed(), all);
    auto* nameEdit = dialog->findChild<QLineEdit*>("fileNameEdit");
    nameEdit->selectAll();
    QTest::keyClicks(nameEdit, "B.TXT");
    seen = true;
    static_cast<QDialog*>(dialog)->accept();
  });
  std::string chosen;
  ASSERT_TRUE(platform.ShowFileDialog(nullptr, request, &chosen));
  ASSERT_TRUE(seen);
  ASSERT_EQ(chosen, dir.filePath("B.TXT").toStdString());
  // The chosen file's folder is now the current directory.
  ASSERT_EQ(QDir::current().absolutePath(), QDir(dir.path()).absolutePath());
  QDir::setCurrent(QDir::tempPath());
}

// The save dialog refuses a name in a folder that does not exist and asks before
// overwriting; a cancel gives nothing.
TEST(PlatformQt, SaveDialogChecks) {
  QTemporaryDir dir;
  Touch(dir.filePath("old.txt"));
  QtPlatform platform;
  FileDialogRequest request;
  request.save = true;
  request.options =
      kDlgOverwritePrompt | kDlgHideReadOnly | kDlgPathMustExist | kDlgNoReadOnlyReturn;
  request.filter = "テキストファイル(*.TXT, *.CSV)|*.TXT;*.CSV|すべてのファイル(*.*)|*.*";
  request.initialName = dir.filePath("old.txt").toStdString();
  QStringList warnings;
  WhenModal<QFileDialog>([&](QFileDialog* dialog) {
    ASSERT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    ASSERT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
    // An existing name: the question before overwriting; "No" keeps the dialog.
    WhenModal<QMessageBox>([&](QMessageBox* box) {
      warnings << box->text();
      box->button(QMessageBox::No)->click();
    });
    static_cast<QDialog*>(dialog)->accept();
    ASSERT_TRUE(dialog->isVisible());
    // Missing folder: a warning, the dialog stays.
    dialog->selectFile(dir.filePath("nowhere/x.txt"));
    WhenModal<QMessageBox>([&](QMessageBox* box) {
      warnings << box->text();
      box->button(QMessageBox::Ok)->click();
    });
    static_cast<QDialog*>(dialog)->accept();
    ASSERT_TRUE(dialog->isVisible());
    dialog->reject();
  });
  std::string chosen = "unchanged";
  ASSERT_FALSE(platform.ShowFileDialog(nullptr, request, &chosen));
  ASSERT_EQ(chosen, std::string("unchanged"));
  ASSERT_EQ(warnings.size(), 2);
  ASSERT_TRUE(warnings[0].contains("old.txt already exists"));
  ASSERT_TRUE(warnings[1].contains("Path not found"));
}
