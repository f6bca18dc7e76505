#include "engine/identity.h"

#include "platform/file_digest.h"

bool HasIdentity(CFile& file, uint32_t size, const Sha256Digest& digest) {
  return file.Length() == size && Sha256OfFile(file, 0, size) == digest;
}
