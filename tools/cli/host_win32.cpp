#include <windows.h>

#include "host.h"

namespace {

std::atomic<bool> gInterrupted(false);

// Runs on a thread of its own. TRUE: handled, the program goes on; FALSE: the next
// handler, in the end the system's, which ends the program.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  return gInterrupted.exchange(true) ? FALSE : TRUE;
}

}  // namespace

bool IsDirectory(const std::string& path) {
  DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string HostName() {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof name;
  if (!::GetComputerNameA(name, &size)) return std::string();
  return std::string(name, size);
}

bool StandardErrorIsTerminal() {
  // Only a console has a mode: a file, a pipe or NUL has none.
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

InterruptGuard::InterruptGuard() {
  gInterrupted = false;
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

InterruptGuard::~InterruptGuard() { ::SetConsoleCtrlHandler(OnConsoleEvent, FALSE); }

const std::atomic<bool>& InterruptGuard::requested() const { return gInterrupted; }
