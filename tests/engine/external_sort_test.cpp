// The sort beyond memory against the sort in memory: the same text under a tiny
// budget (one, two, three and a thousand runs, one merge pass or many) must give
// the same bytes for every key and order, with lines without the key in their
// places, duplicates dropped across runs, and nothing left in the temporary folder.
#include <stdlib.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "engine/messages.h"
#include "engine/parallel.h"
#include "engine/run_output.h"
#include "engine_test_support.h"

namespace velkar::test {
namespace {

using Step = FakePlatform::Step;

class BeyondMemoryTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    const char* old = std::getenv("TMPDIR");
    oldTmp_ = old != nullptr ? old : "";
    hadTmp_ = old != nullptr;
    ::setenv("TMPDIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    if (hadTmp_) {
      ::setenv("TMPDIR", oldTmp_.c_str(), 1);
    } else {
      ::unsetenv("TMPDIR");
    }
    EngineTest::TearDown();
  }

  // One run of `text` from a file to a file under `budget`; the output's bytes.
  std::string SortFileUnder(const std::string& text, std::uint64_t budget, std::int32_t sortMode,
                            std::int32_t sortPos, std::int32_t keyMode) {
    WriteAll(Path("in.txt"), text);
    fake->memoryBudget = budget;
    fake->boxes.clear();
    RunSort(kOwner, sortMode, Path("in.txt").c_str(), Path("out.txt").c_str(), sortPos, keyMode);
    EXPECT_EQ(RunResult, 0) << (fake->boxes.empty() ? "" : fake->boxes[0].text);
    return ReadAll(Path("out.txt"));
  }

  std::string oldTmp_;
  bool hadTmp_ = false;
};

// Lines with and without keys: numbers, fields that may be missing, short lines
// without the column, letters in both cases so that -i finds equal lines, CR LF
// and LF ends, and duplicates.
std::string MixedText(std::mt19937& random, int lines, bool lastWithoutLf) {
  static const char* const words[] = {"apple", "Apple", "APPLE",        "b",   "",   "42", "-7",
                                      " 13x",  "zeta",  "\xE3\x81\x82", "a,b", "q,,"};
  std::string text;
  for (int i = 0; i < lines; ++i) {
    std::string line = words[random() % std::size(words)];
    if (random() % 3 != 0) line += "," + std::string(words[random() % std::size(words)]);
    if (random() % 4 == 0) line += "," + std::to_string(static_cast<int>(random() % 200) - 100);
    text += line + (random() % 5 == 0 ? "\r\n" : "\n");
  }
  if (lastWithoutLf) text += "tail,7";
  return text;
}

// Where two outputs first differ (npos: nowhere), so that a failure names a place
// rather than printing texts of thousands of lines.
std::size_t FirstDifference(const std::string& a, const std::string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return i;
  }
  return a.size() == b.size() ? std::string::npos : n;
}

// The lines of a text in byte order, to compare two texts as sets of lines.
std::vector<std::string> SortedLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t p = 0;
  for (std::size_t lf; (lf = text.find('\n', p)) != std::string::npos; p = lf + 1) {
    lines.push_back(text.substr(p, lf - p));
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

struct KeyCase {
  std::int32_t sortPos;
  std::int32_t keyMode;
  const char* name;
};
const KeyCase kKeys[] = {
    {0, kKeyColumn, "whole line"},
    {2, kKeyColumn, "column 3"},
    {1, kKeyField, "field 2"},
    {0, kKeyColumn | kKeyNumber, "number at the start"},
    {3, kKeyColumn | kKeyNumber, "number at column 4"},
    {2, kKeyField | kKeyNumber, "number in field 3"},
    {0, 0, "no key: the text's order"},
};

// Every key and order, under budgets that make one piece (too many lines for the
// table), a few pieces, and about a thousand with merges in several passes.
TEST_F(BeyondMemoryTest, SameBytesAsInMemoryForEveryKeyOrderAndRunCount) {
  std::mt19937 random(99);
  const std::string text = MixedText(random, 3000, true);
  struct Budget {
    std::uint64_t bytes;
    std::uint64_t minRuns;
    std::uint64_t minPasses;  // merge passes, the one into the output included
  };
  // A piece takes half the budget and at most a line per 40 bytes of the other half;
  // the tiniest budget gives readers for two runs at a time.
  const Budget budgets[] = {{2 * text.size() + 100, 1, 1},
                            {text.size() + 200, 2, 1},
                            {text.size() / 2 + 200, 3, 1},
                            {120, 900, 5}};
  for (const Budget& budget : budgets) {
    for (const KeyCase& key : kKeys) {
      for (std::int32_t mode = 0; mode < 8; ++mode) {
        const std::string where = key.name + std::string(", mode ") + std::to_string(mode) +
                                  ", budget " + std::to_string(budget.bytes);
        const std::string inMemory =
            SortFileUnder(text, std::uint64_t{1} << 40, mode, key.sortPos, key.keyMode);
        const std::string beyond =
            SortFileUnder(text, budget.bytes, mode, key.sortPos, key.keyMode);
        EXPECT_EQ(FirstDifference(beyond, inMemory), std::string::npos) << where;
        EXPECT_GE(LastBeyondMemory.runs, budget.minRuns) << where;
        EXPECT_GE(LastBeyondMemory.passes, budget.minPasses) << where;
        EXPECT_EQ(fake->OpenStores(), 0) << where;
        ExpectAllReleased();
      }
    }
  }
  EXPECT_EQ(Entries(), (std::vector<std::string>{"in.txt", "out.txt"}));
}

// A piece ends in the middle of a line only in the buffer: the line is carried
// into the next piece whole; a line longer than a piece grows the buffer.
TEST_F(BeyondMemoryTest, LinesLongerThanAPieceAndPiecesCutInsideLines) {
  std::string text;
  for (int i = 0; i < 200; ++i) {
    text +=
        std::string(static_cast<std::size_t>(1 + (i * 37) % 300), static_cast<char>('a' + i % 26)) +
        "\n";
  }
  text += std::string(5000, 'L') + "\n" + "short\n";
  for (std::uint64_t budget : {std::uint64_t{256}, std::uint64_t{1000}, std::uint64_t{4096}}) {
    for (std::int32_t mode : {0, 1, 4, 6}) {
      const std::string inMemory = SortFileUnder(text, std::uint64_t{1} << 40, mode, 0, 1);
      EXPECT_EQ(FirstDifference(SortFileUnder(text, budget, mode, 0, 1), inMemory),
                std::string::npos)
          << budget << " " << mode;
      ExpectAllReleased();
    }
  }
}

// Duplicates of one line spread over every run: -u keeps one, -u -i one of each
// group that differs only in case, across the runs' seams.
TEST_F(BeyondMemoryTest, DuplicatesStraddlingRunsAreDroppedByTheWholeLine) {
  std::string text;
  for (int i = 0; i < 400; ++i) text += i % 2 ? "same\n" : (i % 3 ? "Same\n" : "other\n");
  EXPECT_EQ(SortFileUnder(text, 200, kSortUnique, 0, 1), "Same\r\nother\r\nsame\r\n");
  // Of lines equal but for case, the one that came first stays.
  EXPECT_EQ(SortFileUnder(text, 200, kSortUnique | kSortIgnoreCase, 0, 1), "other\r\nsame\r\n");
  EXPECT_GT(LastBeyondMemory.runs, 10u);
}

// The clipboard beyond memory: read from its block or in parts; written in parts,
// or into a block that must fit the budget (else the memory message, nothing lost).
TEST_F(BeyondMemoryTest, ClipboardInAndOut) {
  std::mt19937 random(5);
  const std::string text = MixedText(random, 500, false);
  fake->clipboardText = text;
  fake->memoryBudget = std::uint64_t{1} << 40;
  RunSort(kOwner, kSortDescending, nullptr, nullptr, 0, kKeyColumn);
  const std::string inMemory = fake->clipboardText.value_or("<none>");
  for (bool inParts : {false, true}) {
    fake->clipboardInParts = inParts;
    fake->clipboardText = text;
    fake->memoryBudget = 4 * text.size();
    RunSort(kOwner, kSortDescending, nullptr, nullptr, 0, kKeyColumn);
    EXPECT_EQ(fake->clipboardText.value_or("<none>"), inMemory) << inParts;
    EXPECT_GT(LastBeyondMemory.runs, 0u);
    ExpectAllReleased();
    // A block that does not fit beside the merge.
    fake->clipboardText = text;
    fake->memoryBudget = 600;
    fake->boxes.clear();
    RunSort(kOwner, 0, nullptr, nullptr, 0, kKeyColumn);
    if (inParts) {
      EXPECT_EQ(RunResult, 0);
    } else {
      ExpectOnlyError("Memory Allocate Error![hMem]");
      EXPECT_EQ(fake->clipboardText.value_or("<none>"), text);
    }
    ExpectAllReleased();
  }
}

// The sweep beyond memory: a clean run of each kind (file or clipboard in parts to
// an existing file, a file to the clipboard in parts), then the run again with each
// call of each step failing, once and from then on. Every fault ends in exactly one
// error box from the run's own set of messages, or in full success; the old output
// and the clipboard's text are kept on failure, and nothing is left open, allocated
// or in the folders. The store's own steps give the messages that name its folder.
TEST_F(BeyondMemoryTest, EveryFailureOfEveryStepBeyondMemory) {
  std::mt19937 random(3);
  const std::string text = MixedText(random, 300, true);
  const std::string old = "old\r\n";
  struct Kind {
    bool fileIn;
    bool fileOut;
    const char* name;
  };
  const Kind kinds[] = {{true, true, "file to file"},
                        {false, true, "clipboard in parts to file"},
                        {true, false, "file to clipboard in parts"}};
  auto run = [&](const Kind& k, FakePlatform& f) {
    WriteAll(Path("in.txt"), text);
    WriteAll(Path("out.txt"), old);
    f.memoryBudget = 400;
    f.clipboardInParts = true;
    f.clipboardText = k.fileIn ? std::string("clipboard before") : text;
    SetCurrentPlatform(&f);
    RunResult = 99;
    RunSort(kOwner, 0, k.fileIn ? Path("in.txt").c_str() : nullptr,
            k.fileOut ? Path("out.txt").c_str() : nullptr, 1, kKeyField);
  };
  const std::set<std::string> messages = {
      "Temporary File Create Error![/fake/tmp]",
      "Temporary File Write Error![" + dir_ + "]",
      "Temporary File Read Error![" + dir_ + "]",
      "Memory Allocate Error![readbuf]",
      "Memory Allocate Error!(Base)",
      "File Open Error![" + Path("in.txt") + "]",
      "File Open Error!\n[" + Path("out.txt") + "]",
      "No Text in ClipBoard!",
      "ClipBoard Open Error!",
      "ClipBoard Empty Error!",
      "ClipBoard Write Error!",
  };
  // The runs and the output written behind, on a thread of their own, however
  // small the parts; the same results are wanted as from one thread.
  const std::uint64_t savedMinPart = WriteBehind::minPart;
  WriteBehind::minPart = 0;
  EngineThreads = 2;
  int faults = 0;
  for (const Kind& k : kinds) {
    SCOPED_TRACE(k.name);
    FakePlatform clean;
    run(k, clean);
    SetCurrentPlatform(fake.operator->());
    ASSERT_EQ(RunResult, 0);
    const std::string wanted = k.fileOut ? ReadAll(Path("out.txt")) : *clean.clipboardText;
    ASSERT_GT(clean.Calls(Step::StoreWrite), 2);
    for (int st = 0; st < static_cast<int>(Step::kCount); ++st) {
      const auto step = static_cast<Step>(st);
      for (int nth = 1; nth <= clean.Calls(step); ++nth) {
        for (bool lasting : {false, true}) {
          FakePlatform f;
          if (lasting) {
            f.FailFrom(step, nth);
          } else {
            f.FailAt(step, nth);
          }
          run(k, f);
          const std::string where = "step " + std::to_string(st) + " call " + std::to_string(nth) +
                                    (lasting ? " on" : " once");
          SetCurrentPlatform(fake.operator->());
          ++faults;
          EXPECT_EQ(f.OpenStores(), 0) << where;
          EXPECT_EQ(f.LiveHeap(), 0) << where;
          EXPECT_EQ(f.EngineBlocks(), 0) << where;
          EXPECT_FALSE(f.clipboardOpen) << where;
          EXPECT_EQ(Base, nullptr) << where;
          EXPECT_EQ(Entries(), (std::vector<std::string>{"in.txt", "out.txt"})) << where;
          if (RunResult == 0) {
            const std::string got = k.fileOut ? ReadAll(Path("out.txt")) : *f.clipboardText;
            // Without room for its work array a piece is sorted in place, which
            // gives the key order but not the places of lines without the key.
            if (step == Step::HeapAlloc) {
              EXPECT_EQ(SortedLines(got), SortedLines(wanted)) << where;
            } else {
              EXPECT_TRUE(got == wanted) << where;
            }
            continue;
          }
          ASSERT_EQ(RunResult, -1) << where;
          ASSERT_EQ(f.boxes.size(), 1u) << where;
          EXPECT_EQ(f.boxes[0].caption, "VELKAR-ERROR") << where;
          // A short read names how far the file was read, wherever that was.
          const std::string shortRead =
              "Read Error!(statbuf.st_size=[" + std::to_string(text.size()) + "], readsize=[";
          // A failed write counts the whole text as LF text, however much of it
          // was written.
          const std::string failedWrite =
              "Write Error!(lstrlen(pMem)=[" +
              std::to_string(wanted.size() - static_cast<std::size_t>(
                                                 std::count(wanted.begin(), wanted.end(), '\n'))) +
              "], writesize=[";
          EXPECT_TRUE(messages.count(f.boxes[0].text) || f.boxes[0].text.rfind(shortRead, 0) == 0 ||
                      (k.fileOut && f.boxes[0].text.rfind(failedWrite, 0) == 0))
              << where << ": " << f.boxes[0].text;
          // The old file stays whatever failed (a temporary file replaces it only
          // on success). A clipboard taken in parts (standard output) is emptied
          // when the merge begins and cannot be taken back: it holds its old text
          // or none, never a part of the new one.
          if (k.fileOut) {
            EXPECT_EQ(ReadAll(Path("out.txt")), old) << where;
          } else {
            EXPECT_TRUE(!f.clipboardText ||
                        *f.clipboardText == (k.fileIn ? std::string("clipboard before") : text))
                << where;
          }
        }
      }
    }
  }
  EngineThreads = 0;
  WriteBehind::minPart = savedMinPart;
  EXPECT_GT(faults, 100);
}

// Every thread count gives the same bytes beyond memory as in memory, the runs
// and the output written behind from two threads on.
TEST_F(BeyondMemoryTest, EveryThreadCountGivesTheSameBytes) {
  std::mt19937 random(11);
  const std::string text = MixedText(random, 2000, true);
  const std::size_t savedMin = ParallelMinLines;
  const std::uint64_t savedMinPart = WriteBehind::minPart;
  ParallelMinLines = 2;
  WriteBehind::minPart = 0;
  const std::string wanted = SortFileUnder(text, std::uint64_t{1} << 40, 2, 1, kKeyField);
  for (int threads : {1, 2, 3, 7, 16}) {
    EngineThreads = threads;
    EXPECT_EQ(FirstDifference(SortFileUnder(text, 900, 2, 1, kKeyField), wanted), std::string::npos)
        << threads;
    EXPECT_EQ(FirstDifference(SortFileUnder(text, std::uint64_t{1} << 40, 2, 1, kKeyField), wanted),
              std::string::npos)
        << threads;
  }
  EngineThreads = 0;
  ParallelMinLines = savedMin;
  WriteBehind::minPart = savedMinPart;
}

}  // namespace
}  // namespace velkar::test
