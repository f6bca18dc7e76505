#include "model/document.h"

const ClassRegistry& UpdateClassRegistry() {
  static const ClassRegistry registry({&CUpdateItem::kClass, &CUpdateOrder::kClass});
  return registry;
}

// The document is read in place, never as a tagged object: it has no factory.
const ClassInfo VEzorazEdo::kClass = {"VEzorazEdo", 0, nullptr};

void VEzorazEdo::ReadFields(ArchiveReader& reader) {
  fileType = reader.ReadWord();
  formatVersion = reader.ReadWord();
  unusedWord1 = reader.ReadWord();
  signature = reader.ReadArchiveString();
  description = reader.ReadArchiveString();
  productName = reader.ReadArchiveString();
  failureMessage = reader.ReadArchiveString();
  defaultDirectory = reader.ReadArchiveString();
  if (formatVersion >= 6) {
    for (std::string& part : registryPath) part = reader.ReadArchiveString();
  }
  unusedWord2 = reader.ReadWord();
  reader.ReadList(items);
  sampleCount = reader.ReadWord();
  sampleLength = reader.ReadWord();
}

void VEzorazEdo::EnsureLoaded(CFile& file) {
  if (loaded) return;
  file.SeekAbsolute(0);
  ArchiveReader reader(file, UpdateClassRegistry(), ArchiveReader::kBufferSize);
  ReadFields(reader);
  reader.Close();
  loaded = true;
}
