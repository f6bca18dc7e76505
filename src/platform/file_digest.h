// The SHA-256 of a stretch of an open file, read in large blocks so the hash, not the reads,
// sets the pace.
#pragma once

#include <cstdint>

#include "platform/file.h"
#include "platform/sha256.h"

// Hashes the `length` bytes of `file` that start at `offset`, leaving the position after them.
// Raises CFileException when the OS refuses a read or the file ends first, CMemoryException.
Sha256Digest Sha256OfFile(CFile& file, uint64_t offset, uint64_t length);
