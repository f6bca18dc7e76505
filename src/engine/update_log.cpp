#include "engine/update_log.h"

#include <cstdio>

void UpdateLog::FormatLine(char (&line)[kLineSize], const char* format, va_list args) {
  if (std::vsnprintf(line, sizeof line, format, args) < 0) line[0] = '\0';
}

void UpdateLog::AddLine(const char* format, ...) {
  char line[kLineSize];
  va_list args;
  va_start(args, format);
  FormatLine(line, format, args);
  va_end(args);
  Append(line);
}
