// The GUI driver: starting the program under test and ending it, also when a test fails.
#include <vector>

#include "gui_driver.h"
#include "gui_driver_internal.h"

namespace gui {

Process Process::Start(const std::string& exe_path, const std::string& command_line,
                       const std::string& working_dir) {
  std::string exe = ToWindowsPath(exe_path);
  std::string dir = ToWindowsPath(working_dir);
  // lpCommandLine must be writable; it is passed exactly as given.
  std::vector<char> cmd(command_line.begin(), command_line.end());
  cmd.push_back('\0');
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      dir.empty() ? nullptr : dir.c_str(), &si, &pi)) {
    FailLastError("starting '" + exe + "' with command line [" + command_line + "]");
  }
  CloseHandle(pi.hThread);
  Process p;
  p.handle_.Reset(pi.hProcess);
  p.id_ = pi.dwProcessId;
  return p;
}

Process& Process::operator=(Process&& other) noexcept {
  if (this != &other) {
    try {
      Kill();
    } catch (const DriverError&) {
    }
    handle_ = std::move(other.handle_);
    id_ = other.id_;
  }
  return *this;
}

Process::~Process() {
  try {
    Kill();
  } catch (const DriverError&) {
  }
}

bool Process::IsRunning() const {
  return handle_.Valid() && WaitForSingleObject(handle_.Get(), 0) == WAIT_TIMEOUT;
}

bool Process::WaitForExit(DWORD timeout_ms) {
  if (!handle_.Valid()) Fail("WaitForExit: no process");
  DWORD r = WaitForSingleObject(handle_.Get(), timeout_ms);
  if (r == WAIT_FAILED) FailLastError("waiting for process " + std::to_string(id_));
  return r == WAIT_OBJECT_0;
}

DWORD Process::ExitCode() const {
  if (!handle_.Valid()) Fail("ExitCode: no process");
  if (IsRunning()) Fail("ExitCode: process " + std::to_string(id_) + " is still running");
  DWORD code = 0;
  if (!GetExitCodeProcess(handle_.Get(), &code)) FailLastError("GetExitCodeProcess");
  return code;
}

void Process::Kill(UINT exit_code) {
  if (!IsRunning()) return;
  if (!TerminateProcess(handle_.Get(), exit_code) && IsRunning()) {
    FailLastError("terminating process " + std::to_string(id_));
  }
  if (WaitForSingleObject(handle_.Get(), kDefaultTimeoutMs) != WAIT_OBJECT_0) {
    Fail("process " + std::to_string(id_) + " did not end after TerminateProcess");
  }
}

}  // namespace gui
