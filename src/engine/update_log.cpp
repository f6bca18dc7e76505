#include "engine/update_log.h"

#include <cstdarg>
#include <cstdio>

void UpdateLog::AddLine(const char* format, ...) {
  char line[kLineSize];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (n < 0) line[0] = '\0';
  Append(line);
}
