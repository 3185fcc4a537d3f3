// A slow, plain model of the line rules and the sort keys, written apart from the
// engine, which the fuzzers hold the engine's results against: how a text is cut
// into lines, and how two lines compare under each key kind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velkar::reference {

// The lines of a text: every piece ended by LF before the first NUL, with one CR
// right before the LF cut too; a non-empty last piece without LF is a line unless it
// is only the end-of-file mark 0x1A.
inline std::vector<std::string> SplitText(std::string_view text) {
  std::size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  std::vector<std::string> lines;
  std::size_t p = 0;
  while (p < text.size()) {
    std::size_t lf = text.find('\n', p);
    if (lf == std::string_view::npos) {
      std::string_view last = text.substr(p);
      if (last != "\x1A") lines.emplace_back(last);
      break;
    }
    std::size_t end = lf > p && text[lf - 1] == '\r' ? lf - 1 : lf;
    lines.emplace_back(text.substr(p, end - p));
    p = lf + 1;
  }
  return lines;
}

inline unsigned char Fold(unsigned char c) { return c >= 'a' && c <= 'z' ? c - 0x20 : c; }

// -1, 0 or 1 over unsigned bytes, a shorter text first; folded when asked.
inline int CompareText(std::string_view a, std::string_view b, bool folded) {
  std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (folded) {
      x = Fold(x);
      y = Fold(y);
    }
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// White space 0x09..0x0D and 0x20, one sign, decimal digits, wrapping modulo 2^32.
inline std::int32_t Number(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || (s[i] >= 0x09 && s[i] <= 0x0D))) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  std::uint32_t value = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    value = value * 10u + static_cast<std::uint32_t>(s[i] - '0');
  }
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

// Field `pos` of a line (commas before it; pos <= 0 is field 0); false when missing.
inline bool Field(std::string_view line, std::int32_t pos, std::string_view* field) {
  std::size_t start = 0;
  for (std::int32_t passed = 0; passed < pos; ++passed) {
    std::size_t comma = line.find(',', start);
    if (comma == std::string_view::npos) return false;
    start = comma + 1;
  }
  std::size_t end = line.find(',', start);
  *field = line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
  return true;
}

// One sort setting: which key, in which order; or no sort at all.
struct Setting {
  bool sorts = false;
  enum Kind { kLine, kColumn, kField } kind = kLine;
  bool number = false;
  bool descending = false;
  bool folded = false;
  std::int32_t pos = 0;
};

inline Setting SettingFor(std::int32_t order, std::int32_t pos, std::int32_t keyMode) {
  Setting s;
  if (order < 0 || order > 3) return s;
  s.descending = (order & 1) != 0;
  s.pos = pos;
  switch (keyMode) {
    case 1:
      s.kind = pos == 0 ? Setting::kLine : Setting::kColumn;
      break;
    case 2:
      s.kind = pos == 0 ? Setting::kLine : Setting::kField;
      break;
    case 5:
      s.kind = pos == 0 ? Setting::kLine : Setting::kColumn;
      s.number = true;
      break;
    case 6:
      s.kind = Setting::kField;
      s.number = true;
      break;
    default:
      return s;
  }
  s.sorts = true;
  s.folded = !s.number && (order & 2) != 0;
  return s;
}

// Whether the line has a key under the setting; a line without one compares equal
// to every line (a number field that is missing has the value 0 instead).
inline bool HasKey(const Setting& s, std::string_view line) {
  if (s.kind == Setting::kColumn) return line.size() > static_cast<std::uint32_t>(s.pos);
  if (s.kind == Setting::kField && !s.number) {
    std::string_view f;
    return Field(line, s.pos, &f);
  }
  return true;
}

// Negative, 0 or positive: whether a goes before, with or after b.
inline int Compare(const Setting& s, std::string_view a, std::string_view b) {
  if (!HasKey(s, a) || !HasKey(s, b)) return 0;
  int r = 0;
  if (s.kind == Setting::kLine) {
    r = s.number ? (Number(a) > Number(b)) - (Number(a) < Number(b)) : CompareText(a, b, s.folded);
  } else if (s.kind == Setting::kColumn) {
    std::size_t pos = static_cast<std::uint32_t>(s.pos);
    std::string_view x = a.substr(pos), y = b.substr(pos);
    r = s.number ? (Number(x) > Number(y)) - (Number(x) < Number(y)) : CompareText(x, y, s.folded);
  } else {
    std::string_view x, y;
    bool hasX = Field(a, s.pos, &x), hasY = Field(b, s.pos, &y);
    if (s.number) {
      auto value = [](bool has, std::string_view f) -> std::int32_t {
        if (!has) return 0;
        if (!f.empty() && f[0] == '"') f.remove_prefix(1);
        return Number(f);
      };
      std::int32_t vx = value(hasX, x), vy = value(hasY, y);
      r = (vx > vy) - (vx < vy);
    } else {
      r = CompareText(x.substr(0, 512), y.substr(0, 512), s.folded);
    }
  }
  return s.descending ? -r : r;
}

// Whether every line has its key, so that the setting orders the lines consistently.
inline bool Consistent(const Setting& s, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    if (!HasKey(s, line)) return false;
  }
  return true;
}

// The duplicate filter's equality: whole lines, exact or with a..z folded.
inline bool SameLine(std::string_view a, std::string_view b, bool ignoreCase) {
  return CompareText(a, b, ignoreCase) == 0;
}

}  // namespace velkar::reference
