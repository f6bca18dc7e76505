// CFile over a Win32 handle it owns, shared by the Win32 backend's opens.
#pragma once

#include <windows.h>

#include <string>

#include "platform/file.h"

struct FileIdentity;

// The identity of the disk file open as `h`, without its version (CFile::ReadIdentity).
bool ReadOpenIdentity(HANDLE h, FileIdentity* identity);

class Win32File : public CFile {
 public:
  Win32File(HANDLE handle, std::string path) : handle_(handle), path_(std::move(path)) {}
  ~Win32File() override { ::CloseHandle(handle_); }
  Win32File(const Win32File&) = delete;
  Win32File& operator=(const Win32File&) = delete;

  size_t Read(void* buffer, size_t count) override;
  size_t ReadAt(uint64_t offset, void* buffer, size_t count) override;
  uint64_t Tell() override;
  uint64_t SeekRelative(int64_t delta) override;
  uint64_t SeekAbsolute(uint64_t offset) override;
  uint64_t Length() override;
  const std::string& FullPath() const override { return path_; }
  void Write(const void* data, size_t count) override;
  void Flush() override;
  bool ReadIdentity(FileIdentity* identity) override { return ReadOpenIdentity(handle_, identity); }

 private:
  uint64_t Move(int64_t distance, DWORD method, const char* what);

  HANDLE handle_;
  std::string path_;
};
