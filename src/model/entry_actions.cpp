#include "model/entry_actions.h"

#include <cstring>
#include <string>

#include "archive/archive_exception.h"

namespace {

[[noreturn]] void Malformed(const std::string& what) {
  throw CArchiveException(ArchiveCause::generic, std::string(),
                          "Its integrity record's entry actions are malformed: " + what + ".");
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
  for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(value >> (8 * k)));
}

void PutIdentity(std::vector<uint8_t>& out, const ExactIdentity& identity) {
  Put32(out, identity.size);
  out.insert(out.end(), identity.digest.bytes, identity.digest.bytes + 32);
}

class Reader {
 public:
  explicit Reader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  const uint8_t* Take(size_t n) {
    if (bytes_.size() - at_ < n) Malformed("they end at byte " + std::to_string(at_));
    const uint8_t* p = bytes_.data() + at_;
    at_ += n;
    return p;
  }
  uint32_t Dword() {
    const uint8_t* p = Take(4);
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
  }
  ExactIdentity Identity() {
    ExactIdentity identity;
    identity.size = Dword();
    std::memcpy(identity.digest.bytes, Take(32), 32);
    return identity;
  }
  bool Done() const { return at_ == bytes_.size(); }

 private:
  const std::vector<uint8_t>& bytes_;
  size_t at_ = 0;
};

}  // namespace

const char* ActionName(EntryAction action) {
  switch (action) {
    case EntryAction::add:
      return "add";
    case EntryAction::remove:
      return "remove";
    case EntryAction::replace:
      break;
  }
  return "replace";
}

std::vector<uint8_t> EncodeEntryActions(const std::vector<EntryExtension>& entries) {
  std::vector<uint8_t> out;
  Put32(out, static_cast<uint32_t>(entries.size()));
  for (const EntryExtension& entry : entries) {
    out.push_back(static_cast<uint8_t>(entry.action));
    out.push_back(entry.exact ? 1 : 0);
    out.push_back(entry.selected ? 1 : 0);
    out.push_back(0);
    PutIdentity(out, entry.newVersion);
    Put32(out, static_cast<uint32_t>(entry.previous.size()));
    for (const ExactIdentity& previous : entry.previous) PutIdentity(out, previous);
  }
  return out;
}

std::vector<EntryExtension> DecodeEntryActions(const std::vector<uint8_t>& bytes) {
  Reader in(bytes);
  uint32_t count = in.Dword();
  std::vector<EntryExtension> entries;
  // Each entry takes at least 44 bytes: a count beyond what the bytes hold is refused first.
  if (count > bytes.size() / 44) Malformed("they count more entries than they hold");
  for (uint32_t k = 0; k < count; ++k) {
    EntryExtension entry;
    const uint8_t* flags = in.Take(4);
    if (flags[0] > 2 || flags[1] > 1 || flags[2] > 1 || flags[3] != 0) {
      Malformed("entry " + std::to_string(k + 1) + " has an action or flag of no meaning");
    }
    entry.action = static_cast<EntryAction>(flags[0]);
    entry.exact = flags[1] != 0;
    entry.selected = flags[2] != 0;
    entry.newVersion = in.Identity();
    uint32_t previous = in.Dword();
    if (previous > bytes.size() / 36) Malformed("an entry counts more versions than they hold");
    for (uint32_t i = 0; i < previous; ++i) entry.previous.push_back(in.Identity());
    entries.push_back(entry);
  }
  if (!in.Done()) Malformed("bytes are left over after the last entry");
  return entries;
}
