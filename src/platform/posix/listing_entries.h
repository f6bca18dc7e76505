// The names of one directory's listing, each under its folded form, kept compact: a
// directory of ten thousand files is read and kept for the whole of a run, and with it the
// new files made beside its files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Ordered by folded name, then by name as spelled, so that the least of the names that
// differ in case only comes first. Every name's bytes lie in one buffer, one offset each
// in order; a removed name's bytes stay until they are half the buffer.
class ListingEntries {
 public:
  // Adds a name while the listing is read; Sort must follow before any other use.
  void Append(const std::string& folded, const std::string& name);
  // Orders what Append added; a pair appended twice is kept once.
  void Sort();

  // Adds (folded, name) in its place. Returns false when it was there.
  bool Insert(const std::string& folded, const std::string& name);
  // Removes (folded, name). Returns false when it was not there.
  bool Erase(const std::string& folded, const std::string& name);
  bool Contains(const std::string& folded, const std::string& name) const;
  // The least name listed under `folded`, or "" when there is none.
  std::string Least(const std::string& folded) const;
  // Every name listed under `folded`, least first.
  std::vector<std::string> Spellings(const std::string& folded) const;

  size_t size() const { return order_.size(); }

 private:
  // Where the first entry not less than (folded, name) is in `order_`.
  size_t LowerBound(const std::string& folded, const std::string& name) const;
  const char* Folded(size_t position) const { return bytes_.data() + order_[position]; }
  const char* Name(size_t position) const;
  void Compact();

  std::string bytes_;            // each entry as folded '\0' name '\0'
  std::vector<uint32_t> order_;  // where each entry starts in `bytes_`, in order
  size_t unused_ = 0;            // bytes of removed entries still in `bytes_`
};
