#include "platform/posix/listing_entries.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// The pair (folded, name) of the entry that starts at `entry` against (folded, name): below,
// equal or above zero as the pairs of strings compare. `name` is that pair's name.
int Compare(const char* entry, const char* folded, const char* name) {
  int byFolded = std::strcmp(entry, folded);
  if (byFolded != 0) return byFolded;
  return std::strcmp(entry + std::strlen(entry) + 1, name);
}

int Compare(const char* entry, const std::string& folded, const std::string& name) {
  return Compare(entry, folded.c_str(), name.c_str());
}

}  // namespace

const char* ListingEntries::Name(size_t position) const {
  const char* folded = Folded(position);
  return folded + std::strlen(folded) + 1;
}

void ListingEntries::Append(const std::string& folded, const std::string& name) {
  // Offsets are 32 bits: a listing of 4 GB is refused as one that cannot be kept.
  if (bytes_.size() + folded.size() + name.size() + 2 > UINT32_MAX) throw std::bad_alloc();
  uint32_t at = static_cast<uint32_t>(bytes_.size());
  bytes_.append(folded).push_back('\0');
  bytes_.append(name).push_back('\0');
  order_.push_back(at);
}

void ListingEntries::Sort() {
  auto less = [this](uint32_t a, uint32_t b) {
    const char* y = bytes_.data() + b;
    return Compare(bytes_.data() + a, y, y + std::strlen(y) + 1) < 0;
  };
  auto same = [&](uint32_t a, uint32_t b) { return !less(a, b) && !less(b, a); };
  std::sort(order_.begin(), order_.end(), less);
  order_.erase(std::unique(order_.begin(), order_.end(), same), order_.end());
}

size_t ListingEntries::LowerBound(const std::string& folded, const std::string& name) const {
  auto at = std::lower_bound(order_.begin(), order_.end(), 0u, [&](uint32_t entry, unsigned) {
    return Compare(bytes_.data() + entry, folded, name) < 0;
  });
  return static_cast<size_t>(at - order_.begin());
}

bool ListingEntries::Insert(const std::string& folded, const std::string& name) {
  if (Contains(folded, name)) return false;
  size_t at = LowerBound(folded, name);
  Append(folded, name);
  std::rotate(order_.begin() + static_cast<std::ptrdiff_t>(at), order_.end() - 1, order_.end());
  return true;
}

bool ListingEntries::Erase(const std::string& folded, const std::string& name) {
  size_t at = LowerBound(folded, name);
  if (at == order_.size() || Compare(Folded(at), folded, name) != 0) return false;
  order_.erase(order_.begin() + static_cast<std::ptrdiff_t>(at));
  unused_ += folded.size() + name.size() + 2;
  if (unused_ > bytes_.size() / 2) Compact();
  return true;
}

bool ListingEntries::Contains(const std::string& folded, const std::string& name) const {
  size_t at = LowerBound(folded, name);
  return at < order_.size() && Compare(Folded(at), folded, name) == 0;
}

std::string ListingEntries::Least(const std::string& folded) const {
  size_t at = LowerBound(folded, std::string());
  if (at == order_.size() || folded != Folded(at)) return std::string();
  return Name(at);
}

std::vector<std::string> ListingEntries::Spellings(const std::string& folded) const {
  std::vector<std::string> names;
  for (size_t at = LowerBound(folded, std::string()); at < order_.size() && folded == Folded(at);
       ++at) {
    names.emplace_back(Name(at));
  }
  return names;
}

void ListingEntries::Compact() {
  std::string bytes;
  bytes.reserve(bytes_.size() - unused_);
  for (uint32_t& entry : order_) {
    const char* folded = bytes_.data() + entry;
    const char* name = folded + std::strlen(folded) + 1;
    size_t length = static_cast<size_t>(name - folded) + std::strlen(name) + 1;
    entry = static_cast<uint32_t>(bytes.size());
    bytes.append(folded, length);
  }
  bytes_.swap(bytes);
  unused_ = 0;
}
