// The settings a sort run is made from, as one plain value, and the option table
// of the command line that fills them in. The window applies the same walk of the
// words to its controls (ParseCommandLine); the console builds this value from
// it and runs the engine without any window. Also the messages both show for a
// file side chosen with no name. Plain C++, no Qt.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace velkar {

// What the words of a command line ask for, one call per word that takes effect,
// in the order of the words.
class OptionSink {
 public:
  virtual ~OptionSink() = default;
  virtual void AutoRunOption(bool quiet) = 0;            // "-a" (quiet false), "-a+" (quiet true)
  virtual void DescendingOption() = 0;                   // "-r"
  virtual void IgnoreCaseOption() = 0;                   // "-i"
  virtual void UniqueOption() = 0;                       // "-u"
  virtual void InputName(const std::string& name) = 0;   // "-f NAME" or any other word
  virtual void OutputName(const std::string& name) = 0;  // "-o NAME"
  // "-N[n][f]": the position text (digits only, cut to kMaxPositionDigits), then
  // whether "n" and then "f" followed the digits.
  virtual void PositionOption(const std::string& digits, bool number, bool field) = 0;
};

// Walks words 1 onward through the option table: each word lower-cased (ASCII
// letters only) for the tests, the first matching row decides, names taken from
// the word itself. "-f" or "-o" as the last word does nothing.
void WalkCommandLine(const std::vector<std::string>& words, OptionSink* sink);

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
  // One engine run (RunSort) with these settings, its boxes owned by `owner`.
  void Run(WindowHandle owner) const;
};

// The settings the words leave, by the rules the window follows.
RunSettings SettingsFromWords(const std::vector<std::string>& words);

// The run request's messages for a file side chosen with no name.
inline constexpr char kNoInputName[] = "読み込み先ファイルが未指定です";
inline constexpr char kNoOutputName[] = "書き出し先ファイルが未指定です";
inline constexpr char kRequestCaption[] = "VELKAR-ERROR";

}  // namespace velkar
