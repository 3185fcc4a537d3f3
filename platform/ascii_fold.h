// The one ASCII case fold of the program: a..z become A..Z, every other byte,
// 0x80..0xFF included, stays. The duplicate filter's equality, the folded key
// comparisons and the radix sort's fold table are all made from it, so that they
// never disagree on what "ignore case" means.
#pragma once

namespace velkar {

constexpr unsigned char FoldAscii(unsigned char c) {
  return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 0x20) : c;
}

}  // namespace velkar
