// The coupled check-box pairs: one bounce per change, by the user or the program;
// the name controls shown in file mode only; the focus moved only when the window
// is active.
#include <QCheckBox>
#include <QSignalSpy>
#include <QtTest>

#include "form_fixture.h"

using namespace velkar;
using velkar::test::FormFixture;

class PairsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { fixture_ = std::make_unique<FormFixture>(); }
  void cleanup() { fixture_.reset(); }

  // Each box of a pair toggles the pair; each box changes exactly once.
  void plainPairsBounceOnce_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::newRow("key kind") << "ColumCheckBox"
                              << "FieldCheckBox";
    QTest::newRow("key kind, other box") << "FieldCheckBox"
                                         << "ColumCheckBox";
    QTest::newRow("comparison") << "StringCompCheckBox"
                                << "NumCompCheckBox";
    QTest::newRow("comparison, other box") << "NumCompCheckBox"
                                           << "StringCompCheckBox";
  }
  void plainPairsBounceOnce() {
    QFETCH(QString, first);
    QFETCH(QString, second);
    TVelkarMainForm* form = fixture_->form.get();
    form->PageControl1->setCurrentIndex(1);
    auto* a = form->findChild<QCheckBox*>(first);
    auto* b = form->findChild<QCheckBox*>(second);
    QSignalSpy spyA(a, &QCheckBox::toggled);
    QSignalSpy spyB(b, &QCheckBox::toggled);
    const bool before = a->isChecked();
    QTest::mouseClick(a, Qt::LeftButton);
    QCOMPARE(a->isChecked(), !before);
    QCOMPARE(b->isChecked(), before);
    QCOMPARE(spyA.count(), 1);
    QCOMPARE(spyB.count(), 1);
    QTest::mouseClick(a, Qt::LeftButton);
    QCOMPARE(a->isChecked(), before);
    QCOMPARE(b->isChecked(), !before);
    QCOMPARE(spyA.count(), 2);
    QCOMPARE(spyB.count(), 2);
    // The program setting the state a box already has runs nothing.
    a->setChecked(a->isChecked());
    QCOMPARE(spyA.count(), 2);
    QCOMPARE(spyB.count(), 2);
  }

  void clickingTheCheckedClipboardBoxSwitchesToFile() {
    TVelkarMainForm* form = fixture_->form.get();
    QSignalSpy clip(form->ClipBoardCheckBox1, &QCheckBox::toggled);
    QSignalSpy file(form->FileOpenCheckBox, &QCheckBox::toggled);
    QTest::mouseClick(form->ClipBoardCheckBox1, Qt::LeftButton);
    QVERIFY(!form->ClipBoardCheckBox1->isChecked());
    QVERIFY(form->FileOpenCheckBox->isChecked());
    QCOMPARE(clip.count(), 1);
    QCOMPARE(file.count(), 1);
    QVERIFY(form->FileOpenPanel->isVisible());
    QVERIFY(form->FileOpenEdit->isVisible());
    QCOMPARE(QApplication::focusWidget(), form->FileOpenEdit);

    // Back again: the name stays in the hidden edit and reappears.
    QTest::keyClicks(form->FileOpenEdit, "in.txt");
    QTest::mouseClick(form->FileOpenCheckBox, Qt::LeftButton);
    QVERIFY(form->ClipBoardCheckBox1->isChecked());
    QVERIFY(!form->FileOpenCheckBox->isChecked());
    QVERIFY(!form->FileOpenPanel->isVisible());
    QVERIFY(!form->FileOpenEdit->isVisible());
    QCOMPARE(clip.count(), 2);
    QCOMPARE(file.count(), 2);
    form->ClipBoardCheckBox1->setChecked(false);
    QVERIFY(form->FileOpenEdit->isVisible());
    QCOMPARE(form->FileOpenEdit->text(), QString("in.txt"));
    QVERIFY(fixture_->fake->dialogRequests.empty());
  }

  void outputPairLikewise() {
    TVelkarMainForm* form = fixture_->form.get();
    form->FileSaveCheckBox->click();
    QVERIFY(!form->ClipBoardCheckBox2->isChecked());
    QVERIFY(form->FileSavePanel->isVisible());
    QVERIFY(form->FileSaveEdit->isVisible());
    QCOMPARE(QApplication::focusWidget(), form->FileSaveEdit);
    form->ClipBoardCheckBox2->click();
    QVERIFY(!form->FileSaveCheckBox->isChecked());
    QVERIFY(!form->FileSavePanel->isVisible());
    QVERIFY(!form->FileSaveEdit->isVisible());
    // The other side did not move.
    QVERIFY(form->ClipBoardCheckBox1->isChecked());
    QVERIFY(!form->FileOpenEdit->isVisible());
  }

  // Set by the program while the window is hidden (as the command line does): the
  // controls follow, the focus does not move.
  void programChangesBeforeTheWindowShows() {
    fixture_.reset();
    FormFixture hidden(false);
    TVelkarMainForm* form = hidden.form.get();
    form->ClipBoardCheckBox2->setChecked(false);
    QVERIFY(form->FileSaveCheckBox->isChecked());
    QVERIFY(form->FileSavePanel->isVisibleTo(form));
    QVERIFY(form->FileSaveEdit->isVisibleTo(form));
    QVERIFY(form->focusWidget() == nullptr || form->focusWidget() != form->FileSaveEdit);
    form->Sort_R_RadioButton->setChecked(true);
    QVERIFY(!form->Sort_F_RadioButton->isChecked());
    form->show();
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form));
    // The first tab stop: the checked radio button.
    QCOMPARE(QApplication::focusWidget(), form->Sort_R_RadioButton);
  }

  void focusNotMovedWhileInactive() {
    TVelkarMainForm* form = fixture_->form.get();
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QVERIFY(!form->isActiveWindow());
    QWidget* before = form->focusWidget();
    form->FileOpenCheckBox->setChecked(true);
    QVERIFY(form->FileOpenEdit->isVisible());
    QCOMPARE(form->focusWidget(), before);
  }

  // The radio pair is one group: checking one unchecks the other, both by user
  // and program; a space on the checked one changes nothing.
  void radioPairIsOneGroup() {
    TVelkarMainForm* form = fixture_->form.get();
    QTest::mouseClick(form->Sort_R_RadioButton, Qt::LeftButton);
    QVERIFY(form->Sort_R_RadioButton->isChecked());
    QVERIFY(!form->Sort_F_RadioButton->isChecked());
    form->Sort_F_RadioButton->setChecked(true);
    QVERIFY(!form->Sort_R_RadioButton->isChecked());
  }

 private:
  std::unique_ptr<FormFixture> fixture_;
};

QTEST_MAIN(PairsTest)
#include "pairs_test.moc"
