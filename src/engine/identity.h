// Telling versions apart by their bytes: the exact identity (size and SHA-256) an update may
// give for files without a version resource, or for any file whose vendor asks for it.
#pragma once

#include <cstdint>

#include "model/file_stamp.h"
#include "platform/file.h"
#include "platform/sha256.h"

// Whether the open `file` is `size` bytes long with the SHA-256 `digest`: the length first,
// and only a file of that length is read, whole. Moves its position. Raises what `file` raises.
bool HasIdentity(CFile& file, uint32_t size, const Sha256Digest& digest);

// Whether `stamp` carries a file version (a version resource), not 0.0.
inline bool IsVersioned(const CFileStamp& stamp) {
  return (stamp.versionMS | stamp.versionLS) != 0;
}
