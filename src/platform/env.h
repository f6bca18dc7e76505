// Env: the operating-system services the engine uses to inspect and replace installed
// files. The engine reaches the OS only through an Env, so tests can wrap the real one
// and make any call fail. Paths are Windows paths; the POSIX backend maps backslashes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/file.h"
#include "platform/file_info.h"

class Env {
 public:
  virtual ~Env() = default;

  // The backend of this build over the real OS.
  static Env& Default();

  // Opens an existing file with no sharing, for reading and writing or for reading only.
  // Returns null when the OS refuses for any reason (missing, in use, read-only, ...).
  virtual std::unique_ptr<CFile> OpenExclusive(const std::string& path, bool forWriting) = 0;

  // Creates `path`, or empties it if it exists, for reading and writing with no sharing.
  // Returns null when the OS refuses.
  virtual std::unique_ptr<CFile> CreateExclusive(const std::string& path) = 0;

  // Size, time and file version of `path` (see file_info.h). Never raises.
  virtual FileIdentity ReadFileIdentity(const std::string& path) = 0;

  // The directory for temporary files, ending in a backslash; empty on failure.
  virtual std::string TempDirectory() = 0;

  // Creates a new, empty, uniquely named file "<prefix>XXXX.TMP" in `directory` and
  // returns its full path; empty on failure.
  virtual std::string CreateTempFile(const std::string& directory, const char* prefix) = 0;

  // Deletes a file. Returns false on failure.
  virtual bool RemoveFile(const std::string& path) = 0;

  // Renames `from` to `to`; fails when `to` exists. Returns false on failure.
  virtual bool RenameFile(const std::string& from, const std::string& to) = 0;

  // Renames `from` to `to`, replacing `to` if it exists, in one step. False on failure.
  virtual bool ReplaceFile(const std::string& from, const std::string& to) = 0;

  // Expands (or copies) `source` onto `target`, creating or emptying it. Returns the bytes
  // written: greater than 0 on success, 0 or negative on failure. Never raises.
  virtual int64_t ExpandFile(const std::string& source, const std::string& target) = 0;
};
