// The words of the command line, plain C++ with no Qt: the words taken from argv,
// the Windows-style splitter for a platform that hands over one string, the words
// of this start, and the small text rules the options use (ASCII lower case, the
// position's digit run, the window's reading of a decimal text).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velkar {

// The longest position text kept from a position option; longer digit runs are cut.
inline constexpr std::size_t kMaxPositionDigits = 127;

// Splits one command-line string into words, Windows style: bytes 1 to 32
// separate words, double quotes make blanks part of a word and are dropped, an
// empty pair of quotes where a word would begin is skipped, and the line ends at
// its end or at a NUL. A word is kept whole whatever its length, and a word that
// ends up empty is dropped. Word 0 is the program. Every start here has argv
// (WordsFromArgv): only the tests and the command-line fuzzer call this.
std::vector<std::string> SplitCommandLine(std::string_view line);

// The words of argv as the shell split them: word 0 is the program, empty words
// are skipped, every other word is kept whole. Call it before QApplication is
// built, which removes words such as "-style" or "-reverse" from argv.
std::vector<std::string> WordsFromArgv(int argc, const char* const* argv);

// The words ParseCommandLine applies; set once by the desktop part's entry
// (ui/desktop_main.cpp), or by a test.
const std::vector<std::string>& CommandLineWords();
void SetCommandLineWords(std::vector<std::string> words);

// Only the ASCII letters A to Z change (to a to z); every other byte stays.
std::string AsciiLower(std::string_view word);

// The position text of a position option: the digit run after the "-", cut to
// kMaxPositionDigits digits.
std::string PositionText(std::string_view lowerWord);

// A decimal text as the window reads its edits: an optional sign and ASCII
// digits, nothing else, within int; `fallback` for anything else.
int DecimalValue(std::string_view text, int fallback);

}  // namespace velkar
