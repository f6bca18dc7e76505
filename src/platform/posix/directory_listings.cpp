#include "platform/posix/directory_listings.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/fs.h>
#include <linux/magic.h>
#include <sys/ioctl.h>
#include <sys/vfs.h>
#endif

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <new>
#include <utility>

#include "platform/name_case.h"
#include "platform/posix/listing_cache.h"

namespace {

// Where a file system's times are coarse (a tick of the kernel's clock on older kernels, two
// seconds on FAT, whose times have no fraction), a change made within the same grain as the
// last one leaves the stamp as it was. A change sets the modification time to its own
// moment, so a listing read once that time lies a grain in the past misses none.
bool Settled(const timespec& modified, const timespec& readAt) {
  const long long kGrainNs = modified.tv_nsec == 0 ? 2000000000LL : 50000000LL;
  long long age = (static_cast<long long>(readAt.tv_sec) - modified.tv_sec) * 1000000000LL +
                  (readAt.tv_nsec - modified.tv_nsec);
  return age > kGrainNs;
}

// Whether an lstat in the directory open as `fd` finds a name only as it is listed: a file
// system that never folds case, a directory not marked to fold it, which we may search.
// Elsewhere (FAT, NTFS, network and FUSE file systems, ...) an lstat is asked, and the
// backend's own changes have the directory read again.
bool FindsOnlyListedNames(int fd) {
#ifdef __linux__
  struct statfs fs;
  if (::fstatfs(fd, &fs) != 0) return false;
  switch (fs.f_type) {
    case EXT4_SUPER_MAGIC:  // also ext2 and ext3
    case TMPFS_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case F2FS_SUPER_MAGIC:
      break;
    default:
      return false;
  }
  int flags = 0;
  if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0 && errno != ENOTTY) return false;
  return (flags & FS_CASEFOLD_FL) == 0 && ::faccessat(fd, ".", X_OK, AT_EACCESS) == 0;
#else
  (void)fd;
  return false;
#endif
}

// Reads every entry of `directory` into `listing`. Returns false when it cannot be read
// to its end.
bool Read(const std::string& directory, Listing* listing) {
  DIR* dir = ::opendir(directory.c_str());
  if (!dir) return false;
  listing->exactNames = FindsOnlyListedNames(::dirfd(dir));
  listing->bytes = ListingBytes(directory);
  for (;;) {
    errno = 0;
    const struct dirent* entry = ::readdir(dir);
    if (!entry) break;
    std::string folded = FoldedName(entry->d_name);
    listing->bytes += EntryBytes(folded, entry->d_name);
    listing->entries.Append(folded, entry->d_name);
  }
  bool whole = errno == 0;
  ::closedir(dir);
  listing->entries.Sort();
  return whole;
}

std::string Lookup(const Listing& listing, const std::string& name, AsSpelled* spelled) {
  std::string folded = FoldedName(name);
  std::string least = listing.entries.Least(folded);
  if (spelled && listing.exactNames) {
    bool present = !least.empty() && listing.entries.Contains(folded, name);
    *spelled = present ? AsSpelled::present : AsSpelled::absent;
  }
  return least;
}

// Brings what `listing` holds of `name` and the names that differ from it in case only up
// to what the directory holds now, one lstat each. REQUIRES: listing.exactNames. Returns the change
// in its size, which the caller accounts for.
long long Learn(Listing& listing, const std::string& name) {
  const std::string prefix = listing.directory == "/" ? "/" : listing.directory + "/";
  std::string folded = FoldedName(name);
  std::vector<std::string> variants{name};
  for (std::string& listed : listing.entries.Spellings(folded)) {
    if (listed != name) variants.push_back(std::move(listed));
  }
  long long added = 0;
  for (const std::string& variant : variants) {
    struct stat st;
    bool exists = ::lstat((prefix + variant).c_str(), &st) == 0;
    long long bytes = static_cast<long long>(EntryBytes(folded, variant));
    if (exists && listing.entries.Insert(folded, variant)) added += bytes;
    if (!exists && listing.entries.Erase(folded, variant)) added -= bytes;
  }
  return added;
}

}  // namespace

std::string EntryIgnoringCase(const std::string& directory, const std::string& name,
                              ListingUses* uses, AsSpelled* spelled) {
  timespec readAt = {};
  ::clock_gettime(CLOCK_REALTIME, &readAt);
  struct stat st;
  if (::stat(directory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::string();
  Listing fresh;
  fresh.stamp = StampOf(st);
  Cache& cache = TheCache();
  bool own = false;
  {
    std::lock_guard<std::mutex> lock(cache.mutex);
    if (Listing* kept = cache.Find(directory)) {
      if (kept->stamp == fresh.stamp && kept->trusted) {
        if (uses) uses->listings.push_back(kept->serial);
        return Lookup(*kept, name, spelled);
      }
      own = kept->ownStamp && kept->stamp == fresh.stamp;
    }
  }
  // Read without the lock: another thread may look in other directories meanwhile.
  fresh.directory = directory;
  bool whole = Read(directory, &fresh);
  std::string entry = Lookup(fresh, name, spelled);
  // Unchanged since the backend's own last change, it is as trusted as that change left it.
  fresh.trusted = own || Settled(fresh.stamp.modified, readAt);
  bool trusted = fresh.trusted;
  std::lock_guard<std::mutex> lock(cache.mutex);
  uint64_t serial = whole ? cache.Keep(std::move(fresh)) : 0;
  if (!whole) cache.Forget(directory);
  if (uses && trusted && serial != 0) {
    uses->listings.push_back(serial);
  } else if (uses) {
    uses->complete = false;  // no kept listing to check it against
  }
  return entry;
}

bool StillListed(const ListingUses& uses) {
  if (!uses.complete) return false;
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  for (uint64_t serial : uses.listings) {
    Listing* kept = cache.Find(serial);
    struct stat st;
    if (!kept || !kept->trusted || ::stat(kept->directory.c_str(), &st) != 0 ||
        !(StampOf(st) == kept->stamp)) {
      return false;
    }
  }
  return true;
}

DirectoryChange::DirectoryChange(std::initializer_list<std::string> natives) {
  for (const std::string& native : natives) {
    size_t slash = native.rfind('/');
    std::string directory = slash == std::string::npos ? "." : native.substr(0, slash ? slash : 1);
    std::string name = slash == std::string::npos ? native : native.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") continue;
    auto same = [&](const Watched& w) { return w.directory == directory; };
    auto watched = std::find_if(watched_.begin(), watched_.end(), same);
    if (watched == watched_.end()) watched = watched_.insert(watched, {directory, 0, {}});
    watched->names.push_back(name);
  }
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  for (Watched& watched : watched_) {
    Listing* kept = cache.Find(watched.directory);
    if (!kept) continue;
    struct stat st;
    if (::stat(watched.directory.c_str(), &st) != 0 || !(StampOf(st) == kept->stamp)) {
      cache.Forget(watched.directory);
      continue;
    }
    watched.listing = kept->serial;
  }
}

DirectoryChange::~DirectoryChange() {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  for (const Watched& watched : watched_) {
    Listing* kept = watched.listing ? cache.Find(watched.directory) : nullptr;
    if (!kept) continue;
    // The stamp before the names: a change after it shows as a changed stamp. Read again or
    // changed by another thread meanwhile, the listing is dropped, as which came first is not
    // known; so is one where an lstat cannot tell how the names it finds are spelled.
    struct stat st;
    if (kept->serial != watched.listing || !kept->exactNames ||
        ::stat(watched.directory.c_str(), &st) != 0) {
      cache.Forget(watched.directory);
      continue;
    }
    long long added = 0;
    try {
      for (const std::string& name : watched.names) added += Learn(*kept, name);
    } catch (const std::bad_alloc&) {
      // A listing that cannot learn the change is only forgotten: it is a cache.
      cache.Forget(watched.directory);
      continue;
    }
    kept->stamp = StampOf(st);
    kept->ownStamp = true;
    cache.Changed(*kept, added);
  }
}
