#include "engine/run_context.h"

#include <cstring>

void RunContext::AddLine(const char* format, ...) {
  char line[UpdateLog::kLineSize];
  va_list args;
  va_start(args, format);
  UpdateLog::FormatLine(line, format, args);
  va_end(args);
  if (log) log->AddText(line);
  // The line and its terminator in one go: a push_back after it would double the room of
  // an entry's first line, for every entry of the run.
  if (current) current->lines.append(line, std::strlen(line) + 1);
}
