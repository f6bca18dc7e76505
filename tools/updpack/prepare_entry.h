// One entry of the manifest made ready for the update file: its new version compressed
// and hashed, its previous versions stamped, sampled and identified by their bytes, with
// the checks that refuse what the updater could not use. Entries are prepared in parallel
// and written in file order.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "archive/integrity_record.h"
#include "manifest.h"
#include "model/entry_actions.h"
#include "pack.h"
#include "writer/stored_payload.h"

// An entry compressed and checked, waiting for its turn in the update file.
struct PreparedEntry {
  ItemPlan item;  // its payload left empty: the stored contents are in `stored`
  std::unique_ptr<StoredPayload> stored;
  IntegrityEntry content;
  EntryExtension extension;  // what the record's entry actions say of it
  uint64_t newSize = 0;
  std::vector<std::string> warnings;  // for the report, in order
};

// Prepares files[index] of `manifest`; its stored contents go to memory up to `memoryLimit`
// bytes, else to a scratch file near `scratchNear`. With `plain` nothing is left for the
// integrity record. Raises PackError naming the entry's field.
PreparedEntry PrepareEntry(const Manifest& manifest, size_t index, const FormatLimits& limits,
                           const std::string& scratchNear, size_t memoryLimit, bool plain);
