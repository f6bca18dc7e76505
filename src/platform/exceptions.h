// The error objects raised by the file layer and by allocations. They travel up to the top of
// the program that started the action, the only place that catches them: the window's dialog
// procedure, which reports them in a box, and vareri-cli's session, which turns them into a
// message and an exit status.
#pragma once

#include <stdexcept>
#include <string>

// Base of every error the program raises on purpose. `what()` is the report text.
class CException : public std::runtime_error {
 public:
  explicit CException(const std::string& text) : std::runtime_error(text) {}
};

// Causes of a file error, derived from the operating system's code.
enum class FileCause {
  none = 0,
  generic = 1,
  fileNotFound = 2,
  badPath = 3,
  tooManyOpenFiles = 4,
  accessDenied = 5,
  invalidFile = 6,
  directoryFull = 8,
  badSeek = 9,
  hardIO = 10,
  sharingViolation = 11,
  lockViolation = 12,
  diskFull = 13,
  endOfFile = 14,
  linkLoop = 15,  // the name is a loop of symbolic links
};

// Plain words for a file cause, e.g. "the file is in use by another program".
const char* FileCauseText(FileCause cause);

// A read, seek, position query or open refused by the operating system.
class CFileException : public CException {
 public:
  CFileException(FileCause cause, long osError, const std::string& context);
  FileCause cause() const { return cause_; }
  long osError() const { return osError_; }

 private:
  FileCause cause_;
  long osError_;
};

// An allocation that failed (a buffer, a string's text, a table, a new object).
class CMemoryException : public CException {
 public:
  CMemoryException() : CException("Out of memory.") {}
};

// An action the user cancelled; reported silently.
class CUserException : public CException {
 public:
  CUserException() : CException("Cancelled.") {}
};
