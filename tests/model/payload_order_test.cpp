// The stored block order: each 1,024-byte block of a file's contents is stored reversed,
// and StoredContents gives the contents back in order whatever the reads.
#include "model/payload_order.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/file.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Reads all of `stored` in requests of `first` bytes, then `next` bytes at a time.
Bytes ReadAll(StoredContents& stored, size_t first, size_t next) {
  Bytes all;
  Bytes buffer(std::max(first, next));
  for (size_t want = first;; want = next) {
    size_t n = stored.Read(buffer.data(), want);
    if (n == 0) return all;
    all.insert(all.end(), buffer.begin(), buffer.begin() + n);
  }
}

TEST(StoredContents, ReversesEachBlockOnItsOwn) {
  // The stored order pinned by hand: 1,500 bytes c[0..1499] are stored as c[1023]..c[0],
  // then c[1499]..c[1024]. The build tool's helper writes it, the reader undoes it.
  Bytes c(1500);
  for (size_t i = 0; i < c.size(); ++i) c[i] = static_cast<uint8_t>(i * 13 + i / 256);
  Bytes pinned;
  for (int i = 1023; i >= 0; --i) pinned.push_back(c[i]);
  for (int i = 1499; i >= 1024; --i) pinned.push_back(c[i]);
  Bytes written = c;
  ReverseBlocks(written);
  EXPECT_EQ(written, pinned);
  MemoryFile pinnedUpdate(pinned);
  StoredContents pinnedContents(pinnedUpdate, 0, 1500);
  EXPECT_EQ(ReadAll(pinnedContents, 14, 131072), c);

  // Sizes around the block; the expander's requests (a header, then large reads) and
  // requests that cut blocks anywhere.
  for (uint32_t size : {1u, 1023u, 1024u, 1025u, 2048u, 2049u, 70000u}) {
    Bytes stored(size + 7);
    for (size_t i = 0; i < stored.size(); ++i) stored[i] = static_cast<uint8_t>(i * 7 + i / 256);
    Bytes want(stored.begin() + 7, stored.end());
    ReverseBlocks(want);
    for (size_t first : {14, 700, 4096}) {
      MemoryFile update(stored);
      StoredContents contents(update, 7, size);
      EXPECT_EQ(ReadAll(contents, first, first == 14 ? 131072 : first), want) << size;
      EXPECT_FALSE(contents.cutShort());
    }
    if (size == 1025) {
      EXPECT_EQ(want[1024], stored[7 + 1024]);  // a lone last byte stays where it is
    }
  }
  // Size 0 gives nothing; an update file that ends inside the contents ends the stream.
  MemoryFile update(Bytes(100, 1));
  StoredContents empty(update, 0, 0);
  EXPECT_TRUE(ReadAll(empty, 14, 100).empty());
  StoredContents cut(update, 50, 1000);
  ReadAll(cut, 14, 100);
  EXPECT_TRUE(cut.cutShort());
}

}  // namespace
