// Test helpers: a fresh temporary directory per test, files written into it, and a file's
// bytes read back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // Writes `bytes` to `name` inside the directory and returns the full path.
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const;

 private:
  std::string path_;
};

// The whole of the file at `path` as text; "" when there is none.
std::string FileText(const std::string& path);
