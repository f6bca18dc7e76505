// What vareri-cli takes from the machine it runs on besides the engine's Env and the system
// directories (platform/system_directories.h): a directory test for messages, the machine's
// name, whether standard error is a terminal, and the console's interrupts. One
// implementation per backend: host_win32.cpp, host_posix.cpp.
#pragma once

#include <atomic>
#include <string>

// Whether `path` (a Windows path) names an existing directory. Never raises.
bool IsDirectory(const std::string& path);

// The machine's name; "" when the system gives none.
std::string HostName();

// Whether the process's standard error is a terminal (on Windows a console), on which a line
// can be rewritten in place: not a file, a pipe or NUL.
bool StandardErrorIsTerminal();

// While it lives, the first interrupt (SIGINT or SIGTERM; on Windows Ctrl+C or Ctrl+Break)
// only sets `requested`, for a run to stop between two files; a second one ends the program
// as if there were no guard. One guard at a time.
class InterruptGuard {
 public:
  InterruptGuard();
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

  const std::atomic<bool>& requested() const;
};
