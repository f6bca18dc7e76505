#include "model/document.h"

#include <algorithm>

#include "archive/archive_exception.h"
#include "model/body_reader.h"
#include "model/samples.h"

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

namespace {

// Drops the items a load appended unless it keeps them: a file refused after the read would
// only pile them up with every retry.
struct DropItemsUnlessKept {
  ObjectList<CUpdateItem>& items;
  size_t first;
  bool keep = false;
  ~DropItemsUnlessKept() {
    if (!keep) items.erase(items.begin() + static_cast<std::ptrdiff_t>(first), items.end());
  }
};

// A fingerprint the comparison reads further than its record goes (the document's parameters
// ask for more than it holds) is compared, as always, with the bytes after it in the file: a
// file without digests gets them here, once. With digests they would not be the bytes hashed,
// so such a fingerprint matches nothing.
void TopUpFingerprints(CFile& file, ObjectList<CUpdateItem>& items, size_t first, size_t need) {
  for (size_t k = first; k < items.size(); ++k) {
    for (auto& order : items[k]->previousVersions) {
      std::vector<uint8_t>& fingerprint = order->fingerprint;
      if (fingerprint.size() >= need || fingerprint.size() < order->fingerprintLength) continue;
      size_t have = fingerprint.size();
      uint64_t at = uint64_t{order->fingerprintOffset} + have;
      uint64_t length = file.Length();
      size_t more =
          static_cast<size_t>(std::min<uint64_t>(need - have, length > at ? length - at : 0));
      fingerprint.resize(have + more);
      file.SeekAbsolute(at);
      fingerprint.resize(have + ReadFully(file, fingerprint.data() + have, more));
    }
  }
}

}  // namespace

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
  }
  size_t first = items.size();
  uint64_t documentLength = 0;
  if (found.recordPresent) {
    // The body is hashed as it is parsed: what decides the runs is what the record vouches for.
    BodyReader body(file, record.bodyLength);
    DropItemsUnlessKept drop{items, first};
    try {
      ArchiveReader reader(body, UpdateClassRegistry(), ArchiveReader::kBufferSize);
      ReadFields(reader);
      documentLength = reader.Offset();
      reader.Close();
    } catch (const CException&) {
      // A damaged body explains a document that does not read; an intact one keeps what was
      // read, as any failed load does.
      if (body.Finish() != record.bodyDigest) BodyDiffers();
      drop.keep = true;
      throw;
    }
    if (body.Finish() != record.bodyDigest) BodyDiffers();
    AttachContentDigests(record, documentLength, items, first);
    AttachEntryActions(record, items, first);
    drop.keep = true;
  } else {
    file.SeekAbsolute(0);
    ArchiveReader reader(file, UpdateClassRegistry(), ArchiveReader::kBufferSize);
    ReadFields(reader);
    documentLength = reader.Offset();
    reader.Close();
    DropItemsUnlessKept drop{items, first};
    if (sampleCount > 0 && sampleLength <= 1024) {
      TopUpFingerprints(file, items, first, size_t{sampleCount} * (sampleLength + 4u));
    }
    CheckNoRecordCutShort(file, documentLength);
    if (trust.keyRequired) CheckSignature(nullptr, RequiredKey(trust), trust.keyOrigin);
    drop.keep = true;
  }
  integrity = found;
  loaded = true;
}
