// The integrity record: the SHA-256 digests of an update file and, optionally, its vendor's
// signature, appended after the document's last byte. Readers that follow the document's
// layout never reach it. This module writes it and finds and decodes it; what the digests and
// the signature mean for a load is the model's (model/integrity_check.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/file.h"
#include "platform/sha256.h"
#include "platform/signature.h"

// The footer, the record's last 16 bytes: this magic, the record's length (DWORD, footer
// included), the record's version (DWORD).
constexpr uint8_t kIntegrityMagic[8] = {'V', 'L', 'R', '.', 'I', 'N', 'T', 'G'};
constexpr size_t kIntegrityFooterSize = 16;
constexpr uint32_t kIntegrityVersion = 1;

// What one file entry's stored contents expand to.
struct IntegrityEntry {
  uint32_t size = 0;
  Sha256Digest digest;
};

// A later field of the signed part, after the entries: a DWORD tag, a DWORD length, the
// bytes. A tag with kCriticalField set must be understood: a reader that does not know it
// refuses the file, so a field on which safety depends can be made binding.
constexpr uint32_t kCriticalField = 0x80000000u;
// The later fields this reader knows.
// What each file entry does (replace, add, remove) and the exact identities of its new and
// previous versions (model/entry_actions.h). Critical: a reader that ignored it would carry
// out part of a release.
constexpr uint32_t kEntryActionsField = kCriticalField | 1;
struct IntegrityField {
  uint32_t tag = 0;
  std::vector<uint8_t> value;
};

struct IntegritySignature {
  KeyId signer;
  uint8_t value[kSignatureSize] = {};
};

struct IntegrityRecord {
  uint32_t bodyLength = 0;  // every byte before the record
  Sha256Digest bodyDigest;
  std::vector<IntegrityEntry> entries;      // one per file entry, in file order
  std::vector<IntegrityField> laterFields;  // the later fields this reader knows
  // The record's bytes the signature covers, exactly as in the file: the fields above, and
  // any later fields this version does not know.
  std::vector<uint8_t> signedPart;
  bool isSigned = false;
  IntegritySignature signature;

  // What a signature signs: the SHA-256 of `signedPart`.
  Sha256Digest SignedDigest() const;
};

// The signed part holding the given values, then `laterFields` in order.
std::vector<uint8_t> EncodeSignedPart(uint32_t bodyLength, const Sha256Digest& bodyDigest,
                                      const std::vector<IntegrityEntry>& entries,
                                      const std::vector<IntegrityField>& laterFields = {});

// The whole record to append: `signedPart`, the signature block (an empty one when
// `signature` is null), the footer.
std::vector<uint8_t> EncodeIntegrityRecord(const std::vector<uint8_t>& signedPart,
                                           const IntegritySignature* signature);

// Looks for a record at the end of `file` with one read of the footer. Returns false when the
// file does not end in a footer (it carries no record). Otherwise reads and decodes the record
// into *record and returns true. Raises CArchiveException (generic, or schema mismatch for an
// unknown version or a critical later field this reader does not know) for a record that is
// present but malformed, CFileException when the OS refuses a read. Leaves the file's
// position anywhere.
bool ReadIntegrityRecord(CFile& file, IntegrityRecord* record);

// Whether `bytes`, found right after a document of `documentLength` bytes in a file without a
// footer, begin the way that document's record would: what is left of a record cut short.
bool LooksLikeRecordStart(const uint8_t* bytes, size_t count, uint64_t documentLength);
