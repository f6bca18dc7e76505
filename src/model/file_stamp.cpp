#include "model/file_stamp.h"

#include "archive/archive_reader.h"

void CFileStamp::Read(ArchiveReader& reader) {
  size = reader.ReadDword();
  modified = reader.ReadDword();
  versionMS = reader.ReadDword();
  versionLS = reader.ReadDword();
}
