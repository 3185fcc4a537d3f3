// The command line: the words the program was started with, the splitter for a
// platform that hands over one command-line string, and the flags the words set.
// ParseCommandLine and FormCreate are operations of TVelkarMainForm (command_line.cpp).
#pragma once

#include <QString>
#include <string>
#include <string_view>
#include <vector>

namespace velkar {

// Set by "-a" and "-a+", cleared by FormCreate, read once by FormCreate.
extern unsigned char AutoRun;

// Whether FormCreate asked the application to quit after a successful automatic
// run; the console start-up reads it instead of running an event loop.
extern bool QuitRequested;

// The longest position text kept from a position option; longer digit runs are cut.
inline constexpr std::size_t kMaxPositionDigits = 127;

// Splits one command-line string into words, Windows style: bytes 1 to 32
// separate words, double quotes make blanks part of a word and are dropped, an
// empty pair of quotes where a word would begin is skipped, and the line ends at
// its end or at a NUL. A word is kept whole whatever its length, and a word that
// ends up empty is dropped. Word 0 is the program.
std::vector<std::string> SplitCommandLine(std::string_view line);

// The words of argv as the shell split them: word 0 is the program, empty words
// are skipped, every other word is kept whole. Call it before QApplication is
// built, which removes words such as "-style" or "-reverse" from argv.
std::vector<std::string> WordsFromArgv(int argc, const char* const* argv);

// The words ParseCommandLine applies; set once by main() (or by a test).
const std::vector<std::string>& CommandLineWords();
void SetCommandLineWords(std::vector<std::string> words);

// The application's current hint text (Qt's status tip), which ShowHint shows.
QString ApplicationHint();

// The position text of a position option: the digit run after the "-", cut to
// kMaxPositionDigits digits.
std::string PositionText(std::string_view lowerWord);

}  // namespace velkar
