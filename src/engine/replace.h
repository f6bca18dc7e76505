// Replacing one installed file: the stored contents are expanded into a new file next to
// the target, checked and flushed, and the new file takes the target's place in one step,
// the backup made in that same step. Whatever fails, the target holds a whole file.
#pragma once

#include <string>

#include "engine/update_error.h"
#include "platform/env.h"

class DigestBehind;
struct RunContext;

// What the update pass shares with each entry's first step: where an expansion may keep a
// temporary copy, the batch that flushes the new files together, the thread that works out
// their digests (null: each file's digest is worked out as it is made), and the entry at hand.
struct Staging {
  std::string tempDirectory;
  FlushBatch& batch;
  DigestBehind* digests;
  size_t entry;
};

// A file of ours, removed when the holder goes, whatever happened (exceptions too).
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

// Whether the replacement of `target` could make its new file next to it, and so also
// keep the previous version there under its backup name. Asks the OS (Env::ProbeNewFile
// with the new file's name) once per directory and run (run.writableDirectories).
bool CanMakeNewFileNextTo(RunContext& run, const std::string& target);
