// VEzorazEdo: the update document, read lazily from the open update file. It owns its
// items; bulky contents stay in the file and are reached through the items' offsets.
#pragma once

#include <cstdint>
#include <string>

#include "archive/archive_reader.h"
#include "model/integrity_check.h"
#include "model/update_header.h"
#include "model/update_item.h"
#include "platform/file.h"

// The two classes an update file may contain.
const ClassRegistry& UpdateClassRegistry();

struct RunContext;

// The header fields (formatVersion, productName, ...) are its own, read as the load's first.
class VEzorazEdo : public CObject, public UpdateHeader {
 public:
  static const ClassInfo kClass;

  const ClassInfo* GetRuntimeClass() const override { return &kClass; }
  // Reads the whole document: header, items (appended to `items`), fingerprint parameters.
  void ReadFields(ArchiveReader& reader) override;

  // Reads the document from the first byte of `file` unless it is loaded already. A file
  // with an integrity record is checked first (its signature by the key `trust` requires,
  // then its body's digest), and its items get their contents digests; a file without one
  // is refused only when `trust` requires a key. On failure raises what the reader raised,
  // CArchiveException for a damaged or malformed file, CTrustException for a missing or bad
  // signature or a required key that is not a key; `loaded` stays 0 and the items completed
  // before a read failure remain, so the next call checks and reads again and appends.
  void EnsureLoaded(CFile& file);

  // A check (doUpdate false) or an update run over every entry, logging through
  // run.log, clearing run.runOk / setting run.updateNeeded, and recording each entry's
  // outcome in run.record. Raises what the file layer and the load raise; the lines
  // logged and the outcomes recorded so far stay.
  void Run(CFile& updateFile, bool doUpdate, RunContext& run);

  ObjectList<CUpdateItem> items;
  uint16_t sampleCount = 0;
  uint16_t sampleLength = 0;

  bool loaded = false;
  bool renamePrevious = false;

  TrustRequirement trust;      // set before the first load
  IntegrityOutcome integrity;  // what the load found
};
