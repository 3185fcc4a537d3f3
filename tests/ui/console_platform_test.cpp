// The console backend: message boxes as lines, the clipboard's text read from a
// descriptor up to its first NUL (a non-blocking one waited for), text written to
// a descriptor, write failures.
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

#include "platform/platform_console.h"

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

}  // namespace
}  // namespace velkar
