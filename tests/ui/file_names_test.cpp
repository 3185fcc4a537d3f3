// Choosing file names: the browse panels (a click, or the focus arriving by Tab),
// File > Open, the save panel, the options each dialog gets and the name each
// dialog remembers.

#include <gtest/gtest.h>

#include "form_fixture.h"
#include "platform/byte_text.h"

using namespace velkar;
using velkar::test::FormFixture;

namespace {
constexpr unsigned kOpen = kDlgPathMustExist | kDlgFileMustExist;
constexpr unsigned kSave =
    kDlgOverwritePrompt | kDlgHideReadOnly | kDlgPathMustExist | kDlgNoReadOnlyReturn;
}  // namespace

class FileNamesTest : public ::testing::Test {
 protected:
  void SetUp() override { fixture_ = std::make_unique<FormFixture>(); }
  void TearDown() override { fixture_.reset(); }

  TVelkarMainForm* form() { return fixture_->form.get(); }
  FakePlatform& fake() { return *fixture_->fake; }
  std::unique_ptr<FormFixture> fixture_;
};

TEST_F(FileNamesTest, ClickOnTheOpenPanel) {
  form()->FileOpenCheckBox->setChecked(true);
  fake().dialogAnswers = {std::string("/tmp/a.txt")};
  QTest::mouseClick(form()->FileOpenPanel, Qt::LeftButton);
  ASSERT_EQ(fake().dialogRequests.size(), std::size_t{1});
  const FileDialogRequest& request = fake().dialogRequests[0];
  ASSERT_FALSE(request.save);
  ASSERT_EQ(request.options, kOpen);
  ASSERT_EQ(request.filter,
            std::string("テキストファイル(*.TXT,*.CSV)|*.TXT;*.CSV|すべてのファイル(*.*)|*.*"));
  ASSERT_EQ(request.initialName, std::string());
  ASSERT_EQ(form()->FileOpenEdit->text(), QString("/tmp/a.txt"));
  // A click does not give the panel the focus.
  ASSERT_TRUE(QApplication::focusWidget() != form()->FileOpenPanel);

  // Cancelled: nothing changes; the last name is offered next time.
  QTest::mouseClick(form()->FileOpenPanel, Qt::LeftButton);
  ASSERT_EQ(fake().dialogRequests.size(), std::size_t{2});
  ASSERT_EQ(fake().dialogRequests[1].initialName, std::string("/tmp/a.txt"));
  ASSERT_EQ(form()->FileOpenEdit->text(), QString("/tmp/a.txt"));
}

// Tab reaches the panel and opens the dialog at once; the focus coming back with
// the window's activation opens nothing; the next Tab reaches the edit.
TEST_F(FileNamesTest, TabToTheOpenPanel) {
  form()->FileOpenCheckBox->setChecked(true);
  form()->FileOpenCheckBox->setFocus();
  QTest::keyClick(form()->FileOpenCheckBox, Qt::Key_Tab);
  ASSERT_EQ(QApplication::focusWidget(), form()->FileOpenPanel);
  ASSERT_EQ(fake().dialogRequests.size(), std::size_t{1});

  QFocusEvent back(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
  QApplication::sendEvent(form()->FileOpenPanel, &back);
  ASSERT_EQ(fake().dialogRequests.size(), std::size_t{1});

  QTest::keyClick(form()->FileOpenPanel, Qt::Key_Tab);
  ASSERT_EQ(QApplication::focusWidget(), form()->FileOpenEdit);
  ASSERT_EQ(fake().dialogRequests.size(), std::size_t{1});
  // And Shift+Tab back onto it opens it again.
  QTest::keyClick(form()->FileOpenEdit, Qt::Key_Backtab);
  ASSERT_EQ(QApplication::focusWidget(), form()->FileOpenPanel);
  ASSERT_EQ(fake().dialogRequests.size(), std::size_t{2});
}

TEST_F(FileNamesTest, FileOpenMenuCancelledChangesNothing) {
  form()->FileOpenItem->trigger();
  ASSERT_EQ(fake().dialogRequests.size(), std::size_t{1});
  ASSERT_EQ(fake().dialogRequests[0].options, kOpen);
  ASSERT_TRUE(form()->ClipBoardCheckBox1->isChecked());
  ASSERT_FALSE(form()->FileOpenCheckBox->isChecked());
  ASSERT_FALSE(form()->FileOpenEdit->isVisible());
  ASSERT_EQ(QApplication::focusWidget(), form()->Sort_F_RadioButton);
}

TEST_F(FileNamesTest, FileOpenMenuConfirmed) {
  fake().dialogAnswers = {std::string("/data/in.csv")};
  form()->FileOpenItem->trigger();
  ASSERT_FALSE(form()->ClipBoardCheckBox1->isChecked());
  ASSERT_TRUE(form()->FileOpenCheckBox->isChecked());
  ASSERT_TRUE(form()->FileOpenPanel->isVisible());
  ASSERT_TRUE(form()->FileOpenEdit->isVisible());
  ASSERT_EQ(form()->FileOpenEdit->text(), QString("/data/in.csv"));
  ASSERT_EQ(QApplication::focusWidget(), form()->FileOpenEdit);
  // The one open dialog, shared with the panel, remembers it.
  QTest::mouseClick(form()->FileOpenPanel, Qt::LeftButton);
  ASSERT_EQ(fake().dialogRequests.back().initialName, std::string("/data/in.csv"));
}

TEST_F(FileNamesTest, SavePanelOnClickOnly) {
  form()->FileSaveCheckBox->setChecked(true);
  form()->FileSaveCheckBox->setFocus();
  QTest::keyClick(form()->FileSaveCheckBox, Qt::Key_Tab);
  ASSERT_EQ(QApplication::focusWidget(), form()->FileSavePanel);
  ASSERT_TRUE(fake().dialogRequests.empty());

  fake().dialogAnswers = {std::string("/tmp/out.txt")};
  QTest::mouseClick(form()->FileSavePanel, Qt::LeftButton);
  ASSERT_EQ(fake().dialogRequests.size(), std::size_t{1});
  const FileDialogRequest& request = fake().dialogRequests[0];
  ASSERT_TRUE(request.save);
  ASSERT_EQ(request.options, kSave);
  ASSERT_EQ(request.filter,
            std::string("テキストファイル(*.TXT, *.CSV)|*.TXT;*.CSV|すべてのファイル(*.*)|*.*"));
  ASSERT_EQ(form()->FileSaveEdit->text(), QString("/tmp/out.txt"));
  QTest::mouseClick(form()->FileSavePanel, Qt::LeftButton);
  ASSERT_EQ(fake().dialogRequests[1].initialName, std::string("/tmp/out.txt"));
  ASSERT_EQ(form()->FileSaveEdit->text(), QString("/tmp/out.txt"));
}

// A name that is not valid UTF-8 comes back from the edit byte for byte.
TEST_F(FileNamesTest, NamesKeepTheirBytes) {
  const std::string name = "/tmp/\x82\xa0\x82\xa2.txt";  // Shift-JIS
  fake().dialogAnswers = {name};
  form()->FileOpenItem->trigger();
  ASSERT_EQ(TextToBytes(form()->FileOpenEdit->text()), name);
}
