// Choosing file names: the browse panels (a click, or the focus arriving by Tab),
// File > Open, the save panel, the options each dialog gets and the name each
// dialog remembers.
#include <QtTest>

#include "form_fixture.h"
#include "platform/byte_text.h"

using namespace velkar;
using velkar::test::FormFixture;

namespace {
constexpr unsigned kOpen = kDlgPathMustExist | kDlgFileMustExist;
constexpr unsigned kSave =
    kDlgOverwritePrompt | kDlgHideReadOnly | kDlgPathMustExist | kDlgNoReadOnlyReturn;
}  // namespace

class FileNamesTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { fixture_ = std::make_unique<FormFixture>(); }
  void cleanup() { fixture_.reset(); }

  void clickOnTheOpenPanel() {
    form()->FileOpenCheckBox->setChecked(true);
    fake().dialogAnswers = {std::string("/tmp/a.txt")};
    QTest::mouseClick(form()->FileOpenPanel, Qt::LeftButton);
    QCOMPARE(fake().dialogRequests.size(), std::size_t{1});
    const FileDialogRequest& request = fake().dialogRequests[0];
    QVERIFY(!request.save);
    QCOMPARE(request.options, kOpen);
    QCOMPARE(request.filter,
             std::string("テキストファイル(*.TXT,*.CSV)|*.TXT;*.CSV|すべてのファイル(*.*)|*.*"));
    QCOMPARE(request.initialName, std::string());
    QCOMPARE(form()->FileOpenEdit->text(), QString("/tmp/a.txt"));
    // A click does not give the panel the focus.
    QVERIFY(QApplication::focusWidget() != form()->FileOpenPanel);

    // Cancelled: nothing changes; the last name is offered next time.
    QTest::mouseClick(form()->FileOpenPanel, Qt::LeftButton);
    QCOMPARE(fake().dialogRequests.size(), std::size_t{2});
    QCOMPARE(fake().dialogRequests[1].initialName, std::string("/tmp/a.txt"));
    QCOMPARE(form()->FileOpenEdit->text(), QString("/tmp/a.txt"));
  }

  // Tab reaches the panel and opens the dialog at once; the focus coming back with
  // the window's activation opens nothing; the next Tab reaches the edit.
  void tabToTheOpenPanel() {
    form()->FileOpenCheckBox->setChecked(true);
    form()->FileOpenCheckBox->setFocus();
    QTest::keyClick(form()->FileOpenCheckBox, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), form()->FileOpenPanel);
    QCOMPARE(fake().dialogRequests.size(), std::size_t{1});

    QFocusEvent back(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(form()->FileOpenPanel, &back);
    QCOMPARE(fake().dialogRequests.size(), std::size_t{1});

    QTest::keyClick(form()->FileOpenPanel, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), form()->FileOpenEdit);
    QCOMPARE(fake().dialogRequests.size(), std::size_t{1});
    // And Shift+Tab back onto it opens it again.
    QTest::keyClick(form()->FileOpenEdit, Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), form()->FileOpenPanel);
    QCOMPARE(fake().dialogRequests.size(), std::size_t{2});
  }

  void fileOpenMenuCancelledChangesNothing() {
    form()->FileOpenItem->trigger();
    QCOMPARE(fake().dialogRequests.size(), std::size_t{1});
    QCOMPARE(fake().dialogRequests[0].options, kOpen);
    QVERIFY(form()->ClipBoardCheckBox1->isChecked());
    QVERIFY(!form()->FileOpenCheckBox->isChecked());
    QVERIFY(!form()->FileOpenEdit->isVisible());
    QCOMPARE(QApplication::focusWidget(), form()->Sort_F_RadioButton);
  }

  void fileOpenMenuConfirmed() {
    fake().dialogAnswers = {std::string("/data/in.csv")};
    form()->FileOpenItem->trigger();
    QVERIFY(!form()->ClipBoardCheckBox1->isChecked());
    QVERIFY(form()->FileOpenCheckBox->isChecked());
    QVERIFY(form()->FileOpenPanel->isVisible());
    QVERIFY(form()->FileOpenEdit->isVisible());
    QCOMPARE(form()->FileOpenEdit->text(), QString("/data/in.csv"));
    QCOMPARE(QApplication::focusWidget(), form()->FileOpenEdit);
    // The one open dialog, shared with the panel, remembers it.
    QTest::mouseClick(form()->FileOpenPanel, Qt::LeftButton);
    QCOMPARE(fake().dialogRequests.back().initialName, std::string("/data/in.csv"));
  }

  void savePanelOnClickOnly() {
    form()->FileSaveCheckBox->setChecked(true);
    form()->FileSaveCheckBox->setFocus();
    QTest::keyClick(form()->FileSaveCheckBox, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), form()->FileSavePanel);
    QVERIFY(fake().dialogRequests.empty());

    fake().dialogAnswers = {std::string("/tmp/out.txt")};
    QTest::mouseClick(form()->FileSavePanel, Qt::LeftButton);
    QCOMPARE(fake().dialogRequests.size(), std::size_t{1});
    const FileDialogRequest& request = fake().dialogRequests[0];
    QVERIFY(request.save);
    QCOMPARE(request.options, kSave);
    QCOMPARE(request.filter,
             std::string("テキストファイル(*.TXT, *.CSV)|*.TXT;*.CSV|すべてのファイル(*.*)|*.*"));
    QCOMPARE(form()->FileSaveEdit->text(), QString("/tmp/out.txt"));
    QTest::mouseClick(form()->FileSavePanel, Qt::LeftButton);
    QCOMPARE(fake().dialogRequests[1].initialName, std::string("/tmp/out.txt"));
    QCOMPARE(form()->FileSaveEdit->text(), QString("/tmp/out.txt"));
  }

  // A name that is not valid UTF-8 comes back from the edit byte for byte.
  void namesKeepTheirBytes() {
    const std::string name = "/tmp/\x82\xa0\x82\xa2.txt";  // Shift-JIS
    fake().dialogAnswers = {name};
    form()->FileOpenItem->trigger();
    QCOMPARE(TextToBytes(form()->FileOpenEdit->text()), name);
  }

 private:
  TVelkarMainForm* form() { return fixture_->form.get(); }
  FakePlatform& fake() { return *fixture_->fake; }
  std::unique_ptr<FormFixture> fixture_;
};

QTEST_MAIN(FileNamesTest)
#include "file_names_test.moc"
