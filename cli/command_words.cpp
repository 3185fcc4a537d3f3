// The words of the command line: from argv or from one Windows-style string, kept
// for the start-up, and the text rules the options share with the window.
#include "cli/command_words.h"

#include <limits>
#include <utility>

namespace velkar {

namespace {

// The words of this start, word 0 included.
std::vector<std::string>& Words() {
  static std::vector<std::string> words;
  return words;
}

bool IsSeparator(unsigned char c) { return c >= 1 && c <= 32; }

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::string_view::size_type end = line.find('\0');
  if (end != std::string_view::npos) line = line.substr(0, end);

  std::vector<std::string> words;
  std::size_t i = 0;
  const std::size_t n = line.size();
  for (;;) {
    while (i < n && IsSeparator(static_cast<unsigned char>(line[i]))) ++i;
    // Empty pairs of quotes where a word would begin make no word.
    while (i + 1 < n && line[i] == '"' && line[i + 1] == '"') i += 2;
    if (i >= n) break;
    if (IsSeparator(static_cast<unsigned char>(line[i]))) continue;

    std::string word;
    bool quoted = false;
    for (; i < n; ++i) {
      char c = line[i];
      if (c == '"') {
        quoted = !quoted;
      } else if (!quoted && IsSeparator(static_cast<unsigned char>(c))) {
        break;
      } else {
        word.push_back(c);
      }
    }
    if (!word.empty()) words.push_back(std::move(word));
  }
  return words;
}

std::vector<std::string> WordsFromArgv(int argc, const char* const* argv) {
  std::vector<std::string> words;
  for (int i = 0; i < argc; ++i) {
    if (argv[i] == nullptr) break;
    if (i > 0 && argv[i][0] == '\0') continue;
    words.emplace_back(argv[i]);
  }
  return words;
}

const std::vector<std::string>& CommandLineWords() { return Words(); }

void SetCommandLineWords(std::vector<std::string> words) { Words() = std::move(words); }

std::string AsciiLower(std::string_view word) {
  std::string lower(word);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

std::string PositionText(std::string_view lowerWord) {
  std::string digits;
  for (std::size_t i = 1; i < lowerWord.size() && lowerWord[i] >= '0' && lowerWord[i] <= '9'; ++i) {
    if (digits.size() < kMaxPositionDigits) digits.push_back(lowerWord[i]);
  }
  return digits;
}

int DecimalValue(std::string_view text, int fallback) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return fallback;
  long long value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return fallback;
    value = value * 10 + (c - '0');
    if (value > static_cast<long long>(std::numeric_limits<int>::max()) + 1) return fallback;
  }
  if (negative) value = -value;
  if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) {
    return fallback;
  }
  return static_cast<int>(value);
}

}  // namespace velkar
