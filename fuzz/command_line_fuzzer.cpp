// Fuzzes the command line: random bytes become the words (split Windows style from
// one string, or taken as argv words between NULs), are made into the plain
// settings value and that value is put into a real main window; aborts when the
// words or the controls break a rule, or the window gives back another value.
// Offscreen, no run.
#include <QApplication>
#include <QCheckBox>
#include <QRadioButton>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/split_command_line.h"
#include "platform/byte_text.h"
#include "platform/platform_fake.h"
#include "settings/command_words.h"
#include "settings/run_settings.h"
#include "ui/command_line.h"
#include "ui/main_form.h"
#include "ui/up_down.h"

const char velkar::fuzz::kFuzzerName[] = "command_line_fuzzer";

namespace {

using Words = std::vector<std::string>;

// What the words should leave in the controls, worked out from the option table
// apart from the program's own walk of it.
velkar::RunSettings FromTable(const Words& words) {
  velkar::RunSettings e;
  for (std::size_t i = 1; i < words.size(); ++i) {
    std::string lower = words[i];
    for (char& c : lower) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    if (lower == "-a") {
      e.autoRun = true;
    } else if (lower == "-a+") {
      e.autoRun = e.quietFinish = true;
    } else if (lower == "-r") {
      e.descending = true;
    } else if (lower == "-i") {
      e.ignoreCase = true;
    } else if (lower == "-u") {
      e.unique = true;
    } else if (lower == "-f" || lower == "-o") {
      if (i + 1 < words.size()) (lower == "-f" ? e.inputName : e.outputName) = words[++i];
    } else if (lower.size() >= 2 && lower[0] == '-' && lower[1] >= '1' && lower[1] <= '9') {
      std::size_t end = 1;
      while (end < lower.size() && lower[end] >= '0' && lower[end] <= '9') ++end;
      e.positionText = lower.substr(1, std::min<std::size_t>(end - 1, velkar::kMaxPositionDigits));
      if (end < lower.size() && lower[end] == 'n') {
        e.numberKey = true;
        ++end;
      }
      if (end < lower.size() && lower[end] == 'f') e.fieldKey = true;
    } else {
      e.inputName = words[i];
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
      if (velkar::IsCommandLineSeparator(static_cast<unsigned char>(c))) {
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
  velkar::AutoRun = 0;
  velkar::QuietFinish = 0;
  {
    const velkar::RunSettings e = FromTable(words);
    // The table and the plain value the console and the window start from agree,
    // and the window gives back the value it was given.
    const velkar::RunSettings plain = velkar::SettingsFromWords(words);
    CHECK(plain == e, "the plain settings differ from the table");
    velkar::TVelkarMainForm form;
    form.ParseCommandLine(plain);
    CHECK(form.Settings() == plain, "the window's settings differ from the value it was given");

    CHECK(form.Sort_R_RadioButton->isChecked() == e.descending);
    CHECK(form.Sort_F_RadioButton->isChecked() != e.descending);
    CHECK((velkar::AutoRun != 0) == e.autoRun);
    CHECK((velkar::QuietFinish != 0) == e.quietFinish);
    // Each pair stays consistent, and a file side shows its edit and panel.
    const bool input = e.inputName.has_value(), output = e.outputName.has_value();
    CHECK(form.ClipBoardCheckBox1->isChecked() == !input);
    CHECK(form.FileOpenCheckBox->isChecked() == input);
    CHECK(form.FileOpenEdit->isHidden() == !input);
    CHECK(form.FileOpenPanel->isHidden() == !input);
    CHECK(form.ClipBoardCheckBox2->isChecked() == !output);
    CHECK(form.FileSaveCheckBox->isChecked() == output);
    CHECK(form.FileSaveEdit->isHidden() == !output);
    CHECK(form.FileSavePanel->isHidden() == !output);
    CHECK(form.NumCompCheckBox->isChecked() == e.numberKey);
    CHECK(form.StringCompCheckBox->isChecked() == !e.numberKey);
    CHECK(form.FieldCheckBox->isChecked() == e.fieldKey);
    CHECK(form.ColumCheckBox->isChecked() == !e.fieldKey);
    // The engine gets the same arguments from either.
    CHECK(plain.SortMode() == form.Settings().SortMode());
    CHECK(plain.SortPos() == form.Settings().SortPos());
    CHECK(plain.KeyMode() == form.Settings().KeyMode());
    int up = form.UpDown1->Position();
    CHECK(up >= 1 && up <= 1024, "UpDown1 out of its range");
    CHECK(fake.boxes.empty(), "the command line showed a box");
  }
  velkar::SetCurrentPlatform(nullptr);
  return 0;
}
