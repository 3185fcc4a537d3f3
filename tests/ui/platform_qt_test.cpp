// The desktop backend and the byte conversion: names and clipboard text round-trip
// byte for byte, the boxes carry exactly their caption and text, the file dialogs
// list what the filters promise, and the wait cursor goes back to the default.
#include <QAbstractItemView>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <fstream>
#include <random>

#include "platform/byte_text.h"
#include "platform/platform_qt.h"

using namespace velkar;

namespace {

// Runs `check` on the application's modal window once it is up.
template <typename W, typename F>
void WhenModal(F check) {
  QTimer::singleShot(0, [check] {
    W* window = nullptr;
    (void)QTest::qWaitFor(
        [&] { return (window = qobject_cast<W*>(QApplication::activeModalWidget())); });
    QVERIFY(window != nullptr);
    check(window);
  });
}

void Touch(const QString& path) { std::ofstream(path.toStdString()) << "x\n"; }

}  // namespace

class PlatformQtTest : public QObject {
  Q_OBJECT

 private slots:
  void bytesRoundTrip() {
    // Every single byte, every pair of bytes, and random strings.
    for (int a = 1; a < 256; ++a) {
      std::string one(1, static_cast<char>(a));
      QCOMPARE(TextToBytes(BytesToText(one)), one);
      for (int b = 1; b < 256; ++b) {
        std::string two{static_cast<char>(a), static_cast<char>(b)};
        QCOMPARE(TextToBytes(BytesToText(two)), two);
      }
    }
    std::mt19937 random(7);
    for (int i = 0; i < 2000; ++i) {
      std::string s(random() % 12, '\0');
      for (char& c : s) c = static_cast<char>(1 + random() % 255);
      QCOMPARE(TextToBytes(BytesToText(s)), s);
    }
  }

  void validUtf8IsPlainText() {
    QCOMPARE(BytesToText("日本語.txt"), QString::fromUtf8("日本語.txt"));
    QCOMPARE(BytesToText("\xF0\x9F\x98\x80"), QString::fromUtf8("\xF0\x9F\x98\x80"));
    QCOMPARE(TextByteLength(QString::fromUtf8("あa")), std::size_t{4});
    // Invalid bytes become lone surrogates; overlong forms and encoded surrogates too.
    QCOMPARE(BytesToText("\x82\xa0"), QString() + QChar(0xDC82) + QChar(0xDCA0));
    QCOMPARE(BytesToText("\xC0\xAF").size(), 2);
    QCOMPARE(BytesToText("\xED\xA0\x80").size(), 3);
    QCOMPARE(BytesToText("\xE3\x81").size(), 2);  // cut short
    // A lone surrogate other than the escapes is not dropped.
    QCOMPARE(TextToBytes(QString(QChar(0xD800))), std::string("\xED\xA0\x80"));
  }

  void filtersTranslated() {
    QCOMPARE(TranslateFilter("テキストファイル(*.TXT,*.CSV)|*.TXT;*.CSV|すべてのファイル(*.*)|*.*"),
             (QStringList{QString::fromUtf8("テキストファイル(*.TXT,*.CSV) (*.TXT *.CSV)"),
                          QString::fromUtf8("すべてのファイル(*.*) (*)")}));
    QCOMPARE(TranslateFilter(""), QStringList());
  }

  void messageBoxAsAsked() {
    QtPlatform platform;
    bool seen = false;
    WhenModal<QMessageBox>([&](QMessageBox* box) {
      QCOMPARE(box->windowTitle(), QString("VELKAR-ERROR"));
      QCOMPARE(box->text(), QString::fromUtf8("読み込み先ファイルが未指定です"));
      QCOMPARE(box->icon(), QMessageBox::NoIcon);
      QCOMPARE(box->buttons().size(), 1);
      QCOMPARE(box->standardButtons(), QMessageBox::Ok);
      QCOMPARE(box->windowModality(), Qt::ApplicationModal);
      QCOMPARE(box->parentWidget(), nullptr);
      seen = true;
      box->button(QMessageBox::Ok)->click();
    });
    platform.ShowMessageBox(ApplicationWindow(), "読み込み先ファイルが未指定です", "VELKAR-ERROR",
                            kBoxOk);
    QVERIFY(seen);

    seen = false;
    WhenModal<QMessageBox>([&](QMessageBox* box) {
      QCOMPARE(box->icon(), QMessageBox::Critical);
      QCOMPARE(box->text(), QString("<b>File</b> [x]"));  // shown as plain text
      seen = true;
      box->button(QMessageBox::Ok)->click();
    });
    platform.ShowMessageBox(ApplicationWindow(), "<b>File</b> [x]", "VELKAR-ERROR", kBoxIconError);
    QVERIFY(seen);
  }

  // The window that was active is active again when the box closes.
  void activationComesBack() {
    QtPlatform platform;
    QWidget window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    WhenModal<QMessageBox>([&](QMessageBox* box) { box->button(QMessageBox::Ok)->click(); });
    platform.ShowMessageBox(ApplicationWindow(), "Finish!", "VELKAR", kBoxOk);
    QTRY_COMPARE(QApplication::activeWindow(), &window);
  }

  void clipboardRoundTrip() {
    QtPlatform platform;
    const std::string text = "b,2\n日本語\n\x82\xa0 sjis\n";
    MemHandle block = platform.GlobalAlloc(text.size() + 1);
    std::memcpy(platform.GlobalLock(block), text.data(), text.size());
    platform.GlobalUnlock(block);
    QVERIFY(platform.OpenClipboard(ApplicationWindow()));
    QVERIFY(!platform.OpenClipboard(ApplicationWindow()));  // already open
    QVERIFY(platform.EmptyClipboard());
    QVERIFY(platform.SetClipboardText(block));
    platform.CloseClipboard();
    QCOMPARE(platform.LiveBlocks(), 0);
    QCOMPARE(QGuiApplication::clipboard()->text().left(8), QString::fromUtf8("b,2\n日本語\n"));

    QVERIFY(platform.OpenClipboard(ApplicationWindow()));
    MemHandle got = platform.GetClipboardText();
    QVERIFY(got != nullptr);
    QCOMPARE(std::string(static_cast<const char*>(platform.GlobalLock(got))), text);
    platform.GlobalUnlock(got);
    platform.CloseClipboard();
    QCOMPARE(platform.LiveBlocks(), 0);

    // No text on the clipboard: no block.
    QGuiApplication::clipboard()->clear();
    QVERIFY(platform.OpenClipboard(ApplicationWindow()));
    QCOMPARE(platform.GetClipboardText(), nullptr);
    platform.CloseClipboard();
  }

  void waitCursorBackToDefault() {
    QtPlatform platform;
    platform.SetWaitCursor(true);
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    QApplication::setOverrideCursor(Qt::IBeamCursor);  // someone else's, on top
    platform.SetWaitCursor(false);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
  }

  // The open dialog: descriptions shown exactly, a.txt, B.TXT and c.csv listed and
  // nothing else; the last name offered; the chosen name returned as bytes.
  void openDialogListsByFilter() {
    QTemporaryDir dir;
    for (const char* name : {"a.txt", "B.TXT", "c.csv", "d.bin", "noext"})
      Touch(dir.filePath(name));
    QtPlatform platform;
    FileDialogRequest request;
    request.options = kDlgPathMustExist | kDlgFileMustExist;
    request.filter = "テキストファイル(*.TXT,*.CSV)|*.TXT;*.CSV|すべてのファイル(*.*)|*.*";
    request.initialName = dir.filePath("c.csv").toStdString();
    bool seen = false;
    WhenModal<QFileDialog>([&](QFileDialog* dialog) {
      QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
      QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
      auto* combo = dialog->findChild<QComboBox*>("fileTypeCombo");
      QCOMPARE(combo->count(), 2);
      QCOMPARE(combo->itemText(0), QString::fromUtf8("テキストファイル(*.TXT,*.CSV)"));
      QCOMPARE(combo->itemText(1), QString::fromUtf8("すべてのファイル(*.*)"));
      QCOMPARE(combo->currentIndex(), 0);
      QCOMPARE(dialog->directory().absolutePath(), QDir(dir.path()).absolutePath());
      auto* list = dialog->findChild<QAbstractItemView*>("listView");
      auto listed = [&] {
        QStringList names;
        for (int r = 0; r < list->model()->rowCount(list->rootIndex()); ++r) {
          names << list->model()->index(r, 0, list->rootIndex()).data().toString();
        }
        names.sort(Qt::CaseInsensitive);
        return names;
      };
      QTRY_COMPARE(listed(), (QStringList{"a.txt", "B.TXT", "c.csv"}));
      combo->setCurrentIndex(1);
      combo->activated(1);
      QTRY_COMPARE(listed(), (QStringList{"a.txt", "B.TXT", "c.csv", "d.bin", "noext"}));
      auto* nameEdit = dialog->findChild<QLineEdit*>("fileNameEdit");
      nameEdit->selectAll();
      QTest::keyClicks(nameEdit, "B.TXT");
      seen = true;
      static_cast<QDialog*>(dialog)->accept();
    });
    std::string chosen;
    QVERIFY(platform.ShowFileDialog(nullptr, request, &chosen));
    QVERIFY(seen);
    QCOMPARE(chosen, dir.filePath("B.TXT").toStdString());
    // The chosen file's folder is now the current directory.
    QCOMPARE(QDir::current().absolutePath(), QDir(dir.path()).absolutePath());
    QDir::setCurrent(QDir::tempPath());
  }

  // The save dialog refuses a name in a folder that does not exist and asks before
  // overwriting; a cancel gives nothing.
  void saveDialogChecks() {
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
      QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
      QVERIFY(!dialog->testOption(QFileDialog::DontConfirmOverwrite));
      // An existing name: the question before overwriting; "No" keeps the dialog.
      WhenModal<QMessageBox>([&](QMessageBox* box) {
        warnings << box->text();
        box->button(QMessageBox::No)->click();
      });
      static_cast<QDialog*>(dialog)->accept();
      QVERIFY(dialog->isVisible());
      // Missing folder: a warning, the dialog stays.
      dialog->selectFile(dir.filePath("nowhere/x.txt"));
      WhenModal<QMessageBox>([&](QMessageBox* box) {
        warnings << box->text();
        box->button(QMessageBox::Ok)->click();
      });
      static_cast<QDialog*>(dialog)->accept();
      QVERIFY(dialog->isVisible());
      dialog->reject();
    });
    std::string chosen = "unchanged";
    QVERIFY(!platform.ShowFileDialog(nullptr, request, &chosen));
    QCOMPARE(chosen, std::string("unchanged"));
    QCOMPARE(warnings.size(), 2);
    QVERIFY(warnings[0].contains("old.txt already exists"));
    QVERIFY(warnings[1].contains("Path not found"));
  }
};

QTEST_MAIN(PlatformQtTest)
#include "platform_qt_test.moc"
