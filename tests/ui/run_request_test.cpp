// The run request from the window, with the real engine on temporary files and the
// fake clipboard: the arguments the controls turn into (seen in what the engine
// produced), the two missing-name messages, the status text and both cursors during
// the run, their restoration, and no second run while one is in progress; a long
// run on the desktop backend: painted, its progress shown, a close request kept.
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>

#include "engine/engine.h"
#include "form_fixture.h"
#include "platform/byte_text.h"
#include "platform/platform_qt.h"

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

class RunRequestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fixture_ = std::make_unique<FormFixture>();
    ASSERT_TRUE(dir_.isValid());
    input_ = dir_.filePath("in.txt");
    output_ = dir_.filePath("out.txt");
    QuietFinish = 0;
  }
  void TearDown() override {
    fixture_.reset();
    QuietFinish = 0;
  }

  TVelkarMainForm* form() { return fixture_->form.get(); }
  FakePlatform& fake() { return *fixture_->fake; }
  std::unique_ptr<FormFixture> fixture_;
  QTemporaryDir dir_;
  QString input_;
  QString output_;
};

TEST_F(RunRequestTest, MissingInputName) {
  form()->FileOpenCheckBox->setChecked(true);
  form()->FileSaveCheckBox->setChecked(true);  // also empty: not examined
  RunResult = 99;
  form()->OKButton->click();
  ASSERT_EQ(fixture_->Texts(), std::vector<std::string>{kNoInput});
  const FakePlatform::Box& box = fake().boxes[0];
  ASSERT_EQ(box.caption, std::string("VELKAR-ERROR"));
  ASSERT_EQ(box.style, unsigned{kBoxOk});
  ASSERT_EQ(box.owner, static_cast<WindowHandle>(qApp));
  ASSERT_EQ(RunResult, 99);  // the engine was not called
  ASSERT_TRUE(fake().waitCursorLog.empty());
  ASSERT_EQ(form()->StatusLine->SimpleText(), QString::fromUtf8("テキストソートユーティリティ"));
  ASSERT_EQ(form()->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(RunRequestTest, MissingOutputName) {
  Write(input_, "b\na\n");
  form()->FileOpenCheckBox->setChecked(true);
  form()->FileOpenEdit->setText(input_);
  form()->FileSaveCheckBox->setChecked(true);
  RunResult = 99;
  form()->OKButton->click();
  ASSERT_EQ(fixture_->Texts(), std::vector<std::string>{kNoOutput});
  ASSERT_EQ(fake().boxes[0].caption, std::string("VELKAR-ERROR"));
  ASSERT_EQ(RunResult, 99);
}

// The settings as the engine receives them, shown by what it makes of one input.
// setup: r descending, - neither radio button checked, i ignore case, u unique,
// f by field, n numeric.
struct SettingsRow {
  const char* description;
  const char* setup;
  const char* position;
  const char* in;
  const char* out;
};

void PrintTo(const SettingsRow& row, std::ostream* out) { *out << row.description; }

const SettingsRow kSettings[] = {
    {"initial: ascending, whole line", "", "1", "b\nB\na\n", "B\r\na\r\nb\r\n"},
    {"descending", "r", "1", "a\nc\nb\n", "c\r\nb\r\na\r\n"},
    {"neither radio checked: descending", "-", "1", "a\nc\nb\n", "c\r\nb\r\na\r\n"},
    {"ignore case, unique", "iu", "1", "b\nA\na\nB\n", "A\r\nb\r\n"},
    {"column 2", "", "2", "xb\nya\n", "ya\r\nxb\r\n"},
    {"column 2, text 12 gives 11", "", "12", "0123456789ab\n0123456789aa\n",
     "0123456789aa\r\n0123456789ab\r\n"},
    {"field 2", "f", "2", "1,b\n2,a\n", "2,a\r\n1,b\r\n"},
    {"field 2 numeric", "fn", "2", "x,10\ny,9\n", "y,9\r\nx,10\r\n"},
    {"column numeric", "n", "1", "10\n9\n", "9\r\n10\r\n"},
    {"empty position counts as 1", "", "", "xb\nya\n", "xb\r\nya\r\n"},
    {"no number counts as 1", "", "x", "xb\nya\n", "xb\r\nya\r\n"},
};

class SettingsBecomeArguments : public RunRequestTest,
                                public ::testing::WithParamInterface<SettingsRow> {};

TEST_P(SettingsBecomeArguments, AsTheEngineSeesThem) {
  const SettingsRow& row = GetParam();
  const QString setup = QString::fromLatin1(row.setup);
  const QString position = QString::fromLatin1(row.position);
  Write(input_, row.in);
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
  ASSERT_EQ(fixture_->Texts(), std::vector<std::string>{"Finish!"});
  ASSERT_EQ(RunResult, 0);
  ASSERT_EQ(Read(output_), std::string(row.out));
}

INSTANTIATE_TEST_SUITE_P(Rows, SettingsBecomeArguments, ::testing::ValuesIn(kSettings),
                         velkar::test::RowTestName<SettingsRow>);

// During the run: the status text, the wait cursor over the application and the
// window's own; afterwards the previous text and the default cursors.
TEST_F(RunRequestTest, StatusAndCursorsDuringTheRun) {
  fake().clipboardText = "b\na\n";
  form()->StatusLine->SetSimpleText("hint text");
  bool checked = false;
  fake().onBox = [&](const FakePlatform::Box& box) {
    ASSERT_EQ(box.text, std::string("Finish!"));
    ASSERT_EQ(form()->StatusLine->SimpleText(), QString::fromUtf8("ソート実行中！"));
    ASSERT_TRUE(fake().waitCursor);
    ASSERT_EQ(form()->cursor().shape(), Qt::WaitCursor);
    checked = true;
  };
  form()->OKButton->click();
  ASSERT_TRUE(checked);
  ASSERT_EQ(fake().clipboardText, std::optional<std::string>("a\nb\n"));
  ASSERT_EQ(form()->StatusLine->SimpleText(), QString("hint text"));
  ASSERT_EQ(fake().waitCursorLog, (std::vector<bool>{true, false}));
  ASSERT_EQ(form()->cursor().shape(), Qt::ArrowCursor);
}

// Straight through ExecuteSort (the automatic run): only the application's cursor.
TEST_F(RunRequestTest, ExecuteSortLeavesTheWindowCursor) {
  fake().clipboardText = "b\na\n";
  bool checked = false;
  fake().onBox = [&](const FakePlatform::Box&) {
    ASSERT_TRUE(fake().waitCursor);
    ASSERT_EQ(form()->cursor().shape(), Qt::ArrowCursor);
    checked = true;
  };
  form()->ExecuteSort();
  ASSERT_TRUE(checked);
  ASSERT_EQ(fake().clipboardText, std::optional<std::string>("a\nb\n"));
}

TEST_F(RunRequestTest, FailedRunRestoresTheWindow) {
  form()->FileOpenCheckBox->setChecked(true);
  form()->FileOpenEdit->setText(dir_.filePath("missing.txt"));
  form()->OKButton->click();
  ASSERT_EQ(fake().boxes.size(), std::size_t{1});
  ASSERT_EQ(fake().boxes[0].caption, std::string("VELKAR-ERROR"));
  ASSERT_EQ(fake().boxes[0].style, unsigned{kBoxIconError});
  ASSERT_EQ(RunResult, -1);
  ASSERT_EQ(form()->StatusLine->SimpleText(), QString::fromUtf8("テキストソートユーティリティ"));
  ASSERT_EQ(fake().waitCursorLog, (std::vector<bool>{true, false}));
  ASSERT_EQ(form()->cursor().shape(), Qt::ArrowCursor);
}

// While one of the engine's boxes is open, neither the button nor a direct
// request starts another run.
TEST_F(RunRequestTest, NoSecondRunWhileOneIsInProgress) {
  fake().clipboardText = "b\na\n";
  int nested = 0;
  fake().onBox = [&](const FakePlatform::Box&) {
    if (nested++ > 0) return;
    ASSERT_TRUE(form()->RunInProgress());
    form()->OKButton->click();
    form()->ExecuteSort();
    QTest::keyClick(form()->SortPosEdit, Qt::Key_Return);
  };
  form()->OKButton->click();
  ASSERT_EQ(fixture_->Texts(), std::vector<std::string>{"Finish!"});
  ASSERT_EQ(fake().waitCursorLog, (std::vector<bool>{true, false}));
  ASSERT_FALSE(form()->RunInProgress());
  // And the next request runs again.
  form()->OKButton->click();
  ASSERT_EQ(fake().boxes.size(), std::size_t{2});
}

// A side on the clipboard ignores its edit; names go through exactly as typed,
// blanks and bytes that are not UTF-8 included.
TEST_F(RunRequestTest, NamesAsTheEditsHoldThem) {
  fake().clipboardText = "b\na\n";
  form()->FileOpenEdit->setText("/nonexistent/ignored");
  form()->FileSaveEdit->setText("/nonexistent/ignored");
  form()->OKButton->click();
  ASSERT_EQ(fixture_->Texts(), std::vector<std::string>{"Finish!"});

  const std::string odd = TextToBytes(dir_.path()) + "/ \x82\xa0 in.txt ";
  std::ofstream(odd, std::ios::binary) << "y\nx\n";
  form()->FileOpenCheckBox->setChecked(true);
  form()->FileOpenEdit->setText(BytesToText(odd));
  form()->OKButton->click();
  ASSERT_EQ(fixture_->Texts(), (std::vector<std::string>{"Finish!", "Finish!"}));
  ASSERT_EQ(fake().clipboardText, std::optional<std::string>("x\ny\n"));
  std::remove(odd.c_str());  // a name QTemporaryDir cannot spell
}

// ---- A long run on the desktop backend ----

namespace {

// The desktop backend itself, with its boxes recorded instead of shown and a file
// read that lasts: during it the progress is reported every 20 ms, as the engine
// does through a long step, and the test acts at each report.
class LongReadPlatform : public QtPlatform {
 public:
  void ShowMessageBox(WindowHandle, const char* text, const char* caption, unsigned) override {
    boxes.push_back(std::string(caption) + ": " + text);
  }
  std::uint64_t ReadFile(PlatformFile* file, void* buffer, std::uint64_t size) override {
    ++reads;
    for (int step = 0; step <= steps; ++step) {
      if (during) during(step);
      ReportProgress({RunPhase::kRead,
                      size * static_cast<std::uint64_t>(step) / static_cast<std::uint64_t>(steps),
                      size});
      QThread::msleep(20);
    }
    return Platform::ReadFile(file, buffer, size);
  }

  int steps = 50;  // about a second
  std::function<void(int step)> during;
  std::vector<std::string> boxes;
  int reads = 0;
};

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
  int paints = 0;
};

// What the test saw at one moment of the run.
struct Moment {
  bool barShown = false;
  int barValue = -1;
  QString status;
  Qt::CursorShape overrideShape = Qt::ArrowCursor;
  bool overrideSet = false;
  Qt::CursorShape formShape = Qt::ArrowCursor;
  int paints = 0;
  bool visible = false;
};

class LongRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = CurrentPlatform();
    SetCurrentPlatform(&platform_);
    // As the desktop part wires it: the reports go to the window's status line.
    platform_.progressView = [this](const RunProgress& progress) {
      form_->ShowRunProgress(progress);
      barEverShown_ = barEverShown_ || form_->StatusLine->ProgressBar()->isVisible();
    };
    form_ = std::make_unique<TVelkarMainForm>();
    form_->show();
    form_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    ASSERT_TRUE(dir_.isValid());
    Write(dir_.filePath("in.txt"), "c\nb\na\n");
    form_->FileOpenCheckBox->setChecked(true);
    form_->FileOpenEdit->setText(dir_.filePath("in.txt"));
    form_->FileSaveCheckBox->setChecked(true);
    form_->FileSaveEdit->setText(dir_.filePath("out.txt"));
    form_->StatusLine->installEventFilter(&statusPaints_);
    form_->ClientArea->installEventFilter(&clientPaints_);
    QuietFinish = 0;
  }
  void TearDown() override {
    form_.reset();
    SetCurrentPlatform(previous_);
  }

  Moment Now() {
    Moment m;
    QProgressBar* bar = form_->StatusLine->ProgressBar();
    m.barShown = bar->isVisible();
    m.barValue = bar->value();
    m.status = form_->StatusLine->SimpleText();
    m.overrideSet = QApplication::overrideCursor() != nullptr;
    if (m.overrideSet) m.overrideShape = QApplication::overrideCursor()->shape();
    m.formShape = form_->cursor().shape();
    m.paints = clientPaints_.paints + statusPaints_.paints;
    m.visible = form_->isVisible();
    return m;
  }

  LongReadPlatform platform_;
  Platform* previous_ = nullptr;
  std::unique_ptr<TVelkarMainForm> form_;
  QTemporaryDir dir_;
  PaintCounter statusPaints_;
  PaintCounter clientPaints_;
  bool barEverShown_ = false;
};

}  // namespace

// A run of about a second from the execute button: the status text and both wait
// cursors stay as in any run; from half a second on, a progress bar beside the
// text advances; what needs painting is painted during the run. A click queued
// on the execute button, a file dropped and a close of the window all come
// during the run: no second run starts, the drop is refused, the run delivers
// its result and shows its box, and the window closes afterwards.
TEST_F(LongRunTest, PaintedProgressShownNothingStartedCloseKeptForTheEnd) {
  Moment early, middle, late;
  QElapsedTimer clock;
  qint64 earlyMs = 0;
  bool dropAccepted = true;
  platform_.during = [&](int step) {
    if (step == 5) {  // about 100 ms in
      early = Now();
      earlyMs = clock.elapsed();
      form_->ClientArea->update();  // as when a window that covered it goes
      QMetaObject::invokeMethod(form_->OKButton, "click", Qt::QueuedConnection);
      QMimeData data;
      data.setUrls({QUrl::fromLocalFile(dir_.filePath("dropped.txt"))});
      QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(form_.get(), &enter);
      QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(form_.get(), &drop);
      dropAccepted = enter.isAccepted() || drop.isAccepted();
      // A close of the window that Qt does not hold back as input (the session
      // ending, a platform that sends a plain close).
      QCoreApplication::postEvent(form_->windowHandle(), new QCloseEvent);
    }
    if (step == 30) middle = Now();
    if (step == 48) late = Now();
  };
  clock.start();
  form_->OKButton->click();

  const QString running = QString::fromUtf8("ソート実行中！");
  for (const Moment* m : {&early, &middle, &late}) {
    EXPECT_EQ(m->status, running);
    EXPECT_TRUE(m->overrideSet);
    EXPECT_EQ(m->overrideShape, Qt::WaitCursor);
    EXPECT_EQ(m->formShape, Qt::WaitCursor);
    EXPECT_TRUE(m->visible);  // the close request did not cut the run
  }
  // (Unless the machine stalled the run's first tenth of a second past the delay.)
  if (earlyMs < TVelkarMainForm::kProgressDelayMs - 100) {
    EXPECT_FALSE(early.barShown);
  }
  EXPECT_TRUE(middle.barShown);
  EXPECT_TRUE(late.barShown);
  EXPECT_LT(middle.barValue, late.barValue);
  EXPECT_GT(middle.paints, early.paints);
  EXPECT_FALSE(dropAccepted);

  // One run, its result delivered and its box shown.
  EXPECT_EQ(platform_.reads, 1);
  EXPECT_EQ(platform_.boxes, std::vector<std::string>{"VELKAR: Finish!"});
  EXPECT_EQ(Read(dir_.filePath("out.txt")), "a\r\nb\r\nc\r\n");
  EXPECT_EQ(form_->FileOpenEdit->text(), dir_.filePath("in.txt"));
  // Afterwards: the window as before the run, then closed as asked.
  EXPECT_FALSE(form_->StatusLine->ProgressBar()->isVisible());
  EXPECT_EQ(form_->StatusLine->SimpleText(), QString::fromUtf8("テキストソートユーティリティ"));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_TRUE(form_->isVisible());
  QCoreApplication::processEvents();
  EXPECT_FALSE(form_->isVisible());
  EXPECT_FALSE(form_->RunInProgress());
}

// A run shorter than half a second looks as runs always have: no progress bar
// ever, and the window stays open.
TEST_F(LongRunTest, ShortRunShowsNoProgress) {
  platform_.steps = 10;  // about 200 ms
  form_->OKButton->click();
  EXPECT_FALSE(barEverShown_);
  EXPECT_EQ(platform_.boxes, std::vector<std::string>{"VELKAR: Finish!"});
  QCoreApplication::processEvents();
  EXPECT_TRUE(form_->isVisible());
}

// A text several times the memory budget, sorted from the execute button: the
// window's run takes the same path beyond memory as the console, through temporary
// runs in TMPDIR, and delivers the whole sorted text.
TEST_F(LongRunTest, TextBeyondTheMemoryBudgetFromTheWindow) {
  platform_.steps = 1;
  std::vector<std::string> lines;
  std::string text;
  unsigned seed = 7;
  for (int i = 0; i < 60000; ++i) {
    seed = seed * 1103515245u + 12345u;
    lines.push_back(std::to_string(seed) + " line " + std::to_string(i));
    text += lines.back() + "\n";
  }
  Write(dir_.filePath("in.txt"), text);
  std::sort(lines.begin(), lines.end());
  std::string expected;
  for (const std::string& line : lines) expected += line + "\r\n";
  ::setenv("VELKAR_MEMORY", "1M", 1);
  const QByteArray tmp = QFile::encodeName(dir_.path());
  const char* oldTmp = std::getenv("TMPDIR");
  const std::string savedTmp = oldTmp != nullptr ? oldTmp : "";
  ::setenv("TMPDIR", tmp.constData(), 1);
  form_->OKButton->click();
  ::unsetenv("VELKAR_MEMORY");
  if (oldTmp != nullptr) {
    ::setenv("TMPDIR", savedTmp.c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
  EXPECT_EQ(platform_.boxes, std::vector<std::string>{"VELKAR: Finish!"});
  EXPECT_TRUE(Read(dir_.filePath("out.txt")) == expected);
  EXPECT_GT(platform_.reads, 2);  // the text was read in pieces
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
            (QStringList{"in.txt", "out.txt"}));
}
