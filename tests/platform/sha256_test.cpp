// SHA-256 from the platform, against the standard's own test vectors.
#include "platform/sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Sha256, StandardVectorsInOneAndManyPieces) {
  EXPECT_EQ(Sha256Of("", 0).Hex(),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256Of("abc", 3).Hex(),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  std::string million(1000000, 'a');
  Sha256 pieces;
  for (size_t at = 0; at < million.size(); at += 999) {
    pieces.Update(million.data() + at, std::min<size_t>(999, million.size() - at));
  }
  Sha256Digest digest = pieces.Finish();
  EXPECT_EQ(digest.Hex(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  EXPECT_EQ(digest, Sha256Of(million.data(), million.size()));
  EXPECT_NE(digest, Sha256Of("abc", 3));
}

}  // namespace
