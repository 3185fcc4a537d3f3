// The settings a sort run is made from, as one plain value, and the option table
// of the command line that makes it from the words. The window puts the value into
// its controls (ParseCommandLine) and reads it back from them (Settings); the
// console runs the engine from it without any window. Also the messages both show
// for a file side chosen with no name. Plain C++, no Qt.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace velkar {

// The settings of one run, as the window's controls hold them after the command
// line: the initial state is the window's (ascending, letter case counts, all
// lines kept, clipboard in and out, position "1", byte column, string key).
struct RunSettings {
  bool descending = false;
  bool ignoreCase = false;
  bool unique = false;
  std::optional<std::string> inputName;   // nullopt: the clipboard
  std::optional<std::string> outputName;  // nullopt: the clipboard
  std::string positionText = "1";         // the key position edit's text, one-based
  bool numberKey = false;
  bool fieldKey = false;
  bool autoRun = false;
  bool quietFinish = false;

  bool operator==(const RunSettings&) const = default;

  // The engine's arguments, converted as the run request converts the controls.
  std::int32_t SortMode() const;
  std::int32_t SortPos() const;
  std::int32_t KeyMode() const;

  // The message for a file side chosen with no name (the input's first), or
  // nullptr when the run can start.
  const char* MissingName() const;
  // One engine run (RunSort) with these settings, its boxes owned by `owner`;
  // QuietFinish is set from quietFinish first.
  void Run(WindowHandle owner) const;
};

// The settings words 1 onward leave, through the option table: each word
// lower-cased (ASCII letters only) for the tests, the first matching row decides,
// names taken from the word itself; "-f" or "-o" as the last word does nothing.
// Later names replace earlier ones, and no option turns a setting off again.
RunSettings SettingsFromWords(const std::vector<std::string>& words);

// The run request's messages for a file side chosen with no name, shown under the
// engine's error caption (kErrorCaption, engine/messages.h).
inline constexpr char kNoInputName[] = "読み込み先ファイルが未指定です";
inline constexpr char kNoOutputName[] = "書き出し先ファイルが未指定です";

}  // namespace velkar
