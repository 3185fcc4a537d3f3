// The command line: the Windows-style splitter, the words taken from argv, every
// row of ParseCommandLine's table applied to a real main window, and FormCreate
// with its automatic run.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QCoreApplication>
#include <QRadioButton>
#include <optional>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "platform/byte_text.h"
#include "platform/platform_fake.h"
#include "tests/ui/app_state_fixture.h"
#include "ui/command_line.h"
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

// What ParseCommandLine left in the controls.
struct Settings {
  bool descending = false;
  bool ignoreCase = false;
  bool unique = false;
  std::optional<std::string> input;   // nullopt: the clipboard
  std::optional<std::string> output;  // nullopt: the clipboard
  std::string position = "1";
  int upDown1 = 1;
  bool number = false;
  bool field = false;
  bool autoRun = false;
  bool quiet = false;
};

Settings Read(const TVelkarMainForm& form) {
  Settings s;
  s.descending = form.Sort_R_RadioButton->isChecked();
  s.ignoreCase = form.NotCaseSensitiveCheckBox->isChecked();
  s.unique = form.UniqCheckBox->isChecked();
  if (!form.ClipBoardCheckBox1->isChecked()) s.input = TextToBytes(form.FileOpenEdit->text());
  if (!form.ClipBoardCheckBox2->isChecked()) s.output = TextToBytes(form.FileSaveEdit->text());
  s.position = TextToBytes(form.SortPosEdit->text());
  s.upDown1 = form.UpDown1->Position();
  s.number = form.NumCompCheckBox->isChecked();
  s.field = form.FieldCheckBox->isChecked();
  s.autoRun = AutoRun != 0;
  s.quiet = QuietFinish != 0;
  return s;
}

void ExpectSettings(const Settings& got, const Settings& want, const std::string& label) {
  EXPECT_EQ(got.descending, want.descending) << label;
  EXPECT_EQ(got.ignoreCase, want.ignoreCase) << label;
  EXPECT_EQ(got.unique, want.unique) << label;
  EXPECT_EQ(got.input, want.input) << label;
  EXPECT_EQ(got.output, want.output) << label;
  EXPECT_EQ(got.position, want.position) << label;
  EXPECT_EQ(got.upDown1, want.upDown1) << label;
  EXPECT_EQ(got.number, want.number) << label;
  EXPECT_EQ(got.field, want.field) << label;
  EXPECT_EQ(got.autoRun, want.autoRun) << label;
  EXPECT_EQ(got.quiet, want.quiet) << label;
}

std::string Label(const Words& words) {
  std::string label = "words:";
  for (const std::string& w : words) label += " [" + w + "]";
  return label;
}

Settings Parse(const Words& words, TVelkarMainForm* keep = nullptr) {
  Words all{"velkar"};
  all.insert(all.end(), words.begin(), words.end());
  SetCommandLineWords(all);
  AutoRun = 0;
  QuietFinish = 0;
  TVelkarMainForm form;
  TVelkarMainForm* target = keep != nullptr ? keep : &form;
  target->ParseCommandLine();
  return Read(*target);
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
  struct Row {
    Words words;
    Settings want;
  };
  auto with = [](auto change) {
    Settings s;
    change(s);
    return s;
  };
  const Row rows[] = {
      {{}, Settings{}},
      {{"-a"}, with([](Settings& s) { s.autoRun = true; })},
      {{"-a+"}, with([](Settings& s) { s.autoRun = s.quiet = true; })},
      {{"-A+"}, with([](Settings& s) { s.autoRun = s.quiet = true; })},
      {{"-r"}, with([](Settings& s) { s.descending = true; })},
      {{"-R", "-I", "-U"}, with([](Settings& s) { s.descending = s.ignoreCase = s.unique = true; })},
      {{"-r", "-r", "-i", "-i", "-u", "-u"},
       with([](Settings& s) { s.descending = s.ignoreCase = s.unique = true; })},
      // Position options: only "n" then "f" take effect.
      {{"-3nf"}, with([](Settings& s) { s.position = "3"; s.upDown1 = 3; s.number = s.field = true; })},
      {{"-3NF"}, with([](Settings& s) { s.position = "3"; s.upDown1 = 3; s.number = s.field = true; })},
      {{"-3fn"}, with([](Settings& s) { s.position = "3"; s.upDown1 = 3; s.field = true; })},
      {{"-3n"}, with([](Settings& s) { s.position = "3"; s.upDown1 = 3; s.number = true; })},
      {{"-3f"}, with([](Settings& s) { s.position = "3"; s.upDown1 = 3; s.field = true; })},
      {{"-12x"}, with([](Settings& s) { s.position = "12"; s.upDown1 = 12; })},
      {{"-12xnf"}, with([](Settings& s) { s.position = "12"; s.upDown1 = 12; })},
      // All digits go into the edit; the up-down keeps to its range.
      {{"-123456"}, with([](Settings& s) { s.position = "123456"; s.upDown1 = 1024; })},
      {{"-1024"}, with([](Settings& s) { s.position = "1024"; s.upDown1 = 1024; })},
      // 127 digits are stored; no integer, so the up-down takes 1.
      {{"-" + digits200 + "nf"},
       with([](Settings& s) { s.position = std::string(127, '7'); s.number = s.field = true; })},
      // Words that are no option are input file names, taken verbatim.
      {{"-0"}, with([](Settings& s) { s.input = "-0"; })},
      {{"-x"}, with([](Settings& s) { s.input = "-x"; })},
      {{"--"}, with([](Settings& s) { s.input = "--"; })},
      {{"-"}, with([](Settings& s) { s.input = "-"; })},
      {{"-ai"}, with([](Settings& s) { s.input = "-ai"; })},
      {{"-a+x"}, with([](Settings& s) { s.input = "-a+x"; })},
      {{"-reverse"}, with([](Settings& s) { s.input = "-reverse"; })},
      {{"MiXeD.TXT"}, with([](Settings& s) { s.input = "MiXeD.TXT"; })},
      {{"-F", "Name.Txt"}, with([](Settings& s) { s.input = "Name.Txt"; })},
      {{"my file.txt"}, with([](Settings& s) { s.input = "my file.txt"; })},
      {{"\x82\xa0.txt"}, with([](Settings& s) { s.input = "\x82\xa0.txt"; })},
      {{longName}, with([&](Settings& s) { s.input = longName; })},
      {{"-o", longName}, with([&](Settings& s) { s.output = longName; })},
      // "-f" and "-o": the next word is the name, whatever it looks like.
      {{"-f"}, Settings{}},
      {{"-o"}, Settings{}},
      {{"-f", "-r"}, with([](Settings& s) { s.input = "-r"; })},
      {{"-o", "-a"}, with([](Settings& s) { s.output = "-a"; })},
      {{"-o", "out.txt", "-a"}, with([](Settings& s) { s.output = "out.txt"; s.autoRun = true; })},
      // Later names replace earlier ones.
      {{"a.txt", "-f", "b.txt"}, with([](Settings& s) { s.input = "b.txt"; })},
      {{"-f", "a.txt", "c.txt"}, with([](Settings& s) { s.input = "c.txt"; })},
      {{"-o", "x.txt", "-O", "y.txt"}, with([](Settings& s) { s.output = "y.txt"; })},
      {{"-a+", "-r", "-2nf", "in.csv", "-o", "out.csv"}, with([](Settings& s) {
         s.autoRun = s.quiet = s.descending = s.number = s.field = true;
         s.position = "2";
         s.upDown1 = 2;
         s.input = "in.csv";
         s.output = "out.csv";
       })},
  };
  for (const Row& row : rows) ExpectSettings(Parse(row.words), row.want, Label(row.words));
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
