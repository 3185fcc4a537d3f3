// The key position edit: the box on every change the user makes, one error box per
// byte that is not an ASCII digit, the caret, UpDown2 following, the 5-byte limit on
// typing, and text set by the program left alone.
#include <gtest/gtest.h>

#include <QClipboard>

#include "form_fixture.h"

using namespace velkar;
using velkar::test::FormFixture;
using velkar::test::Type;

namespace {
const std::string kCaption = "SortPosEdit->Text";
const std::string kError = "数値を入力してください";
}  // namespace

class SortPosTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fixture_ = std::make_unique<FormFixture>();
    form()->PageControl1->setCurrentIndex(1);
    edit()->setFocus();
    edit()->setCursorPosition(edit()->text().size());
  }
  void TearDown() override { fixture_.reset(); }

  TVelkarMainForm* form() { return fixture_->form.get(); }
  TEdit* edit() { return fixture_->form->SortPosEdit; }
  std::vector<std::string> texts() { return fixture_->Texts(); }
  std::vector<std::string> captions() { return fixture_->Captions(); }

  std::unique_ptr<FormFixture> fixture_;
};

TEST_F(SortPosTest, TypingADigit) {
  Type(edit(), "5");
  ASSERT_EQ(texts(), (std::vector<std::string>{"15"}));
  ASSERT_EQ(captions(), (std::vector<std::string>{kCaption}));
  ASSERT_EQ(fixture_->fake->boxes[0].style, unsigned{kBoxOk});
  ASSERT_EQ(edit()->text(), QString("15"));
  ASSERT_EQ(form()->UpDown2->Position(), 15);
}

TEST_F(SortPosTest, TypingALetter) {
  Type(edit(), "a");
  ASSERT_EQ(texts(), (std::vector<std::string>{"1a", kError}));
  ASSERT_EQ(captions(), (std::vector<std::string>{kCaption, "ERROR"}));
  ASSERT_EQ(edit()->text(), QString("1"));
  ASSERT_EQ(edit()->cursorPosition(), 1);
  ASSERT_FALSE(edit()->hasSelectedText());
  ASSERT_EQ(form()->UpDown2->Position(), 1);
}

TEST_F(SortPosTest, TypingALetterInTheMiddle) {
  edit()->setText("12");
  edit()->setCursorPosition(1);
  Type(edit(), "x");
  ASSERT_EQ(texts(), (std::vector<std::string>{"1x2", kError}));
  ASSERT_EQ(edit()->text(), QString("12"));
  ASSERT_EQ(edit()->cursorPosition(), 1);
  ASSERT_EQ(form()->UpDown2->Position(), 12);
}

TEST_F(SortPosTest, PastingOverTheWholeText) {
  QGuiApplication::clipboard()->setText("a1b2");
  edit()->selectAll();
  QTest::keyClick(edit(), Qt::Key_V, Qt::ControlModifier);
  ASSERT_EQ(texts(), (std::vector<std::string>{"a1b2", kError, kError}));
  ASSERT_EQ(edit()->text(), QString("12"));
  ASSERT_EQ(edit()->cursorPosition(), 0);
  ASSERT_EQ(form()->UpDown2->Position(), 12);
}

TEST_F(SortPosTest, ReplacingByALetterLeavesItEmpty) {
  edit()->selectAll();
  Type(edit(), "x");
  ASSERT_EQ(texts(), (std::vector<std::string>{"x", kError}));
  ASSERT_EQ(edit()->text(), QString(""));
  ASSERT_EQ(form()->UpDown2->Position(), 1);
}

TEST_F(SortPosTest, DeletingTheOnlyCharacterGivesOne) {
  Type(edit(), "5");                           // 15, UpDown2 15
  QTest::keyClick(edit(), Qt::Key_Backspace);  // 1, UpDown2 1
  QTest::keyClick(edit(), Qt::Key_Backspace);
  ASSERT_EQ(texts(), (std::vector<std::string>{"15", "1", ""}));
  ASSERT_EQ(edit()->text(), QString("1"));
  ASSERT_EQ(form()->UpDown2->Position(), 1);

  // UpDown2 is not touched when the text becomes "1" this way.
  Type(edit(), "7");
  ASSERT_EQ(form()->UpDown2->Position(), 17);
  edit()->selectAll();
  QTest::keyClick(edit(), Qt::Key_Delete);
  ASSERT_EQ(texts().back(), std::string(""));
  ASSERT_EQ(edit()->text(), QString("1"));
  ASSERT_EQ(form()->UpDown2->Position(), 17);
}

TEST_F(SortPosTest, ReplacingByZeroGivesOne) {
  edit()->selectAll();
  Type(edit(), "0");
  ASSERT_EQ(texts(), (std::vector<std::string>{"0"}));
  ASSERT_EQ(edit()->text(), QString("1"));
}

// Two or more zeros stay: no range check here.
TEST_F(SortPosTest, ZerosStay) {
  edit()->setText("100");
  edit()->setCursorPosition(0);
  QTest::keyClick(edit(), Qt::Key_Delete);
  ASSERT_EQ(texts(), (std::vector<std::string>{"00"}));
  ASSERT_EQ(edit()->text(), QString("00"));
  // UpDown2 is handed 0 and keeps itself within its range.
  ASSERT_EQ(form()->UpDown2->Position(), 1);
}

// A full-width digit is three bytes here: three error boxes.
TEST_F(SortPosTest, FullWidthDigit) {
  Type(edit(), QString::fromUtf8("１"));
  ASSERT_EQ(texts(), (std::vector<std::string>{"1１", kError, kError, kError}));
  ASSERT_EQ(edit()->text(), QString("1"));
  ASSERT_EQ(edit()->cursorPosition(), 1);
}

// The user types at most 5 bytes; what does not fit is refused, without a box.
TEST_F(SortPosTest, TypingLimitedToFiveBytes) {
  edit()->setText("1234");
  Type(edit(), "5");
  ASSERT_EQ(edit()->text(), QString("12345"));
  Type(edit(), "6");
  ASSERT_EQ(edit()->text(), QString("12345"));
  ASSERT_EQ(texts(), (std::vector<std::string>{"12345"}));

  // A Japanese character (3 bytes) fits after two digits, not after three.
  edit()->setText("123");
  Type(edit(), QString::fromUtf8("あ"));
  ASSERT_EQ(edit()->text(), QString("123"));
  edit()->setText("12");
  Type(edit(), QString::fromUtf8("あ"));
  ASSERT_EQ(texts().size(), std::size_t{5});  // the box and three errors
  ASSERT_EQ(texts()[1], std::string("12あ"));
  ASSERT_EQ(edit()->text(), QString("12"));
}

// A paste keeps what fits of the pasted text.
TEST_F(SortPosTest, PasteCutToFit) {
  QGuiApplication::clipboard()->setText("987654321");
  edit()->selectAll();
  QTest::keyClick(edit(), Qt::Key_V, Qt::ControlModifier);
  ASSERT_EQ(texts(), (std::vector<std::string>{"98765"}));
  ASSERT_EQ(edit()->text(), QString("98765"));
  ASSERT_EQ(form()->UpDown2->Position(), 1024);
}

// Text set by the program is neither limited nor examined; the user may still
// delete from it but not add to it.
TEST_F(SortPosTest, ProgramTextUnlimited) {
  edit()->setText("123456");
  ASSERT_EQ(edit()->text(), QString("123456"));
  ASSERT_TRUE(fixture_->fake->boxes.empty());
  Type(edit(), "7");
  ASSERT_EQ(edit()->text(), QString("123456"));
  QTest::keyClick(edit(), Qt::Key_Backspace);
  ASSERT_EQ(edit()->text(), QString("12345"));
  ASSERT_EQ(texts(), (std::vector<std::string>{"12345"}));
}
