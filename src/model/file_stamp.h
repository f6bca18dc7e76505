// CFileStamp: the identity of one version of one file (size, time, file version).
#pragma once

#include <cstdint>
#include <string>

class ArchiveReader;
class Env;

struct CFileStamp {
  uint32_t size = 0;
  uint32_t modified = 0;  // last-write time, seconds since 1970-01-01 00:00:00 UTC
  uint32_t versionMS = 0;
  uint32_t versionLS = 0;

  // Reads the 16-byte stamp record: size, modified, versionMS, versionLS.
  void Read(ArchiveReader& reader);

  // Fills the stamp from the file on disk: version 0.0 when it has no version
  // information; size and time 0 when there is no such file. Returns whether the file was
  // there. Never raises.
  bool ReadFromFile(Env& env, const std::string& path);

  // This (installed) version against `expected`: 0 older, 1 same, 2 newer. versionMS
  // decides first, then versionLS, both compared as signed 32-bit values.
  int CompareVersion(const CFileStamp& expected) const;

  // The version as people write it: major.minor.build.revision, e.g. "1.0.0.5".
  std::string VersionText() const;
};
