// Sort keys: byte and folded comparison of texts, the number value of a text, and
// the field keys. Every routine works on single bytes, independent of the locale.
#include <cstring>

#include "engine/engine_internal.h"
#include "platform/ascii_fold.h"

namespace velkar {

// Start of field SortPos in the line, or nullptr when the line has fewer commas.
// A SortPos of 0 or less passes no comma.
const char* LocateField(const char* line) {
  const char* p = line;
  for (std::int32_t passed = 0; passed < SortPos; ++passed) {
    p = std::strchr(p, ',');
    if (p == nullptr) return nullptr;
    ++p;
  }
  return p;
}

int CompareBytes(const char* a, const char* b) {
  // strcmp compares the bytes as unsigned char and stops at the first NUL.
  int r = std::strcmp(a, b);
  return (r > 0) - (r < 0);
}

int CompareFolded(const char* a, const char* b) {
  const auto* x = reinterpret_cast<const unsigned char*>(a);
  const auto* y = reinterpret_cast<const unsigned char*>(b);
  for (;; ++x, ++y) {
    unsigned char fx = FoldAscii(*x);
    unsigned char fy = FoldAscii(*y);
    if (fx != fy) return static_cast<int>(fx) - static_cast<int>(fy);
    if (fx == 0) return 0;
  }
}

std::int32_t NumberValue(const char* text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  while ((*p >= 0x09 && *p <= 0x0D) || *p == 0x20) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  // Unsigned arithmetic wraps modulo 2^32 by definition; the conversion back to
  // signed reads the bits as two's complement.
  std::uint32_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) value = value * 10u + static_cast<std::uint32_t>(*p - '0');
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

char* FieldKeyText(const char* line, char* buffer) {
  const char* field = LocateField(line);
  if (field == nullptr) return nullptr;
  std::size_t length = std::strcspn(field, ",");
  if (length > kKeyBufferSize - 1) length = kKeyBufferSize - 1;
  std::memcpy(buffer, field, length);
  buffer[length] = '\0';
  return buffer;
}

std::int32_t FieldKeyNumber(const char* line) {
  const char* field = LocateField(line);
  if (field == nullptr) return 0;
  if (*field == '"') ++field;
  return NumberValue(field);
}

}  // namespace velkar
