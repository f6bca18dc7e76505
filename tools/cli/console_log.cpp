#include "console_log.h"

#include <ctime>

#include "clock.h"

void ConsoleLog::Append(const char* line) {
  if (echo_) {
    if (progress_) progress_->Clear();
    *echo_ << line << '\n' << std::flush;
  }
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
  *file_ << LogTimestamp(std::time(nullptr)) << ' ' << line << '\n' << std::flush;
}
