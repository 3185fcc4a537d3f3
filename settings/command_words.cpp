// The words of the command line taken from argv, and the text rules the options
// share with the window.
#include "settings/command_words.h"

#include <limits>

namespace velkar {

std::vector<std::string> WordsFromArgv(int argc, const char* const* argv) {
  std::vector<std::string> words;
  for (int i = 0; i < argc; ++i) {
    if (argv[i] == nullptr) break;
    if (i > 0 && argv[i][0] == '\0') continue;
    words.emplace_back(argv[i]);
  }
  return words;
}

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
