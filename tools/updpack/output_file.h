// The files updpack writes. An AtomicFile is written under a temporary name beside its final
// one and renamed into place only when complete, so a failure never leaves part of a file
// under the final name and an earlier file there stays as it was. A ScratchFile holds bytes
// that wait for their turn, beside the output, and is removed when done with. Both are
// TemporaryNames (temporary_files.h): an interrupt removes them, and what a killed build
// left the next AtomicFile of the same output removes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "temporary_files.h"
#include "writer/stored_payload.h"

class AtomicFile {
 public:
  // Removes the stale temporary files of `path` (UTF-8), then creates its own beside it.
  // Raises PackError.
  explicit AtomicFile(const std::string& path);
  // Removes the temporary file unless Commit has renamed it.
  ~AtomicFile() = default;
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Appends `count` bytes. Raises PackError, for a full disk among others.
  void Write(const void* data, size_t count);

  // Flushes and closes the temporary file and renames it to `path`. Raises PackError.
  void Commit();

 private:
  std::string path_;
  TemporaryName temp_;  // removed after out_ is closed
  std::ofstream out_;
};

class ScratchFile : public PayloadSpill {
 public:
  // Creates an empty scratch file beside `near` (UTF-8). Raises PackError.
  explicit ScratchFile(const std::string& near);
  ~ScratchFile() = default;
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  // Appends `count` bytes. Raises PackError.
  void Write(const void* data, size_t count) override;

  // Reads everything written back from the start, in pieces of at most `size` bytes into
  // `buffer`; returns each piece's length, 0 at the end. Raises PackError.
  size_t ReadBack(void* buffer, size_t size) override;

 private:
  TemporaryName name_;  // removed after io_ is closed
  std::fstream io_;
  bool reading_ = false;
};
