// Files dropped on the window: the first file only, whole; the output group and
// everything in it names the output, every other place the input; the edits never
// take a drop for themselves.
#include <gtest/gtest.h>

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "form_fixture.h"
#include "platform/byte_text.h"

using namespace velkar;
using velkar::test::FormFixture;

namespace {

// Drags `uris` from outside the application onto `target` at `at` (in target's
// coordinates) and drops them; the event goes where Qt would route it.
bool Drop(TVelkarMainForm* form, QWidget* target, QPoint at, const QByteArray& uris) {
  QMimeData data;
  data.setData(QStringLiteral("text/uri-list"), uris);
  const QPoint pos = target->mapTo(form, at);
  QDragEnterEvent enter(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(form, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(pos), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(form, &drop);
  return drop.isAccepted();
}

QPoint Middle(QWidget* w) { return w->rect().center(); }

}  // namespace

class DropsTest : public ::testing::Test {
 protected:
  void SetUp() override { fixture_ = std::make_unique<FormFixture>(); }
  void TearDown() override { fixture_.reset(); }

  TVelkarMainForm* form() { return fixture_->form.get(); }
  std::unique_ptr<FormFixture> fixture_;
};

// A place to drop on: the row's description and the control's name.
struct PlaceRow {
  const char* description;
  const char* where;
};

void PrintTo(const PlaceRow& row, std::ostream* out) { *out << row.description; }

const PlaceRow kOutputPlaces[] = {
    {"group box", "OutputGroupBox"},
    {"its clipboard box", "ClipBoardCheckBox2"},
    {"its file box", "FileSaveCheckBox"},
};

class OnTheOutputGroup : public DropsTest, public ::testing::WithParamInterface<PlaceRow> {};

TEST_P(OnTheOutputGroup, NamesTheOutput) {
  const QString where = QString::fromLatin1(GetParam().where);
  QWidget* target = form()->findChild<QWidget*>(where);
  ASSERT_TRUE(
      Drop(form(), target, Middle(target), "file:///tmp/first.txt\r\nfile:///tmp/second.txt\r\n"));
  ASSERT_FALSE(form()->ClipBoardCheckBox2->isChecked());
  ASSERT_TRUE(form()->FileSaveCheckBox->isChecked());
  ASSERT_TRUE(form()->FileSavePanel->isVisible());
  ASSERT_TRUE(form()->FileSaveEdit->isVisible());
  ASSERT_EQ(form()->FileSaveEdit->text(), QString("/tmp/first.txt"));
  ASSERT_EQ(QApplication::focusWidget(), form()->FileSaveEdit);
  // The input side is untouched.
  ASSERT_TRUE(form()->ClipBoardCheckBox1->isChecked());
  ASSERT_EQ(form()->FileOpenEdit->text(), QString());
}

INSTANTIATE_TEST_SUITE_P(Rows, OnTheOutputGroup, ::testing::ValuesIn(kOutputPlaces),
                         velkar::test::RowTestName<PlaceRow>);

// On the output name edit itself: the drop goes through the window, not pasted.
TEST_F(DropsTest, OnTheOutputEdit) {
  form()->FileSaveCheckBox->setChecked(true);
  form()->FileSaveEdit->setText("old.txt");
  ASSERT_TRUE(
      Drop(form(), form()->FileSaveEdit, Middle(form()->FileSaveEdit), "file:///tmp/new.txt\r\n"));
  ASSERT_EQ(form()->FileSaveEdit->text(), QString("/tmp/new.txt"));
}

const PlaceRow kInputPlaces[] = {
    {"input group", "InputGroupBox"},
    {"option pages", "PageControl1"},
    {"a page's check box", "UniqCheckBox"},
    {"radio button", "Sort_R_RadioButton"},
    {"order frame", "SortMenu"},
    {"execute button", "OKButton"},
    {"close button", "CancelButton"},
    {"status line", "StatusLine"},
    {"background", "ClientArea"},
};

class EverywhereElse : public DropsTest, public ::testing::WithParamInterface<PlaceRow> {};

TEST_P(EverywhereElse, IsTheInput) {
  const QString where = QString::fromLatin1(GetParam().where);
  QWidget* target = form()->findChild<QWidget*>(where);
  const QPoint at = where == "ClientArea" ? QPoint(5, 100) : Middle(target);
  ASSERT_TRUE(Drop(form(), target, at, "file:///home/u/%E3%83%87%E3%83%BC%E3%82%BF.csv\r\n"));
  ASSERT_FALSE(form()->ClipBoardCheckBox1->isChecked());
  ASSERT_TRUE(form()->FileOpenCheckBox->isChecked());
  ASSERT_TRUE(form()->FileOpenPanel->isVisible());
  ASSERT_EQ(form()->FileOpenEdit->text(), QString::fromUtf8("/home/u/データ.csv"));
  ASSERT_EQ(QApplication::focusWidget(), form()->FileOpenEdit);
  ASSERT_TRUE(form()->ClipBoardCheckBox2->isChecked());
}

INSTANTIATE_TEST_SUITE_P(Rows, EverywhereElse, ::testing::ValuesIn(kInputPlaces),
                         velkar::test::RowTestName<PlaceRow>);

// Whole names: longer than 255 bytes, or not valid UTF-8, they stay the same name.
TEST_F(DropsTest, NamesKeptWhole) {
  const std::string longName = "/tmp/" + std::string(300, 'n') + ".txt";
  ASSERT_TRUE(Drop(form(), form()->InputGroupBox, QPoint(5, 5),
                   QByteArray::fromStdString("file://" + longName + "\r\n")));
  ASSERT_EQ(TextToBytes(form()->FileOpenEdit->text()), longName);

  ASSERT_TRUE(Drop(form(), form()->InputGroupBox, QPoint(5, 5), "file:///tmp/%82%A0.txt\r\n"));
  ASSERT_EQ(TextToBytes(form()->FileOpenEdit->text()), std::string("/tmp/\x82\xa0.txt"));
}

// Only local files: other links and files on other hosts are refused.
TEST_F(DropsTest, OnlyFilesFromOutside) {
  ASSERT_FALSE(Drop(form(), form()->InputGroupBox, QPoint(5, 5), "https://example.org/a.txt\r\n"));
  ASSERT_FALSE(Drop(form(), form()->InputGroupBox, QPoint(5, 5), "file://elsewhere/a.txt\r\n"));
  ASSERT_TRUE(form()->ClipBoardCheckBox1->isChecked());
  // The first file is taken even after a comment and a link.
  ASSERT_TRUE(Drop(form(), form()->InputGroupBox, QPoint(5, 5),
                   "# comment\r\nhttps://example.org/\r\nfile:/tmp/plain.txt\r\n"));
  ASSERT_EQ(form()->FileOpenEdit->text(), QString("/tmp/plain.txt"));
}
