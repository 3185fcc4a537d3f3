// Line rules: how a text is counted and cut into lines, OutputSize, the last line
// without a line end, and the bulk scans at every alignment of the text.
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/parallel.h"
#include "engine_test_support.h"

namespace velkar::test {
namespace {

struct Cut {
  std::int64_t counted = 0;
  std::vector<std::string> lines;
  std::uint64_t outputSize = 0;
};

// Counts and cuts `bytes` (a NUL is added behind them, as the readers do).
Cut CutText(const std::string& bytes) {
  ScopedFakePlatform fake;
  std::vector<char> buffer(bytes.begin(), bytes.end());
  buffer.push_back('\0');
  Cut cut;
  cut.counted = CountLines(buffer.data());
  if (cut.counted == 0) return cut;
  EXPECT_EQ(AllocLineTable(cut.counted), 0);
  SplitLines(buffer.data(), cut.counted);
  EXPECT_EQ(LineCount, cut.counted);
  for (std::int64_t i = 0; i < LineCount; ++i) cut.lines.emplace_back(Base[i]);
  cut.outputSize = OutputSize;
  FreeLineTable();
  return cut;
}

struct LineCase {
  const char* name;
  std::string bytes;
  std::vector<std::string> lines;
};

TEST(LineRules, CutsAsTheRulesSay) {
  using std::string;
  const LineCase cases[] = {
      {"CR LF ends", "a\r\nb\r\n", {"a", "b"}},
      {"LF ends", "a\nb\n", {"a", "b"}},
      {"empty lines", "\n\nx\n", {"", "", "x"}},
      {"leading LF", "\nz\n", {"", "z"}},
      {"CR LF alone", "\r\n", {""}},
      {"only the CR before LF is cut", "a\r\r\n", {"a\r"}},
      {"CR inside stays", "a\rb\n", {"a\rb"}},
      {"NUL ends the text", string("a\n\0b\n", 5), {"a"}},
      {"NUL inside the first line", string("a\0b\nc\n", 6), {"a"}},
      {"unterminated last line kept", "a\nb", {"a", "b"}},
      {"one unterminated line", "abc", {"abc"}},
      {"unterminated before NUL", string("a\nb\0c\n", 6), {"a", "b"}},
      {"unterminated CR stays", "a\nb\r", {"a", "b\r"}},
      {"end-of-file mark alone is no line", "a\n\x1A", {"a"}},
      {"mark with text is a line", "a\n\x1A\x1A", {"a", "\x1A\x1A"}},
      {"mark after text is part of it", "a\x1A", {"a\x1A"}},
      {"mark before LF is a line", "\x1A\n", {"\x1A"}},
  };
  for (const LineCase& c : cases) {
    Cut cut = CutText(c.bytes);
    EXPECT_EQ(cut.counted, static_cast<std::int64_t>(c.lines.size())) << c.name;
    EXPECT_EQ(cut.lines, c.lines) << c.name;
  }
}

TEST(LineRules, TextsWithoutLines) {
  for (const std::string& bytes :
       {std::string(), std::string("\0\0", 2), std::string("\x1A"), std::string("\0a\n", 3)}) {
    EXPECT_EQ(CutText(bytes).counted, 0) << "size " << bytes.size();
  }
}

TEST(LineRules, OutputSizeCountsLengthPlusTwo) {
  EXPECT_EQ(CutText("a\r\nb\r\n").outputSize, 6u);
  EXPECT_EQ(CutText("\n\nx\n").outputSize, 7u);
  EXPECT_EQ(CutText("abc").outputSize, 5u);  // the unterminated line counts too
  EXPECT_EQ(CutText("a\r\r\n").outputSize, 4u);
}

// SplitLines never stores more lines than the count it is given (Base holds no more).
TEST(LineRules, SplitStopsAtTheCount) {
  ScopedFakePlatform fake;
  char text[] = "a\nb\nc\n";
  ASSERT_EQ(AllocLineTable(2), 0);
  SplitLines(text, 2);
  EXPECT_EQ(LineCount, 2);
  EXPECT_STREQ(Base[1], "b");
  FreeLineTable();
  EXPECT_EQ(fake->LiveHeap(), 0);
}

TEST(LineRules, CutsInPlaceWithoutTouchingOutsideTheText) {
  ScopedFakePlatform fake;
  char text[] = "#\nb\r\nc";
  char* start = text + 2;  // a leading byte that is not part of the text
  ASSERT_EQ(CountLines(start), 2);
  ASSERT_EQ(AllocLineTable(2), 0);
  SplitLines(start, 2);
  EXPECT_EQ(Base[0], start);
  EXPECT_EQ(Base[1], start + 3);
  EXPECT_EQ(text[0], '#');
  EXPECT_EQ(text[1], '\n');
  EXPECT_EQ(start[1], '\0');  // the CR became the NUL, the LF stays behind it
  EXPECT_EQ(start[2], '\n');
  FreeLineTable();
}

// What SplitLines left: the text's bytes (with the cuts), the lines, the sizes.
struct Split {
  std::string bytes;
  std::vector<std::string> lines;
  std::uint64_t outputSize = 0;
  bool operator==(const Split&) const = default;
};

// The line ends are found 64 aligned bytes at a time, and counted in byte lanes
// summed every 63 steps: texts starting at every offset of a step, with an LF and
// a NUL just before the start, texts of LFs only (the fullest lanes) and texts
// whose NUL falls at either side of a lane sum must count and cut as byte by byte.
// With the limit set low a text of some blocks is cut in parts: 2, 3, 7 and 16
// threads, and threads that cannot be started, must count the same and leave the
// very bytes, lines and sizes one thread leaves, also when the count given is short
// of the lines.
TEST(LineRules, CountsAndCutsAtEveryAlignment) {
  ScopedFakePlatform fake;
  std::mt19937 random(7);
  std::vector<std::string> texts = {std::string(9000, '\n'), std::string(4032, '\n') + "x",
                                    std::string(4031, 'a') + "\n\n"};
  std::string mixed(9000, 'a');
  for (char& c : mixed) c = "ab\n\r"[random() % 4];
  texts.push_back(mixed);
  mixed[5000] = '\0';
  texts.push_back(mixed);
  alignas(64) static char buffer[64 + 9100];
  for (const std::string& bytes : texts) {
    std::int64_t expected = 0;
    const std::size_t length = std::strlen(bytes.c_str());
    for (std::size_t i = 0; i < length; ++i) expected += bytes[i] == '\n' ? 1 : 0;
    if (length > 0 && bytes[length - 1] != '\n') ++expected;
    for (std::size_t offset = 0; offset < 64; ++offset) {
      std::memset(buffer, '\n', offset);
      if (offset > 1) buffer[offset - 2] = '\0';
      std::memcpy(buffer + offset, bytes.data(), bytes.size());
      buffer[offset + bytes.size()] = '\0';
      char* text = buffer + offset;
      ASSERT_EQ(CountLines(text), expected) << "offset " << offset << " size " << bytes.size();
      ASSERT_EQ(AllocLineTable(expected), 0);
      SplitLines(text, expected);
      EXPECT_EQ(LineCount, expected) << "offset " << offset;
      EXPECT_EQ(Base[0], text);
      FreeLineTable();
      if (offset % 9 != 0 && offset != 63) continue;
      const std::string& original = bytes;
      const std::size_t savedMin = ParallelMinLines;
      ParallelMinLines = 2;
      for (const std::int64_t count : {expected, expected / 2}) {
        std::vector<Split> splits;
        for (const int threads : {1, 2, 3, 7, 16, -7}) {
          EngineThreads = threads < 0 ? -threads : threads;
          ThreadStartFails = threads < 0;
          std::memcpy(text, original.data(), original.size());
          ASSERT_EQ(CountLines(text), expected) << "threads " << threads << " offset " << offset;
          if (count == 0) continue;
          ASSERT_EQ(AllocLineTable(count), 0);
          SplitLines(text, count);
          Split split{std::string(text, original.size()), {}, OutputSize};
          for (std::int64_t i = 0; i < LineCount; ++i) split.lines.emplace_back(Base[i]);
          FreeLineTable();
          splits.push_back(split);
          EXPECT_TRUE(split == splits[0])
              << "threads " << threads << " offset " << offset << " count " << count;
        }
      }
      EngineThreads = 0;
      ThreadStartFails = false;
      ParallelMinLines = savedMin;
    }
  }
}

// Large texts are cut in parts that begin where the counting pass left a mark (every
// 4032 bytes at first, further apart past 4 MB): texts of many parts, with CR LF
// pairs, empty lines, long lines and no LF on a seam, and one past 4 MB, at several
// alignments, must give at 2, 3, 7 and 16 threads, and with threads that cannot
// be started, the very bytes, lines and sizes one thread gives.
TEST(LineRules, LargeTextsCutInPartsAsInOne) {
  ScopedFakePlatform fake;
  std::mt19937 random(11);
  std::vector<std::string> texts;
  for (const char* alphabet : {"ab\n\r", "\n\r", "abcdefghij\r"}) {
    std::string text(70000, 'a');
    for (char& c : text) c = alphabet[random() % std::strlen(alphabet)];
    texts.push_back(text);
  }
  texts.push_back(texts[0] + "tail");
  std::string large(5 << 20, 'x');
  for (std::size_t i = 0; i < large.size(); i += 1 + random() % 120)
    large[i] = "\n\r\n"[random() % 3];
  texts.push_back(large);
  std::vector<char> buffer(64 + (5 << 20) + 1);
  const std::size_t savedMin = ParallelMinLines;
  ParallelMinLines = 2;
  for (const std::string& bytes : texts) {
    for (std::size_t offset : {0, 13, 63}) {
      char* text = reinterpret_cast<char*>(
          (reinterpret_cast<std::uintptr_t>(buffer.data()) + 63) / 64 * 64 + offset);
      std::vector<Split> splits;
      for (const int threads : {1, 2, 3, 7, 16, -16}) {
        EngineThreads = threads < 0 ? -threads : threads;
        ThreadStartFails = threads < 0;
        std::memcpy(text, bytes.c_str(), bytes.size() + 1);
        const std::int64_t count = CountLines(text);
        ASSERT_EQ(AllocLineTable(count), 0);
        SplitLines(text, count);
        ASSERT_EQ(LineCount, count);
        Split split{std::string(text, bytes.size()), {}, OutputSize};
        for (std::int64_t i = 0; i < LineCount; ++i) split.lines.emplace_back(Base[i]);
        FreeLineTable();
        splits.push_back(split);
        EXPECT_TRUE(split == splits[0])
            << "threads " << threads << " offset " << offset << " size " << bytes.size();
      }
    }
  }
  EngineThreads = 0;
  ThreadStartFails = false;
  ParallelMinLines = savedMin;
}

}  // namespace
}  // namespace velkar::test
