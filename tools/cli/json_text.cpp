#include "json_text.h"

#include <cstdint>
#include <cstdio>

namespace {

// Code points of bytes 0x80 to 0x9F in Windows-1252; the five undefined bytes map to the
// C1 control of the same value, as Windows itself converts them.
const uint16_t kHighControls[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, uint32_t codePoint) {
  if (codePoint < 0x80) {
    out.push_back(static_cast<char>(codePoint));
  } else if (codePoint < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  }
}

}  // namespace

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    uint8_t byte = static_cast<uint8_t>(c);
    switch (byte) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (byte < 0x20 || byte == 0x7F) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", byte);
          out += escape;
        } else if (byte >= 0x80 && byte < 0xA0) {
          AppendUtf8(out, kHighControls[byte - 0x80]);
        } else {
          AppendUtf8(out, byte);
        }
    }
  }
  out += '"';
  return out;
}

void JsonObject::Name(const char* name) {
  if (text_.size() > 1) text_ += ',';
  text_ += JsonString(name);
  text_ += ':';
}

JsonObject& JsonObject::Add(const char* name, const std::string& value) {
  Name(name);
  text_ += JsonString(value);
  return *this;
}

JsonObject& JsonObject::Add(const char* name, bool value) {
  Name(name);
  text_ += value ? "true" : "false";
  return *this;
}

JsonObject& JsonObject::Add(const char* name, long value) {
  Name(name);
  text_ += std::to_string(value);
  return *this;
}

JsonObject& JsonObject::AddNull(const char* name) {
  Name(name);
  text_ += "null";
  return *this;
}

JsonObject& JsonObject::AddRaw(const char* name, const std::string& json) {
  Name(name);
  text_ += json;
  return *this;
}

std::string JsonStringArray(const std::vector<std::string>& values) {
  std::string out = "[";
  for (size_t i = 0; i < values.size(); ++i) {
    if (i) out += ',';
    out += JsonString(values[i]);
  }
  return out + "]";
}
