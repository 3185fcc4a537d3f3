// Fuzzes the engine: random text with random SortMode, SortPos and KeyMode (values
// outside the documented ones too) through the split, the sort and the assembly,
// in both line-end forms, then through a whole clipboard run with one injected
// fault; aborts on any broken rule. Input: 8 bytes of settings, then the text.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/engine.h"
#include "engine/engine_internal.h"
#include "engine/parallel.h"
#include "engine/run_output.h"
#include "fuzz/fuzz_check.h"
#include "platform/platform_fake.h"
#include "reference_rules.h"

const char velkar::fuzz::kFuzzerName[] = "engine_fuzzer";

namespace {

using velkar::FakePlatform;
namespace ref = velkar::reference;

// Values the documented range never gives, for the "wild" settings.
constexpr std::int32_t kWild[] = {8, -1, INT32_MIN, INT32_MAX, 12, -4, 0x10003, 256};

struct Settings {
  std::int32_t sortMode;
  std::int32_t sortPos;
  std::int32_t keyMode;
  unsigned options;  // bit 0: quiet finish; bits 1..: the fault of the whole run
};

// Byte 0: SortMode, byte 1: SortPos, byte 2: KeyMode, each either a small documented
// value or, with the top bit set, a wild one from bytes 4..7 or the list above.
Settings Decode(const std::uint8_t* d) {
  std::int32_t wild;
  std::memcpy(&wild, d + 4, sizeof wild);
  auto pick = [&](std::uint8_t b, std::int32_t tame) {
    if ((b & 0x80) == 0) return tame;
    return (b & 0x40) != 0 ? wild : kWild[b & 7];
  };
  Settings s;
  s.sortMode = pick(d[0], d[0] & 7);
  s.sortPos = pick(d[1], static_cast<std::int32_t>(d[1] & 0x3f) - 4);
  s.keyMode = pick(d[2], d[2] & 7);
  s.options = d[3];
  return s;
}

// The output's lines: pieces between LFs (a CR the line kept stays in it).
std::vector<std::string> SplitLf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t p = 0;
  for (std::size_t lf; (lf = text.find('\n', p)) != std::string::npos; p = lf + 1) {
    lines.push_back(text.substr(p, lf - p));
  }
  if (p < text.size()) lines.push_back(text.substr(p) + "<no LF>");
  return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\n";
  return out;
}

// The lines the filter keeps: each line unless it equals the one before it.
std::vector<std::string> Deduplicated(const std::vector<std::string>& table, bool ignoreCase) {
  std::vector<std::string> kept;
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (i == 0 || !ref::SameLine(table[i], table[i - 1], ignoreCase)) kept.push_back(table[i]);
  }
  return kept;
}

// Split, sort and assembly step by step over the engine's state.
void CheckSteps(const std::string& text, const Settings& s) {
  std::vector<std::string> expected = ref::SplitText(text);
  std::int32_t order = s.sortMode & ~velkar::kSortUnique;

  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  char* begin = buffer.data();
  char* end = begin + buffer.size();
  std::int64_t count = velkar::CountLines(begin);
  CHECK(count == static_cast<std::int64_t>(expected.size()), std::to_string(count));
  if (count == 0) return;
  CHECK(velkar::AllocLineTable(count) == 0);
  velkar::SplitLines(begin, count);
  CHECK(velkar::LineCount == count);
  std::uint64_t outputSize = 0;
  for (std::int64_t i = 0; i < count; ++i) {
    char* line = velkar::Base[i];
    CHECK(line >= begin && line < end, "line outside the text");
    CHECK(std::memchr(line, '\0', static_cast<std::size_t>(end - line)) != nullptr);
    CHECK(expected[static_cast<std::size_t>(i)] == line, "line " + std::to_string(i));
    outputSize += std::strlen(line) + 2;
  }
  CHECK(velkar::OutputSize == outputSize);

  if (order < 0 || order > 3) {  // RunSort refuses these before the sort
    velkar::FreeLineTable();
    return;
  }
  std::vector<char*> before(velkar::Base, velkar::Base + count);
  velkar::SortLines(velkar::Base, count, order, s.sortPos, s.keyMode);
  std::vector<char*> after(velkar::Base, velkar::Base + count);
  CHECK(velkar::SortPos == s.sortPos);
  // One thread gives the very same table: the sort is stable.
  std::vector<char*> alone = before;
  const int threads = velkar::EngineThreads;
  velkar::EngineThreads = 1;
  velkar::SortLines(alone.data(), count, order, s.sortPos, s.keyMode);
  velkar::EngineThreads = threads;
  CHECK(alone == after, "another table than one thread's");

  ref::Setting setting = ref::SettingFor(order, s.sortPos, s.keyMode);
  if (!setting.sorts) {
    CHECK(after == before, "no routine, yet the table moved");
  } else {
    std::vector<char*> a = before, b = after;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    CHECK(a == b, "the table is no permutation of the lines");
    if (ref::Consistent(setting, expected)) {
      for (std::int64_t i = 0; i + 1 < count; ++i) {
        const int sign = ref::Compare(setting, after[i], after[i + 1]);
        CHECK(sign <= 0, std::string("out of order: [") + after[i] + "] [" + after[i + 1] + "]");
        // The lines lie in the text in input order: equal keys keep it.
        CHECK(sign != 0 || after[i] < after[i + 1], std::string("unstable: [") + after[i] + "]");
      }
    }
    // The engine's routine answers as the model does, with the same sign.
    velkar::Comparator compare = velkar::SelectComparator(order, s.sortPos, s.keyMode);
    CHECK(compare != nullptr);
    for (std::int64_t i = 0; i < count && i < 24; ++i) {
      const char* x = after[i];
      const char* y = after[(i * 7 + 3) % count];
      int mine = compare(x, y), model = ref::Compare(setting, x, y);
      CHECK((mine > 0) - (mine < 0) == (model > 0) - (model < 0),
            std::string("routine disagrees: [") + x + "] [" + y + "]");
    }
  }

  std::vector<std::string> table(after.begin(), after.end());
  CHECK(velkar::AllocOutputBlock() == 0);
  velkar::MemHandle block = velkar::CurrentPlatform()->GlobalHandle(velkar::pMem);
  CHECK(velkar::CurrentPlatform()->GlobalSize(block) == velkar::OutputSize + 1);
  velkar::BuildOutput(s.sortMode);
  bool unique = (s.sortMode & velkar::kSortUnique) != 0;
  bool ignoreCase = order >= velkar::kSortIgnoreCase;
  std::string built(velkar::pMem);
  CHECK(built.size() <= velkar::OutputSize, "the text overflows the block");
  for (std::uint64_t i = built.size(); i <= velkar::OutputSize; ++i) {
    CHECK(velkar::pMem[i] == '\0', "a byte behind the text is not zero");
  }
  const std::vector<std::string> kept = unique ? Deduplicated(table, ignoreCase) : table;
  CHECK(built == Joined(kept));
  CHECK(velkar::OutputLength == built.size() && velkar::OutputLines == kept.size());
  if (unique) {
    std::vector<std::string> written = SplitLf(built);
    for (std::size_t i = 1; i < written.size(); ++i) {
      CHECK(!ref::SameLine(written[i], written[i - 1], ignoreCase), "equal neighbours kept");
    }
  }
  velkar::FreeOutputBlock();

  // The file form: the same lines, each ended by CR LF, the block zero behind them.
  CHECK(velkar::AllocOutputBlock() == 0);
  velkar::BuildOutput(s.sortMode, velkar::LineEnds::kCrLf);
  std::string file;
  for (const std::string& l : kept) file += l + "\r\n";
  CHECK(file.size() <= velkar::OutputSize, "the file form overflows the block");
  CHECK(std::string(velkar::pMem, velkar::OutputSize + 1) ==
            file + std::string(velkar::OutputSize + 1 - file.size(), '\0'),
        "file form");
  CHECK(velkar::OutputLength == file.size() && velkar::OutputLines == kept.size());
  velkar::FreeLineTable();
  velkar::FreeOutputBlock();
}

// Steps a clipboard run can be made to fail at, for the whole-run check.
constexpr FakePlatform::Step kRunFaults[] = {
    FakePlatform::Step::HeapAlloc, FakePlatform::Step::GlobalAlloc, FakePlatform::Step::GlobalLock,
    FakePlatform::Step::ClipOpen,  FakePlatform::Step::ClipGet,     FakePlatform::Step::ClipLock,
    FakePlatform::Step::ClipEmpty, FakePlatform::Step::ClipSet,
};

// A whole run from the clipboard to the clipboard, with at most one fault.
void CheckRun(const std::string& text, const Settings& s) {
  FakePlatform fake;
  velkar::SetCurrentPlatform(&fake);
  fake.clipboardText = text;
  unsigned fault = s.options >> 1;  // 0: none; else a step and which of its calls
  bool faulty = fault != 0;
  if (faulty) {
    fault -= 1;
    fake.FailAt(kRunFaults[fault % std::size(kRunFaults)], static_cast<int>(fault / 8 % 3) + 1);
  }
  velkar::QuietFinish = (s.options & 1) != 0;
  velkar::RunResult = 12345;
  auto* owner = reinterpret_cast<velkar::WindowHandle>(0x77);
  velkar::RunSort(owner, s.sortMode, nullptr, nullptr, s.sortPos, s.keyMode);

  CHECK(velkar::RunResult == 0 || velkar::RunResult == -1);
  CHECK(fake.EngineBlocks() == 0, "a block left live");
  CHECK(fake.LiveHeap() == 0, "heap left live");
  CHECK(!fake.clipboardOpen, "the clipboard stays open");
  CHECK(velkar::pMem == nullptr && velkar::Base == nullptr && velkar::readbuf == nullptr);
  for (const FakePlatform::Box& box : fake.boxes) CHECK(box.owner == owner);

  std::string clipText(text.c_str());  // the clipboard's text ends at its first NUL
  std::vector<std::string> lines = ref::SplitText(clipText);
  std::int32_t order = s.sortMode & ~velkar::kSortUnique;
  if (velkar::RunResult == -1) {
    CHECK(fake.boxes.size() == 1, "a failure shows one box");
    CHECK(fake.boxes[0].caption == "VELKAR-ERROR" && fake.boxes[0].style == 0x10);
    const std::string& msg = fake.boxes[0].text;
    if (order < 0 || order > 3) {
      CHECK(msg == "SortMode is out of Range!");
    } else if (!faulty) {
      CHECK(lines.empty() && msg == "No Line!", msg);
    }
    return;
  }
  CHECK(order >= 0 && order <= 3 && !lines.empty(), "a failure reported as success");
  if (velkar::QuietFinish) {
    CHECK(fake.boxes.empty());
  } else {
    CHECK(fake.boxes.size() == 1 && fake.boxes[0].text == "Finish!" &&
          fake.boxes[0].caption == "VELKAR" && fake.boxes[0].style == 0);
  }
  CHECK(fake.clipboardText.has_value());
  std::vector<std::string> out = SplitLf(*fake.clipboardText);
  CHECK(Joined(out) == *fake.clipboardText, "clipboard text is not LF lines");
  bool unique = (s.sortMode & velkar::kSortUnique) != 0;
  bool ignoreCase = order >= velkar::kSortIgnoreCase;
  auto canonical = [&](std::vector<std::string> v) {
    if (ignoreCase) {
      for (std::string& l : v) {
        for (char& c : l) c = static_cast<char>(ref::Fold(static_cast<unsigned char>(c)));
      }
    }
    std::sort(v.begin(), v.end());
    if (unique) v.erase(std::unique(v.begin(), v.end()), v.end());
    return v;
  };
  if (unique) {
    // Only equal neighbours go: every distinct line is still there, none twice in a row.
    CHECK(canonical(out) == canonical(lines), "a distinct line was lost");
    for (std::size_t i = 1; i < out.size(); ++i) {
      CHECK(!ref::SameLine(out[i], out[i - 1], ignoreCase), "equal neighbours kept");
    }
  } else {
    std::vector<std::string> a = out, b = lines;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    CHECK(a == b, "the output is no permutation of the input lines");
  }
  ref::Setting setting = ref::SettingFor(order, s.sortPos, s.keyMode);
  if (setting.sorts && ref::Consistent(setting, lines)) {
    for (std::size_t i = 1; i < out.size(); ++i) {
      CHECK(ref::Compare(setting, out[i - 1], out[i]) <= 0, "out of order after a run");
    }
  }
}

// The same clipboard run beyond memory: a tiny budget from byte 5 (one piece to a
// run of a few lines), the clipboard taken as a block or in parts (byte 6), must
// give exactly the text of the run in memory, and leave nothing behind.
void CheckBeyondMemory(const std::string& text, const Settings& s, const std::uint8_t* d) {
  std::int32_t order = s.sortMode & ~velkar::kSortUnique;
  if (order < 0 || order > 3) return;
  auto run = [&](std::uint64_t budget, bool inParts) {
    FakePlatform fake;
    velkar::SetCurrentPlatform(&fake);
    fake.clipboardText = text;
    fake.memoryBudget = budget;
    fake.clipboardInParts = inParts;
    velkar::QuietFinish = 1;
    velkar::RunSort(nullptr, s.sortMode, nullptr, nullptr, s.sortPos, s.keyMode);
    CHECK(fake.LiveHeap() == 0 && fake.EngineBlocks() == 0 && fake.OpenStores() == 0,
          "a sort beyond memory left something behind");
    velkar::SetCurrentPlatform(nullptr);
    return std::make_pair(velkar::RunResult, fake.clipboardText.value_or(std::string("\x01")));
  };
  const bool inParts = (d[6] & 1) != 0;
  const auto inMemory = run(std::uint64_t{1} << 40, inParts);
  // In parts the output needs no block, so every budget must give the same text;
  // with parts of any size written behind, too.
  const std::uint64_t minPart = velkar::WriteBehind::minPart;
  if ((d[6] & 2) != 0) velkar::WriteBehind::minPart = 0;
  const auto beyond = run(64 + std::uint64_t{d[5]} * 8, true);
  velkar::WriteBehind::minPart = minPart;
  CHECK(beyond.first == inMemory.first, "beyond memory: another outcome");
  CHECK(beyond.second == inMemory.second, "beyond memory: another text");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 8) return 0;
  Settings s = Decode(data);
  std::string text(reinterpret_cast<const char*>(data) + 8, size - 8);
  // Every table of two lines or more is split over threads: 1 to 16 from the low
  // bits of the wild value's last byte, whose top bit decides whether threads can
  // be started.
  velkar::EngineThreads = 1 + (data[7] & 15);
  velkar::ParallelMinLines = 2;
  velkar::ThreadStartFails = (data[7] & 0x80) != 0;

  FakePlatform fake;
  velkar::SetCurrentPlatform(&fake);
  CheckSteps(text, s);
  CHECK(fake.EngineBlocks() == 0 && fake.LiveHeap() == 0);
  velkar::SetCurrentPlatform(nullptr);

  CheckRun(text, s);
  velkar::SetCurrentPlatform(nullptr);
  CheckBeyondMemory(text, s, data);
  velkar::QuietFinish = 0;
  return 0;
}
