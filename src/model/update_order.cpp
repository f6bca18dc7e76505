#include "model/update_order.h"

#include <new>
#include <utility>

#include "archive/archive_reader.h"
#include "model/samples.h"
#include "platform/exceptions.h"

static std::unique_ptr<CObject> CreateUpdateOrder() { return std::make_unique<CUpdateOrder>(); }

const ClassInfo CUpdateOrder::kClass = {"CUpdateOrder", 0, &CreateUpdateOrder};

void CUpdateOrder::ReadFields(ArchiveReader& reader) {
  unusedWord = reader.ReadWord();
  std::string first = reader.ReadArchiveString();
  std::string second = reader.ReadArchiveString();
  if (!first.empty() || !second.empty()) {
    try {
      unusedTexts = std::make_unique<std::array<std::string, 2>>();
    } catch (const std::bad_alloc&) {
      throw CMemoryException();
    }
    (*unusedTexts)[0] = std::move(first);
    (*unusedTexts)[1] = std::move(second);
  }
  stamp.Read(reader);
  PayloadRecord where = reader.ReadPayload(&fingerprint, kMaxFingerprintLength);
  fingerprintOffset = where.offset;
  fingerprintLength = where.length;
}
