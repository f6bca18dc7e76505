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

size_t RunRecord::Changed() const {
  size_t n = 0;
  for (const EntryOutcome& entry : entries) n += entry.replaced || entry.restoreFailed;
  return n;
}
