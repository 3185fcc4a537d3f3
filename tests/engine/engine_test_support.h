// Shared ground of the engine tests: a fresh fake platform and a temporary folder
// per test, file helpers, and a look at the boxes and the call log.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/engine_internal.h"
#include "platform/platform_fake.h"
#include "tests/temp_folder.h"

namespace velkar::test {

// The window token the tests pass as owner.
inline WindowHandle const kOwner = reinterpret_cast<WindowHandle>(0x5a17);

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline unsigned ModeOf(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

// Whether `wanted` occurs in `log` in this order (other entries may lie between).
inline bool InOrder(const std::vector<std::string>& log, const std::vector<std::string>& wanted) {
  std::size_t next = 0;
  for (const std::string& entry : log) {
    if (next < wanted.size() && entry == wanted[next]) ++next;
  }
  return next == wanted.size();
}

inline int CountOf(const std::vector<std::string>& log, const std::string& entry) {
  int n = 0;
  for (const std::string& e : log) n += e == entry;
  return n;
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.Make("velkar-engine"));
    dir_ = folder_.path();
    RunResult = 0;
    QuietFinish = 0;
  }
  void TearDown() override { QuietFinish = 0; }

  std::string Path(const std::string& name) const { return folder_.Path(name); }

  // Names of the entries in the temporary folder, to spot a temporary file left over.
  std::vector<std::string> Entries() const { return folder_.Entries(); }

  // A run from the clipboard to the clipboard; the clipboard's text afterwards.
  std::string SortClipboard(const std::string& text, std::int32_t sortMode,
                            std::int32_t sortPos = 0, std::int32_t keyMode = kKeyColumn) {
    fake->clipboardText = text;
    RunSort(kOwner, sortMode, nullptr, nullptr, sortPos, keyMode);
    return fake->clipboardText.value_or("<no text>");
  }

  // Checks that exactly one box was shown: the error box with this text.
  void ExpectOnlyError(const std::string& text) {
    ASSERT_EQ(fake->boxes.size(), 1u) << (fake->boxes.empty() ? "" : fake->boxes[0].text);
    const FakePlatform::Box& box = fake->boxes[0];
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.caption, "VELKAR-ERROR");
    EXPECT_EQ(box.style, 0x10u);
    EXPECT_EQ(box.owner, kOwner);
    EXPECT_EQ(RunResult, -1);
  }

  // Nothing of the run is left: no engine block, no heap block, clipboard closed.
  void ExpectAllReleased() {
    EXPECT_EQ(fake->EngineBlocks(), 0);
    EXPECT_EQ(fake->LiveHeap(), 0);
    EXPECT_FALSE(fake->clipboardOpen);
    EXPECT_EQ(pMem, nullptr);
    EXPECT_EQ(Base, nullptr);
    EXPECT_EQ(readbuf, nullptr);
  }

  ScopedFakePlatform fake;
  TempFolder folder_;
  std::string dir_;
};

}  // namespace velkar::test
