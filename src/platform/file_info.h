// What the engine needs to know of a file on disk without opening it for writing.
#pragma once

#include <cstdint>
#include <string>

struct FileIdentity {
  bool found = false;      // a directory entry exists for the path
  uint32_t size = 0;       // low 32 bits of the size
  uint32_t modified = 0;   // last-write time, whole seconds since 1970-01-01 UTC
  uint32_t versionMS = 0;  // file version from the version resource; 0.0 when there is none
  uint32_t versionLS = 0;
};

// Reads the directory entry and the version resource of `path`. Missing or unreadable
// version information gives version 0.0; a missing file, and on Windows a name that opens
// as anything but a disk file (a device, a pipe), give found = false. Never raises.
FileIdentity ReadFileIdentity(const std::string& path);
