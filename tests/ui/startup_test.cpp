// The application's start-up, loop and end: the order of the start-up steps, the
// quit after a successful automatic run, the four ways to close, the hint handler,
// the help commands, and the console mode's run from the plain settings.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QStatusTipEvent>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <functional>
#include <string>

#include "cli/console_run.h"
#include "cli/start_plan.h"
#include "engine/engine.h"
#include "platform/platform_fake.h"
#include "settings/run_settings.h"
#include "tests/ui/app_state_fixture.h"
#include "ui/about_box.h"
#include "ui/application.h"
#include "ui/command_line.h"
#include "ui/main_form.h"

namespace velkar {
namespace {

// What the loop found when it started.
struct AtLoopStart {
  bool ran = false;
  bool formVisible = false;
  Qt::WindowStates formState;
  bool aboutCreated = false;
  bool aboutVisible = true;
  QString inputName;
  bool closedByTest = false;  // no quit came: the test closed the window
};

class StartupTest : public AppStateTest {
 protected:
  // Runs the desktop start-up with `words`; `inLoop` runs once the loop is going
  // (after the observation) and may end it.
  int RunDesktop(std::vector<std::string> words, AtLoopStart* seen,
                 std::function<void()> inLoop = {}) {
    QTimer::singleShot(0, qApp, [seen, inLoop] {
      seen->ran = true;
      seen->formVisible = VelkarMainForm->isVisible();
      seen->formState = VelkarMainForm->windowState();
      seen->aboutCreated = AboutBox != nullptr;
      seen->aboutVisible = AboutBox != nullptr && AboutBox->isVisible();
      seen->inputName = VelkarMainForm->FileOpenEdit->text();
      if (inLoop) {
        inLoop();
      } else {
        // Should no quit come, the loop ends here instead of waiting for a user;
        // a queued quit ends it long before.
        QTimer::singleShot(2000, VelkarMainForm, [seen] {
          seen->closedByTest = true;
          VelkarMainForm->close();
        });
      }
    });
    return RunApplication(SettingsFromWords(words));
  }
};

TEST_F(StartupTest, SuccessfulAutomaticRunShowsTheWindowThenEndsTheLoop) {
  fake_->clipboardText = "b\na\n";
  AtLoopStart seen;
  // Nothing closes the window here: the queued quit alone ends the loop.
  EXPECT_EQ(RunDesktop({"velkar", "-a+"}, &seen), 0);
  EXPECT_TRUE(seen.ran);
  EXPECT_FALSE(seen.closedByTest);
  EXPECT_TRUE(seen.formVisible);
  EXPECT_EQ(seen.formState, Qt::WindowNoState);
  EXPECT_TRUE(seen.aboutCreated);
  EXPECT_FALSE(seen.aboutVisible);
  EXPECT_EQ(fake_->clipboardText, "a\nb\n");
  EXPECT_EQ(VelkarMainForm, nullptr);
  EXPECT_EQ(AboutBox, nullptr);
  EXPECT_EQ(ApplicationHelpFile(), "Velkar.hlp");
  EXPECT_EQ(QCoreApplication::applicationName(), QStringLiteral("VELKAR.EXE"));
}

TEST_F(StartupTest, FailedAutomaticRunOpensTheWindowWithTheCommandLineSettings) {
  AtLoopStart seen;
  const int status = RunDesktop({"velkar", "-a", "no-such-file.txt"}, &seen,
                                [] { VelkarMainForm->FileExit(VelkarMainForm->FileExitItem); });
  EXPECT_EQ(status, 0);
  ASSERT_EQ(fake_->boxes.size(), 1u);
  EXPECT_EQ(fake_->boxes[0].caption, "VELKAR-ERROR");
  EXPECT_TRUE(seen.formVisible);
  EXPECT_EQ(seen.formState, Qt::WindowNoState);
  EXPECT_EQ(seen.inputName, QStringLiteral("no-such-file.txt"));
}

TEST_F(StartupTest, EveryWayOfClosingEndsTheProgramWithStatusZero) {
  const std::pair<const char*, std::function<void()>> closers[] = {
      {"File > eXit", [] { VelkarMainForm->FileExitItem->trigger(); }},
      {"閉じる", [] { VelkarMainForm->CancelButton->click(); }},
      {"Esc on the window", [] { QTest::keyClick(VelkarMainForm, Qt::Key_Escape); }},
      {"close box", [] { VelkarMainForm->close(); }},
      {"close box with the About box open",
       [] {
         VelkarMainForm->HelpAboutItem->trigger();
         VelkarMainForm->close();
       }},
  };
  for (const auto& [name, close] : closers) {
    AtLoopStart seen;
    EXPECT_EQ(RunDesktop({"velkar"}, &seen, close), 0) << name;
    EXPECT_TRUE(seen.formVisible) << name;
    EXPECT_TRUE(fake_->boxes.empty()) << name;  // nothing is asked
  }
}

TEST_F(StartupTest, HelpMenuCallsTheHelpFileAtItsContentsAndItsIndex) {
  AtLoopStart seen;
  RunDesktop({"velkar"}, &seen, [] {
    VelkarMainForm->HelpContentsItem->trigger();
    VelkarMainForm->HelpSearchItem->trigger();
    VelkarMainForm->close();
  });
  ASSERT_EQ(fake_->helpCalls.size(), 2u);
  EXPECT_EQ(fake_->helpCalls[0].file, "Velkar.hlp");
  EXPECT_EQ(fake_->helpCalls[0].command, kHelpContents);
  EXPECT_EQ(fake_->helpCalls[1].file, "Velkar.hlp");
  EXPECT_EQ(fake_->helpCalls[1].command, kHelpPartialKey);
  EXPECT_EQ(fake_->helpCalls[1].data, "");
}

TEST_F(StartupTest, HelpAboutFromTheMenuShowsTheVersion) {
  AtLoopStart seen;
  QString version;
  bool visible = false;
  RunDesktop({"velkar"}, &seen, [&] {
    VelkarMainForm->HelpAboutItem->trigger();
    version = AboutBox->Version->text();
    visible = AboutBox->isVisible();
    VelkarMainForm->close();
  });
  EXPECT_EQ(version, QStringLiteral("Version1.30"));
  EXPECT_TRUE(visible);
}

TEST_F(StartupTest, HintHandlerShowsTheHintOnlyWhenItChanges) {
  TVelkarMainForm form;
  form.FormCreate(&form, SettingsFromWords({"velkar"}));
  const QString initial = form.StatusLine->SimpleText();
  // No control carries a hint: an empty tip changes nothing.
  QStatusTipEvent empty{QString()};
  QCoreApplication::sendEvent(form.OKButton, &empty);
  EXPECT_EQ(form.StatusLine->SimpleText(), initial);
  QStatusTipEvent tip{QStringLiteral("ヒント")};
  QCoreApplication::sendEvent(form.OKButton, &tip);
  EXPECT_EQ(form.StatusLine->SimpleText(), QStringLiteral("ヒント"));
  EXPECT_EQ(ApplicationHint(), QStringLiteral("ヒント"));
  QStatusTipEvent back{QString()};
  QCoreApplication::sendEvent(form.OKButton, &back);
  EXPECT_EQ(form.StatusLine->SimpleText(), QString());
}

// Console mode runs from the plain settings, with no window at all.
TEST_F(StartupTest, ConsoleModeMakesNoWindowAndReportsTheOutcome) {
  struct Row {
    std::vector<std::string> words;
    int status;
    std::string clipboardAfter;
  };
  const Row rows[] = {
      {{"velkar", "-a+"}, 0, "a\nb\n"},
      {{"velkar", "-a+", "-r"}, 0, "b\na\n"},
      {{"velkar", "-a", "-f", "no-such-file.txt"}, 1, "b\na\n"},
      {{"velkar"}, 2, "b\na\n"},
      {{"velkar", "-r", "-o", "out.txt"}, 2, "b\na\n"},
  };
  for (const Row& row : rows) {
    fake_->clipboardText = "b\na\n";
    fake_->boxes.clear();
    testing::internal::CaptureStderr();
    const int status = RunConsole(SettingsFromWords(row.words));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, row.status) << row.words.size();
    EXPECT_EQ(VelkarMainForm, nullptr);
    EXPECT_EQ(fake_->clipboardText, row.clipboardAfter) << row.words.size();
    EXPECT_EQ(err.find(kConsoleUsage) != std::string::npos, row.status == 2);
    // "-a" shows "Finish!" (as a line in the program), "-a+" shows nothing.
    const bool finish = !fake_->boxes.empty() && fake_->boxes.back().text == "Finish!";
    EXPECT_EQ(finish, row.status == 0 && row.words[1] == "-a") << row.words.size();
  }
}

// Console or desktop, chosen before Qt is loaded; which platform and display.
TEST(PlanStart, ChoosesTheConsoleForNoDisplayAndForAFilterFedOnStandardInput) {
  struct Row {
    const char* label;
    StartEnvironment env;
    bool autoRun;
    StartPlan want;
  };
  auto env = [](const char* qt, const char* x, const char* wayland, bool data) {
    StartEnvironment e;
    e.qtPlatform = qt;
    e.display = x;
    e.waylandDisplay = wayland;
    e.stdinIsData = data;
    return e;
  };
  const StartPlan console{true, "", DisplayKind::kOther};
  const StartPlan x11{false, "xcb", DisplayKind::kX11};
  const Row rows[] = {
      {"no display", env("", "", "", false), true, console},
      {"no display, no run", env("", "", "", false), false, console},
      {"offscreen", env("offscreen", ":0", "w", false), true, console},
      {"minimal with options", env("minimal:x=1", ":0", "", false), false, console},
      {"X display", env("", ":0", "", false), true, x11},
      {"X and Wayland", env("", ":0", "wayland-0", false), true, x11},
      {"Wayland only",
       env("", "", "wayland-0", false),
       true,
       {false, "wayland", DisplayKind::kWayland}},
      {"xcb named", env("xcb", "", "", false), false, {false, "", DisplayKind::kX11}},
      {"wayland-egl named",
       env("wayland-egl", "", "w", false),
       false,
       {false, "", DisplayKind::kWayland}},
      {"another platform", env("vnc", "", "", false), false, {false, "", DisplayKind::kOther}},
      // A pipe, FIFO or file on standard input with an automatic run: a filter.
      {"piped run on X", env("", ":0", "", true), true, console},
      {"piped run, xcb named", env("xcb", ":0", "", true), true, console},
      {"piped, no run", env("", ":0", "", true), false, x11},
  };
  for (const Row& row : rows) EXPECT_EQ(PlanStart(row.env, row.autoRun), row.want) << row.label;
}

TEST(DisplayAnswers, ProbesTheDisplayWithoutTheToolkit) {
  StartEnvironment env;
  env.display = ":4243";  // no server there
  EXPECT_FALSE(DisplayAnswers({false, "xcb", DisplayKind::kX11}, env));
  EXPECT_EQ(DisplayName({false, "xcb", DisplayKind::kX11}, env), ":4243");
  EXPECT_TRUE(DisplayAnswers({false, "", DisplayKind::kOther}, env));

  // Wayland: the socket inside XDG_RUNTIME_DIR must take a connection.
  char folder[] = "/tmp/velkar-wayland-XXXXXX";
  ASSERT_NE(::mkdtemp(folder), nullptr);
  env.runtimeDir = folder;
  env.waylandDisplay = "velkar-test-0";
  const StartPlan wayland{false, "wayland", DisplayKind::kWayland};
  EXPECT_FALSE(DisplayAnswers(wayland, env));
  const std::string path = std::string(folder) + "/velkar-test-0";
  int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, path.c_str());
  ASSERT_EQ(::bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listening, 1), 0);
  EXPECT_TRUE(DisplayAnswers(wayland, env));
  env.waylandDisplay = path;  // an absolute name needs no runtime folder
  env.runtimeDir.clear();
  EXPECT_TRUE(DisplayAnswers(wayland, env));
  ::close(listening);
  // A socket nobody listens on any more is a dead display.
  EXPECT_FALSE(DisplayAnswers(wayland, env));
  ::unlink(path.c_str());
  ::rmdir(folder);
}

}  // namespace
}  // namespace velkar
