// The key position edit: the box on every change the user makes, one error box per
// byte that is not an ASCII digit, the caret, UpDown2 following, the 5-byte limit on
// typing, and text set by the program left alone.
#include <QClipboard>
#include <QtTest>

#include "form_fixture.h"

using namespace velkar;
using velkar::test::FormFixture;
using velkar::test::Type;

namespace {
const std::string kCaption = "SortPosEdit->Text";
const std::string kError = "数値を入力してください";
}  // namespace

class SortPosTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    fixture_ = std::make_unique<FormFixture>();
    form()->PageControl1->setCurrentIndex(1);
    edit()->setFocus();
    edit()->setCursorPosition(edit()->text().size());
  }
  void cleanup() { fixture_.reset(); }

  void typingADigit() {
    Type(edit(), "5");
    QCOMPARE(texts(), (std::vector<std::string>{"15"}));
    QCOMPARE(captions(), (std::vector<std::string>{kCaption}));
    QCOMPARE(fixture_->fake->boxes[0].style, unsigned{kBoxOk});
    QCOMPARE(edit()->text(), QString("15"));
    QCOMPARE(form()->UpDown2->Position(), 15);
  }

  void typingALetter() {
    Type(edit(), "a");
    QCOMPARE(texts(), (std::vector<std::string>{"1a", kError}));
    QCOMPARE(captions(), (std::vector<std::string>{kCaption, "ERROR"}));
    QCOMPARE(edit()->text(), QString("1"));
    QCOMPARE(edit()->cursorPosition(), 1);
    QVERIFY(!edit()->hasSelectedText());
    QCOMPARE(form()->UpDown2->Position(), 1);
  }

  void typingALetterInTheMiddle() {
    edit()->setText("12");
    edit()->setCursorPosition(1);
    Type(edit(), "x");
    QCOMPARE(texts(), (std::vector<std::string>{"1x2", kError}));
    QCOMPARE(edit()->text(), QString("12"));
    QCOMPARE(edit()->cursorPosition(), 1);
    QCOMPARE(form()->UpDown2->Position(), 12);
  }

  void pastingOverTheWholeText() {
    QGuiApplication::clipboard()->setText("a1b2");
    edit()->selectAll();
    QTest::keyClick(edit(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(texts(), (std::vector<std::string>{"a1b2", kError, kError}));
    QCOMPARE(edit()->text(), QString("12"));
    QCOMPARE(edit()->cursorPosition(), 0);
    QCOMPARE(form()->UpDown2->Position(), 12);
  }

  void replacingByALetterLeavesItEmpty() {
    edit()->selectAll();
    Type(edit(), "x");
    QCOMPARE(texts(), (std::vector<std::string>{"x", kError}));
    QCOMPARE(edit()->text(), QString(""));
    QCOMPARE(form()->UpDown2->Position(), 1);
  }

  void deletingTheOnlyCharacterGivesOne() {
    Type(edit(), "5");                           // 15, UpDown2 15
    QTest::keyClick(edit(), Qt::Key_Backspace);  // 1, UpDown2 1
    QTest::keyClick(edit(), Qt::Key_Backspace);
    QCOMPARE(texts(), (std::vector<std::string>{"15", "1", ""}));
    QCOMPARE(edit()->text(), QString("1"));
    QCOMPARE(form()->UpDown2->Position(), 1);

    // UpDown2 is not touched when the text becomes "1" this way.
    Type(edit(), "7");
    QCOMPARE(form()->UpDown2->Position(), 17);
    edit()->selectAll();
    QTest::keyClick(edit(), Qt::Key_Delete);
    QCOMPARE(texts().back(), std::string(""));
    QCOMPARE(edit()->text(), QString("1"));
    QCOMPARE(form()->UpDown2->Position(), 17);
  }

  void replacingByZeroGivesOne() {
    edit()->selectAll();
    Type(edit(), "0");
    QCOMPARE(texts(), (std::vector<std::string>{"0"}));
    QCOMPARE(edit()->text(), QString("1"));
  }

  // Two or more zeros stay: no range check here.
  void zerosStay() {
    edit()->setText("100");
    edit()->setCursorPosition(0);
    QTest::keyClick(edit(), Qt::Key_Delete);
    QCOMPARE(texts(), (std::vector<std::string>{"00"}));
    QCOMPARE(edit()->text(), QString("00"));
    // UpDown2 is handed 0 and keeps itself within its range.
    QCOMPARE(form()->UpDown2->Position(), 1);
  }

  // A full-width digit is three bytes here: three error boxes.
  void fullWidthDigit() {
    Type(edit(), QString::fromUtf8("１"));
    QCOMPARE(texts(), (std::vector<std::string>{"1１", kError, kError, kError}));
    QCOMPARE(edit()->text(), QString("1"));
    QCOMPARE(edit()->cursorPosition(), 1);
  }

  // The user types at most 5 bytes; what does not fit is refused, without a box.
  void typingLimitedToFiveBytes() {
    edit()->setText("1234");
    Type(edit(), "5");
    QCOMPARE(edit()->text(), QString("12345"));
    Type(edit(), "6");
    QCOMPARE(edit()->text(), QString("12345"));
    QCOMPARE(texts(), (std::vector<std::string>{"12345"}));

    // A Japanese character (3 bytes) fits after two digits, not after three.
    edit()->setText("123");
    Type(edit(), QString::fromUtf8("あ"));
    QCOMPARE(edit()->text(), QString("123"));
    edit()->setText("12");
    Type(edit(), QString::fromUtf8("あ"));
    QCOMPARE(texts().size(), std::size_t{5});  // the box and three errors
    QCOMPARE(texts()[1], std::string("12あ"));
    QCOMPARE(edit()->text(), QString("12"));
  }

  // A paste keeps what fits of the pasted text.
  void pasteCutToFit() {
    QGuiApplication::clipboard()->setText("987654321");
    edit()->selectAll();
    QTest::keyClick(edit(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(texts(), (std::vector<std::string>{"98765"}));
    QCOMPARE(edit()->text(), QString("98765"));
    QCOMPARE(form()->UpDown2->Position(), 1024);
  }

  // Text set by the program is neither limited nor examined; the user may still
  // delete from it but not add to it.
  void programTextUnlimited() {
    edit()->setText("123456");
    QCOMPARE(edit()->text(), QString("123456"));
    QVERIFY(fixture_->fake->boxes.empty());
    Type(edit(), "7");
    QCOMPARE(edit()->text(), QString("123456"));
    QTest::keyClick(edit(), Qt::Key_Backspace);
    QCOMPARE(edit()->text(), QString("12345"));
    QCOMPARE(texts(), (std::vector<std::string>{"12345"}));
  }

 private:
  TVelkarMainForm* form() { return fixture_->form.get(); }
  TEdit* edit() { return fixture_->form->SortPosEdit; }
  std::vector<std::string> texts() { return fixture_->Texts(); }
  std::vector<std::string> captions() { return fixture_->Captions(); }

  std::unique_ptr<FormFixture> fixture_;
};

QTEST_MAIN(SortPosTest)
#include "sort_pos_test.moc"
