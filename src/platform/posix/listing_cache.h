// The listings of directories kept for NativePath's lookups (directory_listings.h): each
// with the stamp it was read at, bounded in memory, the least recently used forgotten first.
// Nothing here locks: whoever touches the cache holds its mutex.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/posix/listing_entries.h"

// What a directory's stat says of its entries: every change to them sets its times (to the
// nanosecond where the file system keeps them); another directory put in its place has
// another identity.
struct Stamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified = {}, changed = {};
};

bool operator==(const Stamp& a, const Stamp& b);
Stamp StampOf(const struct stat& st);

struct Listing {
  std::string directory;
  Stamp stamp;
  uint64_t serial = 0;      // this listing up to its next change; never used again
  bool trusted = false;     // no change can hide behind the stamp
  bool ownStamp = false;    // the stamp is the one the backend's own last change left
  bool exactNames = false;  // an lstat finds a name only as listed (no folding of case)
  ListingEntries entries;
  size_t bytes = 0;
};

// What `listing` is taken to cost, with nothing in it yet, and what an entry adds.
size_t ListingBytes(const std::string& directory);
size_t EntryBytes(const std::string& folded, const std::string& name);

class Cache {
 public:
  std::mutex mutex;

  // The kept listing of `directory`, made the most recently used; null when there is none.
  Listing* Find(const std::string& directory);
  // The kept listing whose serial is `serial`, as Find.
  Listing* Find(uint64_t serial);
  // Keeps `listing` in place of its directory's. Returns its serial, 0 when it is not kept.
  uint64_t Keep(Listing&& listing);
  void Forget(const std::string& directory);
  // After the backend's own change to `listing`, which grew by `added` bytes (or shrank): it
  // takes a new serial, as what rested on it no longer holds, and the least recently used
  // listings go first.
  void Changed(Listing& listing, long long added);

 private:
  using Place = std::list<Listing>::iterator;
  Listing* Used(Place place);
  void Trim();

  std::list<Listing> recent_;  // the most recently used first
  std::unordered_map<std::string, Place> byDirectory_;
  std::unordered_map<uint64_t, Place> bySerial_;
  size_t bytes_ = 0;
  uint64_t serials_ = 0;
};

// The process's one cache.
Cache& TheCache();
