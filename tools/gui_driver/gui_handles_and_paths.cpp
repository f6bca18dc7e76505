// The GUI driver: closing kernel handles, and finding the program to drive from the Unix
// paths ctest passes (mapped to the Windows paths Wine gives them).
#include <algorithm>

#include "gui_driver.h"
#include "gui_driver_internal.h"

namespace gui {

ScopedHandle& ScopedHandle::operator=(ScopedHandle&& other) noexcept {
  if (this != &other) Reset(other.Release());
  return *this;
}

HANDLE ScopedHandle::Release() {
  HANDLE h = h_;
  h_ = nullptr;
  return h;
}

void ScopedHandle::Reset(HANDLE h) {
  if (Valid()) CloseHandle(h_);
  h_ = h;
}

std::string ToWindowsPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  // Wine exports its own mapping; on Windows there is none and the fallback is never hit.
  using DosName = WCHAR*(CDECL*)(const char*);
  auto dos_name = reinterpret_cast<DosName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name")));
  if (dos_name) {
    if (WCHAR* w = dos_name(path.c_str())) {
      char buf[MAX_PATH * 2];
      int n = WideCharToMultiByte(CP_ACP, 0, w, -1, buf, sizeof buf, nullptr, nullptr);
      HeapFree(GetProcessHeap(), 0, w);
      if (n > 0) return buf;
    }
  }
  std::string out = "Z:" + path;
  std::replace(out.begin(), out.end(), '/', '\\');
  return out;
}

std::string ExeDirectory() {
  char buf[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
  if (n == 0 || n >= sizeof buf) FailLastError("GetModuleFileNameA");
  std::string path(buf, n);
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string LocateProgram(const char* env_var, const std::string& file_name) {
  // GetEnvironmentVariableA sees changes the process made itself, unlike getenv's copy.
  char buf[MAX_PATH * 2];
  DWORD n = GetEnvironmentVariableA(env_var, buf, sizeof buf);
  if (n > 0 && n < sizeof buf) return ToWindowsPath(buf);
  return ExeDirectory() + "\\" + file_name;
}

}  // namespace gui
