// The command line in the window: every row of the option table's settings put
// into a real main window by ParseCommandLine and read back, and FormCreate with
// its automatic run.
#include "ui/command_line.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QPushButton>
#include <QRadioButton>
#include <optional>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "platform/byte_text.h"
#include "platform/platform_fake.h"
#include "settings/run_settings.h"
#include "tests/settings/command_line_rows.h"
#include "tests/ui/app_state_fixture.h"
#include "ui/main_form.h"

namespace velkar {
namespace {

using Words = std::vector<std::string>;

// What ParseCommandLine left in the controls: the run's settings, and the first
// up-down, which the position option sets from the edit's text.
struct Parsed {
  RunSettings settings;
  int upDown1 = 1;
};

Parsed Parse(const RunSettings& settings) {
  AutoRun = 0;
  QuietFinish = 0;
  TVelkarMainForm form;
  form.ParseCommandLine(settings);
  return {form.Settings(), form.UpDown1->Position()};
}

class ParseCommandLineTest : public testing::Test {
 protected:
  ScopedFakePlatform fake_;
  void TearDown() override {
    AutoRun = 0;
    QuietFinish = 0;
  }
};

// Each row's settings put into a fresh window are what the window gives back.
TEST_F(ParseCommandLineTest, AppliesEveryRowOfTheTable) {
  for (const test::CommandLineRow& row : test::CommandLineRows()) {
    const std::string label = test::Label(row.words);
    const Parsed window = Parse(SettingsFromWords(test::WithProgram(row.words)));
    test::ExpectSettings(window.settings, row.want.settings, label);
    EXPECT_EQ(window.upDown1, row.want.upDown1) << label;
  }
}

TEST_F(ParseCommandLineTest, NamesShowTheFileControlsAndLeaveTheSecondUpDown) {
  TVelkarMainForm form;
  form.ParseCommandLine(SettingsFromWords({"velkar", "in.txt", "-o", "out.txt", "-7"}));
  EXPECT_TRUE(form.FileOpenCheckBox->isChecked());
  EXPECT_TRUE(form.FileOpenEdit->isVisibleTo(&form));
  EXPECT_TRUE(form.FileOpenPanel->isVisibleTo(&form));
  EXPECT_TRUE(form.FileSaveCheckBox->isChecked());
  EXPECT_TRUE(form.FileSaveEdit->isVisibleTo(&form));
  EXPECT_TRUE(form.FileSavePanel->isVisibleTo(&form));
  EXPECT_EQ(form.UpDown2->Position(), 1);
  // Program-set text: no validation box, no modified flag.
  EXPECT_TRUE(fake_->boxes.empty());
  EXPECT_FALSE(form.SortPosEdit->Modified());
}

class FormCreateTest : public AppStateTest {};

TEST_F(FormCreateTest, WithoutWordsClearsTheFlagsAndRunsNothing) {
  AutoRun = 1;
  QuietFinish = 1;
  TVelkarMainForm form;
  form.FormCreate(&form, SettingsFromWords({"velkar"}));
  EXPECT_EQ(AutoRun, 0);
  EXPECT_EQ(QuietFinish, 0);
  EXPECT_FALSE(QuitQueued());
  EXPECT_TRUE(fake_->log.empty());
  EXPECT_EQ(form.windowState(), Qt::WindowNoState);
}

TEST_F(FormCreateTest, SuccessfulAutomaticRunAsksToQuit) {
  fake_->clipboardText = "a\nb\n";
  TVelkarMainForm form;
  form.FormCreate(&form, SettingsFromWords({"velkar", "-a+", "-r"}));
  EXPECT_EQ(RunResult, 0);
  EXPECT_TRUE(QuitQueued());
  EXPECT_EQ(fake_->clipboardText, "b\na\n");
  EXPECT_TRUE(fake_->boxes.empty());
  EXPECT_EQ(form.windowState(), Qt::WindowNoState);
}

TEST_F(FormCreateTest, AutomaticRunHappensMinimizedBeforeTheWindowIsShown) {
  fake_->clipboardText = "2\n1\n";
  TVelkarMainForm form;
  Qt::WindowStates stateAtBox;
  bool visibleAtBox = true;
  fake_->onBox = [&](const FakePlatform::Box&) {
    stateAtBox = form.windowState();
    visibleAtBox = form.isVisible();
  };
  form.FormCreate(&form, SettingsFromWords({"velkar", "-a"}));
  ASSERT_EQ(fake_->boxes.size(), 1u);
  EXPECT_EQ(fake_->boxes[0].text, "Finish!");
  EXPECT_EQ(fake_->boxes[0].caption, "VELKAR");
  EXPECT_EQ(stateAtBox, Qt::WindowMinimized);
  EXPECT_FALSE(visibleAtBox);
  EXPECT_EQ(fake_->clipboardText, "1\n2\n");
  EXPECT_TRUE(QuitQueued());
  EXPECT_EQ(form.windowState(), Qt::WindowNoState);
}

TEST_F(FormCreateTest, FailedAutomaticRunKeepsTheWindowAndQuietFinishStays) {
  TVelkarMainForm form;
  form.FormCreate(&form, SettingsFromWords({"velkar", "-a+", "missing-input.txt"}));
  ASSERT_EQ(fake_->boxes.size(), 1u);
  EXPECT_EQ(fake_->boxes[0].text, "File Open Error![missing-input.txt]");
  EXPECT_EQ(RunResult, -1);
  EXPECT_FALSE(QuitQueued());
  EXPECT_EQ(form.FileOpenEdit->text(), QStringLiteral("missing-input.txt"));
  EXPECT_EQ(form.windowState(), Qt::WindowNoState);

  // A later run from the button still shows no "Finish!".
  form.ClipBoardCheckBox1->setChecked(true);
  fake_->clipboardText = "b\na\n";
  form.OKButtonClick(form.OKButton);
  EXPECT_EQ(RunResult, 0);
  EXPECT_EQ(fake_->boxes.size(), 1u);
  EXPECT_EQ(fake_->clipboardText, "a\nb\n");
}

TEST_F(FormCreateTest, OptionsWithoutAutomaticRunRunNothing) {
  TVelkarMainForm form;
  form.FormCreate(&form, SettingsFromWords({"velkar", "-r", "-o", "out.txt"}));
  EXPECT_TRUE(fake_->boxes.empty());
  EXPECT_FALSE(QuitQueued());
  EXPECT_TRUE(form.Sort_R_RadioButton->isChecked());
}

}  // namespace
}  // namespace velkar
