// The new files the Win32 backend made (CreateExclusive), each known by what tells one file
// from another at little cost: its index on its volume and the path the system resolves it
// to. GetFileInformationByHandle tells the volume's serial instead, which costs Wine a
// look-up of the volume, twice for each new file; it is asked only where the system does
// not tell the other two, as some network and virtual volumes do not.
// Each is also held open, for its attributes only, until it is forgotten: while it is held,
// its index is never given to another file. Under Wine the index is the host's inode
// number, which the host gives to the next file made once the file is gone.
#pragma once

#include <windows.h>

#include <map>
#include <string>

// The index on its volume of the file open as `h` (FileInternalInformation): one call, no
// look-up of the volume. False when the system does not tell it.
bool ReadFileIndex(HANDLE h, LONGLONG* index);

class MadeFiles {
 public:
  MadeFiles() = default;
  MadeFiles(const MadeFiles&) = delete;
  MadeFiles& operator=(const MadeFiles&) = delete;
  ~MadeFiles();

  // Remembers the file open as `h`, just made under `path`, and holds it. Returns false when
  // the system does not tell what it is or it cannot be held.
  bool Remember(const std::string& path, HANDLE h);

  // Opens the name `path`, never through a link, for its attributes, when it still leads to
  // the file made under it; INVALID_HANDLE_VALUE otherwise. The handle is the caller's.
  HANDLE OpenByName(const std::string& path) const;

  // Forgets the file made under `path`, and lets go of it: it was put in place, or is to be
  // removed.
  void Forget(const std::string& path);

 private:
  struct Identity {
    LONGLONG index = 0;  // on its volume
    std::wstring path;   // as the system resolves it: with the index, it stands for the volume
    DWORD volume = 0;    // the volume's serial, when the path is not told
    bool operator==(const Identity& other) const {
      return index == other.index && path == other.path && volume == other.volume;
    }
  };
  static bool IdentityOf(HANDLE h, Identity* identity);

  struct Made {
    Identity identity;
    HANDLE held = INVALID_HANDLE_VALUE;  // the file itself, for its attributes only
  };
  std::map<std::string, Made> made_;
};
