// The option table walked over the words, and the plain settings value it fills
// in, with the conversion to the engine's arguments.
#include "cli/run_settings.h"

#include <algorithm>
#include <limits>

#include "cli/command_words.h"
#include "engine/engine.h"

namespace velkar {

namespace {

bool IsPositionWord(const std::string& lower) {
  return lower.size() >= 2 && lower[0] == '-' && lower[1] >= '1' && lower[1] <= '9';
}

// The digit run, then "n", then "f"; the rest of the word is ignored.
void WalkPosition(const std::string& lower, OptionSink* sink) {
  std::size_t next = 1;
  while (next < lower.size() && lower[next] >= '0' && lower[next] <= '9') ++next;
  const bool number = next < lower.size() && lower[next] == 'n';
  if (number) ++next;
  const bool field = next < lower.size() && lower[next] == 'f';
  sink->PositionOption(PositionText(lower), number, field);
}

// Fills a RunSettings the way the controls change: later names replace earlier
// ones, and no option turns a setting off again.
class SettingsSink : public OptionSink {
 public:
  explicit SettingsSink(RunSettings* settings) : s_(settings) {}
  void AutoRunOption(bool quiet) override {
    s_->autoRun = true;
    if (quiet) s_->quietFinish = true;
  }
  void DescendingOption() override { s_->descending = true; }
  void IgnoreCaseOption() override { s_->ignoreCase = true; }
  void UniqueOption() override { s_->unique = true; }
  void InputName(const std::string& name) override { s_->inputName = name; }
  void OutputName(const std::string& name) override { s_->outputName = name; }
  void PositionOption(const std::string& digits, bool number, bool field) override {
    s_->positionText = digits;
    if (number) s_->numberKey = true;
    if (field) s_->fieldKey = true;
  }

 private:
  RunSettings* s_;
};

}  // namespace

void WalkCommandLine(const std::vector<std::string>& words, OptionSink* sink) {
  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::string& word = words[i];
    const std::string lower = AsciiLower(word);
    if (lower == "-a") {
      sink->AutoRunOption(false);
    } else if (lower == "-a+") {
      sink->AutoRunOption(true);
    } else if (lower == "-r") {
      sink->DescendingOption();
    } else if (lower == "-i") {
      sink->IgnoreCaseOption();
    } else if (lower == "-u") {
      sink->UniqueOption();
    } else if (lower == "-f") {
      if (i + 1 < words.size()) sink->InputName(words[++i]);
    } else if (lower == "-o") {
      if (i + 1 < words.size()) sink->OutputName(words[++i]);
    } else if (IsPositionWord(lower)) {
      WalkPosition(lower, sink);
    } else {
      sink->InputName(word);
    }
  }
}

RunSettings SettingsFromWords(const std::vector<std::string>& words) {
  RunSettings settings;
  SettingsSink sink(&settings);
  WalkCommandLine(words, &sink);
  return settings;
}

std::int32_t RunSettings::SortMode() const {
  std::int32_t mode = 0;
  if (descending) mode |= kSortDescending;
  if (ignoreCase) mode |= kSortIgnoreCase;
  if (unique) mode |= kSortUnique;
  return mode;
}

// One-based in the edit; a text that is no integer counts as 1.
std::int32_t RunSettings::SortPos() const {
  const long long position = DecimalValue(positionText, 1);
  return static_cast<std::int32_t>(
      std::max<long long>(position - 1, std::numeric_limits<std::int32_t>::min()));
}

std::int32_t RunSettings::KeyMode() const {
  return (fieldKey ? kKeyField : kKeyColumn) + (numberKey ? kKeyNumber : 0);
}

const char* RunSettings::MissingName() const {
  if (inputName && inputName->empty()) return kNoInputName;
  if (outputName && outputName->empty()) return kNoOutputName;
  return nullptr;
}

void RunSettings::Run(WindowHandle owner) const {
  RunSort(owner, SortMode(), inputName ? inputName->c_str() : nullptr,
          outputName ? outputName->c_str() : nullptr, SortPos(), KeyMode());
}

}  // namespace velkar
