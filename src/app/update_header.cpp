#include "app/update_header.h"

#include "app/install_path.h"
#include "archive/archive_reader.h"
#include "model/document.h"

std::string ReadUpdateHeader(CFile& file, UpdateHeader* header) {
  file.SeekAbsolute(0);
  ArchiveReader reader(file, UpdateClassRegistry(), ArchiveReader::kBufferSize);
  header->fileType = reader.ReadWord();
  header->formatVersion = reader.ReadWord();
  reader.ReadWord();
  header->signature = reader.ReadArchiveString();
  // The window's texts, including the maker's name in them.
  if (header->signature != "VLR.UPD" || header->fileType != 1) {
    return "Selected file is not an Update File";
  }
  if (header->formatVersion < 5) {
    return "Update file version not supported.\nYou may need a new update file from Velloran, "
           "Inc.";
  }
  if (header->formatVersion > 6) {
    return "Update file version not supported.\nYou may need a new version of this application";
  }
  header->description = reader.ReadArchiveString();
  header->productName = reader.ReadArchiveString();
  header->failureMessage = reader.ReadArchiveString();
  header->defaultDirectory = reader.ReadArchiveString();
  if (header->formatVersion == 6) {
    for (std::string& part : header->registryPath) part = reader.ReadArchiveString();
  }
  reader.ReadWord();
  reader.Close();
  return std::string();
}

std::string ProposeInstallDir(const UpdateHeader& header) {
  char installPath[260] = {};
  if (header.formatVersion == 6 && ReadInstallPath(header.registryPath[0], header.registryPath[1],
                                                   header.registryPath[2], installPath)) {
    return installPath;
  }
  return ApplyDriveRule(header.defaultDirectory);
}
