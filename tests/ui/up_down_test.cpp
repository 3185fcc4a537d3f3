// The two up-downs: steps of 1 and 10 within 1..1024 without wrapping, each
// bringing the other into step, the arrow keys in the edit, no box for their
// writes, and positions handed in from outside the range.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "form_fixture.h"

using namespace velkar;
using velkar::test::FormFixture;

namespace {

void ClickArrow(TUpDown* upDown, TUpDown::Direction direction) {
  const QPoint at(upDown->width() / 2, direction == TUpDown::Up ? 3 : upDown->height() - 3);
  QTest::mouseClick(upDown, Qt::LeftButton, Qt::NoModifier, at);
}

}  // namespace

class UpDownTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fixture_ = std::make_unique<FormFixture>();
    form()->PageControl1->setCurrentIndex(1);
  }
  void TearDown() override { fixture_.reset(); }

  TVelkarMainForm* form() { return fixture_->form.get(); }
  std::unique_ptr<FormFixture> fixture_;
};

TEST_F(UpDownTest, EachBringsTheOtherIntoStep) {
  ClickArrow(form()->UpDown1, TUpDown::Up);
  ASSERT_EQ(form()->SortPosEdit->text(), QString("2"));
  ASSERT_EQ(form()->UpDown1->Position(), 2);
  ASSERT_EQ(form()->UpDown2->Position(), 2);
  ClickArrow(form()->UpDown2, TUpDown::Up);
  ASSERT_EQ(form()->SortPosEdit->text(), QString("12"));
  ClickArrow(form()->UpDown1, TUpDown::Up);
  ASSERT_EQ(form()->SortPosEdit->text(), QString("13"));
  ClickArrow(form()->UpDown2, TUpDown::Down);
  ASSERT_EQ(form()->SortPosEdit->text(), QString("3"));
  ClickArrow(form()->UpDown1, TUpDown::Down);
  ASSERT_EQ(form()->SortPosEdit->text(), QString("2"));
  // Their writes are the program's: no box.
  ASSERT_TRUE(fixture_->fake->boxes.empty());
}

TEST_F(UpDownTest, LimitsWithoutWrapping) {
  TUpDown* upDown2 = form()->UpDown2;
  QSignalSpy steps(upDown2, &TUpDown::Click);
  upDown2->SetPosition(1021);
  ClickArrow(upDown2, TUpDown::Up);
  ASSERT_EQ(upDown2->Position(), 1024);
  ASSERT_EQ(form()->SortPosEdit->text(), QString("1024"));
  ASSERT_EQ(steps.count(), 1);
  ClickArrow(upDown2, TUpDown::Up);
  ASSERT_EQ(upDown2->Position(), 1024);
  ASSERT_EQ(steps.count(), 1);  // nothing changed, no handler

  QSignalSpy steps1(form()->UpDown1, &TUpDown::Click);
  form()->SortPosEdit->setText("1");
  ClickArrow(form()->UpDown1, TUpDown::Down);
  ASSERT_EQ(form()->SortPosEdit->text(), QString("1"));
  ASSERT_EQ(steps1.count(), 0);
  upDown2->SetPosition(5);
  ClickArrow(upDown2, TUpDown::Down);
  ASSERT_EQ(upDown2->Position(), 1);
  ASSERT_EQ(form()->SortPosEdit->text(), QString("1"));
}

TEST_F(UpDownTest, NoThousandsSeparator) {
  form()->SortPosEdit->setText("999");
  ClickArrow(form()->UpDown1, TUpDown::Up);
  ASSERT_EQ(form()->SortPosEdit->text(), QString("1000"));
}

TEST_F(UpDownTest, ArrowKeysInTheEditStepUpDown1) {
  form()->SortPosEdit->setFocus();
  QTest::keyClick(form()->SortPosEdit, Qt::Key_Up);
  QTest::keyClick(form()->SortPosEdit, Qt::Key_Up);
  ASSERT_EQ(form()->SortPosEdit->text(), QString("3"));
  ASSERT_EQ(form()->UpDown2->Position(), 3);
  QTest::keyClick(form()->SortPosEdit, Qt::Key_Down);
  ASSERT_EQ(form()->SortPosEdit->text(), QString("2"));
  ASSERT_TRUE(fixture_->fake->boxes.empty());
}

// The program may hand in positions outside 1..1024; each up-down keeps its own
// within the range, and UpDown1 leaves the edit's text as the program set it.
TEST_F(UpDownTest, PositionsOutsideTheRange) {
  form()->SortPosEdit->setText("123456");
  form()->UpDown1->SetPosition(123456);
  ASSERT_EQ(form()->UpDown1->Position(), 1024);
  ASSERT_EQ(form()->SortPosEdit->text(), QString("123456"));
  form()->UpDown2->SetPosition(0);
  ASSERT_EQ(form()->UpDown2->Position(), 1);
  // A step from a text outside the range starts from the up-down's own position.
  ClickArrow(form()->UpDown1, TUpDown::Down);
  ASSERT_EQ(form()->SortPosEdit->text(), QString("1023"));
  form()->SortPosEdit->setText("abc");
  ClickArrow(form()->UpDown1, TUpDown::Up);
  ASSERT_EQ(form()->SortPosEdit->text(), QString("1024"));
}

TEST_F(UpDownTest, StandaloneWrap) {
  TUpDown upDown;
  upDown.SetRange(1, 3);
  upDown.SetIncrement(1);
  upDown.SetWrap(true);
  upDown.SetPosition(3);
  upDown.Step(TUpDown::Up);
  ASSERT_EQ(upDown.Position(), 1);
  upDown.Step(TUpDown::Down);
  ASSERT_EQ(upDown.Position(), 3);
}
