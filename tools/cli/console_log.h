// The log of a vareri-cli run: every line the engine adds is printed and flushed at once
// (unless the output is JSON or quiet), and appended with a timestamp and its time zone to
// the --log file when there is one. The streams belong to the caller and outlive the log.
// A progress line on the terminal is cleared before each line printed, and never logged.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "engine/update_log.h"
#include "progress_line.h"

class ConsoleLog : public UpdateLog {
 public:
  // `echo` receives each line as it comes (null: none); `file` each line timestamped;
  // `progress` (null: none) is cleared before each line echoed.
  ConsoleLog(std::ostream* echo, std::ostream* file, ProgressLine* progress = nullptr)
      : echo_(echo), file_(file), progress_(progress) {}

  // A console keeps what it printed.
  void Clear() override {}

  // Appends `text` to the log file only, one timestamped line per line of text.
  void Note(const std::string& text);

  // Whether writing to the log file has failed (a full disk among others).
  bool fileFailed() const { return file_ && !*file_; }

 protected:
  void Append(const char* line) override;

 private:
  void WriteToFile(const std::string& line);

  std::ostream* echo_;
  std::ostream* file_;
  ProgressLine* progress_;
};
