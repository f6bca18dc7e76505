// CFile over a POSIX descriptor it owns, and the descriptor holder, shared by the POSIX
// backend's opens.
#pragma once

#include <string>

#include "platform/file.h"

struct FileIdentity;

// The identity of the regular file open as `fd`, without its version (CFile::ReadIdentity).
bool ReadOpenIdentity(int fd, FileIdentity* identity);

// A descriptor closed when the holder goes, unless released to a new owner.
class ScopedFd {
 public:
  explicit ScopedFd(int fd) : fd_(fd) {}
  ~ScopedFd();
  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;
  int get() const { return fd_; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

class PosixFile : public CFile {
 public:
  PosixFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~PosixFile() override;
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;

  size_t Read(void* buffer, size_t count) override;
  size_t ReadAt(uint64_t offset, void* buffer, size_t count) override;
  uint64_t Tell() override;
  uint64_t SeekRelative(int64_t delta) override;
  uint64_t SeekAbsolute(uint64_t offset) override;
  uint64_t Length() override;
  const std::string& FullPath() const override { return path_; }
  void Write(const void* data, size_t count) override;
  void Flush() override;
  void StartWriteBack() override;
  bool ReadIdentity(FileIdentity* identity) override;

 private:
  uint64_t Move(int64_t offset, int whence, const char* what);

  int fd_;
  std::string path_;
};
