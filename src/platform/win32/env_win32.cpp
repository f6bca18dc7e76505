// The engine's OS services over kernel32 and lz32, with the calls the updater has always
// made: share mode 0 opens, GetTempFileNameA "UPD", MoveFileA and MoveFileExA.
#include <windows.h>

#include "platform/env.h"
#include "platform/lz_expand.h"
#include "platform/win32/win32_file.h"

namespace {

class Win32Env : public Env {
 public:
  std::unique_ptr<CFile> OpenExclusive(const std::string& path, bool forWriting) override {
    DWORD access = forWriting ? (GENERIC_READ | GENERIC_WRITE) : GENERIC_READ;
    HANDLE h = ::CreateFileA(path.c_str(), access, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<Win32File>(h, path);
  }

  std::unique_ptr<CFile> CreateExclusive(const std::string& path) override {
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<Win32File>(h, path);
  }

  FileIdentity ReadFileIdentity(const std::string& path) override {
    return ::ReadFileIdentity(path);
  }

  std::string TempDirectory() override {
    char buffer[256];
    DWORD n = ::GetTempPathA(sizeof buffer, buffer);
    if (n == 0 || n >= sizeof buffer) return std::string();
    return std::string(buffer, n);
  }

  std::string CreateTempFile(const std::string& directory, const char* prefix) override {
    char name[MAX_PATH];
    if (::GetTempFileNameA(directory.c_str(), prefix, 0, name) == 0) return std::string();
    return name;
  }

  bool RemoveFile(const std::string& path) override { return ::DeleteFileA(path.c_str()) != 0; }

  bool RenameFile(const std::string& from, const std::string& to) override {
    return ::MoveFileA(from.c_str(), to.c_str()) != 0;
  }

  bool ReplaceFile(const std::string& from, const std::string& to) override {
    return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
  }

  int64_t ExpandFile(const std::string& source, const std::string& target) override {
    return ::ExpandFile(source, target);
  }
};

}  // namespace

Env& Env::Default() {
  static Win32Env env;
  return env;
}
