// The temporary-file guard: terminating signals during a run's replacement of a
// file, and the guard itself with several names, a signal while a file is being
// made, and the handlers put back with the last name.
#include "platform/temp_file_guard.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/engine/engine_test_support.h"

namespace velkar::test {
namespace {

class TempFileGuardTest : public EngineTest {
 protected:
  // Sorts in.txt (holding `input`) into `output`.
  void SortFile(const std::string& input, const std::string& output, std::int32_t sortMode = 0) {
    WriteAll(Path("in.txt"), input);
    RunSort(kOwner, sortMode, Path("in.txt").c_str(), output.c_str(), 0, 1);
  }
  void TearDown() override {
    EndTempFileGuards();
    EngineTest::TearDown();
  }
};

void (*HandlerOf(int signalNumber))(int) {
  struct sigaction now {};
  ::sigaction(signalNumber, nullptr, &now);
  return now.sa_handler;
}

// A signal that ends the program while the new text is being written removes the
// temporary file, and the program still ends by that signal; the old file stays.
TEST_F(TempFileGuardTest, TerminatingSignalDuringTheWriteRemovesTheTemporaryFile) {
  GTEST_FLAG_SET(death_test_style, "fast");
  for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signalNumber);
    WriteAll(Path("out.txt"), "old\n");
    WriteAll(Path("in.txt"), "b\na\n");
    fake->onWrite = [signalNumber] { ::raise(signalNumber); };
    EXPECT_EXIT(
        {
          std::signal(signalNumber, SIG_DFL);
          RunSort(kOwner, 0, Path("in.txt").c_str(), Path("out.txt").c_str(), 0, 1);
          std::exit(0);
        },
        ::testing::KilledBySignal(signalNumber), "");
    EXPECT_EQ(Entries(), (std::vector<std::string>{"in.txt", "out.txt"}));
    EXPECT_EQ(ReadAll(Path("out.txt")), "old\n");
  }
  fake->onWrite = nullptr;
}

void CallersHandler(int) {}

// The signals are taken over only while a temporary file exists, and only where
// they would end the program: an ignored signal stays ignored, a handler of the
// caller's stays, and afterwards every one is as it was.
TEST_F(TempFileGuardTest, SignalsAreTakenOverOnlyWhileTheTemporaryFileExists) {
  const int signals[] = {SIGTERM, SIGINT, SIGHUP};
  struct sigaction saved[3];
  for (int i = 0; i < 3; ++i) ::sigaction(signals[i], nullptr, &saved[i]);
  std::signal(SIGTERM, SIG_DFL);
  std::signal(SIGINT, CallersHandler);
  std::signal(SIGHUP, SIG_IGN);
  auto handlerOf = [](int signalNumber) {
    struct sigaction now {};
    ::sigaction(signalNumber, nullptr, &now);
    return now.sa_handler;
  };
  std::vector<void (*)(int)> during;
  fake->onWrite = [&] {
    for (int signalNumber : signals) during.push_back(handlerOf(signalNumber));
  };
  WriteAll(Path("out.txt"), "old\n");
  SortFile("b\na\n", Path("out.txt"));  // replaced through a temporary file
  SortFile("b\na\n", Path("new.txt"));  // a new file: none
  fake->onWrite = nullptr;
  EXPECT_EQ(RunResult, 0);
  ASSERT_EQ(during.size(), 6u);
  EXPECT_NE(during[0], SIG_DFL);
  EXPECT_EQ(during[1], &CallersHandler);
  EXPECT_EQ(during[2], SIG_IGN);
  EXPECT_EQ(during[3], SIG_DFL);
  EXPECT_EQ(during[4], &CallersHandler);
  EXPECT_EQ(during[5], SIG_IGN);
  EXPECT_EQ(handlerOf(SIGTERM), SIG_DFL);
  EXPECT_EQ(handlerOf(SIGINT), &CallersHandler);
  EXPECT_EQ(handlerOf(SIGHUP), SIG_IGN);
  for (int i = 0; i < 3; ++i) ::sigaction(signals[i], &saved[i], nullptr);
}

// Every guarded name is removed by the signal, one whose guard ended stays, and
// the program still ends by the signal.
TEST_F(TempFileGuardTest, EveryGuardedNameIsRemovedBySignal) {
  GTEST_FLAG_SET(death_test_style, "fast");
  const std::vector<std::string> names = {Path("a.tmp"), Path("b.tmp"), Path("c.tmp")};
  for (const std::string& name : names) WriteAll(name, "x");
  EXPECT_EXIT(
      {
        std::signal(SIGTERM, SIG_DFL);
        for (const std::string& name : names) GuardTempFileName(name.c_str());
        UnguardTempFile(names[1].c_str());
        ::raise(SIGTERM);
        std::exit(0);
      },
      ::testing::KilledBySignal(SIGTERM), "");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"b.tmp"}));
}

// A signal while a file is being made waits for its name, then removes it and
// ends the program.
TEST_F(TempFileGuardTest, SignalWhileTheFileIsMadeRemovesItOnceNamed) {
  GTEST_FLAG_SET(death_test_style, "fast");
  const std::string name = Path("made.tmp");
  EXPECT_EXIT(
      {
        std::signal(SIGINT, SIG_DFL);
        const int slot = ArmTempFileGuard(name.size());
        if (slot < 0) std::exit(2);
        ::raise(SIGINT);  // held: the file has no name yet
        WriteAll(name, "x");
        PublishTempFile(slot, name.c_str());
        std::exit(0);
      },
      ::testing::KilledBySignal(SIGINT), "");
  EXPECT_TRUE(Entries().empty());
}

// The handlers stay while any name is guarded and go back with the last; a name
// guarded twice takes one slot; past the last slot a name is refused.
TEST_F(TempFileGuardTest, HandlersGoBackWithTheLastGuardedName) {
  struct sigaction saved {};
  ::sigaction(SIGTERM, nullptr, &saved);
  std::signal(SIGTERM, SIG_DFL);
  const std::string a = Path("a.tmp");
  const std::string b = Path("b.tmp");
  const int slotA = GuardTempFileName(a.c_str());
  EXPECT_GE(slotA, 0);
  EXPECT_EQ(GuardTempFileName(a.c_str()), slotA);
  EXPECT_GE(GuardTempFileName(b.c_str()), 0);
  EXPECT_EQ(GuardedTempFileCount(), 2);
  EXPECT_NE(HandlerOf(SIGTERM), SIG_DFL);
  UnguardTempFile(a.c_str());
  EXPECT_NE(HandlerOf(SIGTERM), SIG_DFL);
  UnguardTempFile(b.c_str());
  EXPECT_EQ(HandlerOf(SIGTERM), SIG_DFL);
  EXPECT_EQ(GuardedTempFileCount(), 0);

  std::vector<std::string> names;
  for (int i = 0; i <= kTempFileGuardSlots; ++i) names.push_back(Path(std::to_string(i)));
  for (int i = 0; i < kTempFileGuardSlots; ++i) EXPECT_GE(GuardTempFileName(names[i].c_str()), 0);
  EXPECT_EQ(GuardTempFileName(names.back().c_str()), -1);
  EndTempFileGuards();
  EXPECT_EQ(GuardedTempFileCount(), 0);
  EXPECT_EQ(HandlerOf(SIGTERM), SIG_DFL);
  ::sigaction(SIGTERM, &saved, nullptr);
}

}  // namespace
}  // namespace velkar::test
