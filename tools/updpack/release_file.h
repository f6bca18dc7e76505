// A file of a product release as updpack reads it: by its UTF-8 name (on Windows too, where
// the ANSI file functions would mangle a name such as "données"), whole or a piece at a
// time, with the identity the updater will see once it is installed.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "model/file_stamp.h"
#include "platform/file.h"

// Why the file at `path` (UTF-8) cannot be opened for reading, in a few words: "no such
// file", "a directory, not a file", "access denied", or what the system says.
std::string WhyUnreadable(const std::string& path);

// Opens the regular file at `path` (UTF-8) into `in`. Returns "" when it is open, else why
// not (WhyUnreadable).
std::string OpenToRead(const std::string& path, std::ifstream& in);

// The whole file at `path` (UTF-8). Raises PackError naming `field` when it is not a
// regular file, cannot be read, or is 4 GiB or larger.
std::vector<uint8_t> ReadWholeFile(const std::string& path, const std::string& field);

// A release file open for reading, unbuffered: its bytes are read in large pieces or
// sampled, never twice. Failures raise PackError naming `field` and the path.
class InputFile : public CFile {
 public:
  // Raises PackError when `path` is not a regular file or cannot be opened.
  InputFile(const std::string& path, const std::string& field);

  size_t Read(void* buffer, size_t count) override;
  uint64_t Tell() override { return position_; }
  uint64_t SeekRelative(int64_t delta) override;
  uint64_t SeekAbsolute(uint64_t offset) override;
  uint64_t Length() override { return length_; }
  const std::string& FullPath() const override { return path_; }
  const std::string& field() const { return field_; }
  // Closes the file before its name is replaced (Windows refuses while it is open).
  void Close() { in_.close(); }

 private:
  std::string path_;
  std::string field_;
  std::ifstream in_;
  uint64_t length_ = 0;
  uint64_t position_ = 0;
};

// The stamp of the file at `path` whose contents `file` reads: its length, its last-write
// time, and the file version from its version resource (0.0 without one), read as the
// updater reads installed files. Leaves the position anywhere.
CFileStamp ReleaseStamp(const std::string& path, CFile& file);

// The same for contents held in memory.
CFileStamp ReleaseStamp(const std::string& path, const std::vector<uint8_t>& data);
