// The stored order of an entry's new contents: the compressed file cut into blocks of
// 1024 bytes, each block's bytes reversed. Writing and reading use the same helpers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr size_t kPayloadBlockSize = 1024;

// Reverses the `count` bytes at `buffer` in place; 0 or 1 bytes stay as they are.
void ReverseBytes(uint8_t* buffer, size_t count);

// Reverses every 1024-byte block of `bytes` (the last one holding the remaining 1 to
// 1024 bytes) in place. Applying it twice gives the original bytes.
void ReverseBlocks(std::vector<uint8_t>& bytes);
