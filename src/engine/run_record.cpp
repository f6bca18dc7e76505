#include "engine/run_record.h"

size_t RunRecord::Errors() const {
  size_t n = 0;
  for (const EntryOutcome& entry : entries) n += entry.error != none;
  return n;
}

size_t RunRecord::Replaced() const {
  size_t n = 0;
  for (const EntryOutcome& entry : entries) n += entry.replaced;
  return n;
}

bool RunRecord::Changed() const {
  for (const EntryOutcome& entry : entries) {
    if (entry.replaced || entry.restoreFailed) return true;
  }
  return false;
}
