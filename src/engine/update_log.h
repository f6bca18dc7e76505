// UpdateLog: the lines of the current run, shown one by one while the run goes on. The
// main window puts them on its list box; MemoryLog keeps them for tests and tools.
#pragma once

#include <cstdarg>
#include <string>
#include <vector>

class UpdateLog {
 public:
  static constexpr size_t kLineSize = 256;  // at most 255 characters and the terminator

  virtual ~UpdateLog() = default;

  // Formats one line printf-style (the engine uses only %s) into 256 characters, cutting
  // anything longer at 255, and appends it as the last line.
  void AddLine(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;

  // Appends a line formatted already (at most 255 characters).
  void AddText(const char* line) { Append(line); }

  // Empties the log.
  virtual void Clear() = 0;

  // The formatting of AddLine: `line` always ends up terminated, cut at 255 characters.
  static void FormatLine(char (&line)[kLineSize], const char* format, va_list args);

 protected:
  virtual void Append(const char* line) = 0;
};

class MemoryLog : public UpdateLog {
 public:
  void Clear() override { lines.clear(); }
  std::vector<std::string> lines;

 protected:
  void Append(const char* line) override { lines.emplace_back(line); }
};
