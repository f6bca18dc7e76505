// Env: the operating-system services the engine uses to inspect and replace installed
// files. The engine reaches the OS only through an Env, so tests can wrap the real one
// and make any call fail. Paths are Windows paths; the POSIX backend maps backslashes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "lz/byte_stream.h"
#include "platform/exceptions.h"
#include "platform/file.h"
#include "platform/file_info.h"

// What ExpandPayload did.
enum class ExpandOutcome {
  expanded,    // every byte the expander produced went to the sink
  noTempFile,  // the backend needed a temporary copy of the contents and could not make one
  failed,      // the expander refused the contents, or the sink refused a write
};

// What ReplaceWithBackup did.
enum class ReplaceOutcome {
  replaced,      // the new file has the target's name; the backup, if asked for, holds the
                 // previous version
  backupFailed,  // the backup could not be made; nothing changed
  failed,        // the new file could not take the target's name; nothing changed
  targetLost,    // the OS failed half-way and putting the previous version back failed too:
                 // the target's name is empty, the previous version is under the backup
                 // name (when one was given), the new file under its own
};

class Env {
 public:
  virtual ~Env() = default;

  // The backend of this build over the real OS.
  static Env& Default();

  // Opens an existing regular disk file with no sharing, for reading and writing or for
  // reading only. Returns null when the OS refuses, storing the reason in `*why`
  // (fileNotFound, sharingViolation, accessDenied, ...; invalidFile for anything that is
  // not a disk file, which is never opened in a way that could wait).
  virtual std::unique_ptr<CFile> OpenExclusive(const std::string& path, bool forWriting,
                                               FileCause* why) = 0;

  // Creates `path`, or empties it if it exists, for reading and writing with no sharing
  // (on POSIX readable by its owner only, never through a link at `path`, never emptying a
  // file that has other names). Returns null when the OS refuses.
  virtual std::unique_ptr<CFile> CreateExclusive(const std::string& path) = 0;

  // Makes the new, empty file `path` and removes it at once, to learn whether its
  // directory takes new files. Never opens, empties or removes a file that exists: a file
  // of that name is taken as proof enough (its directory took it). Returns false when the
  // OS refuses the file.
  virtual bool ProbeNewFile(const std::string& path) = 0;

  // Size, time and file version of `path` (see file_info.h). Never raises.
  virtual FileIdentity ReadFileIdentity(const std::string& path) = 0;

  // The directory for temporary files, ending in a backslash; empty on failure.
  virtual std::string TempDirectory() = 0;

  // Deletes a file. Returns false on failure.
  virtual bool RemoveFile(const std::string& path) = 0;

  // Expands the stored contents `stored` (SZDD, or other bytes, copied unchanged) into
  // `out` with the platform's LZ expansion. A backend whose expander reads only files
  // first copies the contents to a new file in `tempDirectory`, which goes when it is
  // closed, also when the process dies. A write that `out` refuses (it raises) gives
  // `failed`; what `stored` raises, and a failed write of the temporary copy, are raised.
  virtual ExpandOutcome ExpandPayload(ByteSource& stored, const std::string& tempDirectory,
                                      ByteSink& out) = 0;

  // Puts the closed, flushed file `newFile` in the place of `target` in one step, with the
  // target's attributes (Windows) or mode and, where permitted, owner (POSIX). With a
  // `backup` name, the previous version is kept under it in that same step; this fails
  // when a file of that name exists. A target that another program holds open, that is
  // read-only or that is not a file is not replaced. Where the OS needs it (POSIX), the new
  // name lasts a power failure only once the caller has had its directory synced
  // (SyncDirectory).
  virtual ReplaceOutcome ReplaceWithBackup(const std::string& newFile, const std::string& target,
                                           const std::string& backup) = 0;

  // Makes the renames done in `directory` (a Windows path, ending in a backslash) durable.
  // One call covers every rename made there before it. Failure is not reported: the renames
  // have happened, and nothing could undo them.
  virtual void SyncDirectory(const std::string& directory) = 0;
};
