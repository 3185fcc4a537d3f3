// Fuzzes the command line: random bytes become the words (split Windows style from
// one string, or taken as argv words between NULs) and are applied to a real main
// window; aborts when the words or the controls break a rule. Offscreen, no run.
#include <QApplication>
#include <QCheckBox>
#include <QRadioButton>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine.h"
#include "platform/byte_text.h"
#include "platform/platform_fake.h"
#include "ui/command_line.h"
#include "ui/main_form.h"
#include "ui/up_down.h"

namespace {

using Words = std::vector<std::string>;

void Fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "command_line_fuzzer: %s %s\n", what, detail.c_str());
  std::abort();
}

// CHECK(condition) or CHECK(condition, detail): aborts with the condition's text.
#define CHECK(cond, ...)                                                 \
  do {                                                                   \
    if (!(cond)) Fail("check failed: " #cond, std::string(__VA_ARGS__)); \
  } while (0)

bool IsSeparator(unsigned char c) { return c >= 1 && c <= 32; }

// What the words should leave in the controls, worked out from the option table.
struct Expected {
  bool descending = false, ignoreCase = false, unique = false;
  std::optional<std::string> input, output;
  std::string position = "1";
  bool number = false, field = false;
  bool autoRun = false, quiet = false;
};

Expected FromTable(const Words& words) {
  Expected e;
  for (std::size_t i = 1; i < words.size(); ++i) {
    std::string lower = words[i];
    for (char& c : lower) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    if (lower == "-a") {
      e.autoRun = true;
    } else if (lower == "-a+") {
      e.autoRun = e.quiet = true;
    } else if (lower == "-r") {
      e.descending = true;
    } else if (lower == "-i") {
      e.ignoreCase = true;
    } else if (lower == "-u") {
      e.unique = true;
    } else if (lower == "-f" || lower == "-o") {
      if (i + 1 < words.size()) (lower == "-f" ? e.input : e.output) = words[++i];
    } else if (lower.size() >= 2 && lower[0] == '-' && lower[1] >= '1' && lower[1] <= '9') {
      std::size_t end = 1;
      while (end < lower.size() && lower[end] >= '0' && lower[end] <= '9') ++end;
      e.position = lower.substr(1, std::min<std::size_t>(end - 1, velkar::kMaxPositionDigits));
      if (end < lower.size() && lower[end] == 'n') {
        e.number = true;
        ++end;
      }
      if (end < lower.size() && lower[end] == 'f') e.field = true;
    } else {
      e.input = words[i];
    }
  }
  return e;
}

// The splitter's words: none empty, no quote and no NUL in them, no separator
// outside a quoted stretch; quoting each word and joining them gives them back.
void CheckSplit(std::string_view line, const Words& words) {
  std::string quoted;
  for (const std::string& w : words) {
    CHECK(!w.empty(), "an empty word");
    CHECK(w.find('"') == std::string::npos, "a quote kept in a word");
    CHECK(w.find('\0') == std::string::npos, "a NUL in a word");
    quoted += "\"" + w + "\" ";
  }
  CHECK(velkar::SplitCommandLine(quoted) == words, "quoted words split differently");
  std::string_view text = line.substr(0, line.find('\0'));
  if (text.find('"') == std::string_view::npos) {
    // Without quotes the words are the runs of non-separators.
    Words runs;
    std::string run;
    for (char c : text) {
      if (IsSeparator(static_cast<unsigned char>(c))) {
        if (!run.empty()) runs.push_back(run);
        run.clear();
      } else {
        run.push_back(c);
      }
    }
    if (!run.empty()) runs.push_back(run);
    CHECK(runs == words, "unquoted line split differently");
  }
}

QApplication* App() {
  static int argc = 1;
  static char name[] = "velkar";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);
  }();
  return app;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  App();
  return 0;
}

// Byte 0 chooses how the rest becomes words: one command-line string, or argv
// words separated by NUL bytes (word 0 the program).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  Words words;
  if ((data[0] & 1) != 0) {
    words = velkar::SplitCommandLine(rest);
    CheckSplit(rest, words);
    if (words.empty()) return 0;
  } else {
    std::vector<std::string> pieces{"velkar"};
    std::size_t p = 0;
    for (std::size_t nul; (nul = rest.find('\0', p)) != std::string::npos; p = nul + 1) {
      pieces.push_back(rest.substr(p, nul - p));
    }
    pieces.push_back(rest.substr(p));
    std::vector<const char*> argv;
    for (const std::string& piece : pieces) argv.push_back(piece.c_str());
    words = velkar::WordsFromArgv(static_cast<int>(argv.size()), argv.data());
    Words kept{"velkar"};
    for (std::size_t i = 1; i < pieces.size(); ++i) {
      if (!pieces[i].empty()) kept.push_back(pieces[i]);
    }
    CHECK(words == kept, "argv words not kept whole");
  }

  velkar::FakePlatform fake;
  velkar::SetCurrentPlatform(&fake);
  velkar::SetCommandLineWords(words);
  velkar::AutoRun = 0;
  velkar::QuietFinish = 0;
  {
    velkar::TVelkarMainForm form;
    form.ParseCommandLine();
    Expected e = FromTable(words);

    CHECK(form.Sort_R_RadioButton->isChecked() == e.descending);
    CHECK(form.Sort_F_RadioButton->isChecked() != e.descending);
    CHECK(form.NotCaseSensitiveCheckBox->isChecked() == e.ignoreCase);
    CHECK(form.UniqCheckBox->isChecked() == e.unique);
    CHECK((velkar::AutoRun != 0) == e.autoRun);
    CHECK((velkar::QuietFinish != 0) == e.quiet);
    // Each pair stays consistent, and a file side shows its edit and panel.
    CHECK(form.ClipBoardCheckBox1->isChecked() == !e.input.has_value());
    CHECK(form.FileOpenCheckBox->isChecked() == e.input.has_value());
    CHECK(form.FileOpenEdit->isHidden() == !e.input.has_value());
    CHECK(form.FileOpenPanel->isHidden() == !e.input.has_value());
    CHECK(form.ClipBoardCheckBox2->isChecked() == !e.output.has_value());
    CHECK(form.FileSaveCheckBox->isChecked() == e.output.has_value());
    CHECK(form.FileSaveEdit->isHidden() == !e.output.has_value());
    CHECK(form.FileSavePanel->isHidden() == !e.output.has_value());
    CHECK(form.NumCompCheckBox->isChecked() == e.number);
    CHECK(form.StringCompCheckBox->isChecked() == !e.number);
    CHECK(form.FieldCheckBox->isChecked() == e.field);
    CHECK(form.ColumCheckBox->isChecked() == !e.field);
    // Names come back byte for byte, however long and whatever their bytes.
    if (e.input) {
      CHECK(velkar::TextToBytes(form.FileOpenEdit->text()) == *e.input, "input name changed");
    }
    if (e.output) {
      CHECK(velkar::TextToBytes(form.FileSaveEdit->text()) == *e.output, "output name changed");
    }
    CHECK(velkar::TextToBytes(form.SortPosEdit->text()) == e.position, "position text");
    int up = form.UpDown1->Position();
    CHECK(up >= 1 && up <= 1024, "UpDown1 out of its range");
    CHECK(fake.boxes.empty(), "the command line showed a box");
  }
  velkar::SetCommandLineWords({});
  velkar::SetCurrentPlatform(nullptr);
  return 0;
}
