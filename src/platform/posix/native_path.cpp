#include "platform/posix/native_path.h"

#include <sys/stat.h>

#include <mutex>
#include <unordered_map>

#include "platform/posix/directory_listings.h"

namespace {

bool Exists(const std::string& native) {
  struct stat st;
  return ::lstat(native.c_str(), &st) == 0;
}

// The answers for names not found as spelled, each good while the listings it came from
// are: a name looked up again (a file's identity, then its opening) costs a stat of each
// of its directories, not the lookups of every component again.
class ResolvedNames {
 public:
  // The answer for `native` if it still holds, adding what it rests on to `uses`.
  bool Recall(const std::string& native, std::string* found, ListingUses* uses) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = names_.find(native);
    if (it == names_.end()) return false;
    if (!StillListed(it->second.uses)) {
      bytes_ -= it->second.bytes;
      names_.erase(it);
      return false;
    }
    *found = it->second.path;
    const std::vector<uint64_t>& listings = it->second.uses.listings;
    uses->listings.insert(uses->listings.end(), listings.begin(), listings.end());
    return true;
  }

  void Remember(const std::string& native, const std::string& path, const ListingUses& uses) {
    if (!uses.complete) return;
    size_t bytes = kNameBytes + native.size() + path.size() + 8 * uses.listings.size();
    std::lock_guard<std::mutex> lock(mutex_);
    // Wholly forgotten when full: answering again costs what the first answer cost.
    if (bytes_ + bytes > kBudgetBytes) {
      names_.clear();
      bytes_ = 0;
    }
    auto it = names_.find(native);
    if (it != names_.end()) bytes_ -= it->second.bytes;
    names_[native] = {path, uses, bytes};
    bytes_ += bytes;
  }

 private:
  struct Resolved {
    std::string path;
    ListingUses uses;
    size_t bytes = 0;
  };
  // Enough for what one entry's inspection asks again; a whole run's names cost megabytes.
  static constexpr size_t kBudgetBytes = 1 << 16;
  static constexpr size_t kNameBytes = 160;  // a map node, two strings and a vector

  // Held while the listings are checked, which takes the cache's mutex: nothing takes the
  // two the other way round.
  std::mutex mutex_;
  std::unordered_map<std::string, Resolved> names_;
  size_t bytes_ = 0;
};

ResolvedNames& TheResolvedNames() {
  static ResolvedNames names;
  return names;
}

std::string WorkOut(const std::string& native, ListingUses* uses);

// `native`, known not to exist as spelled, as NativePath gives it; remembered.
std::string ResolveMissing(const std::string& native, ListingUses* uses) {
  ListingUses own;
  std::string found = WorkOut(native, &own);
  TheResolvedNames().Remember(native, found, own);
  uses->listings.insert(uses->listings.end(), own.listings.begin(), own.listings.end());
  uses->complete = uses->complete && own.complete;
  return found;
}

// `native` as it exists. An answer kept for it also says that it is still missing as spelled
// (the listings it rests on are unchanged, and so is what an lstat there finds), which saves
// the lstat.
std::string Resolve(const std::string& native, ListingUses* uses) {
  std::string found;
  if (TheResolvedNames().Recall(native, &found, uses)) return found;
  return native.empty() || Exists(native) ? native : ResolveMissing(native, uses);
}

// `native`, known not to exist as spelled, with its directory resolved first; a name found
// in neither way is kept as given, and so is everything under it. Records in `uses` what
// the answer rests on.
std::string WorkOut(const std::string& native, ListingUses* uses) {
  size_t slash = native.rfind('/');
  if (slash == std::string::npos) {
    std::string entry = EntryIgnoringCase(".", native, uses);
    return entry.empty() ? native : entry;
  }
  std::string directory = slash == 0 ? "/" : Resolve(native.substr(0, slash), uses);
  std::string name = native.substr(slash + 1);
  std::string path = directory + (slash == 0 ? "" : "/");
  bool moved = path + name != native;  // else it is known to be missing
  if (name.empty() || name == "." || name == "..") return path + name;
  AsSpelled spelled = AsSpelled::unknown;
  std::string entry = EntryIgnoringCase(directory, name, uses, &spelled);
  // The name as spelled comes first: the listing tells where it can, else an lstat.
  if (moved && spelled == AsSpelled::unknown && Exists(path + name)) {
    uses->complete = false;  // found without a listing
    return path + name;
  }
  if (moved && spelled == AsSpelled::present) return path + name;
  return path + (entry.empty() ? name : entry);
}

}  // namespace

std::string NativePath(const std::string& path) {
  std::string native = path;
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  ListingUses uses;
  return Resolve(native, &uses);
}
