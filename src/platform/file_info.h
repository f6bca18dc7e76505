// What the engine needs to know of a file on disk without opening it for writing.
#pragma once

#include <cstdint>
#include <string>

// What tells that a file is still the one read earlier, unchanged: where it lives and the
// system's time of its last change of any kind, contents or attributes, which ordinary writes
// always move and which, unlike the last-write time, copying programs do not set back.
// Unknown where the volume keeps no change time (FAT), and for a file changed in the last
// second: another change within the same tick of the clock would leave the time as it is.
struct FileChangeMark {
  uint64_t volume = 0;   // the device (POSIX); 0 on Windows, where the path decides it
  uint64_t file = 0;     // the file's index (inode) on its volume
  uint64_t changed = 0;  // the change time in the system's own unit; 0 when unknown

  bool Known() const { return changed != 0; }
  bool operator==(const FileChangeMark& other) const {
    return volume == other.volume && file == other.file && changed == other.changed;
  }
};

struct FileIdentity {
  bool found = false;      // a directory entry exists for the path
  uint32_t size = 0;       // low 32 bits of the size
  uint32_t modified = 0;   // last-write time, whole seconds since 1970-01-01 UTC
  uint32_t versionMS = 0;  // file version from the version resource; 0.0 when there is none
  uint32_t versionLS = 0;
  FileChangeMark mark;  // read before the version
};

// Whether a later read of the same file could take `earlier`'s version: a version was found
// (0.0 may stand for one that could not be read, as on Windows while another program shares
// nothing of the file) and the file's mark was known.
inline bool VersionMayStand(const FileIdentity* earlier) {
  return earlier && earlier->found && (earlier->versionMS | earlier->versionLS) != 0 &&
         earlier->mark.Known();
}

// Takes `earlier`'s version into `identity`, whose mark was just read, when it still holds
// (VersionMayStand): the same file, known to be unchanged since. Returns whether it did; the
// backend reads the version itself otherwise.
inline bool KeepEarlierVersion(FileIdentity* identity, const FileIdentity* earlier) {
  if (!VersionMayStand(earlier) || !(identity->mark == earlier->mark)) return false;
  identity->versionMS = earlier->versionMS;
  identity->versionLS = earlier->versionLS;
  return true;
}

// Reads the directory entry and the version resource of `path`. Missing or unreadable
// version information gives version 0.0; a missing file, and on Windows a name that opens
// as anything but a disk file (a device, a pipe), give found = false. With `earlier`, what
// an earlier call gave for the same path, the version is taken from it instead of read again
// when the file's mark shows it unchanged (KeepEarlierVersion). Never raises.
FileIdentity ReadFileIdentity(const std::string& path, const FileIdentity* earlier = nullptr);
