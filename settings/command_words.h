// The words of the command line, plain C++ with no Qt: the words taken from argv
// and the small text rules the options use (ASCII lower
// case, the position's digit run, the window's reading of a decimal text).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velkar {

// The longest position text kept from a position option; longer digit runs are cut.
inline constexpr std::size_t kMaxPositionDigits = 127;

// The words of argv as the shell split them: word 0 is the program, empty words
// are skipped, every other word is kept whole. Call it before QApplication is
// built, which removes words such as "-style" or "-reverse" from argv.
std::vector<std::string> WordsFromArgv(int argc, const char* const* argv);

// Only the ASCII letters A to Z change (to a to z); every other byte stays.
std::string AsciiLower(std::string_view word);

// The position text of a position option: the digit run after the "-", cut to
// kMaxPositionDigits digits.
std::string PositionText(std::string_view lowerWord);

// A decimal text as the window reads its edits: an optional sign and ASCII
// digits, nothing else, within int; `fallback` for anything else.
int DecimalValue(std::string_view text, int fallback);

}  // namespace velkar
