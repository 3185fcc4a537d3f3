// The settings layer without Qt: the words taken from argv, the Windows-style
// splitter the command-line fuzzer feeds, the position text, every row of the
// option table made into the settings value, its conversion to the engine's
// arguments.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/engine.h"
#include "fuzz/split_command_line.h"
#include "platform/platform_fake.h"
#include "settings/command_words.h"
#include "settings/run_settings.h"
#include "tests/settings/command_line_rows.h"

namespace velkar {
namespace {

using test::CommandLineRow;
using test::ExpectSettings;
using test::Label;
using test::WithProgram;
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

TEST(SettingsFromWords, AppliesEveryRowOfTheTable) {
  for (const CommandLineRow& row : test::CommandLineRows()) {
    ExpectSettings(SettingsFromWords(WithProgram(row.words)), row.want.settings, Label(row.words));
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

}  // namespace
}  // namespace velkar
