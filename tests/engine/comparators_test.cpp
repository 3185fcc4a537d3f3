// Sort keys and comparators: every row of ComparatorTable in every order, each pair
// both ways; number values; field location; the column rule; the selection table.
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "engine_test_support.h"

namespace velkar::test {
namespace {

int Sign(int v) { return (v > 0) - (v < 0); }

// One pair under one row at one position; the expected sign in ascending order by
// bytes and by folded bytes (number rows: the same for both).
struct PairCase {
  ComparatorRow row;
  std::int32_t pos;
  std::string a;
  std::string b;
  int bytes;
  int folded;
};

const std::vector<PairCase>& PairCases() {
  const std::string k512(512, 'k');
  const std::string k511(511, 'k');
  static const std::vector<PairCase> cases = {
      // Whole line, string.
      {kRowLineText, 0, "", "10", -1, -1},
      {kRowLineText, 0, "10", "9", -1, -1},
      {kRowLineText, 0, "9", "Zebra", -1, -1},
      {kRowLineText, 0, "Zebra", "apple", -1, 1},
      {kRowLineText, 0, "apple", "\x80", -1, -1},
      {kRowLineText, 0, "ab", "abc", -1, -1},
      {kRowLineText, 0, "a_", "ab", -1, 1},  // '_' lies between the cases, above folded 'B'
      {kRowLineText, 0, "[", "a", -1, 1},
      {kRowLineText, 0, "abc", "ABC", 1, 0},
      {kRowLineText, 0, "\x83\x41", "\x83\x61", -1, 0},  // a trail byte in a..z is folded too
      {kRowLineText, 0, "\xB1", "\x83\x40", 1, 1},       // half-width kana after lead 0x81..0x9F
      {kRowLineText, 0, "\xB1", "\xE0\x40", -1, -1},     // and before lead 0xE0..0xFC
      {kRowLineText, 0, "same", "same", 0, 0},
      // Column, string.
      {kRowColumnText, 2, "yya", "xxb", -1, -1},
      {kRowColumnText, 2, "zz", "xxb", 0, 0},  // too short: equal to everything
      {kRowColumnText, 2, "xxb", "zz", 0, 0},
      {kRowColumnText, 2, "abC", "xyc", -1, 0},
      {kRowColumnText, 1, "", "a", 0, 0},
      {kRowColumnText, -1, "a", "b", 0, 0},  // a negative position lies beyond every line
      {kRowColumnText, 1, "xA", "yb", -1, -1},
      // Field, string.
      {kRowFieldText, 1, "x, b", "y,a", -1, -1},
      {kRowFieldText, 1, "a,b", "c", 0, 0},  // missing field: equal to everything
      {kRowFieldText, 1, "q,B", "r,b", -1, 0},
      {kRowFieldText, 2, "a,b,", "a,b,x", -1, -1},     // an empty field goes first
      {kRowFieldText, 1, "\"a,b\",c", "z,b\"", 0, 0},  // no quoting: field 1 is b" in both
      {kRowFieldText, 1, "x," + k512 + "a", "y," + k512 + "b", 0, 0},  // cut after 512 bytes
      {kRowFieldText, 1, "x," + k511 + "a", "y," + k511 + "b", -1, -1},
      {kRowFieldText, -3, "b,a", "a,b", 1, 1},  // no comma passed: field 0
      // Whole line, number.
      {kRowLineNumber, 0, "  42abc", "43", -1, -1},
      {kRowLineNumber, 0, "-7", "+7", -1, -1},
      {kRowLineNumber, 0, "007", "7", 0, 0},
      {kRowLineNumber, 0, "-2147483648", "-1", -1, -1},
      {kRowLineNumber, 0, "2147483647", "0", 1, 1},
      {kRowLineNumber, 0, "abc", "0", 0, 0},
      // Column, number.
      {kRowColumnNumber, 1, "x5", "y10", -1, -1},
      {kRowColumnNumber, 1, "x", "y10", 0, 0},
      {kRowColumnNumber, 1, "a-3", "b2", -1, -1},
      {kRowColumnNumber, -2, "1", "2", 0, 0},
      // Field, number.
      {kRowFieldNumber, 1, "a,\"12", "b,3", 1, 1},
      {kRowFieldNumber, 1, "a, \"12", "b,3", -1, -1},
      {kRowFieldNumber, 1, "a,\"\"12", "b,-1", 1, 1},
      {kRowFieldNumber, 1, "a", "b,5", -1, -1},  // a missing field is worth 0
      {kRowFieldNumber, 0, "\"12", "3", 1, 1},
      {kRowFieldNumber, 0, "9,1", "10,0", -1, -1},
  };
  return cases;
}

TEST(Comparators, EveryRowInEveryOrderBothWays) {
  for (const PairCase& c : PairCases()) {
    SortPos = c.pos;
    for (int order = 0; order < 4; ++order) {
      int expected = (order & 2) != 0 ? c.folded : c.bytes;
      if ((order & 1) != 0) expected = -expected;
      Comparator compare = ComparatorTable[c.row][order];
      EXPECT_EQ(Sign(compare(c.a.c_str(), c.b.c_str())), expected)
          << "row " << c.row << " order " << order << " pos " << c.pos << ": " << c.a << " / "
          << c.b;
      EXPECT_EQ(Sign(compare(c.b.c_str(), c.a.c_str())), -expected)
          << "row " << c.row << " order " << order << " pos " << c.pos << " swapped: " << c.a
          << " / " << c.b;
    }
  }
}

TEST(Comparators, EighteenDistinctRoutinesNumberRowsIgnoreCase) {
  std::vector<Comparator> seen;
  for (int row = 0; row < kRowCount; ++row) {
    for (int order = 0; order < 4; ++order) {
      Comparator c = ComparatorTable[row][order];
      ASSERT_NE(c, nullptr);
      if (std::find(seen.begin(), seen.end(), c) == seen.end()) seen.push_back(c);
    }
    if (row >= kRowLineNumber) {
      EXPECT_EQ(ComparatorTable[row][2], ComparatorTable[row][0]);
      EXPECT_EQ(ComparatorTable[row][3], ComparatorTable[row][1]);
    }
  }
  EXPECT_EQ(seen.size(), 18u);
}

TEST(Comparators, FoldedResultIsTheFoldedDifference) {
  EXPECT_EQ(CompareFolded("a_", "ab"), 0x5F - 0x42);
  EXPECT_EQ(CompareFolded("\xFF", "a"), 0xFF - 0x41);
  EXPECT_EQ(CompareFolded("", "z"), -0x5A);
  EXPECT_EQ(CompareBytes("\xFF", "a"), 1);
  EXPECT_EQ(CompareBytes("", "\x01"), -1);
}

TEST(NumberValues, WhiteSpaceSignDigitsAndWrap) {
  struct {
    const char* text;
    std::int32_t value;
  } const cases[] = {
      {"  42abc", 42},
      {"+7", 7},
      {"-7", -7},
      {"abc", 0},
      {"", 0},
      {"+-5", 0},
      {"- 5", 0},
      {"4294967297", 1},
      {"2147483648", INT32_MIN},
      {"-2147483648", INT32_MIN},
      {"2147483647", INT32_MAX},
      {"99999999999", static_cast<std::int32_t>(99999999999ull % 4294967296ull)},
      {"-4294967295", 1},
      {"\t\n\v\f\r 9", 9},
      {"\0349", 0},  // 0x1C, 9: only 0x09..0x0D and the space are white space
      {"\2409", 0},  // 0xA0, 9
      {"007", 7},
      {"12,5", 12},
  };
  for (const auto& c : cases) EXPECT_EQ(NumberValue(c.text), c.value) << c.text;
}

TEST(NumberValues, OrderOverTheWhole32BitRange) {
  ScopedFakePlatform fake;
  const char* lines[] = {"2147483647", "-1", "0", "-2147483648"};
  char* table[4];
  for (int i = 0; i < 4; ++i) table[i] = const_cast<char*>(lines[i]);
  SortLines(table, 4, 0, 0, kKeyColumn | kKeyNumber);
  EXPECT_STREQ(table[0], "-2147483648");
  EXPECT_STREQ(table[1], "-1");
  EXPECT_STREQ(table[2], "0");
  EXPECT_STREQ(table[3], "2147483647");
  SortLines(table, 4, 1, 0, kKeyColumn | kKeyNumber);
  EXPECT_STREQ(table[0], "2147483647");
  EXPECT_STREQ(table[3], "-2147483648");
}

TEST(FieldLocation, FieldKeyText) {
  char buffer[kKeyBufferSize];
  struct {
    std::int32_t pos;
    const char* line;
    const char* key;  // nullptr: the line lacks the field
  } const cases[] = {
      {0, "\"a,b\",c", "\"a"}, {1, "\"a,b\",c", "b\""},
      {2, "\"a,b\",c", "c"},   {3, "\"a,b\",c", nullptr},
      {2, "a,b", nullptr},     {2, "a,b,", ""},
      {1, "a,,b", ""},         {1, "x, b", " b"},
      {-1, "a,b", "a"},        {0, "", ""},
      {1, "", nullptr},
  };
  for (const auto& c : cases) {
    SortPos = c.pos;
    const char* key = FieldKeyText(c.line, buffer);
    if (c.key == nullptr) {
      EXPECT_EQ(key, nullptr) << c.pos << " " << c.line;
    } else {
      ASSERT_EQ(key, buffer) << c.pos << " " << c.line;
      EXPECT_STREQ(key, c.key) << c.pos << " " << c.line;
    }
  }
}

TEST(FieldLocation, LongFieldCutTo512Bytes) {
  char buffer[kKeyBufferSize + 8];
  std::memset(buffer, '#', sizeof buffer);
  std::string line = "x," + std::string(600, 'q') + ",y";
  SortPos = 1;
  ASSERT_EQ(FieldKeyText(line.c_str(), buffer), buffer);
  EXPECT_EQ(std::string(buffer), std::string(512, 'q'));
  EXPECT_EQ(buffer[kKeyBufferSize], '#');  // nothing written past the key buffer
}

TEST(FieldLocation, FieldKeyNumber) {
  struct {
    std::int32_t pos;
    const char* line;
    std::int32_t value;
  } const cases[] = {
      {1, "x,\"12", 12}, {1, "x, \"12", 0}, {1, "x,\"\"12", 0}, {0, "\"12", 12},
      {2, "a,b", 0},     {1, "a,-5,7", -5}, {-4, "8,9", 8},     {1, "a, 42", 42},
  };
  for (const auto& c : cases) {
    SortPos = c.pos;
    EXPECT_EQ(FieldKeyNumber(c.line), c.value) << c.pos << " " << c.line;
  }
}

// The selection table: a string key at position 0 is the whole line; a number
// column key at 0 the line's number; a number field key is always the field.
TEST(Selection, RoutineForEverySetting) {
  for (std::int32_t keyMode = -1; keyMode <= 9; ++keyMode) {
    for (std::int32_t pos : {0, 3, -2}) {
      for (int order = 0; order < 4; ++order) {
        ComparatorRow row = kRowNone;
        if (keyMode == 1) row = pos == 0 ? kRowLineText : kRowColumnText;
        if (keyMode == 2) row = pos == 0 ? kRowLineText : kRowFieldText;
        if (keyMode == 5) row = pos == 0 ? kRowLineNumber : kRowColumnNumber;
        if (keyMode == 6) row = kRowFieldNumber;
        Comparator expected = row == kRowNone ? nullptr : ComparatorTable[row][order];
        EXPECT_EQ(SelectComparator(order, pos, keyMode), expected)
            << "keyMode " << keyMode << " pos " << pos << " order " << order;
      }
    }
  }
}

TEST(Selection, OtherKeyModesKeepTheInputOrder) {
  ScopedFakePlatform fake;
  for (std::int32_t keyMode : {0, 3, 4, 7, 8, -1}) {
    const char* lines[] = {"c", "a", "b"};
    char* table[3] = {const_cast<char*>(lines[0]), const_cast<char*>(lines[1]),
                      const_cast<char*>(lines[2])};
    SortLines(table, 3, 0, 0, keyMode);
    EXPECT_STREQ(table[0], "c") << keyMode;
    EXPECT_STREQ(table[1], "a") << keyMode;
    EXPECT_STREQ(table[2], "b") << keyMode;
  }
}

TEST(Selection, SortLinesStoresThePosition) {
  ScopedFakePlatform fake;
  char line[] = "x";
  char* table[1] = {line};
  SortLines(table, 1, 0, -7, 0);
  EXPECT_EQ(SortPos, -7);
  SortLines(table, 1, 0, 4, 2);
  EXPECT_EQ(SortPos, 4);
}

}  // namespace
}  // namespace velkar::test
