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

std::vector<std::string> EntryOutcome::Lines() const {
  std::vector<std::string> split;
  for (size_t at = 0; at < lines.size();) {
    size_t end = lines.find('\0', at);
    split.push_back(lines.substr(at, end - at));
    at = end + 1;
  }
  return split;
}
