#include "app/command_line.h"

std::string PathFromCommandLine(const char* commandLine) {
  if (!commandLine) return std::string();
  const unsigned char* p = reinterpret_cast<const unsigned char*>(commandLine);
  if (*p == '"') {
    ++p;
    while (*p && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p > ' ' && *p != 0x7F) ++p;
  }
  // Blanks and control characters, DEL among them.
  while (*p && (*p <= ' ' || *p == 0x7F)) ++p;
  return std::string(reinterpret_cast<const char*>(p));
}
