// CUpdateOrder: one accepted previous version of a file entry, with the location of its
// fingerprint in the open update file. Owned by its CUpdateItem.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/class_registry.h"
#include "model/file_stamp.h"
#include "platform/file.h"
#include "platform/sha256.h"

enum UpdateError : uint16_t;  // engine/update_error.h
class CUpdateItem;
class VEzorazEdo;

class CUpdateOrder : public CObject {
 public:
  static const ClassInfo kClass;

  const ClassInfo* GetRuntimeClass() const override { return &kClass; }
  // Reads the previous-version record, its fingerprint into memory: the samples are compared
  // with the bytes the load read (and, for a file with digests, hashed), never read again.
  void ReadFields(ArchiveReader& reader) override;

  // Whether the installed file of `item`, open in `installed`, is this previous version:
  // by stamp, then by the fingerprint's samples. Moves the installed file's position; the
  // update file's fingerprint was read with the load.
  UpdateError Matches(const CUpdateItem& item, CFile& installed, CFile& updateFile,
                      const VEzorazEdo& doc) const;

  uint16_t unusedWord = 0;
  // The record's two texts that nothing uses, as read; null when both are empty, as they
  // nearly always are (there is one record for every previous version of every file).
  std::unique_ptr<std::array<std::string, 2>> unusedTexts;
  CFileStamp stamp;
  uint32_t fingerprintOffset = 0;
  uint32_t fingerprintLength = 0;
  std::vector<uint8_t> fingerprint;  // its first kMaxFingerprintLength bytes at most
  // Its whole contents' digest (their size is the stamp's), when the record's entry actions
  // give it; null otherwise, as for most records.
  std::unique_ptr<Sha256Digest> digest;
};
