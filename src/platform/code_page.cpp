// Windows-1252, the code page update files are written in: the same on every backend.
#include <cstdio>

#include "platform/text.h"

namespace {

// Code points of bytes 0x80 to 0x9F. The five bytes the code page leaves undefined map to the
// C1 control with the same value, as Windows itself does.
const uint16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                            0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

int Windows1252Byte(uint32_t codePoint) {
  if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
    return static_cast<int>(codePoint);
  }
  for (int i = 0; i < 32; ++i) {
    if (kHigh[i] == codePoint) return 0x80 + i;
  }
  return -1;
}

bool Utf8ToCodePage(const std::string& utf8, std::string* out, std::string* problem) {
  out->clear();
  if (problem) *problem = "a byte sequence that is not UTF-8";
  for (size_t i = 0; i < utf8.size();) {
    unsigned char lead = static_cast<unsigned char>(utf8[i]);
    uint32_t cp;
    size_t extra;
    if (lead < 0x80) {
      cp = lead;
      extra = 0;
    } else if ((lead & 0xE0) == 0xC0) {
      cp = lead & 0x1F;
      extra = 1;
    } else if ((lead & 0xF0) == 0xE0) {
      cp = lead & 0x0F;
      extra = 2;
    } else if ((lead & 0xF8) == 0xF0) {
      cp = lead & 0x07;
      extra = 3;
    } else {
      return false;
    }
    for (size_t k = 1; k <= extra; ++k) {
      if (i + k >= utf8.size()) return false;
      unsigned char next = static_cast<unsigned char>(utf8[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (next & 0x3F);
    }
    i += extra + 1;
    static const uint32_t kLeast[4] = {0, 0x80, 0x800, 0x10000};
    if (cp < kLeast[extra]) return false;  // overlong forms hide characters
    // The C1 controls are no characters of a name or a text, though Windows maps five of
    // the code page's bytes to them.
    int byte = cp >= 0x80 && cp < 0xA0 ? -1 : Windows1252Byte(cp);
    if (byte < 0) {
      if (problem) {
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X", cp);
        *problem = "\"" + utf8.substr(i - extra - 1, extra + 1) + "\" (" + code + ")";
      }
      return false;
    }
    out->push_back(static_cast<char>(byte));
  }
  return true;
}
