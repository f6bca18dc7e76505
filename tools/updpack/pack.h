// Building an update file from a manifest: stamps, compression, stored block order,
// fingerprints, and an all-or-nothing write of the output.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

#include "archive/integrity_record.h"
#include "manifest.h"
#include "model/document_writer.h"

class SigningKey;

class PackError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct PackReport {
  std::function<void(const std::string&)> progress;  // one line per file entry
  std::function<void(const std::string&)> warning;
};

// The stored form of a new file: compressed (recording the name's last character), then
// every 1024-byte block reversed.
std::vector<uint8_t> StoreContents(const std::vector<uint8_t>& data, char lastNameChar);

// Reads every input named by `manifest` and returns the document to write, and in `contents`
// (when given) the size and digest of every entry's new file, in entry order.
// Raises PackError for an input that cannot be read or does not fit the format.
DocumentPlan PlanUpdate(const Manifest& manifest, const PackReport& report,
                        std::vector<IntegrityEntry>* contents = nullptr);

// Appends the integrity record to `document` (the bytes of a whole update file without one):
// the digest of everything before it and the entries' `contents`, signed by `signer` unless
// it is null. Raises PackError.
void AppendIntegrityRecord(std::vector<uint8_t>& document,
                           const std::vector<IntegrityEntry>& contents, const SigningKey* signer);

// Writes `bytes` to `path` through a temporary file in the same directory renamed into
// place, so a failure never leaves a partial file under `path`. Raises PackError.
void WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes);

struct BuildOptions {
  bool plain = false;                  // no integrity record: the file as older tools wrote it
  const SigningKey* signer = nullptr;  // sign the record with this key
};

// PlanUpdate, then WriteDocument and (unless `options.plain`) AppendIntegrityRecord, then
// WriteFileAtomically.
void BuildUpdate(const Manifest& manifest, const std::string& outputPath, const PackReport& report,
                 const BuildOptions& options = BuildOptions());

// Signs the update file at `path` with `signer`, replacing any earlier signature, and rewrites
// it through WriteFileAtomically. Refuses (PackError) a file without an integrity record;
// raises what the load raises for a file that is damaged or malformed.
void SignUpdate(const std::string& path, const SigningKey& signer);
