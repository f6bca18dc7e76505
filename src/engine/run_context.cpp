#include "engine/run_context.h"

void RunContext::AddLine(const char* format, ...) {
  char line[UpdateLog::kLineSize];
  va_list args;
  va_start(args, format);
  UpdateLog::FormatLine(line, format, args);
  va_end(args);
  if (log) log->AddText(line);
  if (current) current->lines.append(line).push_back('\0');
}
