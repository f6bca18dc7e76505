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
  busy,          // of one try only, never of the step: the OS refused for the moment (a
                 // scanner had the new file open); nothing changed, a later try may succeed
};

// What one try of giving a file a name did.
enum class TryResult {
  done,     // the file has the new name
  busy,     // refused for the moment, as ReplaceOutcome::busy; nothing changed
  refused,  // refused for good; nothing changed
};

// What a name is, looked at without following a link.
enum class NameKind {
  missing,       // nothing has that name
  file,          // a regular disk file
  readOnlyFile,  // the same, read-only: it cannot be removed or replaced
  directory,     // a directory
  other,         // a link, a device, or a name that cannot be looked at
};

// Held while a run changes the files of a directory; released when destroyed, and by the OS
// when the process ends, however it ends.
class DirectoryLock {
 public:
  virtual ~DirectoryLock() = default;
};

// What Env::HoldScratch returns: the hold ends with it.
class ScratchHold {
 public:
  virtual ~ScratchHold() = default;
};

// The new files of one update pass, made durable together rather than one at a time: each
// is added as soon as it is made, written and closed, and one Flush then covers them all.
class FlushBatch {
 public:
  virtual ~FlushBatch() = default;
  // Takes the file `path` (a Windows path), which CreateExclusive made. Call it before the
  // file is written, so that a failed write-back of any part of it is told to Flush.
  virtual void Add(const std::string& path) = 0;
  // Makes every file added durable: on the disk, not only in the system's cache. Returns
  // the number of files added when all are, else the place (from 0, in the order of Add) of
  // the first file that may not be. Never raises.
  virtual size_t Flush() = 0;
};

// The room left on the volume that holds a directory.
struct DiskSpace {
  std::string volume;         // names the volume: two directories on one share it
  uint64_t freeBytes = 0;     // what this user may still fill
  uint64_t clusterBytes = 1;  // the unit a file's size is rounded up to
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

  // Creates the file `path`, which must not exist (whatever has the name, a link among
  // them, makes it fail: nothing is opened through it), for reading and writing with no
  // sharing, on POSIX readable by its owner only. Remembers which file it made, for
  // ReplaceWithBackup. Returns null when the OS refuses.
  virtual std::unique_ptr<CFile> CreateExclusive(const std::string& path) = 0;

  // Makes a new, empty file next to `path` and removes it at once, to learn whether its
  // directory takes new files: `path` itself, or when that name is taken, `path` followed by a
  // number. Never opens, empties or removes a file that exists. Returns false when the OS
  // refuses the file.
  virtual bool ProbeNewFile(const std::string& path) = 0;

  // What `path` names, not following a link. Never raises.
  virtual NameKind InspectName(const std::string& path) = 0;

  // Takes the lock of the directory whose canonical path is `directory` (CanonicalPath),
  // which one process at a time may hold. Returns null when another process holds it.
  virtual std::unique_ptr<DirectoryLock> LockDirectory(const std::string& directory) = 0;

  // Size, time and file version of `path`, the version reused from `earlier` while the file
  // is unchanged since (see file_info.h). Never raises.
  virtual FileIdentity ReadFileIdentity(const std::string& path, const FileIdentity* earlier) = 0;

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

  // Until the returned hold ends, ExpandPayload keeps its temporary file (where it makes one)
  // from one call to the next, instead of making and deleting one for each; the file is
  // deleted when the hold ends, and also when the process dies.
  virtual std::unique_ptr<ScratchHold> HoldScratch() = 0;

  // Puts the closed, flushed file `newFile` in the place of `target` in one step, with the
  // target's attributes (Windows) or mode and, where permitted, owner (POSIX), set through a
  // handle of the file, not by name. A name `newFile` that no longer refers to the file
  // CreateExclusive made (something swapped it) fails, changing nothing. With a
  // `backup` name, the previous version is kept under it in that same step; this fails
  // when a file of that name exists. A target that another program holds open, that is
  // read-only or that is not a file is not replaced. Where the OS needs it (POSIX), the new
  // name lasts a power failure only once the caller has had its directory synced
  // (SyncDirectory). A try the OS refuses only for the moment is made again after each of
  // kRetryPausesMs; past them the step fails as any refusal does (failed, or backupFailed
  // with a backup name). Never returns busy.
  ReplaceOutcome ReplaceWithBackup(const std::string& newFile, const std::string& target,
                                   const std::string& backup);

  // Gives the closed, flushed file `newFile`, which CreateExclusive made, the name `target`,
  // which nothing may have: a name that something took meanwhile fails, changing nothing, as
  // does a `newFile` that no longer is the file made. Durable once its directory is synced.
  // Tried again as ReplaceWithBackup is.
  bool PlaceNewFile(const std::string& newFile, const std::string& target);

  // Gives the regular file `from` the name `to`, which nothing may have. Returns false,
  // changing nothing, when the OS refuses, `from` is read-only or no regular file, or `to` is
  // taken. Durable once its directory is synced. Tried again as ReplaceWithBackup is.
  bool RenameFile(const std::string& from, const std::string& to);

  // The pauses between the tries of a step the OS refuses for the moment: 1975 ms in all,
  // about the time a scanner takes to look at a new program.
  static constexpr unsigned kRetryPausesMs[] = {15, 30, 60, 120, 250, 500, 1000};

  // One try of each of the three, as described there, busy included. A backend says busy
  // only for what passes: on Windows a sharing violation, a lock violation or access denied;
  // on POSIX EBUSY (how a Windows server's sharing violation reaches a network mount).
  virtual ReplaceOutcome TryReplaceWithBackup(const std::string& newFile, const std::string& target,
                                              const std::string& backup) = 0;
  virtual TryResult TryPlaceNewFile(const std::string& newFile, const std::string& target) = 0;
  virtual TryResult TryRenameFile(const std::string& from, const std::string& to) = 0;

  // Waits `ms` milliseconds before the next try.
  virtual void Pause(unsigned ms) = 0;

  // Makes the directory `directory` (a Windows path) and any of its parents that are missing.
  // Returns false when one cannot be made; those made stay.
  virtual bool CreateDirectories(const std::string& directory) = 0;

  // Starts a batch of new files to flush together (FlushBatch). The backend flushes as few
  // times as it can: natively one syncfs per file system, on Windows each file once, after
  // all of them were written.
  // Both are the build's backend itself (flush_batch_*.cpp), which a wrapper may replace.
  virtual std::unique_ptr<FlushBatch> StartFlushBatch();

  // The room on the volume of `directory` (a Windows path, ending in a backslash). Returns
  // false when the OS does not tell, as some network volumes do not.
  virtual bool ReadDiskSpace(const std::string& directory, DiskSpace* space);

  // Makes the renames done in `directory` (a Windows path, ending in a backslash) durable.
  // One call covers every rename made there before it. Failure is not reported: the renames
  // have happened, and nothing could undo them. Natively it first waits until every previous
  // version replaced without a backup is freed (ReplaceWithBackup frees them on threads of
  // its own).
  virtual void SyncDirectory(const std::string& directory) = 0;
};
