// The table that gives tags their meaning within one reading pass: index 0 is null,
// then classes and objects in the order they were met. It never owns the objects.
#pragma once

#include <cstdint>
#include <vector>

#include "archive/class_registry.h"

class ReferenceTable {
 public:
  static constexpr uint32_t kHighestIndex = 0x3FFFFFFD;

  // `highestIndex` is lowered only by tests, to reach the limit cheaply.
  explicit ReferenceTable(uint32_t highestIndex = kHighestIndex);

  // Enters a class or an object under the next index and returns the index. Returns 0 and
  // enters nothing when the next index would exceed the highest one (the table is full).
  // Raises CMemoryException when the table cannot grow.
  uint32_t AddClass(const ClassInfo* info);
  uint32_t AddObject(CObject* object);

  // The highest index in use (0 when only the null entry exists).
  uint32_t HighestUsed() const { return static_cast<uint32_t>(entries_.size() - 1); }
  bool IsClass(uint32_t index) const { return entries_[index].info != nullptr; }
  const ClassInfo* ClassAt(uint32_t index) const { return entries_[index].info; }
  CObject* ObjectAt(uint32_t index) const { return entries_[index].object; }

 private:
  struct Entry {
    const ClassInfo* info;
    CObject* object;
  };
  uint32_t Add(Entry entry);

  uint32_t highestIndex_;
  std::vector<Entry> entries_;
};
