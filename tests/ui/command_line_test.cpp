// The command line: the Windows-style splitter, the words taken from argv, every
// row of ParseCommandLine's table applied to a real main window, and FormCreate
// with its automatic run.
#include "ui/command_line.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QPushButton>
#include <QRadioButton>
#include <optional>
#include <string>
#include <vector>

#include "cli/run_settings.h"
#include "engine/engine.h"
#include "platform/byte_text.h"
#include "platform/platform_fake.h"
#include "tests/ui/app_state_fixture.h"
#include "ui/main_form.h"

namespace velkar {
namespace {

using Words = std::vector<std::string>;

TEST(SplitCommandLine, SplitsLikeWindows) {
  struct Row {
    const char* line;
    Words words;
  };
  const Row rows[] = {
      {"velkar -a -r", {"velkar", "-a", "-r"}},
      {"  velkar\t-a  \x01\x1f -r  ", {"velkar", "-a", "-r"}},  // runs of bytes 1..32 separate
      {"velkar \"my file.txt\"", {"velkar", "my file.txt"}},
      {"velkar a\"b c\"d", {"velkar", "ab cd"}},  // touching stretches are one word
      {"velkar \"\" x", {"velkar", "x"}},         // an empty pair makes no word
      {"velkar \"\"\"\" x", {"velkar", "x"}},
      {"velkar a\"\"b", {"velkar", "ab"}},
      {"velkar \"open to the end", {"velkar", "open to the end"}},
      {"velkar \"", {"velkar"}},  // a word that stays empty is dropped
      {"velkar -a\0 -r", {"velkar", "-a"}},
      {"velkar \x82\xa0.txt \xe6\x97\xa5", {"velkar", "\x82\xa0.txt", "\xe6\x97\xa5"}},
      {"", {}},
      {"   ", {}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(SplitCommandLine(row.line), row.words) << "line: " << row.line;
  }
  // The NUL row: a std::string_view that holds the NUL ends there.
  EXPECT_EQ(SplitCommandLine(std::string_view("velkar -a\0 -r", 13)), (Words{"velkar", "-a"}));
}

TEST(SplitCommandLine, KeepsLongWordsWhole) {
  const std::string name(1000, 'n');
  EXPECT_EQ(SplitCommandLine("velkar " + name + " -r"), (Words{"velkar", name, "-r"}));
}

TEST(WordsFromArgv, SkipsEmptyWordsAndKeepsTheRestWhole) {
  const std::string longName = "/tmp/" + std::string(400, 'x');
  const char* argv[] = {"velkar", "", "-o", "", longName.c_str(), "-reverse", "\x82\xa0"};
  EXPECT_EQ(WordsFromArgv(7, argv), (Words{"velkar", "-o", longName, "-reverse", "\x82\xa0"}));
  const char* onlyProgram[] = {""};
  EXPECT_EQ(WordsFromArgv(1, onlyProgram), (Words{""}));
}

TEST(PositionText, TakesTheDigitRunCutTo127Digits) {
  EXPECT_EQ(PositionText("-3nf"), "3");
  EXPECT_EQ(PositionText("-12x"), "12");
  EXPECT_EQ(PositionText("-123456"), "123456");
  EXPECT_EQ(PositionText("-1" + std::string(199, '0')), "1" + std::string(126, '0'));
}

// What ParseCommandLine left in the controls: the run's settings, and the first
// up-down, which the position option sets from the edit's text.
struct Parsed {
  RunSettings settings;
  int upDown1 = 1;
};

void ExpectSettings(const RunSettings& got, const RunSettings& want, const std::string& label) {
  EXPECT_EQ(got.descending, want.descending) << label;
  EXPECT_EQ(got.ignoreCase, want.ignoreCase) << label;
  EXPECT_EQ(got.unique, want.unique) << label;
  EXPECT_EQ(got.inputName, want.inputName) << label;
  EXPECT_EQ(got.outputName, want.outputName) << label;
  EXPECT_EQ(got.positionText, want.positionText) << label;
  EXPECT_EQ(got.numberKey, want.numberKey) << label;
  EXPECT_EQ(got.fieldKey, want.fieldKey) << label;
  EXPECT_EQ(got.autoRun, want.autoRun) << label;
  EXPECT_EQ(got.quietFinish, want.quietFinish) << label;
}

std::string Label(const Words& words) {
  std::string label = "words:";
  for (const std::string& w : words) label += " [" + w + "]";
  return label;
}

Words WithProgram(const Words& words) {
  Words all{"velkar"};
  all.insert(all.end(), words.begin(), words.end());
  return all;
}

Parsed Parse(const Words& words) {
  SetCommandLineWords(WithProgram(words));
  AutoRun = 0;
  QuietFinish = 0;
  TVelkarMainForm form;
  form.ParseCommandLine();
  return {form.Settings(), form.UpDown1->Position()};
}

class ParseCommandLineTest : public testing::Test {
 protected:
  ScopedFakePlatform fake_;
  void TearDown() override {
    SetCommandLineWords({});
    AutoRun = 0;
    QuietFinish = 0;
  }
};

TEST_F(ParseCommandLineTest, AppliesEveryRowOfTheTable) {
  const std::string digits200(200, '7');
  const std::string longName = "/tmp/" + std::string(40000, 'n');  // past Qt's 32767
  // A row's settings and the first up-down's position.
  struct Want {
    RunSettings settings;
    int upDown1 = 1;
  };
  struct Row {
    Words words;
    Want want;
  };
  auto with = [](auto change) {
    Want w;
    change(w.settings, w.upDown1);
    return w;
  };
  const Row rows[] = {
      {{}, Want{}},
      {{"-a"}, with([](RunSettings& s, int&) { s.autoRun = true; })},
      {{"-a+"}, with([](RunSettings& s, int&) { s.autoRun = s.quietFinish = true; })},
      {{"-A+"}, with([](RunSettings& s, int&) { s.autoRun = s.quietFinish = true; })},
      {{"-r"}, with([](RunSettings& s, int&) { s.descending = true; })},
      {{"-R", "-I", "-U"},
       with([](RunSettings& s, int&) { s.descending = s.ignoreCase = s.unique = true; })},
      {{"-r", "-r", "-i", "-i", "-u", "-u"},
       with([](RunSettings& s, int&) { s.descending = s.ignoreCase = s.unique = true; })},
      // Position options: only "n" then "f" take effect.
      {{"-3nf"}, with([](RunSettings& s, int& up) {
         s.positionText = "3";
         up = 3;
         s.numberKey = s.fieldKey = true;
       })},
      {{"-3NF"}, with([](RunSettings& s, int& up) {
         s.positionText = "3";
         up = 3;
         s.numberKey = s.fieldKey = true;
       })},
      {{"-3fn"}, with([](RunSettings& s, int& up) {
         s.positionText = "3";
         up = 3;
         s.fieldKey = true;
       })},
      {{"-3n"}, with([](RunSettings& s, int& up) {
         s.positionText = "3";
         up = 3;
         s.numberKey = true;
       })},
      {{"-3f"}, with([](RunSettings& s, int& up) {
         s.positionText = "3";
         up = 3;
         s.fieldKey = true;
       })},
      {{"-12x"}, with([](RunSettings& s, int& up) {
         s.positionText = "12";
         up = 12;
       })},
      {{"-12xnf"}, with([](RunSettings& s, int& up) {
         s.positionText = "12";
         up = 12;
       })},
      // All digits go into the edit; the up-down keeps to its range.
      {{"-123456"}, with([](RunSettings& s, int& up) {
         s.positionText = "123456";
         up = 1024;
       })},
      {{"-1024"}, with([](RunSettings& s, int& up) {
         s.positionText = "1024";
         up = 1024;
       })},
      // 127 digits are stored; no integer, so the up-down takes 1.
      {{"-" + digits200 + "nf"}, with([](RunSettings& s, int&) {
         s.positionText = std::string(127, '7');
         s.numberKey = s.fieldKey = true;
       })},
      // Words that are no option are input file names, taken verbatim.
      {{"-0"}, with([](RunSettings& s, int&) { s.inputName = "-0"; })},
      {{"-x"}, with([](RunSettings& s, int&) { s.inputName = "-x"; })},
      {{"--"}, with([](RunSettings& s, int&) { s.inputName = "--"; })},
      {{"-"}, with([](RunSettings& s, int&) { s.inputName = "-"; })},
      {{"-ai"}, with([](RunSettings& s, int&) { s.inputName = "-ai"; })},
      {{"-a+x"}, with([](RunSettings& s, int&) { s.inputName = "-a+x"; })},
      {{"-reverse"}, with([](RunSettings& s, int&) { s.inputName = "-reverse"; })},
      {{"MiXeD.TXT"}, with([](RunSettings& s, int&) { s.inputName = "MiXeD.TXT"; })},
      {{"-F", "Name.Txt"}, with([](RunSettings& s, int&) { s.inputName = "Name.Txt"; })},
      {{"my file.txt"}, with([](RunSettings& s, int&) { s.inputName = "my file.txt"; })},
      {{"\x82\xa0.txt"}, with([](RunSettings& s, int&) { s.inputName = "\x82\xa0.txt"; })},
      {{longName}, with([&](RunSettings& s, int&) { s.inputName = longName; })},
      {{"-o", longName}, with([&](RunSettings& s, int&) { s.outputName = longName; })},
      // "-f" and "-o": the next word is the name, whatever it looks like.
      {{"-f"}, Want{}},
      {{"-o"}, Want{}},
      {{"-f", "-r"}, with([](RunSettings& s, int&) { s.inputName = "-r"; })},
      {{"-o", "-a"}, with([](RunSettings& s, int&) { s.outputName = "-a"; })},
      {{"-o", "out.txt", "-a"}, with([](RunSettings& s, int&) {
         s.outputName = "out.txt";
         s.autoRun = true;
       })},
      // Later names replace earlier ones.
      {{"a.txt", "-f", "b.txt"}, with([](RunSettings& s, int&) { s.inputName = "b.txt"; })},
      {{"-f", "a.txt", "c.txt"}, with([](RunSettings& s, int&) { s.inputName = "c.txt"; })},
      {{"-o", "x.txt", "-O", "y.txt"}, with([](RunSettings& s, int&) { s.outputName = "y.txt"; })},
      {{"-a+", "-r", "-2nf", "in.csv", "-o", "out.csv"}, with([](RunSettings& s, int& up) {
         s.autoRun = s.quietFinish = s.descending = s.numberKey = s.fieldKey = true;
         s.positionText = "2";
         up = 2;
         s.inputName = "in.csv";
         s.outputName = "out.csv";
       })},
  };
  for (const Row& row : rows) {
    const std::string label = Label(row.words);
    const Parsed window = Parse(row.words);
    ExpectSettings(window.settings, row.want.settings, label);
    EXPECT_EQ(window.upDown1, row.want.upDown1) << label;
    // The console's plain value, built from the same words, is the window's.
    ExpectSettings(SettingsFromWords(WithProgram(row.words)), row.want.settings, label);
  }
}

TEST(RunSettings, ConvertsToTheEngineArgumentsAsTheRunRequestDoes) {
  struct Row {
    const char* position;
    bool number, field;
    std::int32_t sortPos, keyMode;
  };
  const Row rows[] = {
      {"1", false, false, 0, kKeyColumn},
      {"3", true, false, 2, kKeyColumn + kKeyNumber},
      {"12", false, true, 11, kKeyField},
      {"2", true, true, 1, kKeyField + kKeyNumber},
      {"0", false, false, -1, kKeyColumn},
      {"", false, false, 0, kKeyColumn},                     // no integer: 1
      {"777777777777", false, false, 0, kKeyColumn},         // past int: 1
      {"-2147483648", false, false, INT32_MIN, kKeyColumn},  // kept within 32 bits
  };
  for (const Row& row : rows) {
    RunSettings s;
    s.positionText = row.position;
    s.numberKey = row.number;
    s.fieldKey = row.field;
    EXPECT_EQ(s.SortPos(), row.sortPos) << row.position;
    EXPECT_EQ(s.KeyMode(), row.keyMode) << row.position;
  }
  RunSettings s;
  EXPECT_EQ(s.SortMode(), 0);
  s.descending = s.ignoreCase = s.unique = true;
  EXPECT_EQ(s.SortMode(), kSortDescending | kSortIgnoreCase | kSortUnique);
}

TEST_F(ParseCommandLineTest, NamesShowTheFileControlsAndLeaveTheSecondUpDown) {
  SetCommandLineWords({"velkar", "in.txt", "-o", "out.txt", "-7"});
  TVelkarMainForm form;
  form.ParseCommandLine();
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
  SetCommandLineWords({"velkar"});
  AutoRun = 1;
  QuietFinish = 1;
  TVelkarMainForm form;
  form.FormCreate(&form);
  EXPECT_EQ(AutoRun, 0);
  EXPECT_EQ(QuietFinish, 0);
  EXPECT_FALSE(QuitRequested);
  EXPECT_TRUE(fake_->log.empty());
  EXPECT_EQ(form.windowState(), Qt::WindowNoState);
}

TEST_F(FormCreateTest, SuccessfulAutomaticRunAsksToQuit) {
  fake_->clipboardText = "a\nb\n";
  SetCommandLineWords({"velkar", "-a+", "-r"});
  TVelkarMainForm form;
  form.FormCreate(&form);
  EXPECT_EQ(RunResult, 0);
  EXPECT_TRUE(QuitRequested);
  EXPECT_EQ(fake_->clipboardText, "b\na\n");
  EXPECT_TRUE(fake_->boxes.empty());
  EXPECT_EQ(form.windowState(), Qt::WindowNoState);
}

TEST_F(FormCreateTest, AutomaticRunHappensMinimizedBeforeTheWindowIsShown) {
  fake_->clipboardText = "2\n1\n";
  SetCommandLineWords({"velkar", "-a"});
  TVelkarMainForm form;
  Qt::WindowStates stateAtBox;
  bool visibleAtBox = true;
  fake_->onBox = [&](const FakePlatform::Box&) {
    stateAtBox = form.windowState();
    visibleAtBox = form.isVisible();
  };
  form.FormCreate(&form);
  ASSERT_EQ(fake_->boxes.size(), 1u);
  EXPECT_EQ(fake_->boxes[0].text, "Finish!");
  EXPECT_EQ(fake_->boxes[0].caption, "VELKAR");
  EXPECT_EQ(stateAtBox, Qt::WindowMinimized);
  EXPECT_FALSE(visibleAtBox);
  EXPECT_EQ(fake_->clipboardText, "1\n2\n");
  EXPECT_TRUE(QuitRequested);
  EXPECT_EQ(form.windowState(), Qt::WindowNoState);
}

TEST_F(FormCreateTest, FailedAutomaticRunKeepsTheWindowAndQuietFinishStays) {
  SetCommandLineWords({"velkar", "-a+", "missing-input.txt"});
  TVelkarMainForm form;
  form.FormCreate(&form);
  ASSERT_EQ(fake_->boxes.size(), 1u);
  EXPECT_EQ(fake_->boxes[0].text, "File Open Error![missing-input.txt]");
  EXPECT_EQ(RunResult, -1);
  EXPECT_FALSE(QuitRequested);
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
  SetCommandLineWords({"velkar", "-r", "-o", "out.txt"});
  TVelkarMainForm form;
  form.FormCreate(&form);
  EXPECT_TRUE(fake_->boxes.empty());
  EXPECT_FALSE(QuitRequested);
  EXPECT_TRUE(form.Sort_R_RadioButton->isChecked());
}

}  // namespace
}  // namespace velkar
