#include "platform/file_digest.h"

#include <memory>
#include <new>

#include "platform/exceptions.h"

Sha256Digest Sha256OfFile(CFile& file, uint64_t offset, uint64_t length) {
  constexpr size_t kBlock = 1 << 20;
  std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[kBlock]);
  if (!block) throw CMemoryException();
  Sha256 hash;
  file.SeekAbsolute(offset);
  while (length > 0) {
    size_t want = length < kBlock ? static_cast<size_t>(length) : kBlock;
    size_t n = file.Read(block.get(), want);
    if (n == 0) {
      throw CFileException(FileCause::endOfFile, 38, "Reading " + file.FullPath());
    }
    hash.Update(block.get(), n);
    length -= n;
  }
  return hash.Finish();
}
