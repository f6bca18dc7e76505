// On Windows a temporary file is in use while its maker runs: the name carries the process
// id, and a running build also keeps the file open without delete sharing, which refuses
// its removal even where the id means nothing (another machine writing to a share).
#include <windows.h>

#include <atomic>
#include <system_error>

#include "temporary_files.h"
#include "writer/pack_error.h"

namespace fs = std::filesystem;

namespace {

std::atomic<bool> gInterrupted(false);

// Runs on a thread of its own while the build goes on. The build stops at its next write
// and returns from main, which ends this thread too.
BOOL WINAPI OnConsoleEvent(DWORD) {
  if (gInterrupted.exchange(true)) return FALSE;  // a second one: at once
  ::Sleep(10000);
  return FALSE;  // the system's handler ends the program
}

}  // namespace

TemporaryName::TemporaryName(const fs::path& output, const char* kind, const std::string& failure) {
  static std::atomic<unsigned long> counter(0);
  fs::path stem = output;
  stem += std::string(".") + kind + std::to_string(::GetCurrentProcessId()) + "-";
  for (;;) {
    path_ = stem;
    path_ += std::to_string(counter++);
    HANDLE file = ::CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      ::CloseHandle(file);
      return;
    }
    DWORD error = ::GetLastError();
    // Taken: a file left by an earlier process of the same id.
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
    throw PackError(failure + ": " + std::system_category().message(static_cast<int>(error)));
  }
}

TemporaryName::~TemporaryName() {
  if (!renamed_) ::DeleteFileW(path_.c_str());
}

void TemporaryName::Renamed() { renamed_ = true; }

void RemoveIfStale(const fs::path& path, unsigned long process) {
  if (process == ::GetCurrentProcessId()) return;
  HANDLE maker = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(process));
  if (maker) {
    bool running = ::WaitForSingleObject(maker, 0) == WAIT_TIMEOUT;
    ::CloseHandle(maker);
    if (running) return;
  } else if (::GetLastError() != ERROR_INVALID_PARAMETER) {
    return;  // a process of that id runs, out of this one's reach
  }
  ::DeleteFileW(path.c_str());  // refused while a build has the file open
}

void RemoveTemporariesWhenInterrupted() { ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

void StopIfInterrupted() {
  if (gInterrupted) throw PackError("interrupted; the output was not written");
}
