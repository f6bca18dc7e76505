#include "platform/name_case.h"

namespace {

// Windows-1252 lower-case letters outside ASCII whose upper case lies elsewhere than 0x20
// below them: s, oe and z with caron or ligature, y with diaeresis.
struct CasePair {
  unsigned char lower, upper;
};
const CasePair kOddPairs[] = {{0x9A, 0x8A}, {0x9C, 0x8C}, {0x9E, 0x8E}, {0xFF, 0x9F}};

unsigned char UpperByte(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 0x20);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);
  for (const CasePair& pair : kOddPairs) {
    if (c == pair.lower) return pair.upper;
  }
  return c;
}

}  // namespace

std::string FoldedName(const std::string& text) {
  std::string folded = text;
  for (char& c : folded) c = static_cast<char>(UpperByte(static_cast<unsigned char>(c)));
  return folded;
}

bool SameFileName(const char* a, const std::string& b) {
  size_t k = 0;
  for (; a[k] != '\0'; ++k) {
    if (k == b.size() || UpperByte(static_cast<unsigned char>(a[k])) !=
                             UpperByte(static_cast<unsigned char>(b[k]))) {
      return false;
    }
  }
  return k == b.size();
}
