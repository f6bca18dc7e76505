#include "model/file_stamp.h"

#include <cstdio>

#include "archive/archive_reader.h"

void CFileStamp::Read(ArchiveReader& reader) {
  size = reader.ReadDword();
  modified = reader.ReadDword();
  versionMS = reader.ReadDword();
  versionLS = reader.ReadDword();
}

std::string CFileStamp::VersionText() const {
  char text[48];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", static_cast<unsigned>(versionMS >> 16),
                static_cast<unsigned>(versionMS & 0xFFFF), static_cast<unsigned>(versionLS >> 16),
                static_cast<unsigned>(versionLS & 0xFFFF));
  return text;
}
