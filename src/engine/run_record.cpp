#include "engine/run_record.h"

#include <utility>

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

namespace {

constexpr size_t kNotes = 3;

}  // namespace

std::string EntryOutcome::Note(size_t index) const {
  size_t at = 0;
  for (size_t k = 0; k < index && at < notes_.size(); ++k) at = notes_.find('\0', at) + 1;
  if (at >= notes_.size()) return std::string();
  return notes_.substr(at, notes_.find('\0', at) - at);
}

void EntryOutcome::SetNote(size_t index, const std::string& text) {
  std::string notes;
  for (size_t k = 0; k < kNotes; ++k) {
    notes += k == index ? text : Note(k);
    notes += '\0';
  }
  notes_ = notes.size() == kNotes ? std::string() : std::move(notes);
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
