// Wide text to Windows-1252, the ANSI code page the POSIX build stands in for.
#include <cstdint>

#include "platform/text.h"

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
    int byte = Windows1252Byte(unit);
    text.push_back(byte < 0 ? '?' : static_cast<char>(byte));
  }
  return text;
}
