// The option table walked over the words, the plain settings value it fills in,
// and the conversion to the engine's arguments.
#include "settings/run_settings.h"

#include <algorithm>
#include <limits>

#include "engine/engine.h"
#include "settings/command_words.h"

namespace velkar {

namespace {

bool IsPositionWord(const std::string& lower) {
  return lower.size() >= 2 && lower[0] == '-' && lower[1] >= '1' && lower[1] <= '9';
}

// The digit run, then "n", then "f"; the rest of the word is ignored.
void TakePosition(const std::string& lower, RunSettings* s) {
  std::size_t next = 1;
  while (next < lower.size() && lower[next] >= '0' && lower[next] <= '9') ++next;
  s->positionText = PositionText(lower);
  if (next < lower.size() && lower[next] == 'n') {
    s->numberKey = true;
    ++next;
  }
  if (next < lower.size() && lower[next] == 'f') s->fieldKey = true;
}

}  // namespace

RunSettings SettingsFromWords(const std::vector<std::string>& words) {
  RunSettings s;
  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::string& word = words[i];
    const std::string lower = AsciiLower(word);
    if (lower == "-a") {
      s.autoRun = true;
    } else if (lower == "-a+") {
      s.autoRun = s.quietFinish = true;
    } else if (lower == "-r") {
      s.descending = true;
    } else if (lower == "-i") {
      s.ignoreCase = true;
    } else if (lower == "-u") {
      s.unique = true;
    } else if (lower == "-f") {
      if (i + 1 < words.size()) s.inputName = words[++i];
    } else if (lower == "-o") {
      if (i + 1 < words.size()) s.outputName = words[++i];
    } else if (IsPositionWord(lower)) {
      TakePosition(lower, &s);
    } else {
      s.inputName = word;
    }
  }
  return s;
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
  QuietFinish = quietFinish ? 1 : 0;
  RunSort(owner, SortMode(), inputName ? inputName->c_str() : nullptr,
          outputName ? outputName->c_str() : nullptr, SortPos(), KeyMode());
}

}  // namespace velkar
