#include "model/document.h"

const ClassRegistry& UpdateClassRegistry() {
  static const ClassRegistry registry({&CUpdateItem::kClass, &CUpdateOrder::kClass});
  return registry;
}

// The document is read in place, never as a tagged object: it has no factory.
const ClassInfo VEzorazEdo::kClass = {"VEzorazEdo", 0, nullptr};

void VEzorazEdo::ReadFields(ArchiveReader& reader) {
  ReadHeaderStart(reader, this);
  ReadHeaderRest(reader, this);
  reader.ReadList(items);
  sampleCount = reader.ReadWord();
  sampleLength = reader.ReadWord();
}

void VEzorazEdo::EnsureLoaded(CFile& file) {
  if (loaded) return;
  IntegrityOutcome found;
  IntegrityRecord record;
  found.recordPresent = ReadIntegrityRecord(file, &record);
  // The signature first: a file the vendor did not sign is not even parsed.
  if (found.recordPresent) {
    found.isSigned = record.isSigned;
    found.signer = record.signature.signer;
    found.signature = record.signature;
    found.signedDigest = record.SignedDigest();
    if (trust.keyRequired) {
      CheckSignature(&record, RequiredKey(trust), trust.keyOrigin);
      found.signatureVerified = true;
    }
    CheckBody(file, record);
  }
  file.SeekAbsolute(0);
  ArchiveReader reader(file, UpdateClassRegistry(), ArchiveReader::kBufferSize);
  size_t first = items.size();
  ReadFields(reader);
  uint64_t documentLength = reader.Offset();
  reader.Close();
  // Items of a file refused after the read would only pile up with every retry.
  struct DropItemsUnlessKept {
    ObjectList<CUpdateItem>& items;
    size_t first;
    bool keep = false;
    ~DropItemsUnlessKept() {
      if (!keep) items.erase(items.begin() + static_cast<std::ptrdiff_t>(first), items.end());
    }
  } drop{items, first};
  if (found.recordPresent) {
    AttachContentDigests(record, documentLength, items, first);
  } else {
    CheckNoRecordCutShort(file, documentLength);
    if (trust.keyRequired) CheckSignature(nullptr, RequiredKey(trust), trust.keyOrigin);
  }
  drop.keep = true;
  integrity = found;
  loaded = true;
}
