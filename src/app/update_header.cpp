#include "app/update_header.h"

#include "app/install_path.h"
#include "archive/archive_reader.h"
#include "model/document.h"

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
  header->fileType = reader.ReadWord();
  header->formatVersion = reader.ReadWord();
  reader.ReadWord();
  header->signature = reader.ReadArchiveString();
  if (header->signature != kUpdateSignature || header->fileType != kUpdateFileType) {
    return HeaderRefusal::notUpdateFile;
  }
  if (header->formatVersion < 5) return HeaderRefusal::formatTooOld;
  if (header->formatVersion > 6) return HeaderRefusal::formatTooNew;
  header->description = reader.ReadArchiveString();
  header->productName = reader.ReadArchiveString();
  header->failureMessage = reader.ReadArchiveString();
  header->defaultDirectory = reader.ReadArchiveString();
  if (header->formatVersion == 6) {
    for (std::string& part : header->registryPath) part = reader.ReadArchiveString();
  }
  reader.ReadWord();
  reader.Close();
  return HeaderRefusal::none;
}

std::string ProposeInstallDir(const UpdateHeader& header) {
  char installPath[260] = {};
  if (header.formatVersion == 6 && ReadInstallPath(header.registryPath[0], header.registryPath[1],
                                                   header.registryPath[2], installPath)) {
    return installPath;
  }
  return ApplyDriveRule(header.defaultDirectory);
}

TrustRequirement RecordedTrust(const UpdateHeader& header) {
  TrustRequirement trust;
  const std::string* path = header.registryPath;
  if (header.formatVersion == 6 && ReadUpdateKey(path[0], path[1], path[2], &trust.keyText)) {
    trust.keyRequired = true;
    trust.keyOrigin = "the update key this product recorded (UpdateKey under HKLM\\Software\\" +
                      path[0] + "\\" + path[1] + "\\" + path[2] + ")";
  }
  return trust;
}
