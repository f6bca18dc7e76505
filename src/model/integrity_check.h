// What an update file must show before it is used: that it is whole (the digests of its
// integrity record) and, when the product requires it, that its vendor signed it. The
// document's load runs these checks; updpack's verify reports them one by one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/integrity_record.h"
#include "model/update_item.h"
#include "platform/exceptions.h"
#include "platform/file.h"
#include "platform/signature.h"

// The key an update file must be signed by, as the product's installer recorded it or as
// vareri-cli was given it.
struct TrustRequirement {
  bool keyRequired = false;
  std::string keyText;    // a key's one-line text or a PEM public key, not yet checked
  std::string keyOrigin;  // where it comes from, for messages: "the key in vendor.pub"
};

// What the load found, kept for the decisions of every run and for reports (vareri-cli's
// summary; the window stays silent).
struct IntegrityOutcome {
  bool recordPresent = false;      // an integrity record, whose digests all matched
  bool isSigned = false;           // the record carries a signature ...
  KeyId signer;                    // ... that claims this key
  bool signatureVerified = false;  // ... checked against a key that was required
  IntegritySignature signature;    // the record's signature, and what it signs, to check it
  Sha256Digest signedDigest;       // against a key a run requires
};

// An update file refused for want of the signature the product requires, or a required key
// that is not a key. Reported like the read failures; nothing has changed when it is raised.
class CTrustException : public CException {
 public:
  explicit CTrustException(const std::string& text) : CException(text) {}
};

// The key `trust` requires. Raises CTrustException, naming the key's origin, when it is not a
// valid key. REQUIRES: trust.keyRequired.
PublicKey RequiredKey(const TrustRequirement& trust);

// Raises CTrustException, saying why, unless `record` (null for a file without one) carries a
// valid signature by `key`, which comes from `origin`.
void CheckSignature(const IntegrityRecord* record, const PublicKey& key, const std::string& origin);

// The same for what a load found.
void CheckSignature(const IntegrityOutcome& found, const PublicKey& key, const std::string& origin);

// Raises CArchiveException (the update file is damaged) unless the body of `file` has the
// record's digest. Raises CFileException when the OS refuses a read.
void CheckBody(CFile& file, const IntegrityRecord& record);

// The same for a file before it is loaded: a file without an integrity record passes.
void CheckBodyIfRecorded(CFile& file);

// Raises the CArchiveException of a body that differs from its record's digest.
[[noreturn]] void BodyDiffers();

// Gives items[first] onwards, the ones read from the same file, the record's contents
// digests, after checking that the record fits them: a document of `documentLength` bytes
// within the body, one record entry per item, each of its item's new size. Raises
// CArchiveException otherwise, leaving the items untouched.
void AttachContentDigests(const IntegrityRecord& record, uint64_t documentLength,
                          ObjectList<CUpdateItem>& items, size_t first);

// Gives items[first] onwards what the record's entry actions say of them (their action, exact
// matching, selection, and their previous versions' digests), after checking that the field
// fits them: one entry per item, one identity per previous version, the new version's identity
// the record's. Changes nothing when the record has no such field. Raises CArchiveException
// otherwise, leaving the items untouched.
void AttachEntryActions(const IntegrityRecord& record, ObjectList<CUpdateItem>& items,
                        size_t first);

// Raises CArchiveException when `file`, which ends without a record's footer, holds the
// beginning of a record after its document of `documentLength` bytes: a record cut short.
void CheckNoRecordCutShort(CFile& file, uint64_t documentLength);
