// CFileStamp: the identity of one version of one file (size, time, file version).
#pragma once

#include <cstdint>

class ArchiveReader;

struct CFileStamp {
  uint32_t size = 0;
  uint32_t modified = 0;  // last-write time, seconds since 1970-01-01 00:00:00 UTC
  uint32_t versionMS = 0;
  uint32_t versionLS = 0;

  // Reads the 16-byte stamp record: size, modified, versionMS, versionLS.
  void Read(ArchiveReader& reader);
};
