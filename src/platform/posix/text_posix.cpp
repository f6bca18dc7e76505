// Wide text to Windows-1252, the ANSI code page the POSIX build stands in for.
#include <cstdint>

#include "platform/text.h"

namespace {

// Code points of bytes 0x80 to 0x9F in Windows-1252. The five bytes the code page leaves
// undefined map to the C1 control with the same value, as Windows itself does.
const uint16_t kHighControls[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char ToCodePage(uint32_t codePoint) {
  if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
    return static_cast<char>(codePoint);
  }
  for (int i = 0; i < 32; ++i) {
    if (kHighControls[i] == codePoint) return static_cast<char>(0x80 + i);
  }
  return '?';
}

}  // namespace

std::string WideToAnsi(const uint16_t* units, size_t count) {
  std::string text;
  text.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    uint32_t unit = units[i];
    if (unit == 0) break;
    // A valid surrogate pair is one character the code page cannot hold: one '?'.
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      ++i;
      text.push_back('?');
      continue;
    }
    text.push_back(ToCodePage(unit));
  }
  return text;
}
