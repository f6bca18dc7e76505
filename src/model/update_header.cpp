#include "model/update_header.h"

#include "archive/archive_reader.h"

void ReadHeaderStart(ArchiveReader& reader, UpdateHeader* header) {
  header->fileType = reader.ReadWord();
  header->formatVersion = reader.ReadWord();
  header->unusedWord1 = reader.ReadWord();
  header->signature = reader.ReadArchiveString();
}

void ReadHeaderRest(ArchiveReader& reader, UpdateHeader* header) {
  header->description = reader.ReadArchiveString();
  header->productName = reader.ReadArchiveString();
  header->failureMessage = reader.ReadArchiveString();
  header->defaultDirectory = reader.ReadArchiveString();
  if (HasRegistryPath(header->formatVersion)) {
    for (std::string& part : header->registryPath) part = reader.ReadArchiveString();
  }
  header->unusedWord2 = reader.ReadWord();
}
