#include "platform/posix/listing_cache.h"

namespace {

// Enough for the thousands of files in the largest Windows directory, and for every
// directory of a product, without letting a tree of directories grow the process.
constexpr size_t kBudgetBytes = 16 << 20;
constexpr size_t kEntryBytes = 8;  // an offset, two terminators and room to grow, beside the names
constexpr size_t kListingBytes = 256;

bool SameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

bool operator==(const Stamp& a, const Stamp& b) {
  return a.device == b.device && a.inode == b.inode && a.size == b.size &&
         SameTime(a.modified, b.modified) && SameTime(a.changed, b.changed);
}

Stamp StampOf(const struct stat& st) {
  Stamp stamp;
  stamp.device = st.st_dev;
  stamp.inode = st.st_ino;
  stamp.size = st.st_size;
  stamp.modified = st.st_mtim;
  stamp.changed = st.st_ctim;
  return stamp;
}

size_t ListingBytes(const std::string& directory) { return kListingBytes + directory.size(); }

size_t EntryBytes(const std::string& folded, const std::string& name) {
  return folded.size() + name.size() + kEntryBytes;
}

Listing* Cache::Find(const std::string& directory) {
  auto found = byDirectory_.find(directory);
  return found == byDirectory_.end() ? nullptr : Used(found->second);
}

Listing* Cache::Find(uint64_t serial) {
  auto found = bySerial_.find(serial);
  return found == bySerial_.end() ? nullptr : Used(found->second);
}

uint64_t Cache::Keep(Listing&& listing) {
  Forget(listing.directory);
  if (listing.bytes > kBudgetBytes) return 0;  // used once, as if there were no cache
  uint64_t serial = listing.serial = ++serials_;
  recent_.push_front(std::move(listing));
  byDirectory_[recent_.front().directory] = recent_.begin();
  bySerial_[serial] = recent_.begin();
  bytes_ += recent_.front().bytes;
  Trim();  // never this one, which fits
  return serial;
}

void Cache::Forget(const std::string& directory) {
  auto found = byDirectory_.find(directory);
  if (found == byDirectory_.end()) return;
  bytes_ -= found->second->bytes;
  bySerial_.erase(found->second->serial);
  recent_.erase(found->second);
  byDirectory_.erase(found);
}

void Cache::Changed(Listing& listing, long long added) {
  auto at = bySerial_.find(listing.serial);
  Place place = at->second;
  bySerial_.erase(at);
  listing.serial = ++serials_;
  bySerial_[listing.serial] = place;
  listing.bytes = static_cast<size_t>(static_cast<long long>(listing.bytes) + added);
  bytes_ = static_cast<size_t>(static_cast<long long>(bytes_) + added);
  Trim();
}

Listing* Cache::Used(Place place) {
  recent_.splice(recent_.begin(), recent_, place);
  return &*place;
}

void Cache::Trim() {
  while (bytes_ > kBudgetBytes && !recent_.empty()) Forget(recent_.back().directory);
}

Cache& TheCache() {
  static Cache cache;
  return cache;
}
