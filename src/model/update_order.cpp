#include "model/update_order.h"

#include "archive/archive_reader.h"

static std::unique_ptr<CObject> CreateUpdateOrder() { return std::make_unique<CUpdateOrder>(); }

const ClassInfo CUpdateOrder::kClass = {"CUpdateOrder", 0, &CreateUpdateOrder};

void CUpdateOrder::ReadFields(ArchiveReader& reader) {
  unusedWord = reader.ReadWord();
  unusedText1 = reader.ReadArchiveString();
  unusedText2 = reader.ReadArchiveString();
  stamp.Read(reader);
  PayloadRecord fingerprint = reader.SkipPayload();
  fingerprintOffset = fingerprint.offset;
  fingerprintLength = fingerprint.length;
}
