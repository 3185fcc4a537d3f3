// Whole runs: the mode check, every message of every failure path with RunResult,
// what is released and in which order, the output bytes on the clipboard and in a
// file, duplicate dropping and the "Finish!" box.
#include <cstring>
#include <string>
#include <vector>

#include "engine/messages.h"
#include "engine/parallel.h"
#include "engine_test_support.h"

namespace velkar::test {
namespace {

using Step = FakePlatform::Step;

class RunSortTest : public EngineTest {};

// ---- Mode and outcome ----

TEST_F(RunSortTest, SortModeOutOfRangeTouchesNothing) {
  for (std::int32_t mode : {8, -1, 12, 3 | 8, INT32_MIN}) {
    ScopedFakePlatform local;
    local->clipboardText = "b\na\n";
    RunResult = 0;
    RunSort(kOwner, mode, nullptr, nullptr, 0, 1);
    ASSERT_EQ(local->boxes.size(), 1u) << mode;
    EXPECT_EQ(local->boxes[0].text, "SortMode is out of Range!");
    EXPECT_EQ(local->boxes[0].caption, "VELKAR-ERROR");
    EXPECT_EQ(local->boxes[0].style, 0x10u);
    EXPECT_EQ(local->boxes[0].owner, kOwner);
    EXPECT_EQ(RunResult, -1) << mode;
    EXPECT_EQ(local->log, std::vector<std::string>{"Box:VELKAR-ERROR"});
    EXPECT_EQ(OwnerWindow, kOwner);
  }
}

TEST_F(RunSortTest, ModesWithTheDuplicateBitAreAccepted) {
  EXPECT_EQ(SortClipboard("b\na\n", 4), "a\nb\n");
  EXPECT_EQ(RunResult, 0);
  EXPECT_EQ(SortClipboard("a\nb\n", 7), "b\na\n");
  EXPECT_EQ(RunResult, 0);
}

TEST_F(RunSortTest, SuccessShowsFinishWithTheResultAlreadyOnTheClipboard) {
  std::optional<std::string> atBox;
  bool openAtBox = true;
  fake->onBox = [&](const FakePlatform::Box&) {
    atBox = fake->clipboardText;
    openAtBox = fake->clipboardOpen;
  };
  EXPECT_EQ(SortClipboard("b\na\n", 0), "a\nb\n");
  ASSERT_EQ(fake->boxes.size(), 1u);
  EXPECT_EQ(fake->boxes[0].text, "Finish!");
  EXPECT_EQ(fake->boxes[0].caption, "VELKAR");
  EXPECT_EQ(fake->boxes[0].style, 0u);
  EXPECT_EQ(fake->boxes[0].owner, kOwner);
  EXPECT_EQ(atBox, std::optional<std::string>("a\nb\n"));
  EXPECT_FALSE(openAtBox);
  EXPECT_EQ(RunResult, 0);
  // The block now belongs to the clipboard; nothing else is left.
  ExpectAllReleased();
  EXPECT_EQ(fake->ClipboardBlocks(), 1);
  EXPECT_EQ(fake->log.back(), "Box:VELKAR");
}

TEST_F(RunSortTest, QuietFinishShowsNoBox) {
  QuietFinish = 1;
  EXPECT_EQ(SortClipboard("b\na\n", 0), "a\nb\n");
  EXPECT_TRUE(fake->boxes.empty());
  EXPECT_EQ(RunResult, 0);
}

TEST_F(RunSortTest, EveryRunSetsRunResult) {
  SortClipboard("a\n", 0);
  EXPECT_EQ(RunResult, 0);
  SortClipboard("no line end", 9);
  EXPECT_EQ(RunResult, -1);
  SortClipboard("a\n", 0);
  EXPECT_EQ(RunResult, 0);
  SortClipboard("", 0);
  EXPECT_EQ(RunResult, -1);
}

// ---- Input failures ----

TEST_F(RunSortTest, MissingFileAndDirectory) {
  RunSort(kOwner, 0, Path("missing.txt").c_str(), nullptr, 0, 1);
  ExpectOnlyError("File Open Error![" + Path("missing.txt") + "]");
  ExpectAllReleased();
  fake->boxes.clear();
  RunSort(kOwner, 0, dir_.c_str(), nullptr, 0, 1);
  ExpectOnlyError("File Open Error![" + dir_ + "]");
  fake->boxes.clear();
  RunSort(kOwner, 0, "", nullptr, 0, 1);
  ExpectOnlyError("File Open Error![]");
  EXPECT_EQ(fake->Calls(Step::OpenRead), 0);  // never opened
}

TEST_F(RunSortTest, FileThatCannotBeOpened) {
  WriteAll(Path("in.txt"), "a\n");
  fake->FailAt(Step::OpenRead);
  RunSort(kOwner, 0, Path("in.txt").c_str(), nullptr, 0, 1);
  ExpectOnlyError("File Open Error![" + Path("in.txt") + "]");
  ExpectAllReleased();
}

TEST_F(RunSortTest, NoMemoryForTheFileClosesItFirst) {
  WriteAll(Path("in.txt"), "a\n");
  fake->FailAt(Step::HeapAlloc);
  RunSort(kOwner, 0, Path("in.txt").c_str(), nullptr, 0, 1);
  ExpectOnlyError("Memory Allocate Error![readbuf]");
  EXPECT_TRUE(InOrder(fake->log, {"OpenFileRead", "CloseFile", "Box:VELKAR-ERROR"}));
  ExpectAllReleased();
}

TEST_F(RunSortTest, ShortReadShowsBothSizesAndFreesTheBuffer) {
  WriteAll(Path("in.txt"), "0123456789");
  fake->FailAt(Step::Read);  // the fake reads half
  RunSort(kOwner, 0, Path("in.txt").c_str(), nullptr, 0, 1);
  ExpectOnlyError("Read Error!(statbuf.st_size=[10], readsize=[5])");
  EXPECT_TRUE(InOrder(fake->log, {"ReadFile", "CloseFile", "Box:VELKAR-ERROR", "HeapFree"}));
  ExpectAllReleased();
}

TEST_F(RunSortTest, ClipboardThatCannotBeOpened) {
  fake->clipboardText = "a\n";
  fake->FailAt(Step::ClipOpen);
  RunSort(kOwner, 0, nullptr, nullptr, 0, 1);
  ExpectOnlyError("ClipBoard Open Error!");
  EXPECT_EQ(CountOf(fake->log, "CloseClipboard"), 0);
  ExpectAllReleased();
}

TEST_F(RunSortTest, ClipboardWithoutTextIsClosedAfterTheBox) {
  fake->clipboardText.reset();
  RunSort(kOwner, 0, nullptr, nullptr, 0, 1);
  ExpectOnlyError("No Text in ClipBoard!");
  EXPECT_TRUE(fake->boxes[0].clipboardOpen);
  EXPECT_TRUE(InOrder(fake->log, {"Box:VELKAR-ERROR", "CloseClipboard"}));
  ExpectAllReleased();
}

// A text that was there but did not fit in memory is the input step's memory
// failure, not "no text".
TEST_F(RunSortTest, ClipboardTextWithoutMemoryForItIsTheMemoryFailure) {
  fake->clipboardText.reset();
  fake->clipboardOutOfMemory = true;
  RunSort(kOwner, 0, nullptr, nullptr, 0, 1);
  ExpectOnlyError("Memory Allocate Error![readbuf]");
  EXPECT_TRUE(fake->boxes[0].clipboardOpen);
  EXPECT_TRUE(InOrder(fake->log, {"Box:VELKAR-ERROR", "CloseClipboard"}));
  ExpectAllReleased();
}

// A clipboard block that cannot be locked is reported as no text: its text cannot
// be reached, and nothing is read through it.
TEST_F(RunSortTest, ClipboardBlockThatCannotBeLocked) {
  fake->clipboardText = "b\na\n";
  fake->FailAt(Step::ClipLock);
  RunSort(kOwner, 0, nullptr, nullptr, 0, 1);
  ExpectOnlyError("No Text in ClipBoard!");
  EXPECT_TRUE(fake->boxes[0].clipboardOpen);
  EXPECT_EQ(CountOf(fake->log, "HeapAlloc"), 0);
  EXPECT_EQ(fake->clipboardText, std::optional<std::string>("b\na\n"));
  ExpectAllReleased();
}

TEST_F(RunSortTest, NoMemoryForTheClipboardCopy) {
  fake->clipboardText = "a\n";
  fake->FailAt(Step::HeapAlloc);
  RunSort(kOwner, 0, nullptr, nullptr, 0, 1);
  ExpectOnlyError("Memory Allocate Error![readbuf]");
  EXPECT_TRUE(fake->boxes[0].clipboardOpen);
  EXPECT_TRUE(
      InOrder(fake->log, {"GlobalLock", "GlobalUnlock", "Box:VELKAR-ERROR", "CloseClipboard"}));
  EXPECT_EQ(fake->clipboardText, std::optional<std::string>("a\n"));  // unchanged
  ExpectAllReleased();
}

TEST_F(RunSortTest, NoLineReleasesTheText) {
  for (const std::string& text : {std::string(""), std::string("\x1A")}) {
    ScopedFakePlatform local;
    local->clipboardText = text;
    RunSort(kOwner, 0, nullptr, nullptr, 0, 1);
    ASSERT_EQ(local->boxes.size(), 1u);
    EXPECT_EQ(local->boxes[0].text, "No Line!");
    EXPECT_EQ(local->boxes[0].caption, "VELKAR-ERROR");
    EXPECT_EQ(RunResult, -1);
    EXPECT_TRUE(InOrder(local->log, {"Box:VELKAR-ERROR", "HeapFree"}));
    EXPECT_EQ(local->LiveHeap(), 0);
  }
  // From a file: an empty file and one that is only NULs.
  WriteAll(Path("empty.txt"), "");
  WriteAll(Path("nuls.txt"), std::string("\0\0\0", 3));
  for (const char* name : {"empty.txt", "nuls.txt"}) {
    fake->boxes.clear();
    RunSort(kOwner, 0, Path(name).c_str(), Path("out.txt").c_str(), 0, 1);
    ExpectOnlyError("No Line!");
  }
  EXPECT_FALSE(std::filesystem::exists(Path("out.txt")));
  ExpectAllReleased();
}

TEST_F(RunSortTest, NoMemoryForTheLineTable) {
  WriteAll(Path("in.txt"), "a\n");
  fake->FailAt(Step::HeapAlloc, 2);
  RunSort(kOwner, 0, Path("in.txt").c_str(), nullptr, 0, 1);
  ExpectOnlyError("Memory Allocate Error!(Base)");
  EXPECT_TRUE(InOrder(fake->log, {"HeapAlloc", "HeapAlloc", "Box:VELKAR-ERROR", "HeapFree"}));
  EXPECT_EQ(CountOf(fake->log, "HeapFree"), 1);
  ExpectAllReleased();
}

// ---- Output block ----

TEST_F(RunSortTest, NoOutputBlockReleasesTextThenTable) {
  fake->clipboardText = "b\na\n";
  fake->FailAt(Step::GlobalAlloc);
  RunSort(kOwner, 0, nullptr, nullptr, 0, 1);
  ExpectOnlyError("Memory Allocate Error![hMem]");
  EXPECT_TRUE(InOrder(fake->log, {"GlobalAlloc", "Box:VELKAR-ERROR", "HeapFree", "HeapFree"}));
  EXPECT_EQ(CountOf(fake->log, "GlobalFree"), 0);
  EXPECT_EQ(fake->clipboardText, std::optional<std::string>("b\na\n"));
  ExpectAllReleased();
}

TEST_F(RunSortTest, OutputBlockThatCannotBeLockedIsFreed) {
  fake->clipboardText = "b\na\n";
  fake->FailAt(Step::GlobalLock);  // the clipboard's own block is counted apart
  RunSort(kOwner, 0, nullptr, nullptr, 0, 1);
  ExpectOnlyError("Memory Allocate Error![hMem]");
  EXPECT_TRUE(InOrder(fake->log, {"GlobalAlloc", "GlobalLock", "Box:VELKAR-ERROR", "GlobalUnlock",
                                  "GlobalFree", "HeapFree", "HeapFree"}));
  ExpectAllReleased();
}

TEST_F(RunSortTest, BuildOutputWritesLinesWithLfAndZeroesTheRest) {
  char text[] = "bb\r\nA\nA\n\n";
  ASSERT_EQ(AllocLineTable(4), 0);
  SplitLines(text, 4);
  ASSERT_EQ(OutputSize, 12u);
  ASSERT_EQ(AllocOutputBlock(), 0);
  EXPECT_EQ(fake->GlobalSize(fake->GlobalHandle(pMem)), 13u);
  BuildOutput(4);
  EXPECT_EQ(std::string(pMem, 13), std::string("bb\nA\n\n\0\0\0\0\0\0\0", 13));
  FreeOutputBlock();
  FreeLineTable();
  EXPECT_EQ(fake->EngineBlocks(), 0);
  EXPECT_EQ(fake->LiveHeap(), 0);
}

// From ParallelMinLines lines on the table is assembled in two halves, the second
// on another thread and backward from the block's end. Each table here is cut after
// its second line: a duplicate pair straddling the cut (with and without case),
// drops inside the second half (which then moves down), a kept CR, an empty line.
// Both line ends, two threads, no thread and one thread must give the one text, the
// block zero behind it, and the sizes of what was written.
TEST_F(RunSortTest, AssemblyAcrossTheHalvesOfTheTable) {
  struct Row {
    const char* text;
    std::int32_t sortMode;
    const char* lf;
  };
  const Row rows[] = {
      {"x\nA\na\nc\n", 4, "x\nA\na\nc\n"},
      {"x\nA\na\nc\n", 6, "x\nA\nc\n"},
      {"x\na\na\nc\n", 4, "x\na\nc\n"},
      {"x\nA\na\nc\nc\nC\n", 6, "x\nA\nc\n"},
      {"x\nA\na\nc\nc\nC\n", 4, "x\nA\na\nc\nC\n"},
      {"a\na\na\na\na\n", 5, "a\n"},
      {"\n\nd\r\r\n\n\n", 4, "\nd\r\n\n"},
      {"p\nq\r\nr\rs\n", 0, "p\nq\nr\rs\n"},
  };
  struct Mode {
    int threads;
    bool startFails;
  };
  const std::size_t savedMin = ParallelMinLines;
  ParallelMinLines = 2;
  for (const Row& row : rows) {
    for (const Mode mode : {Mode{2, false}, Mode{2, true}, Mode{1, false}}) {
      for (LineEnds ends : {LineEnds::kLf, LineEnds::kCrLf}) {
        EngineThreads = mode.threads;
        ThreadStartFails = mode.startFails;
        std::string expected = row.lf;
        std::uint64_t lines = 0;
        for (std::size_t p = 0; (p = expected.find('\n', p)) != std::string::npos; ++p) {
          ++lines;
          if (ends == LineEnds::kCrLf) expected.insert(p++, 1, '\r');
        }
        std::string text = row.text;
        const std::int64_t count = CountLines(text.data());
        ASSERT_EQ(AllocLineTable(count), 0);
        SplitLines(text.data(), count);
        ASSERT_EQ(AllocOutputBlock(), 0);
        BuildOutput(row.sortMode, ends);
        const std::string where = std::string(row.text) + " mode " + std::to_string(row.sortMode) +
                                  " threads " + std::to_string(mode.threads) +
                                  (mode.startFails ? " fails" : "") +
                                  (ends == LineEnds::kCrLf ? " CR LF" : " LF");
        EXPECT_EQ(std::string(pMem, OutputSize + 1),
                  expected + std::string(OutputSize + 1 - expected.size(), '\0'))
            << where;
        EXPECT_EQ(OutputLength, expected.size()) << where;
        EXPECT_EQ(OutputLines, lines) << where;
        FreeOutputBlock();
        FreeLineTable();
      }
    }
  }
  EngineThreads = 0;
  ThreadStartFails = false;
  ParallelMinLines = savedMin;
  EXPECT_EQ(fake->EngineBlocks(), 0);
  EXPECT_EQ(fake->LiveHeap(), 0);
}

TEST_F(RunSortTest, DuplicatesDroppedOnlyBetweenNeighbours) {
  // KeyMode 0 keeps the input order, so the table is exactly the input.
  EXPECT_EQ(SortClipboard("b\na\na\n", 0, 0, 0), "b\na\na\n");
  EXPECT_EQ(SortClipboard("b\na\na\n", 4, 0, 0), "b\na\n");
  EXPECT_EQ(SortClipboard("A\na\n", 4, 0, 0), "A\na\n");
  EXPECT_EQ(SortClipboard("A\na\n", 6, 0, 0), "A\n");  // case ignored: the first stays
  EXPECT_EQ(SortClipboard("a\nA\n", 6, 0, 0), "a\n");
  EXPECT_EQ(SortClipboard("x\ny\nx\n", 4, 0, 0), "x\ny\nx\n");
  EXPECT_EQ(SortClipboard("\n\n", 4, 0, 0), "\n");
  EXPECT_EQ(SortClipboard("a\r\na\n", 4, 0, 0), "a\n");  // the cut CR is no part of it
  EXPECT_EQ(SortClipboard("ab\naB\nAb\n", 7, 0, 0), "ab\n");
  // The whole line is compared, whatever the key: equal fields are not duplicates.
  EXPECT_EQ(SortClipboard("1,a\n1,b\n", 4, 0, 6), "1,a\n1,b\n");
}

TEST_F(RunSortTest, SortedAndDeduplicatedThroughARun) {
  EXPECT_EQ(SortClipboard("b\na\nb\nA\na\n", 4), "A\na\nb\n");
  EXPECT_EQ(SortClipboard("b\na\nb\nA\na\n", 6).size(), 4u);  // "a" or "A", then "b"
  EXPECT_EQ(SortClipboard("b\na\nb\nA\na\n", 5), "b\na\nA\n");
  // Input already in order or in reverse order takes the one-pass way: the
  // duplicates must still meet as neighbours and be dropped.
  EXPECT_EQ(SortClipboard("a\nb\nb\nc\n", 4), "a\nb\nc\n");
  EXPECT_EQ(SortClipboard("c\nb\nb\na\n", 4), "a\nb\nc\n");
  EXPECT_EQ(SortClipboard("a\nb\nb\nc\n", 5), "c\nb\na\n");
  EXPECT_EQ(SortClipboard("c\nB\nb\nB\na\n", 6), "a\nB\nc\n");  // "B" and "b" equal
  EXPECT_EQ(SortClipboard("a\nB\nb\nB\nc\n", 7), "c\nB\na\n");
  EXPECT_EQ(SortClipboard("x\nx\nx\n", 4), "x\n");
  // Reversed with equal number keys: equal keys in their input order.
  EXPECT_EQ(SortClipboard("9\n7\n007\n+7\n1\n", 0, 0, 5), "1\n7\n007\n+7\n9\n");
  EXPECT_EQ(SortClipboard("1\n7\n007\n+7\n9\n", 1, 0, 5), "9\n7\n007\n+7\n1\n");
  // Lines without the column key keep their places when the rest is turned round.
  EXPECT_EQ(SortClipboard("xc\ny\nxb\nz\nxa\n", 0, 1), "xa\ny\nxb\nz\nxc\n");
}

// A table long enough to be split over two threads at the default limit gives
// the same text as the reference order: both orders, duplicates dropped (on the
// clipboard and in a file), case ignored.
TEST_F(RunSortTest, LargeTableSortedOnTwoThreads) {
  std::string text;
  std::vector<std::string> lines;
  unsigned seed = 12345;
  for (int i = 0; i < 70000; ++i) {
    std::string line;
    for (int k = 0, len = 3 + static_cast<int>(seed % 9); k < len; ++k) {
      seed = seed * 1103515245u + 12345u;
      line += "abcXYZ01"[(seed >> 16) % 8];
    }
    lines.push_back(line);
    text += line + "\n";
  }
  std::vector<std::string> sorted = lines;
  std::sort(sorted.begin(), sorted.end());
  std::string ascending;
  for (const std::string& line : sorted) ascending += line + "\n";
  std::string descending;
  for (auto it = sorted.rbegin(); it != sorted.rend(); ++it) descending += *it + "\n";
  EXPECT_EQ(SortClipboard(text, 0), ascending);
  EXPECT_EQ(SortClipboard(text, 1), descending);
  // Deduplicated: every distinct line once, as the reference gives it.
  std::string unique;
  for (std::size_t i = 0; i < sorted.size(); ++i) {
    if (i == 0 || sorted[i] != sorted[i - 1]) unique += sorted[i] + "\n";
  }
  EXPECT_EQ(SortClipboard(text, 4), unique);
  // The same to a file: CR LF ends written by the assembly's two halves.
  WriteAll(Path("in.txt"), text);
  RunSort(kOwner, 4, Path("in.txt").c_str(), Path("out.txt").c_str(), 0, 1);
  std::string uniqueFile;
  for (std::size_t p = 0, lf; (lf = unique.find('\n', p)) != std::string::npos; p = lf + 1) {
    uniqueFile += unique.substr(p, lf - p) + "\r\n";
  }
  EXPECT_EQ(ReadAll(Path("out.txt")), uniqueFile);
  // Ignoring case: no two different lines of this alphabet fold alike, so the
  // folded order is one order too.
  auto folded = [](std::string line) {
    for (char& c : line) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
    return line;
  };
  std::sort(sorted.begin(), sorted.end(),
            [&](const std::string& x, const std::string& y) { return folded(x) < folded(y); });
  std::string foldedOrder;
  for (const std::string& line : sorted) foldedOrder += line + "\n";
  EXPECT_EQ(SortClipboard(text, 2), foldedOrder);
}

// ---- Output bytes ----

TEST_F(RunSortTest, ClipboardGetsLfLines) {
  EXPECT_EQ(SortClipboard("b\r\na\r\n", 0), "a\nb\n");
  EXPECT_EQ(SortClipboard("a\r\r\n", 0), "a\r\n");
  EXPECT_EQ(SortClipboard("zeta", 0), "zeta\n");  // the unterminated line kept
  EXPECT_EQ(SortClipboard("b\na", 0), "a\nb\n");
  EXPECT_EQ(SortClipboard("a\n\x1A", 0), "a\n");  // the end-of-file mark dropped
}

TEST_F(RunSortTest, FileGetsCrLfLines) {
  WriteAll(Path("in.txt"), "b\na\n");
  RunSort(kOwner, 0, Path("in.txt").c_str(), Path("out.txt").c_str(), 0, 1);
  EXPECT_EQ(RunResult, 0);
  EXPECT_EQ(ReadAll(Path("out.txt")), "a\r\nb\r\n");
  WriteAll(Path("in.txt"), "a\r\r\nb\rc\n\n");
  RunSort(kOwner, 0, Path("in.txt").c_str(), Path("out.txt").c_str(), 0, 1);
  EXPECT_EQ(ReadAll(Path("out.txt")), "\r\na\r\r\nb\rc\r\n");
  WriteAll(Path("in.txt"), "b\na");
  RunSort(kOwner, 1, Path("in.txt").c_str(), Path("out.txt").c_str(), 0, 1);
  EXPECT_EQ(ReadAll(Path("out.txt")), "b\r\na\r\n");
  // The file is written with one write call of the whole translated text.
  EXPECT_EQ(CountOf(fake->log, "WriteFile"), 3);
}

TEST_F(RunSortTest, ClipboardToFileAndFileToClipboard) {
  fake->clipboardText = "2\n10\n1\n";
  RunSort(kOwner, 0, nullptr, Path("out.txt").c_str(), 0, 5);
  EXPECT_EQ(ReadAll(Path("out.txt")), "1\r\n2\r\n10\r\n");
  EXPECT_EQ(fake->clipboardText, std::optional<std::string>("2\n10\n1\n"));  // only read
  WriteAll(Path("in.txt"), "x,3\ny,1\nz,2\n");
  RunSort(kOwner, 1, Path("in.txt").c_str(), nullptr, 1, 6);
  EXPECT_EQ(fake->clipboardText, std::optional<std::string>("x,3\nz,2\ny,1\n"));
  EXPECT_EQ(ReadAll(Path("in.txt")), "x,3\ny,1\nz,2\n");  // the input is only read
  ExpectAllReleased();
}

TEST_F(RunSortTest, KeyModeWithoutRoutineDeliversInInputOrder) {
  for (std::int32_t keyMode : {0, 3, 4, 7}) {
    EXPECT_EQ(SortClipboard("c\na\nb\n", 0, 0, keyMode), "c\na\nb\n") << keyMode;
    EXPECT_EQ(RunResult, 0);
  }
}

TEST_F(RunSortTest, StringKeyAtPositionZeroIsTheWholeLine) {
  EXPECT_EQ(SortClipboard("ab,2\nab c,1\n", 0, 0, 2), "ab c,1\nab,2\n");
  EXPECT_EQ(SortClipboard("\nb\na\n", 1, 0, 1), "b\na\n\n");  // empty line last descending
}

// ---- Clipboard delivery failures and the release order ----

TEST_F(RunSortTest, ClipboardOpenFailureOnOutput) {
  fake->clipboardText = "b\na\n";
  fake->FailAt(Step::ClipOpen, 2);
  RunSort(kOwner, 0, nullptr, nullptr, 0, 1);
  ExpectOnlyError("ClipBoard Open Error!");
  EXPECT_EQ(fake->clipboardText, std::optional<std::string>("b\na\n"));
  EXPECT_TRUE(InOrder(fake->log, {"HeapFree", "HeapFree", "OpenClipboard", "Box:VELKAR-ERROR",
                                  "GlobalUnlock", "GlobalFree"}));
  EXPECT_EQ(CountOf(fake->log, "CloseClipboard"), 1);  // only the input's
  ExpectAllReleased();
}

TEST_F(RunSortTest, ClipboardEmptyFailureClosesAfterTheBox) {
  fake->clipboardText = "b\na\n";
  fake->FailAt(Step::ClipEmpty);
  RunSort(kOwner, 0, nullptr, nullptr, 0, 1);
  ExpectOnlyError("ClipBoard Empty Error!");
  EXPECT_TRUE(fake->boxes[0].clipboardOpen);
  EXPECT_TRUE(InOrder(fake->log, {"EmptyClipboard", "Box:VELKAR-ERROR", "CloseClipboard",
                                  "GlobalUnlock", "GlobalFree"}));
  ExpectAllReleased();
}

TEST_F(RunSortTest, ClipboardSetFailureLeavesItEmpty) {
  fake->clipboardText = "b\na\n";
  fake->FailAt(Step::ClipSet);
  RunSort(kOwner, 0, nullptr, nullptr, 0, 1);
  ExpectOnlyError("ClipBoard Write Error!");
  EXPECT_TRUE(fake->boxes[0].clipboardOpen);
  EXPECT_FALSE(fake->clipboardText.has_value());
  EXPECT_TRUE(InOrder(fake->log, {"SetClipboardText", "Box:VELKAR-ERROR", "CloseClipboard",
                                  "GlobalUnlock", "GlobalFree"}));
  ExpectAllReleased();
  EXPECT_EQ(fake->ClipboardBlocks(), 0);
}

TEST_F(RunSortTest, SuccessfulRunReleasesInOrder) {
  WriteAll(Path("in.txt"), "b\na\n");
  RunSort(kOwner, 0, Path("in.txt").c_str(), Path("out.txt").c_str(), 0, 1);
  EXPECT_EQ(RunResult, 0);
  // A file is written straight from the table, which goes after the delivery.
  EXPECT_TRUE(InOrder(fake->log, {"HeapAlloc", "CloseFile", "HeapAlloc", "WriteFile", "CloseFile",
                                  "HeapFree", "HeapFree", "Box:VELKAR"}));
  EXPECT_EQ(CountOf(fake->log, "GlobalAlloc"), 0);
  ExpectAllReleased();
  EXPECT_EQ(fake->LiveBlocks(), 0);
}

TEST_F(RunSortTest, ClipboardKeepsTheBlockTheEngineGaveIt) {
  fake->clipboardText = "b\na\n";
  RunSort(kOwner, 0, nullptr, nullptr, 0, 1);
  EXPECT_EQ(fake->ClipboardBlocks(), 1);
  EXPECT_EQ(fake->EngineBlocks(), 0);
  // The engine neither frees nor unlocks the block it handed over.
  std::size_t set = 0;
  while (fake->log[set] != "SetClipboardText") ++set;
  EXPECT_EQ(
      CountOf(std::vector<std::string>(fake->log.begin() + static_cast<long>(set), fake->log.end()),
              "GlobalFree"),
      0);
  // A later run replaces it; the old block then goes with the clipboard's emptying.
  EXPECT_EQ(SortClipboard("d\nc\n", 0), "c\nd\n");
  EXPECT_EQ(fake->ClipboardBlocks(), 1);
  EXPECT_EQ(fake->EngineBlocks(), 0);
}

}  // namespace
}  // namespace velkar::test
