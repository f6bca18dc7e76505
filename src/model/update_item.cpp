#include "model/update_item.h"

static std::unique_ptr<CObject> CreateUpdateItem() { return std::make_unique<CUpdateItem>(); }

const ClassInfo CUpdateItem::kClass = {"CUpdateItem", 0, &CreateUpdateItem};

void CUpdateItem::ReadFields(ArchiveReader& reader) {
  componentName = reader.ReadArchiveString();
  description = reader.ReadArchiveString();
  defaultSelected = reader.ReadWord();
  fileName = reader.ReadArchiveString();
  unusedWord = reader.ReadWord();
  directoryKind = reader.ReadWord();
  directory = reader.ReadArchiveString();
  selected = defaultSelected != 0;
  reader.ReadList(previousVersions);
  expectedStamp.Read(reader);
  PayloadRecord payload = reader.SkipPayload();
  payloadOffset = payload.offset;
  payloadLength = payload.length;
}
