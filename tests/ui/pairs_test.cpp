// The coupled check-box pairs: one bounce per change, by the user or the program;
// the name controls shown in file mode only; the focus moved only when the window
// is active.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QSignalSpy>

#include "form_fixture.h"

using namespace velkar;
using velkar::test::FormFixture;
using velkar::test::RowTestName;

class PairsTest : public ::testing::Test {
 protected:
  void SetUp() override { fixture_ = std::make_unique<FormFixture>(); }
  void TearDown() override { fixture_.reset(); }

  std::unique_ptr<FormFixture> fixture_;
};

struct PairRow {
  const char* description;
  const char* first;
  const char* second;
};

void PrintTo(const PairRow& row, std::ostream* out) { *out << row.description; }

const PairRow kPlainPairs[] = {
    {"key kind", "ColumCheckBox", "FieldCheckBox"},
    {"key kind, other box", "FieldCheckBox", "ColumCheckBox"},
    {"comparison", "StringCompCheckBox", "NumCompCheckBox"},
    {"comparison, other box", "NumCompCheckBox", "StringCompCheckBox"},
};

class PlainPairs : public PairsTest, public ::testing::WithParamInterface<PairRow> {};

// Each box of a pair toggles the pair; each box changes exactly once.
TEST_P(PlainPairs, BounceOnce) {
  const QString first = QString::fromLatin1(GetParam().first);
  const QString second = QString::fromLatin1(GetParam().second);
  TVelkarMainForm* form = fixture_->form.get();
  form->PageControl1->setCurrentIndex(1);
  auto* a = form->findChild<QCheckBox*>(first);
  auto* b = form->findChild<QCheckBox*>(second);
  QSignalSpy spyA(a, &QCheckBox::toggled);
  QSignalSpy spyB(b, &QCheckBox::toggled);
  const bool before = a->isChecked();
  QTest::mouseClick(a, Qt::LeftButton);
  ASSERT_EQ(a->isChecked(), !before);
  ASSERT_EQ(b->isChecked(), before);
  ASSERT_EQ(spyA.count(), 1);
  ASSERT_EQ(spyB.count(), 1);
  QTest::mouseClick(a, Qt::LeftButton);
  ASSERT_EQ(a->isChecked(), before);
  ASSERT_EQ(b->isChecked(), !before);
  ASSERT_EQ(spyA.count(), 2);
  ASSERT_EQ(spyB.count(), 2);
  // The program setting the state a box already has runs nothing.
  a->setChecked(a->isChecked());
  ASSERT_EQ(spyA.count(), 2);
  ASSERT_EQ(spyB.count(), 2);
}

INSTANTIATE_TEST_SUITE_P(Rows, PlainPairs, ::testing::ValuesIn(kPlainPairs), RowTestName<PairRow>);

TEST_F(PairsTest, ClickingTheCheckedClipboardBoxSwitchesToFile) {
  TVelkarMainForm* form = fixture_->form.get();
  QSignalSpy clip(form->ClipBoardCheckBox1, &QCheckBox::toggled);
  QSignalSpy file(form->FileOpenCheckBox, &QCheckBox::toggled);
  QTest::mouseClick(form->ClipBoardCheckBox1, Qt::LeftButton);
  ASSERT_FALSE(form->ClipBoardCheckBox1->isChecked());
  ASSERT_TRUE(form->FileOpenCheckBox->isChecked());
  ASSERT_EQ(clip.count(), 1);
  ASSERT_EQ(file.count(), 1);
  ASSERT_TRUE(form->FileOpenPanel->isVisible());
  ASSERT_TRUE(form->FileOpenEdit->isVisible());
  ASSERT_EQ(QApplication::focusWidget(), form->FileOpenEdit);

  // Back again: the name stays in the hidden edit and reappears.
  QTest::keyClicks(form->FileOpenEdit, "in.txt");
  QTest::mouseClick(form->FileOpenCheckBox, Qt::LeftButton);
  ASSERT_TRUE(form->ClipBoardCheckBox1->isChecked());
  ASSERT_FALSE(form->FileOpenCheckBox->isChecked());
  ASSERT_FALSE(form->FileOpenPanel->isVisible());
  ASSERT_FALSE(form->FileOpenEdit->isVisible());
  ASSERT_EQ(clip.count(), 2);
  ASSERT_EQ(file.count(), 2);
  form->ClipBoardCheckBox1->setChecked(false);
  ASSERT_TRUE(form->FileOpenEdit->isVisible());
  ASSERT_EQ(form->FileOpenEdit->text(), QString("in.txt"));
  ASSERT_TRUE(fixture_->fake->dialogRequests.empty());
}

TEST_F(PairsTest, OutputPairLikewise) {
  TVelkarMainForm* form = fixture_->form.get();
  form->FileSaveCheckBox->click();
  ASSERT_FALSE(form->ClipBoardCheckBox2->isChecked());
  ASSERT_TRUE(form->FileSavePanel->isVisible());
  ASSERT_TRUE(form->FileSaveEdit->isVisible());
  ASSERT_EQ(QApplication::focusWidget(), form->FileSaveEdit);
  form->ClipBoardCheckBox2->click();
  ASSERT_FALSE(form->FileSaveCheckBox->isChecked());
  ASSERT_FALSE(form->FileSavePanel->isVisible());
  ASSERT_FALSE(form->FileSaveEdit->isVisible());
  // The other side did not move.
  ASSERT_TRUE(form->ClipBoardCheckBox1->isChecked());
  ASSERT_FALSE(form->FileOpenEdit->isVisible());
}

// Set by the program while the window is hidden (as the command line does): the
// controls follow, the focus does not move.
TEST_F(PairsTest, ProgramChangesBeforeTheWindowShows) {
  fixture_.reset();
  FormFixture hidden(false);
  TVelkarMainForm* form = hidden.form.get();
  form->ClipBoardCheckBox2->setChecked(false);
  ASSERT_TRUE(form->FileSaveCheckBox->isChecked());
  ASSERT_TRUE(form->FileSavePanel->isVisibleTo(form));
  ASSERT_TRUE(form->FileSaveEdit->isVisibleTo(form));
  ASSERT_TRUE(form->focusWidget() == nullptr || form->focusWidget() != form->FileSaveEdit);
  form->Sort_R_RadioButton->setChecked(true);
  ASSERT_FALSE(form->Sort_F_RadioButton->isChecked());
  form->show();
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form));
  // The first tab stop: the checked radio button.
  ASSERT_EQ(QApplication::focusWidget(), form->Sort_R_RadioButton);
}

TEST_F(PairsTest, FocusNotMovedWhileInactive) {
  TVelkarMainForm* form = fixture_->form.get();
  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  ASSERT_FALSE(form->isActiveWindow());
  QWidget* before = form->focusWidget();
  form->FileOpenCheckBox->setChecked(true);
  ASSERT_TRUE(form->FileOpenEdit->isVisible());
  ASSERT_EQ(form->focusWidget(), before);
}

// The radio pair is one group: checking one unchecks the other, both by user
// and program; a space on the checked one changes nothing.
TEST_F(PairsTest, RadioPairIsOneGroup) {
  TVelkarMainForm* form = fixture_->form.get();
  QTest::mouseClick(form->Sort_R_RadioButton, Qt::LeftButton);
  ASSERT_TRUE(form->Sort_R_RadioButton->isChecked());
  ASSERT_FALSE(form->Sort_F_RadioButton->isChecked());
  form->Sort_F_RadioButton->setChecked(true);
  ASSERT_FALSE(form->Sort_R_RadioButton->isChecked());
}
