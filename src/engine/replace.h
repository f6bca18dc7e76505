// Replacing one installed file: the stored contents go to a temporary file in their
// original order, are expanded next to the target, and replace it in one step.
#pragma once

#include <cstdint>
#include <string>

#include "engine/update_error.h"
#include "platform/env.h"

// A temporary file removed when the holder goes, whatever happened (exceptions too).
class TempFile {
 public:
  explicit TempFile(Env& env) : env_(env) {}
  ~TempFile() { Remove(); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  void Adopt(const std::string& path) { path_ = path; }
  // Forgets the file without removing it (it has been renamed into place).
  void Release() { path_.clear(); }
  void Remove();
  const std::string& path() const { return path_; }

 private:
  Env& env_;
  std::string path_;
};

// Copies `size` stored bytes at `offset` of `updateFile` into a new temporary file
// ("UPD" prefix, in the temporary-files directory), reversing each 1024-byte block.
// Returns none, cannotCreateTemp (no temporary file could be made) or cannotDecompress
// (the update file ends inside the payload). Raises what the file layer raises; `temp`
// removes the file in every case when it goes.
UpdateError ExtractPayload(Env& env, CFile& updateFile, uint32_t offset, uint32_t size,
                           TempFile& temp);

// Expands `source` onto `target` through a new file in the target's directory that
// replaces the target only when it holds exactly `expectedSize` bytes. Returns none or
// cannotDecompress; on failure the target is as it was.
UpdateError ExpandFile(Env& env, const std::string& source, const std::string& target,
                       uint32_t expectedSize);
