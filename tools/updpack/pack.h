// Building an update file from a manifest: stamps, compression, stored block order,
// fingerprints, the integrity record, and an all-or-nothing write of the output, streamed.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

#include "manifest.h"
#include "writer/document_writer.h"
#include "writer/pack_error.h"

class SigningKey;

struct PackReport {
  std::function<void(const std::string&)> progress;  // one line per file entry
  std::function<void(const std::string&)> warning;
};

// Writes `bytes` to `path` through an AtomicFile. Raises PackError.
void WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes);

// The format's limits: sizes and offsets are 32-bit, and the updater refuses a stored
// payload of 2 GiB or more. Tests lower them to reach them with little data.
struct FormatLimits {
  uint64_t file = 0xFFFFFFFF;        // a new or previous file
  uint64_t payload = 0x7FFFFFFF;     // an entry's stored contents
  uint64_t updateFile = 0xFFFFFFFF;  // the whole update file, its integrity record included
};

struct BuildOptions {
  bool plain = false;                  // no integrity record: the file as older tools wrote it
  const SigningKey* signer = nullptr;  // sign the record with this key
  unsigned jobs = 0;                   // files compressed at once; 0: one per core
  // What the entries compressed ahead of their turn hold in memory together; the rest of
  // their stored contents waits in scratch files beside the output.
  size_t aheadMemory = 16u << 20;
  FormatLimits limits;
};

// Reads every input `manifest` names and writes the update file to `outputPath` as it goes,
// entry by entry in manifest order, with its integrity record unless `options.plain`. The
// files are compressed on `options.jobs` threads, a few entries ahead of the one being
// written, each holding a bounded part of its contents in memory; the output is the same
// whatever the number. Nothing is left under `outputPath` unless the whole file is written.
// Raises PackError for an input that cannot be read or does not fit the format, naming it.
void BuildUpdate(const Manifest& manifest, const std::string& outputPath, const PackReport& report,
                 const BuildOptions& options = BuildOptions());

// Signs the update file at `path` with `signer`, replacing any earlier signature, and rewrites
// it through an AtomicFile, a piece at a time. Refuses (PackError) a file without an integrity
// record; raises what the load raises for a file that is damaged or malformed.
void SignUpdate(const std::string& path, const SigningKey& signer);
