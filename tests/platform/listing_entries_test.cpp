// A directory's kept names: ordered as the least spelling of a name must come first, and
// unchanged in what they hold however many are added and removed. And the cache of
// listings that keeps them, bounded in memory.
#include "platform/posix/listing_entries.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "platform/posix/listing_cache.h"

namespace {

using Names = std::vector<std::string>;

TEST(ListingEntries, KeepsEachSpellingOnceInOrderThroughChanges) {
  ListingEntries entries;
  for (const char* name : {"b.dll", "A.DLL", "a.dll", "B.DLL", "a.dll", "ab.dll"}) {
    std::string folded = name;
    for (char& c : folded) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    entries.Append(folded, name);
  }
  entries.Sort();
  EXPECT_EQ(entries.size(), 5u);  // the second "a.dll" is one entry
  EXPECT_EQ(entries.Spellings("A.DLL"), (Names{"A.DLL", "a.dll"}));
  EXPECT_EQ(entries.Least("B.DLL"), "B.DLL");
  EXPECT_EQ(entries.Least("A"), "");  // a prefix of a name is not that name
  EXPECT_FALSE(entries.Insert("A.DLL", "a.dll"));
  EXPECT_TRUE(entries.Insert("A.DLL", "A.dll"));
  EXPECT_EQ(entries.Spellings("A.DLL"), (Names{"A.DLL", "A.dll", "a.dll"}));
  EXPECT_TRUE(entries.Erase("A.DLL", "A.DLL"));
  EXPECT_FALSE(entries.Erase("A.DLL", "A.DLL"));
  EXPECT_EQ(entries.Least("A.DLL"), "A.dll");

  // Many names made and removed again, as new files beside every file are: what is removed
  // is given back, and every name still there is found as before.
  for (int k = 0; k < 1000; ++k) {
    std::string name = "~UPD" + std::to_string(k);
    ASSERT_TRUE(entries.Insert(name, name));
  }
  for (int k = 999; k >= 0; --k)
    ASSERT_TRUE(entries.Erase("~UPD" + std::to_string(k), "~UPD" + std::to_string(k)));
  EXPECT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries.Spellings("A.DLL"), (Names{"A.dll", "a.dll"}));
  EXPECT_EQ(entries.Spellings("B.DLL"), (Names{"B.DLL", "b.dll"}));
  EXPECT_TRUE(entries.Contains("AB.DLL", "ab.dll"));
}

// The cache holds about 16 MB of listings: past that the least recently used go, and one
// listing larger than that is never kept.
TEST(ListingCache, ForgetsTheLeastRecentlyUsedPastItsBudget) {
  Cache cache;
  auto keep = [&](const char* directory, size_t megabytes) {
    Listing listing;
    listing.directory = directory;
    listing.bytes = megabytes << 20;
    return cache.Keep(std::move(listing));
  };
  EXPECT_EQ(keep("/huge", 17), 0u);
  EXPECT_EQ(cache.Find("/huge"), nullptr);
  ASSERT_NE(keep("/a", 6), 0u);
  ASSERT_NE(keep("/b", 6), 0u);
  ASSERT_NE(cache.Find("/a"), nullptr);
  ASSERT_NE(keep("/c", 6), 0u);
  EXPECT_EQ(cache.Find("/b"), nullptr);
  EXPECT_NE(cache.Find("/a"), nullptr);
  EXPECT_NE(cache.Find("/c"), nullptr);
}

}  // namespace
