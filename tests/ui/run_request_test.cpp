// The run request from the window, with the real engine on temporary files and the
// fake clipboard: the arguments the controls turn into (seen in what the engine
// produced), the two missing-name messages, the status text and both cursors during
// the run, their restoration, and no second run while one is in progress.
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "engine/engine.h"
#include "form_fixture.h"
#include "platform/byte_text.h"

using namespace velkar;
using velkar::test::FormFixture;

namespace {

const std::string kNoInput = "読み込み先ファイルが未指定です";
const std::string kNoOutput = "書き出し先ファイルが未指定です";

void Write(const QString& path, const std::string& bytes) {
  std::ofstream(path.toStdString(), std::ios::binary) << bytes;
}

std::string Read(const QString& path) {
  std::ifstream in(path.toStdString(), std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

class RunRequestTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    fixture_ = std::make_unique<FormFixture>();
    QVERIFY(dir_.isValid());
    input_ = dir_.filePath("in.txt");
    output_ = dir_.filePath("out.txt");
    QuietFinish = 0;
  }
  void cleanup() {
    fixture_.reset();
    QuietFinish = 0;
  }

  void missingInputName() {
    form()->FileOpenCheckBox->setChecked(true);
    form()->FileSaveCheckBox->setChecked(true);  // also empty: not examined
    RunResult = 99;
    form()->OKButton->click();
    QCOMPARE(fixture_->Texts(), std::vector<std::string>{kNoInput});
    const FakePlatform::Box& box = fake().boxes[0];
    QCOMPARE(box.caption, std::string("VELKAR-ERROR"));
    QCOMPARE(box.style, unsigned{kBoxOk});
    QCOMPARE(box.owner, static_cast<WindowHandle>(qApp));
    QCOMPARE(RunResult, 99);  // the engine was not called
    QVERIFY(fake().waitCursorLog.empty());
    QCOMPARE(form()->StatusLine->SimpleText(), QString::fromUtf8("テキストソートユーティリティ"));
    QCOMPARE(form()->cursor().shape(), Qt::ArrowCursor);
  }

  void missingOutputName() {
    Write(input_, "b\na\n");
    form()->FileOpenCheckBox->setChecked(true);
    form()->FileOpenEdit->setText(input_);
    form()->FileSaveCheckBox->setChecked(true);
    RunResult = 99;
    form()->OKButton->click();
    QCOMPARE(fixture_->Texts(), std::vector<std::string>{kNoOutput});
    QCOMPARE(fake().boxes[0].caption, std::string("VELKAR-ERROR"));
    QCOMPARE(RunResult, 99);
  }

  // The settings as the engine receives them, shown by what it makes of one input.
  void settingsBecomeArguments_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("position");
    QTest::addColumn<QByteArray>("in");
    QTest::addColumn<QByteArray>("out");
    QTest::newRow("initial: ascending, whole line")
        << ""
        << "1" << QByteArray("b\nB\na\n") << QByteArray("B\r\na\r\nb\r\n");
    QTest::newRow("descending") << "r"
                                << "1" << QByteArray("a\nc\nb\n") << QByteArray("c\r\nb\r\na\r\n");
    QTest::newRow("neither radio checked: descending")
        << "-"
        << "1" << QByteArray("a\nc\nb\n") << QByteArray("c\r\nb\r\na\r\n");
    QTest::newRow("ignore case, unique")
        << "iu"
        << "1" << QByteArray("b\nA\na\nB\n") << QByteArray("A\r\nb\r\n");
    QTest::newRow("column 2") << ""
                              << "2" << QByteArray("xb\nya\n") << QByteArray("ya\r\nxb\r\n");
    QTest::newRow("column 2, text 12 gives 11")
        << ""
        << "12" << QByteArray("0123456789ab\n0123456789aa\n")
        << QByteArray("0123456789aa\r\n0123456789ab\r\n");
    QTest::newRow("field 2") << "f"
                             << "2" << QByteArray("1,b\n2,a\n") << QByteArray("2,a\r\n1,b\r\n");
    QTest::newRow("field 2 numeric")
        << "fn"
        << "2" << QByteArray("x,10\ny,9\n") << QByteArray("y,9\r\nx,10\r\n");
    QTest::newRow("column numeric") << "n"
                                    << "1" << QByteArray("10\n9\n") << QByteArray("9\r\n10\r\n");
    QTest::newRow("empty position counts as 1")
        << ""
        << "" << QByteArray("xb\nya\n") << QByteArray("xb\r\nya\r\n");
    QTest::newRow("no number counts as 1")
        << ""
        << "x" << QByteArray("xb\nya\n") << QByteArray("xb\r\nya\r\n");
  }
  void settingsBecomeArguments() {
    QFETCH(QString, setup);
    QFETCH(QString, position);
    QFETCH(QByteArray, in);
    QFETCH(QByteArray, out);
    Write(input_, in.toStdString());
    form()->FileOpenCheckBox->setChecked(true);
    form()->FileOpenEdit->setText(input_);
    form()->FileSaveCheckBox->setChecked(true);
    form()->FileSaveEdit->setText(output_);
    form()->SortPosEdit->setText(position);
    if (setup.contains('r')) form()->Sort_R_RadioButton->setChecked(true);
    if (setup == "-") {
      form()->Sort_F_RadioButton->setAutoExclusive(false);
      form()->Sort_F_RadioButton->setChecked(false);
      form()->Sort_F_RadioButton->setAutoExclusive(true);
    }
    if (setup.contains('i')) form()->NotCaseSensitiveCheckBox->setChecked(true);
    if (setup.contains('u')) form()->UniqCheckBox->setChecked(true);
    if (setup.contains('f')) form()->FieldCheckBox->setChecked(true);
    if (setup.contains('n')) form()->NumCompCheckBox->setChecked(true);
    form()->OKButton->click();
    QCOMPARE(fixture_->Texts(), std::vector<std::string>{"Finish!"});
    QCOMPARE(RunResult, 0);
    QCOMPARE(QByteArray::fromStdString(Read(output_)), out);
  }

  // During the run: the status text, the wait cursor over the application and the
  // window's own; afterwards the previous text and the default cursors.
  void statusAndCursorsDuringTheRun() {
    fake().clipboardText = "b\na\n";
    form()->StatusLine->SetSimpleText("hint text");
    bool checked = false;
    fake().onBox = [&](const FakePlatform::Box& box) {
      QCOMPARE(box.text, std::string("Finish!"));
      QCOMPARE(form()->StatusLine->SimpleText(), QString::fromUtf8("ソート実行中！"));
      QVERIFY(fake().waitCursor);
      QCOMPARE(form()->cursor().shape(), Qt::WaitCursor);
      checked = true;
    };
    form()->OKButton->click();
    QVERIFY(checked);
    QCOMPARE(fake().clipboardText, std::optional<std::string>("a\nb\n"));
    QCOMPARE(form()->StatusLine->SimpleText(), QString("hint text"));
    QCOMPARE(fake().waitCursorLog, (std::vector<bool>{true, false}));
    QCOMPARE(form()->cursor().shape(), Qt::ArrowCursor);
  }

  // Straight through ExecuteSort (the automatic run): only the application's cursor.
  void executeSortLeavesTheWindowCursor() {
    fake().clipboardText = "b\na\n";
    bool checked = false;
    fake().onBox = [&](const FakePlatform::Box&) {
      QVERIFY(fake().waitCursor);
      QCOMPARE(form()->cursor().shape(), Qt::ArrowCursor);
      checked = true;
    };
    form()->ExecuteSort();
    QVERIFY(checked);
    QCOMPARE(fake().clipboardText, std::optional<std::string>("a\nb\n"));
  }

  void failedRunRestoresTheWindow() {
    form()->FileOpenCheckBox->setChecked(true);
    form()->FileOpenEdit->setText(dir_.filePath("missing.txt"));
    form()->OKButton->click();
    QCOMPARE(fake().boxes.size(), std::size_t{1});
    QCOMPARE(fake().boxes[0].caption, std::string("VELKAR-ERROR"));
    QCOMPARE(fake().boxes[0].style, unsigned{kBoxIconError});
    QCOMPARE(RunResult, -1);
    QCOMPARE(form()->StatusLine->SimpleText(), QString::fromUtf8("テキストソートユーティリティ"));
    QCOMPARE(fake().waitCursorLog, (std::vector<bool>{true, false}));
    QCOMPARE(form()->cursor().shape(), Qt::ArrowCursor);
  }

  // While one of the engine's boxes is open, neither the button nor a direct
  // request starts another run.
  void noSecondRunWhileOneIsInProgress() {
    fake().clipboardText = "b\na\n";
    int nested = 0;
    fake().onBox = [&](const FakePlatform::Box&) {
      if (nested++ > 0) return;
      QVERIFY(form()->RunInProgress());
      form()->OKButton->click();
      form()->ExecuteSort();
      QTest::keyClick(form()->SortPosEdit, Qt::Key_Return);
    };
    form()->OKButton->click();
    QCOMPARE(fixture_->Texts(), std::vector<std::string>{"Finish!"});
    QCOMPARE(fake().waitCursorLog, (std::vector<bool>{true, false}));
    QVERIFY(!form()->RunInProgress());
    // And the next request runs again.
    form()->OKButton->click();
    QCOMPARE(fake().boxes.size(), std::size_t{2});
  }

  // A side on the clipboard ignores its edit; names go through exactly as typed,
  // blanks and bytes that are not UTF-8 included.
  void namesAsTheEditsHoldThem() {
    fake().clipboardText = "b\na\n";
    form()->FileOpenEdit->setText("/nonexistent/ignored");
    form()->FileSaveEdit->setText("/nonexistent/ignored");
    form()->OKButton->click();
    QCOMPARE(fixture_->Texts(), std::vector<std::string>{"Finish!"});

    const std::string odd = TextToBytes(dir_.path()) + "/ \x82\xa0 in.txt ";
    std::ofstream(odd, std::ios::binary) << "y\nx\n";
    form()->FileOpenCheckBox->setChecked(true);
    form()->FileOpenEdit->setText(BytesToText(odd));
    form()->OKButton->click();
    QCOMPARE(fixture_->Texts(), (std::vector<std::string>{"Finish!", "Finish!"}));
    QCOMPARE(fake().clipboardText, std::optional<std::string>("x\ny\n"));
    std::remove(odd.c_str());  // a name QTemporaryDir cannot spell
  }

 private:
  TVelkarMainForm* form() { return fixture_->form.get(); }
  FakePlatform& fake() { return *fixture_->fake; }
  std::unique_ptr<FormFixture> fixture_;
  QTemporaryDir dir_;
  QString input_;
  QString output_;
};

QTEST_MAIN(RunRequestTest)
#include "run_request_test.moc"
