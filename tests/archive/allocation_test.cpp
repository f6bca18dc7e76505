// Allocation failures while reading: every one becomes CMemoryException, and nothing read
// so far leaks. The program's allocator is replaced here so that the Nth allocation after
// arming fails, and the test raises N until a read gets through.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "archive/archive_writer.h"
#include "test_classes.h"

namespace {

long failAt = 0;  // 0: never; else the allocation number that fails
long allocations = 0;
long armedAt = 0;  // what Arm() sets failAt to

void* Allocate(std::size_t size) {
  if (failAt != 0 && ++allocations == failAt) throw std::bad_alloc();
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
// The reader asks for its buffer without exceptions; that allocation must fail in turn too,
// and come from this allocator, since the delete below is this allocator's.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

// From here on, the Nth allocation of this run fails.
void Arm() {
  allocations = 0;
  failAt = armedAt;
}

// Runs `read` (which calls Arm() once its inputs are set up) with the Nth allocation
// failing, for N = 1, 2, ... until it gets through. Every failure must arrive as
// CMemoryException. Returns how many runs failed.
template <class Read>
long FailEachAllocationInTurn(Read read) {
  for (long n = 1;; ++n) {
    armedAt = n;
    try {
      read();
      failAt = 0;
      return n - 1;
    } catch (const CMemoryException&) {
    } catch (const std::exception& e) {
      failAt = 0;
      ADD_FAILURE() << "allocation " << n << " raised " << e.what() << ", not CMemoryException";
      return n;
    } catch (...) {
      failAt = 0;
      ADD_FAILURE() << "allocation " << n << " raised something other than CMemoryException";
      return n;
    }
    failAt = 0;
  }
}

TEST(Allocation, FailuresReadingStringsAreOutOfMemory) {
  std::vector<uint8_t> bytes;
  ArchiveWriter writer(bytes);
  writer.WriteString(std::string(300000, 's'));
  writer.WriteString(std::string(70000, 'w'), StringForm::wide);
  long failed = FailEachAllocationInTurn([&] {
    MemoryFile file(bytes);
    const ClassRegistry& registry = TestRegistry();
    Arm();
    ArchiveReader reader(file, registry);
    std::string narrow = reader.ReadArchiveString();
    std::string wide = reader.ReadArchiveString();
    failAt = 0;
    EXPECT_EQ(narrow.size(), 300000u);
    EXPECT_EQ(wide.size(), 70000u);
  });
  EXPECT_GE(failed, 4);  // the buffer, then at least one allocation per string
}

TEST(Allocation, FailuresReadingListsLeakNoElement) {
  std::vector<uint8_t> bytes;
  ArchiveWriter writer(bytes);
  writer.WriteCount(9);
  for (uint16_t i = 0; i < 9; ++i) {
    writer.BeginObject("Leaf");
    writer.WriteWord(i);
  }
  long failed = FailEachAllocationInTurn([&] {
    ObjectList<Leaf> leaves;
    {
      MemoryFile file(bytes);
      const ClassRegistry& registry = TestRegistry();
      Arm();
      ArchiveReader reader(file, registry);
      reader.ReadList(leaves);
    }
    failAt = 0;
    EXPECT_EQ(leaves.size(), 9u);
  });
  EXPECT_GT(failed, 9);  // nine leaves and the list's growth among them
  EXPECT_EQ(Leaf::live, 0);
}

}  // namespace
