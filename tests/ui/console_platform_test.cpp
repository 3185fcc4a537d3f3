// The console backend: message boxes as lines, the clipboard's text read from a
// descriptor up to its first NUL (a non-blocking one waited for), text written to
// a descriptor, write failures; the progress line on a terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform_console.h"
#include "platform/progress_line.h"

namespace velkar {
namespace {

// A temporary file holding `bytes`, open for reading from its start.
class TempFile {
 public:
  explicit TempFile(const std::string& bytes) {
    char name[] = "/tmp/velkar-console-XXXXXX";
    fd_ = ::mkstemp(name);
    ::unlink(name);
    EXPECT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::lseek(fd_, 0, SEEK_SET);
  }
  ~TempFile() { ::close(fd_); }
  int fd() const { return fd_; }
  std::string Contents() const {
    std::string all;
    char chunk[4096];
    ::lseek(fd_, 0, SEEK_SET);
    for (ssize_t got; (got = ::read(fd_, chunk, sizeof chunk)) > 0;) all.append(chunk, got);
    return all;
  }

 private:
  int fd_ = -1;
};

// The text the clipboard hands out, or nullopt for "no text".
std::optional<std::string> ReadClipboard(ConsolePlatform& console) {
  if (!console.OpenClipboard(nullptr)) return std::nullopt;
  MemHandle block = console.GetClipboardText();
  std::optional<std::string> text;
  if (block != nullptr) {
    text = static_cast<const char*>(console.GlobalLock(block));
    console.GlobalUnlock(block);
  }
  console.CloseClipboard();
  return text;
}

// Puts `text` on the clipboard as the engine does: a block it allocated.
bool WriteClipboard(ConsolePlatform& console, const std::string& text) {
  MemHandle block = console.GlobalAlloc(text.size() + 1);
  std::memcpy(console.GlobalLock(block), text.data(), text.size());
  EXPECT_TRUE(console.OpenClipboard(nullptr));
  EXPECT_TRUE(console.EmptyClipboard());
  const bool taken = console.SetClipboardText(block);
  console.CloseClipboard();
  console.GlobalUnlock(block);
  if (!taken) console.GlobalFree(block);
  return taken;
}

TEST(ConsolePlatform, MessageBoxIsOneLineOnTheErrorStream) {
  TempFile in(""), out(""), err("");
  {
    ConsolePlatform console(in.fd(), out.fd(), err.fd());
    console.ShowMessageBox(nullptr, "Finish!", "VELKAR", kBoxOk);
    console.ShowMessageBox(nullptr, "File Open Error!\n[a b.txt]", "VELKAR-ERROR", kBoxIconError);
    console.ShowMessageBox(nullptr, "", "SortPosEdit->Text", kBoxOk);
  }
  EXPECT_EQ(err.Contents(),
            "VELKAR: Finish!\nVELKAR-ERROR: File Open Error!\n[a b.txt]\nSortPosEdit->Text: \n");
  EXPECT_EQ(out.Contents(), "");
}

TEST(ConsolePlatform, ClipboardTextIsTheInputUpToItsFirstNul) {
  struct Row {
    std::string input;
    std::optional<std::string> text;
  };
  const Row rows[] = {
      {"b\na\n", "b\na\n"},
      {std::string("a\n\0b\n", 5), "a\n"},
      {std::string("\0rest", 5), ""},  // text present, but empty
      {"", std::nullopt},              // no input, no text
      {std::string(300000, 'x') + "\n", std::string(300000, 'x') + "\n"},
  };
  for (const Row& row : rows) {
    TempFile in(row.input), out(""), err("");
    ConsolePlatform console(in.fd(), out.fd(), err.fd());
    EXPECT_EQ(ReadClipboard(console), row.text) << row.input.size();
    // Read once: asking again gives the same text.
    EXPECT_EQ(ReadClipboard(console), row.text);
  }
}

// A non-blocking input whose writer pauses: the pause is no end of the text.
TEST(ConsolePlatform, NonBlockingInputIsWaitedForToItsEnd) {
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  ASSERT_EQ(::fcntl(pipeFds[0], F_SETFL, ::fcntl(pipeFds[0], F_GETFL) | O_NONBLOCK), 0);
  const std::string first(100000, 'a'), second = "\nb\n";
  std::thread writer([&] {
    for (const std::string* part : {&first, &second}) {
      std::size_t done = 0;
      while (done < part->size()) {
        ssize_t put = ::write(pipeFds[1], part->data() + done, part->size() - done);
        if (put <= 0) break;
        done += static_cast<std::size_t>(put);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    ::close(pipeFds[1]);
  });
  TempFile out(""), err("");
  ConsolePlatform console(pipeFds[0], out.fd(), err.fd());
  EXPECT_EQ(ReadClipboard(console), first + second);
  EXPECT_FALSE(console.ClipboardTextOutOfMemory());
  writer.join();
  ::close(pipeFds[0]);
}

TEST(ConsolePlatform, WrittenTextGoesToTheOutputAndBecomesTheClipboardText) {
  TempFile in("input\n"), out(""), err("");
  ConsolePlatform console(in.fd(), out.fd(), err.fd());
  EXPECT_EQ(ReadClipboard(console), "input\n");
  EXPECT_TRUE(WriteClipboard(console, "a\nb\n"));
  EXPECT_EQ(out.Contents(), "a\nb\n");
  EXPECT_EQ(ReadClipboard(console), "a\nb\n");
  // The block is the clipboard's: one live block, its content.
  EXPECT_EQ(console.LiveBlocks(), 1);
  EXPECT_TRUE(WriteClipboard(console, "c\n"));
  EXPECT_EQ(console.LiveBlocks(), 1);
  EXPECT_EQ(out.Contents(), "a\nb\nc\n");
  EXPECT_EQ(err.Contents(), "");
}

TEST(ConsolePlatform, AFailedWriteIsAFailedHandOver) {
  TempFile in(""), err("");
  const int full = ::open("/dev/full", O_WRONLY);
  ASSERT_GE(full, 0);
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  ::close(pipeFds[0]);  // a pipe nobody reads
  std::signal(SIGPIPE, SIG_IGN);
  // What a closed standard output is held by at start-up: writes give EBADF.
  const int readOnly = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(readOnly, 0);
  for (int fd : {full, pipeFds[1], readOnly}) {
    ConsolePlatform console(in.fd(), fd, err.fd());
    EXPECT_FALSE(WriteClipboard(console, "a\n"));
    EXPECT_EQ(console.LiveBlocks(), 0);
  }
  ::close(full);
  ::close(pipeFds[1]);
  ::close(readOnly);
}

TEST(ConsolePlatform, ClipboardOpensOnceAtATimeAndOffersNoDialog) {
  TempFile in(""), out(""), err("");
  ConsolePlatform console(in.fd(), out.fd(), err.fd());
  EXPECT_TRUE(console.OpenClipboard(nullptr));
  EXPECT_FALSE(console.OpenClipboard(nullptr));
  console.CloseClipboard();
  EXPECT_EQ(console.GetClipboardText(), nullptr);  // closed
  std::string chosen;
  EXPECT_FALSE(console.ShowFileDialog(nullptr, FileDialogRequest{}, &chosen));
}

// ---- The progress line ----

std::int64_t fakeNow = 0;
std::int64_t FakeClock() { return fakeNow; }

// What a run's reports draw on a terminal, and when: nothing in the first second
// or where the stream is no terminal, then at most every 100 ms, each drawing
// "\r", the text and erase-to-end; erased before a message and at the end.
TEST(ProgressLine, DrawnAfterASecondAtMostTenTimesASecondAndErased) {
  using P = RunPhase;
  struct Event {
    std::int64_t at;  // -1: a message; -2: the end of the run; -3: silenced
    RunProgress progress;
  };
  const std::string erase = "\r\x1b[K";
  struct Row {
    const char* what;
    bool terminal;
    std::vector<Event> events;
    std::string drawn;
  };
  const Row rows[] = {
      {"a short run draws nothing",
       true,
       {{0, {P::kRead, 0, 100}}, {500, {P::kRead, 50, 100}}, {990, {P::kSort, 9, 10}}, {-2, {}}},
       ""},
      {"no terminal, nothing ever",
       false,
       {{0, {P::kRead, 0, 100}}, {1500, {P::kRead, 50, 100}}, {-1, {}}, {-2, {}}},
       ""},
      {"a long run: drawn, limited, erased at the end",
       true,
       {{0, {P::kRead, 0, 100}},
        {1000, {P::kRead, 50, 100}},
        {1050, {P::kRead, 60, 100}},
        {1100, {P::kSort, 0, 4000000}},
        {1700, {P::kSort, 1000000, 4000000}},
        {-2, {}}},
       "\rvelkar: reading  50%  50 B of 100 B, 0:01 left\x1b[K"
       "\rvelkar: sorting   0%  0 of 4000000 lines\x1b[K"
       "\rvelkar: sorting  25%  1000000 of 4000000 lines, 0:02 left\x1b[K" +
           erase},
      {"erased before a message, not drawn again",
       true,
       {{0, {P::kWrite, 0, 3 << 20}}, {2000, {P::kWrite, 1 << 20, 3 << 20}}, {-1, {}}, {-2, {}}},
       "\rvelkar: writing  33%  1.0 MiB of 3.0 MiB, 0:04 left\x1b[K" + erase},
      {"silenced (the clipboard on the terminal): erased, then nothing",
       true,
       {{0, {P::kRead, 0, 100}},
        {1200, {P::kRead, 10, 100}},
        {-3, {}},
        {1500, {P::kSort, 1, 10}},
        {-2, {}}},
       "\rvelkar: reading  10%  10 B of 100 B, 0:11 left\x1b[K" + erase},
      {"a total not known: the amount alone",
       true,
       {{0, {P::kRead, 0, 0}}, {1200, {P::kRead, 5ull << 30, 0}}, {-2, {}}},
       "\rvelkar: reading  5.0 GiB\x1b[K" + erase},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    TempFile err("");
    {
      fakeNow = 0;
      ProgressLine line(err.fd(), row.terminal, FakeClock);
      for (const Event& event : row.events) {
        if (event.at == -1) {
          line.Erase();
        } else if (event.at == -3) {
          line.Silence();
        } else if (event.at == -2) {
          EndProgressLine();
        } else {
          fakeNow = event.at;
          line.Report(event.progress);
        }
      }
      EXPECT_EQ(err.Contents(), row.drawn);
    }
    // Nothing more when the line goes.
    EXPECT_EQ(err.Contents(), row.drawn);
  }
}

// The text: percentage, amounts in their unit (lines for the sort, bytes in binary
// units otherwise), the time left at the phase's pace once it has run half a
// second, hours when it takes that long.
TEST(ProgressLine, TextOfAReport) {
  using P = RunPhase;
  struct Row {
    RunProgress progress;
    std::int64_t elapsedMs;
    std::uint64_t doneAtStart;
    const char* text;
  };
  const Row rows[] = {
      {{P::kRead, 512, 2048}, 400, 0, "velkar: reading  25%  512 B of 2.0 KiB"},
      {{P::kRead, 512, 2048}, 600, 0, "velkar: reading  25%  512 B of 2.0 KiB, 0:02 left"},
      {{P::kMerge, 3ull << 40, 4ull << 40},
       3600000 * 3ll,
       0,
       "velkar: merging  75%  3.0 TiB of 4.0 TiB, 1:00:00 left"},
      {{P::kWrite, 600, 1000}, 1000, 500, "velkar: writing  60%  600 B of 1000 B, 0:04 left"},
      {{P::kWrite, 1000, 1000}, 1000, 0, "velkar: writing 100%  1000 B of 1000 B"},
      {{P::kSort, 7, 0}, 1000, 0, "velkar: sorting  7 lines"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ProgressLine::Text(row.progress, row.elapsedMs, row.doneAtStart), row.text);
  }
}

}  // namespace
}  // namespace velkar
