// The checks of a file entry's previous versions: the updater must be able to tell each from
// the new file and from the others, and its samples must stay apart.
#include "entry_checks.h"

#include <gtest/gtest.h>

#include "writer/pack_error.h"

namespace {

TEST(EntryChecks, PreviousVersionsTheUpdaterCanTellApartAndReplace) {
  const uint32_t v10 = 0x00010000, v11 = 0x00010001, v20 = 0x00020000;
  const struct {
    uint32_t expected, previous, size;
    uint16_t count, length;
    const char* says;  // "" when accepted
    int listed = 0;    // 1: already listed; 2: listed with the same stamp, other samples
    bool byIdentity = false, removal = false;
  } rows[] = {
      {v11, v10, 46080, 8, 16, ""},
      {v11, v10, 46080, 8, 16, "the same previous version as previous[0]", 1},
      {v11, v10, 46080, 8, 16, "", 2},
      {v11, v10, 256, 8, 16, ""},
      {v11, v10, 46080, 65535, 1024,
       "overlap and check less than they seem to; use sampleCount 22 or less"},
      {v11, v10, 46080, 30000, 16, "use sampleCount 1440 or less"},
      {v11, v10, 255, 8, 16, "use sampleCount 7 or less, or sampleLength 15 or less"},
      {v11, v10, 20, 8, 16, "use sampleLength 1 or less"},
      {v11, v10, 10, 8, 16, "use sampleCount 1 with sampleLength 5 or less"},
      {v11, v10, 1, 1, 0, "too small to be sampled"},
      {v11, v11, 46080, 8, 16, "its version 1.1.0.0 is not older than the new version 1.1.0.0"},
      {v11, v20, 46080, 8, 16, "give the new file a higher version"},
      {0, 0, 46080, 8, 16, "give the file a version resource, or leave the entry out"},
      // Known by their bytes, versions still must be older, and samples are not taken.
      {v11, v11, 46080, 8, 16, "is not older than the new version", 0, true},
      {0, 0, 1, 8, 16, "", 0, true},
      {0, v20, 46080, 8, 16, "", 0, false, true},  // a removal replaces nothing
  };
  for (const auto& row : rows) {
    ItemPlan item;
    item.expectedStamp.versionMS = row.expected;
    OrderPlan order;
    order.stamp = {row.size, 1, row.previous, 0};
    order.fingerprint = {1, 2, 3};
    if (row.listed) item.previousVersions = {order};
    if (row.listed == 2) item.previousVersions[0].fingerprint[2] = 4;
    order.stamp.modified = 2;  // the time tells nothing apart
    std::string error;
    try {
      CheckPrevious(item, order, {row.count, row.length}, "files[2].previous[1]", row.byIdentity,
                    row.removal);
    } catch (const PackError& e) {
      error = e.what();
    }
    EXPECT_EQ(error.empty(), *row.says == 0) << row.says << "\n" << error;
    if (*row.says) {
      EXPECT_EQ(error.rfind("files[2].previous[1]: ", 0), 0u) << error;
      EXPECT_NE(error.find(row.says), std::string::npos) << error;
    }
  }
}

TEST(EntryChecks, FittingSamplesStayApart) {
  const struct {
    uint32_t size;
    SampleParameters wanted, fitting;
  } rows[] = {
      {46080, {8, 16}, {8, 16}}, {255, {8, 16}, {7, 16}}, {10, {8, 16}, {1, 5}},
      {100, {8, 0}, {8, 0}},     {5, {8, 0}, {2, 0}},     {1, {8, 16}, {0, 0}},
      {40, {8, 16}, {1, 16}},    {2, {8, 16}, {1, 1}},
  };
  for (const auto& row : rows) {
    SampleParameters got = FittingSamples(row.size, row.wanted);
    EXPECT_EQ(got.count, row.fitting.count) << row.size;
    EXPECT_EQ(got.length, row.fitting.length) << row.size;
    EXPECT_TRUE(got.count == 0 || SamplesFit(row.size, got)) << row.size;
  }
}

}  // namespace
