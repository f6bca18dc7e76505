#include "model/update_order.h"

#include "archive/archive_reader.h"
#include "model/samples.h"

static std::unique_ptr<CObject> CreateUpdateOrder() { return std::make_unique<CUpdateOrder>(); }

const ClassInfo CUpdateOrder::kClass = {"CUpdateOrder", 0, &CreateUpdateOrder};

void CUpdateOrder::ReadFields(ArchiveReader& reader) {
  unusedWord = reader.ReadWord();
  unusedText1 = reader.ReadArchiveString();
  unusedText2 = reader.ReadArchiveString();
  stamp.Read(reader);
  PayloadRecord where = reader.ReadPayload(&fingerprint, kMaxFingerprintLength);
  fingerprintOffset = where.offset;
  fingerprintLength = where.length;
}
