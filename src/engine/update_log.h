// UpdateLog: the record of the current run, shown line by line while the run goes on.
// The main window puts it on its list box; MemoryLog keeps the lines for tests and tools.
#pragma once

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

  // Empties the log.
  virtual void Clear() = 0;

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
