#include "model/integrity_check.h"

#include <memory>
#include <new>

#include "archive/archive_exception.h"
#include "platform/exceptions.h"
#include "platform/file_digest.h"

namespace {

[[noreturn]] void Damaged(const std::string& detail) {
  throw CArchiveException(ArchiveCause::generic, std::string(), detail);
}

std::string Capitalized(std::string text) {
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 32);
  return text;
}

}  // namespace

PublicKey RequiredKey(const TrustRequirement& trust) {
  PublicKey key;
  std::string problem = ParsePublicKey(trust.keyText, &key);
  if (!problem.empty()) {
    throw CTrustException(Capitalized(trust.keyOrigin) + " is not a valid key: " + problem + ".");
  }
  return key;
}

namespace {

void Check(bool isSigned, const IntegritySignature& signature, const Sha256Digest& signedDigest,
           const PublicKey& key, const std::string& origin) {
  std::string required = origin + " (" + key.Id().Hex() + ")";
  if (!isSigned) {
    throw CTrustException("The update file is not signed, but " + required +
                          " requires a signature: get the update file from its vendor.");
  }
  if (signature.signer != key.Id()) {
    throw CTrustException("The update file is signed by another key (" + signature.signer.Hex() +
                          "), not by " + required + ": get the update file from its vendor.");
  }
  if (!VerifySignature(key, signedDigest, signature.value)) {
    throw CTrustException(
        "The update file's signature does not match its contents: the file was changed after "
        "it was signed. Get the update file again.");
  }
}

}  // namespace

void CheckSignature(const IntegrityRecord* record, const PublicKey& key,
                    const std::string& origin) {
  if (!record) {
    Check(false, IntegritySignature(), Sha256Digest(), key, origin);
  } else {
    Check(record->isSigned, record->signature, record->SignedDigest(), key, origin);
  }
}

void CheckSignature(const IntegrityOutcome& found, const PublicKey& key,
                    const std::string& origin) {
  Check(found.recordPresent && found.isSigned, found.signature, found.signedDigest, key, origin);
}

void BodyDiffers() {
  Damaged(
      "Its contents differ from the checksum in its integrity record: get the update file "
      "again.");
}

void CheckBody(CFile& file, const IntegrityRecord& record) {
  if (Sha256OfFile(file, 0, record.bodyLength) != record.bodyDigest) BodyDiffers();
}

void CheckBodyIfRecorded(CFile& file) {
  IntegrityRecord record;
  if (ReadIntegrityRecord(file, &record)) CheckBody(file, record);
}

void AttachContentDigests(const IntegrityRecord& record, uint64_t documentLength,
                          ObjectList<CUpdateItem>& items, size_t first) {
  if (documentLength > record.bodyLength) {
    Damaged("Its document runs " + std::to_string(documentLength - record.bodyLength) +
            " bytes into its integrity record.");
  }
  size_t count = items.size() - first;
  if (record.entries.size() != count) {
    Damaged("Its integrity record lists " + std::to_string(record.entries.size()) +
            " file entries; the update has " + std::to_string(count) + ".");
  }
  for (size_t k = 0; k < count; ++k) {
    const CUpdateItem& item = *items[first + k];
    if (record.entries[k].size != item.expectedStamp.size) {
      Damaged("Its integrity record gives entry " + std::to_string(k + 1) + " (" + item.fileName +
              ") " + std::to_string(record.entries[k].size) +
              " bytes; the entry's new version has " + std::to_string(item.expectedStamp.size) +
              ".");
    }
  }
  for (size_t k = 0; k < count; ++k) {
    items[first + k]->hasContentDigest = true;
    items[first + k]->contentDigest = record.entries[k].digest;
  }
}

void AttachEntryActions(const IntegrityRecord& record, ObjectList<CUpdateItem>& items,
                        size_t first) {
  for (const IntegrityField& field : record.laterFields) {
    if (field.tag != kEntryActionsField) continue;
    std::vector<EntryExtension> actions = DecodeEntryActions(field.value);
    size_t count = items.size() - first;
    if (actions.size() != count) {
      Damaged("Its entry actions list " + std::to_string(actions.size()) +
              " file entries; the update has " + std::to_string(count) + ".");
    }
    for (size_t k = 0; k < count; ++k) {
      const CUpdateItem& item = *items[first + k];
      const EntryExtension& action = actions[k];
      bool mismatch = action.previous.size() != item.previousVersions.size();
      for (size_t i = 0; !mismatch && i < action.previous.size(); ++i) {
        mismatch = action.previous[i].size != item.previousVersions[i]->stamp.size;
      }
      if (action.action != EntryAction::remove) {
        mismatch = mismatch || !(action.newVersion ==
                                 ExactIdentity{record.entries[k].size, record.entries[k].digest});
      }
      if (mismatch) {
        Damaged("Its entry actions do not fit entry " + std::to_string(k + 1) + " (" +
                item.fileName + ").");
      }
    }
    for (size_t k = 0; k < count; ++k) {
      CUpdateItem& item = *items[first + k];
      item.action = actions[k].action;
      item.exactMatch = actions[k].exact;
      item.selected = actions[k].selected;
      for (size_t i = 0; i < actions[k].previous.size(); ++i) {
        try {
          item.previousVersions[i]->digest =
              std::make_unique<Sha256Digest>(actions[k].previous[i].digest);
        } catch (const std::bad_alloc&) {
          throw CMemoryException();
        }
      }
    }
  }
}

void CheckNoRecordCutShort(CFile& file, uint64_t documentLength) {
  uint8_t start[8];
  size_t have = 0;
  file.SeekAbsolute(documentLength);
  while (have < sizeof start) {
    size_t n = file.Read(start + have, sizeof start - have);
    if (n == 0) break;
    have += n;
  }
  if (LooksLikeRecordStart(start, have, documentLength)) {
    Damaged(
        "It ends inside its integrity record, which has been cut short: get the update file "
        "again.");
  }
}
