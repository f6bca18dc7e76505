// What the tests of building and reading back share: release files made in a fresh
// directory, a manifest of them, and the bytes of the update file built from it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "manifest.h"
#include "model/update_item.h"
#include "support/temp_dir.h"

using Bytes = std::vector<uint8_t>;

// `size` bytes of words that compress well, the same for the same `seed`.
Bytes Compressible(size_t size, uint32_t seed);

// A program of `size` bytes with file version `versionMS`.0.0.
Bytes Program(uint32_t versionMS, size_t size, uint32_t seed);

class UpdpackTest : public ::testing::Test {
 protected:
  // Two files, in folders whose names are not ASCII (which the Windows build must open by
  // their UTF-8 names): A.DLL, a program with two previous versions, and B.TXT, not
  // selected by default, of kind absolute.
  void WriteProduct();

  // Writes `bytes` under the UTF-8 name `relative` and returns the full name, UTF-8.
  std::string Put(const std::string& relative, const Bytes& bytes);

  // The stored contents of `item` in the output, as they lie in the file.
  Bytes Stored(const CUpdateItem& item) {
    return FileBytes(item.payloadOffset, item.payloadLength);
  }

  Bytes FileBytes(uint32_t offset, size_t length);

  TempDir dir_;
  Bytes newA_, oldA1_, oldA2_, newB_;
  Manifest manifest_;
  std::string output_;
};
