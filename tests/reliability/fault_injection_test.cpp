// The fault sweep: for every kind of input and output, a clean run is made first,
// then the run again with each call of each platform step failing, once and from
// then on. Every fault must end in exactly one right box, or in a full recovery, with
// everything released in order and nothing of the user's lost.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/engine_internal.h"
#include "platform/platform_fake.h"
#include "tests/temp_folder.h"

namespace velkar {
namespace {

using Step = FakePlatform::Step;

WindowHandle const kOwner = reinterpret_cast<WindowHandle>(0x0fa1);

// The run's input (three lines, one with CR LF) and what it sorts to, ascending,
// under every key below.
const std::string kInput = "2,b\r\n1,a\n3,c\n";
const std::string kSortedLf = "1,a\n2,b\n3,c\n";
const std::string kSortedCrLf = "1,a\r\n2,b\r\n3,c\r\n";

// The whole line, and two keys that the sort handles through a work array of its
// own (whose allocation can fail too).
struct Key {
  std::int32_t sortPos;
  std::int32_t keyMode;
  const char* name;
};
const Key kKeys[] = {
    {0, kKeyColumn, "whole line"},
    {0, kKeyField | kKeyNumber, "number in field 1"},
    {1, kKeyField, "text of field 2"},
};
const std::string kOldOutput = "old content\r\nkept\r\n";

const char* StepName(Step step) {
  static const char* const names[] = {
      "HeapAlloc", "GlobalAlloc", "GlobalLock", "ClipOpen",  "ClipGet",
      "ClipLock",  "ClipEmpty",   "ClipSet",    "QueryFile", "OpenRead",
      "Read",      "OpenWrite",   "CreateTemp", "Write",     "Flush",
      "Close",     "Rename",      "CanWrite",   "Reserve",   "SetLength",
      "SetOwner",  "StoreCreate", "StoreWrite", "StoreRead", "ClipPart"};
  int i = static_cast<int>(step);
  return i < static_cast<int>(std::size(names)) ? names[i] : "Step?";
}

// The fake, with each heap release named after what the engine was releasing.
class NamingFake : public FakePlatform {
 public:
  void HeapFree(void* p) override {
    FakePlatform::HeapFree(p);
    if (p == nullptr) return;
    if (p == readbuf) {
      log.emplace_back("free:readbuf");
    } else if (p == static_cast<void*>(Base)) {
      log.emplace_back("free:Base");
    } else {
      log.emplace_back("free:other");
    }
  }
};

enum class In { kFile, kClipboard };
// kExistingInPlace: an existing file beside which no temporary file can be made
// (the folder is full or may not be written), so that it is written in place.
enum class Out { kNewFile, kExistingFile, kExistingInPlace, kSameFile, kClipboard };

struct Kind {
  In in;
  Out out;
  const char* name;
};

const Kind kKinds[] = {
    {In::kFile, Out::kNewFile, "file to new file"},
    {In::kFile, Out::kExistingFile, "file to existing file"},
    {In::kFile, Out::kExistingInPlace, "file to existing file, in place"},
    {In::kFile, Out::kSameFile, "file onto itself"},
    {In::kFile, Out::kClipboard, "file to clipboard"},
    {In::kClipboard, Out::kNewFile, "clipboard to new file"},
    {In::kClipboard, Out::kExistingFile, "clipboard to existing file"},
    {In::kClipboard, Out::kClipboard, "clipboard to clipboard"},
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// What the nth call of a step did in the clean run, and so what its failure may give.
struct Role {
  bool mayRecover = false;            // the run can still succeed without it
  std::vector<std::string> messages;  // the boxes its failure may show
};

// One fault: a step failing at its nth call, once or from then on.
struct Fault {
  Step step;
  int nth;
  bool lasting;
};

class FaultSweep : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.Make("velkar-faults"));
    dir_ = folder_.path();
    in_ = folder_.Path("in.txt");
  }
  void TearDown() override {
    SetCurrentPlatform(nullptr);
    QuietFinish = 0;
  }

  std::string OutName(const Kind& k) const {
    if (k.out == Out::kSameFile) return in_;
    if (k.out == Out::kClipboard) return std::string();
    return dir_ + "/out.txt";
  }

  // Lays the files out afresh and makes one run on `fake`.
  void Run(const Kind& k, NamingFake& fake, const Fault* fault) {
    std::error_code ignored;
    for (const auto& e : std::filesystem::directory_iterator(dir_)) {
      std::filesystem::remove(e.path(), ignored);
    }
    if (k.in == In::kFile) WriteAll(in_, kInput);
    if (k.out == Out::kExistingFile || k.out == Out::kExistingInPlace) {
      WriteAll(dir_ + "/out.txt", kOldOutput);
    }
    if (k.out == Out::kExistingInPlace) fake.FailFrom(Step::CreateTemp);
    fake.clipboardText = k.in == In::kClipboard ? kInput : std::string("clipboard before");
    if (fault != nullptr) {
      if (fault->lasting) {
        fake.FailFrom(fault->step, fault->nth);
      } else {
        fake.FailAt(fault->step, fault->nth);
      }
    }
    SetCurrentPlatform(&fake);
    RunResult = 99;
    std::string out = OutName(k);
    RunSort(kOwner, 0, k.in == In::kFile ? in_.c_str() : nullptr,
            out.empty() ? nullptr : out.c_str(), key_.sortPos, key_.keyMode);
    SetCurrentPlatform(nullptr);
  }

  std::set<std::string> Entries() const {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_)) {
      names.insert(e.path().filename().string());
    }
    return names;
  }

  // The roles of every call of every step in the clean run, read from its log.
  std::vector<std::vector<Role>> Roles(const Kind& k, const NamingFake& clean) const {
    std::vector<std::vector<Role>> roles(static_cast<int>(Step::kCount));
    const std::string out = OutName(k);
    const std::string readOpen = "File Open Error![" + in_ + "]";
    const std::string writeOpen = "File Open Error!\n[" + out + "]";
    const std::string lfLength = std::to_string(kSortedLf.size());
    // The fake's short write moves half of the CR LF text; the message counts the
    // bytes of the LF text whose every byte reached the file.
    std::size_t written = 0, whole = 0;
    for (char c : kSortedLf) {
      std::size_t bytes = c == '\n' ? 2 : 1;
      if (written + bytes > kSortedCrLf.size() / 2) break;
      written += bytes;
      ++whole;
    }
    const std::string shortWrite =
        "Write Error!(lstrlen(pMem)=[" + lfLength + "], writesize=[" + std::to_string(whole) + "])";
    const std::string lostAtStorage =
        "Write Error!(lstrlen(pMem)=[" + lfLength + "], writesize=[0])";
    auto add = [&](Step s, bool mayRecover, std::vector<std::string> messages) {
      roles[static_cast<int>(s)].push_back(Role{mayRecover, std::move(messages)});
    };
    int heapAllocs = 0, queries = 0;
    std::string lastOpen;  // which file the next CloseFile closes
    for (const std::string& call : clean.log) {
      if (call == "HeapAlloc") {
        ++heapAllocs;
        if (heapAllocs == 1) {
          add(Step::HeapAlloc, false, {"Memory Allocate Error![readbuf]"});
        } else if (heapAllocs == 2) {
          add(Step::HeapAlloc, false, {"Memory Allocate Error!(Base)"});
        } else {
          add(Step::HeapAlloc, true, {});
        }
      } else if (call == "GlobalAlloc" || call == "GlobalLock") {
        add(call == "GlobalAlloc" ? Step::GlobalAlloc : Step::GlobalLock, false,
            {"Memory Allocate Error![hMem]"});
      } else if (call == "OpenClipboard") {
        add(Step::ClipOpen, false, {"ClipBoard Open Error!"});
      } else if (call == "GetClipboardText") {
        add(Step::ClipGet, false, {"No Text in ClipBoard!"});
      } else if (call == "EmptyClipboard") {
        add(Step::ClipEmpty, false, {"ClipBoard Empty Error!"});
      } else if (call == "SetClipboardText") {
        add(Step::ClipSet, false, {"ClipBoard Write Error!"});
      } else if (call == "QueryFile") {
        ++queries;
        bool inputQuery = k.in == In::kFile && queries == 1;
        // A failed query of the output makes it a new file, written in place.
        add(Step::QueryFile, !inputQuery, {readOpen});
      } else if (call == "OpenFileRead") {
        add(Step::OpenRead, false, {readOpen});
        lastOpen = "input";
      } else if (call == "ReadFile") {
        add(Step::Read, false,
            {"Read Error!(statbuf.st_size=[" + std::to_string(kInput.size()) + "], readsize=[" +
             std::to_string(kInput.size() / 2) + "])"});
      } else if (call == "OpenFileWrite") {
        add(Step::OpenWrite, false, {writeOpen});
        lastOpen = "output";
      } else if (call == "CreateTempFileBeside") {
        add(Step::CreateTemp, true, {writeOpen});  // falls back to writing in place
        lastOpen = "output";
      } else if (call == "WriteFile") {
        add(Step::Write, false, {shortWrite});
      } else if (call == "FlushFile") {
        add(Step::Flush, false, {lostAtStorage});
      } else if (call == "CloseFile") {
        // The input's close is not checked: everything was read by then.
        add(Step::Close, lastOpen == "input", {lostAtStorage});
      } else if (call == "RenameFile" || call == "SetFileOwner") {
        // Either way the file is written in place instead.
        add(call == "RenameFile" ? Step::Rename : Step::SetOwner, true,
            {writeOpen, lostAtStorage, shortWrite});
      } else if (call == "ReserveFileSpace") {
        add(Step::Reserve, false, {lostAtStorage});
      } else if (call == "SetFileLength") {
        add(Step::SetLength, false, {lostAtStorage});
      } else if (call == "CanWriteFile") {
        add(Step::CanWrite, false, {writeOpen});
      }
    }
    // The clipboard's own block is locked through GlobalLock too; the fake counts it
    // as ClipLock, not as GlobalLock.
    if (k.in == In::kClipboard) {
      auto& locks = roles[static_cast<int>(Step::GlobalLock)];
      if (!locks.empty()) locks.erase(locks.begin());
      add(Step::ClipLock, false, {"No Text in ClipBoard!"});
    }
    return roles;
  }

  // Everything every run must satisfy, fault or none.
  void CheckRun(const Kind& k, const NamingFake& fake, const Fault* fault,
                const std::vector<std::vector<Role>>* roles, const std::string& label) {
    SCOPED_TRACE(label);
    ASSERT_TRUE(RunResult == 0 || RunResult == -1) << RunResult;
    EXPECT_EQ(fake.EngineBlocks(), 0) << "a block left live";
    EXPECT_EQ(fake.LiveHeap(), 0) << "heap left live";
    EXPECT_FALSE(fake.clipboardOpen) << "the clipboard stays open";
    EXPECT_EQ(pMem, nullptr);
    EXPECT_EQ(Base, nullptr);
    EXPECT_EQ(readbuf, nullptr);
    const std::string out = OutName(k);
    const std::vector<std::string>& log = fake.log;
    auto first = [&](const std::string& entry, std::size_t from = 0) {
      auto it = std::find(log.begin() + static_cast<std::ptrdiff_t>(from), log.end(), entry);
      return static_cast<std::size_t>(it - log.begin());
    };
    auto count = [&](const std::string& entry) {
      return std::count(log.begin(), log.end(), entry);
    };
    EXPECT_LE(count("free:readbuf"), 1);
    EXPECT_LE(count("free:Base"), 1);
    EXPECT_LE(count("GlobalFree"), 1);

    // Releases: the text, then the table, both before the delivery's first call;
    // the block after the delivery.
    std::size_t block = first("GlobalAlloc");
    std::size_t freedText = first("free:readbuf"), freedTable = first("free:Base");
    std::size_t delivery = std::min(first("OpenClipboard", block), first("QueryFile", block));
    if (delivery < log.size() && block < log.size()) {
      EXPECT_LT(freedText, freedTable);
      EXPECT_LT(freedTable, delivery);
      if (count("GlobalFree") == 1) {
        EXPECT_GT(first("GlobalFree"), delivery);
      }
    }

    std::set<std::string> entries = Entries();
    // A temporary file never stays behind.
    for (const std::string& e : entries) {
      EXPECT_TRUE(e == "in.txt" || e == "out.txt") << "left behind: " << e;
    }
    // The input is only read.
    if (k.in == In::kFile && !(k.out == Out::kSameFile && RunResult == 0)) {
      EXPECT_EQ(ReadAll(in_), kInput);
    }

    if (RunResult == 0) {
      ASSERT_EQ(fake.boxes.size(), 1u);
      EXPECT_EQ(fake.boxes[0].text, "Finish!");
      EXPECT_EQ(fake.boxes[0].caption, "VELKAR");
      EXPECT_EQ(fake.boxes[0].style, 0u);
      EXPECT_EQ(fake.boxes[0].owner, kOwner);
      if (k.out == Out::kClipboard) {
        EXPECT_EQ(fake.clipboardText.value_or("<none>"), kSortedLf);
        EXPECT_EQ(fake.ClipboardBlocks(), 1);
      } else {
        EXPECT_EQ(ReadAll(out), kSortedCrLf);
      }
      if (fault != nullptr) {
        const Role& role = (*roles)[static_cast<int>(fault->step)][fault->nth - 1];
        bool later = false;  // a lasting failure reaches the later calls too
        if (fault->lasting) {
          const auto& all = (*roles)[static_cast<int>(fault->step)];
          for (std::size_t i = static_cast<std::size_t>(fault->nth); i < all.size(); ++i) {
            later = later || !all[i].mayRecover;
          }
        }
        EXPECT_TRUE(role.mayRecover && !later) << "a fault that must fail was reported as success";
      }
      return;
    }

    // A failure: one error box and nothing else.
    ASSERT_EQ(fake.boxes.size(), 1u) << "boxes shown: " << fake.boxes.size();
    const FakePlatform::Box& box = fake.boxes[0];
    EXPECT_EQ(box.caption, "VELKAR-ERROR");
    EXPECT_EQ(box.style, 0x10u);
    EXPECT_EQ(box.owner, kOwner);
    EXPECT_EQ(count("Box:VELKAR"), 0) << "Finish! after a failure";
    if (fault == nullptr) {
      ADD_FAILURE() << "the clean run failed: " << box.text;
      return;
    }
    const auto& all = (*roles)[static_cast<int>(fault->step)];
    std::set<std::string> allowed;
    std::size_t last = fault->lasting ? all.size() : static_cast<std::size_t>(fault->nth);
    for (std::size_t i = static_cast<std::size_t>(fault->nth) - 1; i < last; ++i) {
      allowed.insert(all[i].messages.begin(), all[i].messages.end());
    }
    EXPECT_TRUE(allowed.count(box.text)) << "unexpected message: " << box.text;

    // Which part of the run failed decides what was released, and when.
    std::size_t shown = first("Box:VELKAR-ERROR");
    const std::string& text = box.text;
    bool inInput = text.rfind("File Open Error![", 0) == 0 || text.rfind("Read Error!", 0) == 0 ||
                   text == "Memory Allocate Error![readbuf]" ||
                   (text == "ClipBoard Open Error!" && block == log.size()) ||
                   text == "No Text in ClipBoard!";
    if (inInput) {
      EXPECT_EQ(count("free:readbuf") + count("free:Base") + count("GlobalFree"), 0);
    } else if (text == "Memory Allocate Error!(Base)") {
      EXPECT_EQ(count("free:Base"), 0);
      EXPECT_GT(freedText, shown);
      EXPECT_LT(freedText, log.size());
    } else if (text == "Memory Allocate Error![hMem]") {
      EXPECT_LT(shown, freedText);
      EXPECT_LT(freedText, freedTable);
      EXPECT_LT(freedTable, log.size());
      EXPECT_EQ(count("GlobalFree"), count("GlobalAlloc") - (fault->step == Step::GlobalAlloc));
      if (count("GlobalFree") == 1) {
        EXPECT_LT(first("GlobalFree"), freedText);
      }
    } else if (k.out == Out::kClipboard) {
      // The delivery failed: the block is released after the box.
      EXPECT_LT(freedTable, shown);
      EXPECT_EQ(count("GlobalFree"), 1);
      EXPECT_GT(first("GlobalFree"), shown);
    } else {
      // A file is written straight from the table: it and the text go after the box.
      EXPECT_GT(freedText, shown);
      EXPECT_GT(freedTable, freedText);
      EXPECT_LT(freedTable, log.size());
      EXPECT_EQ(count("GlobalAlloc"), 0);
    }

    // A box of the clipboard's steps shows while it is open; it is closed after.
    bool clipboardStep = text == "No Text in ClipBoard!" || text == "ClipBoard Empty Error!" ||
                         text == "ClipBoard Write Error!" ||
                         (text == "Memory Allocate Error![readbuf]" && k.in == In::kClipboard);
    EXPECT_EQ(box.clipboardOpen, clipboardStep);
    if (clipboardStep) {
      EXPECT_GT(first("CloseClipboard", shown), shown);
      EXPECT_LT(first("CloseClipboard", shown), log.size());
    }

    // Nothing the user had is lost: an existing output keeps its content; the
    // clipboard keeps its text unless the delivery had emptied it.
    if (k.out == Out::kExistingFile) {
      EXPECT_EQ(ReadAll(out), kOldOutput);
    }
    // In place, the old content stays until the space for the new text is made
    // sure of; only a write that then fails (an I/O error) can damage it.
    if (k.out == Out::kExistingInPlace && count("WriteFile") == 0) {
      EXPECT_EQ(ReadAll(out), kOldOutput);
    }
    if (k.out == Out::kSameFile) {
      EXPECT_EQ(ReadAll(out), kInput);
    }
    if ((k.out == Out::kNewFile || k.out == Out::kExistingInPlace) && fault->step == Step::Write &&
        !fault->lasting) {
      // Written in place: the file keeps what the short write put there.
      EXPECT_EQ(ReadAll(out), kSortedCrLf.substr(0, kSortedCrLf.size() / 2));
    }
    std::string before = k.in == In::kClipboard ? kInput : "clipboard before";
    if (text == "ClipBoard Write Error!") {
      EXPECT_FALSE(fake.clipboardText.has_value()) << "the clipboard is left empty";
    } else {
      EXPECT_EQ(fake.clipboardText.value_or("<none>"), before);
    }
  }

  test::TempFolder folder_;
  std::string dir_;
  std::string in_;
  Key key_ = kKeys[0];
};

TEST_F(FaultSweep, EveryFailureOfEveryStepForEveryInputAndOutput) {
  int faults = 0;
  for (const Key& key : kKeys) {
    key_ = key;
    SCOPED_TRACE(key.name);
    for (const Kind& k : kKinds) {
      SCOPED_TRACE(k.name);
      NamingFake clean;
      Run(k, clean, nullptr);
      CheckRun(k, clean, nullptr, nullptr, std::string(k.name) + ", no fault");
      ASSERT_EQ(RunResult, 0) << k.name;
      std::vector<std::vector<Role>> roles = Roles(k, clean);

      for (int s = 0; s < static_cast<int>(Step::kCount); ++s) {
        auto step = static_cast<Step>(s);
        // Every call the clean run made of this step is known to the sweep.
        ASSERT_EQ(static_cast<int>(roles[s].size()), clean.Calls(step)) << StepName(step);
        for (int nth = 1; nth <= clean.Calls(step); ++nth) {
          for (bool lasting : {false, true}) {
            Fault fault{step, nth, lasting};
            NamingFake fake;
            Run(k, fake, &fault);
            ASSERT_GE(fake.Calls(step), nth) << "the fault was never reached";
            CheckRun(k, fake, &fault, &roles,
                     std::string(k.name) + ": " + StepName(step) + " call " + std::to_string(nth) +
                         (lasting ? " and after" : " once"));
            ++faults;
          }
        }
      }
    }
  }
  // Every kind of step is reached by some kind of run.
  EXPECT_GT(faults, 100);
}

// The sweep's view of the clean runs matches the documented order of the steps.
TEST_F(FaultSweep, CleanRunsCallTheStepsInOrder) {
  for (const Kind& k : kKinds) {
    SCOPED_TRACE(k.name);
    NamingFake fake;
    Run(k, fake, nullptr);
    ASSERT_EQ(RunResult, 0);
    std::vector<std::string> wanted;
    wanted.push_back(k.in == In::kFile ? "OpenFileRead" : "GetClipboardText");
    if (k.out == Out::kClipboard) {
      wanted.insert(wanted.end(), {"HeapAlloc", "GlobalAlloc", "free:readbuf", "free:Base",
                                   "SetClipboardText", "CloseClipboard", "Box:VELKAR"});
    } else {
      wanted.insert(wanted.end(), {"HeapAlloc", "WriteFile", "FlushFile", "CloseFile",
                                   "free:readbuf", "free:Base", "Box:VELKAR"});
    }
    std::size_t next = 0;
    for (const std::string& entry : fake.log) {
      if (next < wanted.size() && entry == wanted[next]) ++next;
    }
    EXPECT_EQ(next, wanted.size())
        << "stopped before " << (next < wanted.size() ? wanted[next] : "");
  }
}

}  // namespace
}  // namespace velkar
