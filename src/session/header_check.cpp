#include "session/header_check.h"

#include "archive/archive_reader.h"
#include "model/document.h"
#include "model/limits.h"

const char* RefusalMessage(HeaderRefusal refusal) {
  // The window's texts, the maker's name in them included.
  switch (refusal) {
    case HeaderRefusal::notUpdateFile:
      return "Selected file is not an Update File";
    case HeaderRefusal::formatTooOld:
      return "Update file version not supported.\nYou may need a new update file from "
             "Velloran, Inc.";
    case HeaderRefusal::formatTooNew:
      return "Update file version not supported.\nYou may need a new version of this "
             "application";
    case HeaderRefusal::none:
      break;
  }
  return "";
}

HeaderRefusal ReadUpdateHeader(CFile& file, UpdateHeader* header) {
  file.SeekAbsolute(0);
  ArchiveReader reader(file, UpdateClassRegistry(), ArchiveReader::kBufferSize);
  ReadHeaderStart(reader, header);
  if (header->signature != kUpdateSignature || header->fileType != kUpdateFileType) {
    return HeaderRefusal::notUpdateFile;
  }
  if (header->formatVersion < kOldestFormat) return HeaderRefusal::formatTooOld;
  if (header->formatVersion > kNewestFormat) return HeaderRefusal::formatTooNew;
  ReadHeaderRest(reader, header);
  reader.Close();
  return HeaderRefusal::none;
}
