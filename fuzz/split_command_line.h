// The Windows-style splitter of one command-line string, for the command-line
// fuzzer (a platform that hands over one string instead of argv) and its tests.
// Every start of the program has argv (WordsFromArgv): the program never calls it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velkar {

inline bool IsCommandLineSeparator(unsigned char c) { return c >= 1 && c <= 32; }

// Splits one command-line string into words, Windows style: bytes 1 to 32
// separate words, double quotes make blanks part of a word and are dropped, an
// empty pair of quotes where a word would begin is skipped, and the line ends at
// its end or at a NUL. A word is kept whole whatever its length, and a word that
// ends up empty is dropped. Word 0 is the program.
inline std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::string_view::size_type end = line.find('\0');
  if (end != std::string_view::npos) line = line.substr(0, end);

  std::vector<std::string> words;
  std::size_t i = 0;
  const std::size_t n = line.size();
  for (;;) {
    while (i < n && IsCommandLineSeparator(static_cast<unsigned char>(line[i]))) ++i;
    // Empty pairs of quotes where a word would begin make no word.
    while (i + 1 < n && line[i] == '"' && line[i + 1] == '"') i += 2;
    if (i >= n) break;
    if (IsCommandLineSeparator(static_cast<unsigned char>(line[i]))) continue;

    std::string word;
    bool quoted = false;
    for (; i < n; ++i) {
      char c = line[i];
      if (c == '"') {
        quoted = !quoted;
      } else if (!quoted && IsCommandLineSeparator(static_cast<unsigned char>(c))) {
        break;
      } else {
        word.push_back(c);
      }
    }
    if (!word.empty()) words.push_back(std::move(word));
  }
  return words;
}

}  // namespace velkar
