// The listings of directories that NativePath reads to find names in any case, each read
// once and kept until its directory changes. The cache is this module's own; the backend
// tells it of the changes it makes itself (DirectoryChange), and a stat of the directory
// on every use catches the others.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

// The listings an answer rested on, each as it was then (a serial names one listing of one
// directory, up to its next change); `complete` false when it also rested on something no
// listing records.
struct ListingUses {
  std::vector<uint64_t> listings;
  bool complete = true;
};

// Whether `name` as spelled is in a directory, where its listing can tell what an lstat
// would find.
enum class AsSpelled { unknown, present, absent };

// The entry of the POSIX directory `directory` that is `name` as Windows compares names, or
// "" when there is none or the directory cannot be read. Where several differ in case only,
// which a Windows directory never has, the least of them. Costs one stat of the directory
// while its listing is kept; reads it again when it changed. With `uses`, records the
// listing the answer came from; with `spelled`, sets it when the listing tells whether
// `name` itself is there (and leaves it otherwise). Safe from several threads, as is
// everything here.
std::string EntryIgnoringCase(const std::string& directory, const std::string& name,
                              ListingUses* uses = nullptr, AsSpelled* spelled = nullptr);

// Whether every listing in `uses` is still as it was, and its directory unchanged: then
// every lookup in those directories gives what it gave. One stat each.
bool StillListed(const ListingUses& uses);

// Made just before the backend creates, removes or renames the files `natives` (POSIX paths
// as NativePath gives them; empty ones are ignored) and ended once it has: a kept listing
// of their directories that no longer matches its directory is dropped at the start, and
// at the end the others learn which of the names exist, so that the backend's own changes
// cost no reading. A change another program makes to the same directory while one is under
// way (or, where the file system's times are coarse, within their grain after it) may go
// unseen until the directory changes again.
class DirectoryChange {
 public:
  explicit DirectoryChange(std::initializer_list<std::string> natives);
  ~DirectoryChange();
  DirectoryChange(const DirectoryChange&) = delete;
  DirectoryChange& operator=(const DirectoryChange&) = delete;

 private:
  struct Watched {
    std::string directory;
    uint64_t listing;  // which reading of it was checked
    std::vector<std::string> names;
  };
  std::vector<Watched> watched_;
};
