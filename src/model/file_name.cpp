#include "model/file_name.h"

#include <cstdio>
#include <cstring>

#include "model/limits.h"

bool IsReservedDeviceName(const std::string& name) {
  // The name before its extension or stream: "NUL.TXT" and "COM1:x" are devices too.
  std::string base = FoldedName(name.substr(0, name.find_first_of(".:")));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
    if (base == device) return true;
  }
  if (base.size() != 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0)) {
    return false;
  }
  // 0 to 9, and the superscripts 1, 2 and 3 of Windows-1252, which Windows reserves too.
  unsigned char digit = static_cast<unsigned char>(base[3]);
  return (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

std::string FileNameProblem(const std::string& name) {
  if (name.empty()) return "is empty";
  if (name == "." || name == "..")
    return "is \"" + name + "\", which Windows reads as a step in a path";
  if (name.size() > kMaxNameLength) {
    return "is longer than " + std::to_string(kMaxNameLength) + " characters";
  }
  for (unsigned char c : name) {
    if (c < 0x20) {
      char text[80];
      std::snprintf(text, sizeof text, "contains the control character 0x%02X", c);
      return text;
    }
    if (std::strchr("<>:\"/\\|?*", c)) {
      return std::string("contains \"") + static_cast<char>(c) +
             "\", which Windows does not allow in names";
    }
  }
  if (name.back() == '.' || name.back() == ' ') {
    return "ends in a dot or a space, which Windows drops: it would name another file";
  }
  if (IsReservedDeviceName(name)) return "is a device name on Windows, not a file";
  return "";
}
