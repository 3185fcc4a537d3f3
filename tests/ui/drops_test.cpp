// Files dropped on the window: the first file only, whole; the output group and
// everything in it names the output, every other place the input; the edits never
// take a drop for themselves.
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QtTest>

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

class DropsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { fixture_ = std::make_unique<FormFixture>(); }
  void cleanup() { fixture_.reset(); }

  void onTheOutputGroup_data() {
    QTest::addColumn<QString>("where");
    QTest::newRow("group box") << "OutputGroupBox";
    QTest::newRow("its clipboard box") << "ClipBoardCheckBox2";
    QTest::newRow("its file box") << "FileSaveCheckBox";
  }
  void onTheOutputGroup() {
    QFETCH(QString, where);
    QWidget* target = form()->findChild<QWidget*>(where);
    QVERIFY(Drop(form(), target, Middle(target),
                 "file:///tmp/first.txt\r\nfile:///tmp/second.txt\r\n"));
    QVERIFY(!form()->ClipBoardCheckBox2->isChecked());
    QVERIFY(form()->FileSaveCheckBox->isChecked());
    QVERIFY(form()->FileSavePanel->isVisible());
    QVERIFY(form()->FileSaveEdit->isVisible());
    QCOMPARE(form()->FileSaveEdit->text(), QString("/tmp/first.txt"));
    QCOMPARE(QApplication::focusWidget(), form()->FileSaveEdit);
    // The input side is untouched.
    QVERIFY(form()->ClipBoardCheckBox1->isChecked());
    QCOMPARE(form()->FileOpenEdit->text(), QString());
  }

  // On the output name edit itself: the drop goes through the window, not pasted.
  void onTheOutputEdit() {
    form()->FileSaveCheckBox->setChecked(true);
    form()->FileSaveEdit->setText("old.txt");
    QVERIFY(Drop(form(), form()->FileSaveEdit, Middle(form()->FileSaveEdit),
                 "file:///tmp/new.txt\r\n"));
    QCOMPARE(form()->FileSaveEdit->text(), QString("/tmp/new.txt"));
  }

  void everywhereElseIsTheInput_data() {
    QTest::addColumn<QString>("where");
    QTest::newRow("input group") << "InputGroupBox";
    QTest::newRow("option pages") << "PageControl1";
    QTest::newRow("a page's check box") << "UniqCheckBox";
    QTest::newRow("radio button") << "Sort_R_RadioButton";
    QTest::newRow("order frame") << "SortMenu";
    QTest::newRow("execute button") << "OKButton";
    QTest::newRow("close button") << "CancelButton";
    QTest::newRow("status line") << "StatusLine";
    QTest::newRow("background") << "ClientArea";
  }
  void everywhereElseIsTheInput() {
    QFETCH(QString, where);
    QWidget* target = form()->findChild<QWidget*>(where);
    const QPoint at = where == "ClientArea" ? QPoint(5, 100) : Middle(target);
    QVERIFY(Drop(form(), target, at, "file:///home/u/%E3%83%87%E3%83%BC%E3%82%BF.csv\r\n"));
    QVERIFY(!form()->ClipBoardCheckBox1->isChecked());
    QVERIFY(form()->FileOpenCheckBox->isChecked());
    QVERIFY(form()->FileOpenPanel->isVisible());
    QCOMPARE(form()->FileOpenEdit->text(), QString::fromUtf8("/home/u/データ.csv"));
    QCOMPARE(QApplication::focusWidget(), form()->FileOpenEdit);
    QVERIFY(form()->ClipBoardCheckBox2->isChecked());
  }

  // Whole names: longer than 255 bytes, or not valid UTF-8, they stay the same name.
  void namesKeptWhole() {
    const std::string longName = "/tmp/" + std::string(300, 'n') + ".txt";
    QVERIFY(Drop(form(), form()->InputGroupBox, QPoint(5, 5),
                 QByteArray::fromStdString("file://" + longName + "\r\n")));
    QCOMPARE(TextToBytes(form()->FileOpenEdit->text()), longName);

    QVERIFY(Drop(form(), form()->InputGroupBox, QPoint(5, 5), "file:///tmp/%82%A0.txt\r\n"));
    QCOMPARE(TextToBytes(form()->FileOpenEdit->text()), std::string("/tmp/\x82\xa0.txt"));
  }

  // Only local files: other links and files on other hosts are refused.
  void onlyFilesFromOutside() {
    QVERIFY(!Drop(form(), form()->InputGroupBox, QPoint(5, 5), "https://example.org/a.txt\r\n"));
    QVERIFY(!Drop(form(), form()->InputGroupBox, QPoint(5, 5), "file://elsewhere/a.txt\r\n"));
    QVERIFY(form()->ClipBoardCheckBox1->isChecked());
    // The first file is taken even after a comment and a link.
    QVERIFY(Drop(form(), form()->InputGroupBox, QPoint(5, 5),
                 "# comment\r\nhttps://example.org/\r\nfile:/tmp/plain.txt\r\n"));
    QCOMPARE(form()->FileOpenEdit->text(), QString("/tmp/plain.txt"));
  }

 private:
  TVelkarMainForm* form() { return fixture_->form.get(); }
  std::unique_ptr<FormFixture> fixture_;
};

QTEST_MAIN(DropsTest)
#include "drops_test.moc"
