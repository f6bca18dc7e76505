// The temporary files updpack writes beside an output: "<output>.tmp<process id>-<n>" for
// the output itself, "<output>.part<process id>-<n>" for scratch. Each is held by the process
// that made it for as long as it exists, so a later build of the same output tells the ones
// a killed build left (and removes them) from the ones a running build still writes. One
// backend per OS: temporary_files_posix.cpp, temporary_files_win32.cpp.
#pragma once

#include <filesystem>
#include <string>

// One temporary file, created empty under a name no other file has, held until it is
// removed or renamed.
class TemporaryName {
 public:
  // Creates "<output>.<kind><process id>-<n>" for a number n no file has taken. Raises
  // PackError "<failure>: <the system's reason>".
  TemporaryName(const std::filesystem::path& output, const char* kind, const std::string& failure);
  // Removes the file unless Renamed. REQUIRES: nothing of this process has it open (Windows).
  ~TemporaryName();
  TemporaryName(const TemporaryName&) = delete;
  TemporaryName& operator=(const TemporaryName&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // The file has been given another name: nothing is left to remove or hold.
  void Renamed();

 private:
  std::filesystem::path path_;
  int held_ = -1;  // POSIX: the descriptor whose lock marks the file as in use
  int slot_ = -1;  // POSIX: where the signal handler finds the name
  bool renamed_ = false;
};

// Removes the temporary files of `output` that no running build holds: those of a build that
// was killed outright. Never raises; a file it cannot tell about is left alone.
void RemoveStaleTemporaries(const std::filesystem::path& output);

// The backend's half of it: removes `path`, a temporary file made by process `process`,
// unless a running build holds it.
void RemoveIfStale(const std::filesystem::path& path, unsigned long process);

// For the program's main. From then on, natively, SIGINT, SIGTERM and SIGHUP remove this
// process's temporary files at once and end it as they would have. On Windows, Ctrl+C,
// Ctrl+Break or closing the console makes the next write of a temporary file raise PackError,
// whose unwinding removes them; a second one, or 10 s without an end, ends it at once.
void RemoveTemporariesWhenInterrupted();

// Raises PackError when an interrupt asked the program to stop (Windows only: natively the
// signal handler does it all).
void StopIfInterrupted();
