// What a run did, entry by entry: the facts the window's log, the cli's text and its
// JSON are all drawn from. The engine fills it while it runs; callers only read it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/update_error.h"
#include "model/file_stamp.h"
#include "platform/exceptions.h"

// Why an entry failed when its file's own open was not the reason (that is `openCause`).
enum class EntryCause : uint8_t {
  none,
  sameTarget,         // another selected entry names the same file
  targetIsBackup,     // the file is the backup name of another selected entry
  backupIsTarget,     // its backup name is the file of another entry: keeping the previous
                      // version would delete that file
  backupIsItself,     // its name ends in '_': it is its own backup name
  directoryRefused,   // no new file can be made in its directory, so it cannot be replaced
  changedSinceCheck,  // the file changed between the check and its replacement
  namedAsNewFile,     // its name ends in "~UPD", a new version's name while it is made
  badName,            // the update names it in a way Windows reads as another file
                      // (`detail` says how)
  newFileTaken,       // a file that is not a new version of ours has the new file's name
  backupTaken,        // its backup name is a directory or a read-only file, which stays
  diskFull,           // its volume has no room for the new versions made there (`detail`
                      // says how much more they need); the last, as tests that list every
                      // cause rely on
};

struct EntryOutcome {
  // There is one of these for every entry of the update: what only some entries have is
  // kept in `notes_`, read and set through the functions below.
  std::string lines;          // the log lines written for it, in order, each ended by '\0'
  CFileStamp installed;       // with `stampRead`: the installed file's stamp as last read
  uint32_t matched = 0;       // the previous version it was found to be, counted from 1
  uint32_t collidesWith = 0;  // for the name causes: the other entry, counted from 1
  FileCause openCause = FileCause::none;  // the system's reason the installed file would not
                                          // open as the error says (fileNotFound, cannotWrite):
                                          // fileNotFound, sharingViolation, accessDenied,
                                          // invalidFile (not a disk file), ...
  FileCause firstCause = FileCause::none;
  int errorPass = 0;         // 1: the check found the error; 2: the replacement failed
  UpdateError error = none;  // the code of the entry's error line; none without one
  uint16_t verdict = 0;      // Verdict, valid when `inspected`
  EntryCause cause = EntryCause::none;
  bool reached = false;        // the first pass came to this entry
  bool selected = false;       // it took part in the run
  bool inspected = false;      // its installed file was compared: `verdict` is this run's
  bool stampRead = false;      // the installed file was there
  bool leftover = false;       // the new file's name holds a leftover of an ended run, to remove
  bool replaced = false;       // the new version is in place
  bool restoreFailed = false;  // a failed replacement could not put the file back

  // badName: what is wrong with the name; diskFull: how much more room the volume needs.
  std::string Detail() const { return Note(0); }
  void SetDetail(const std::string& text) { SetNote(0, text); }
  // A kindSystem entry that fell back: the system directory's path, and (`firstCause`) why
  // it did not open.
  std::string FirstPath() const { return Note(1); }
  void SetFirstPath(const std::string& text) { SetNote(1, text); }
  // The full path of the kept previous version, when one was kept.
  std::string Backup() const { return Note(2); }
  void SetBackup(const std::string& text) { SetNote(2, text); }

  // The log lines written for it, one by one.
  std::vector<std::string> Lines() const;

 private:
  std::string Note(size_t index) const;
  void SetNote(size_t index, const std::string& text);

  std::string notes_;  // the notes in order, each ended by '\0'; "" while none is set
};

struct RunRecord {
  bool doUpdate = false;
  bool finished = false;   // Run returned; false while it runs or when a failure was raised
  bool cancelled = false;  // a stop was asked for and the run ended before its last entry
  std::vector<EntryOutcome> entries;  // one per document item, in file order

  size_t Errors() const;
  size_t Replaced() const;
  // How many installed files differ from before the run.
  size_t Changed() const;
};
