#include "console_log.h"

#include <ctime>

std::string LocalTimestamp() {
  std::time_t now = std::time(nullptr);
  std::tm local = {};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  char text[32];
  if (std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local) == 0) return "?";
  return text;
}

void ConsoleLog::Append(const char* line) {
  if (echo_) *echo_ << line << '\n' << std::flush;
  WriteToFile(line);
}

void ConsoleLog::Note(const std::string& text) {
  size_t start = 0;
  for (;;) {
    size_t end = text.find('\n', start);
    WriteToFile(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
}

void ConsoleLog::WriteToFile(const std::string& line) {
  if (!file_ || !*file_) return;
  *file_ << LocalTimestamp() << ' ' << line << '\n' << std::flush;
}
