#include "archive/reference_table.h"

#include <new>

#include "platform/exceptions.h"

namespace {
constexpr size_t kGrowth = 64;
}

ReferenceTable::ReferenceTable(uint32_t highestIndex) : highestIndex_(highestIndex) {
  try {
    entries_.reserve(kGrowth);
  } catch (const std::bad_alloc&) {
    throw CMemoryException();
  }
  entries_.push_back(Entry{nullptr, nullptr});
}

uint32_t ReferenceTable::AddClass(const ClassInfo* info) { return Add(Entry{info, nullptr}); }

uint32_t ReferenceTable::AddObject(CObject* object) { return Add(Entry{nullptr, object}); }

uint32_t ReferenceTable::Add(Entry entry) {
  if (entries_.size() > highestIndex_) return 0;
  if (entries_.size() == entries_.capacity()) {
    try {
      // Whole steps of 64 entries, doubling so a large pass copies the table rarely.
      entries_.reserve(entries_.capacity() * 2 / kGrowth * kGrowth + kGrowth);
    } catch (const std::bad_alloc&) {
      throw CMemoryException();
    }
  }
  entries_.push_back(entry);
  return static_cast<uint32_t>(entries_.size() - 1);
}
