#include "platform/pe_version.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/exceptions.h"
#include "platform/file.h"
#include "support/counting_file.h"
#include "support/pe_builder.h"

namespace {

constexpr uint32_t kUntouched = 0xDEADBEEF;

// Runs the reader on `bytes`; on false, also checks it stored nothing.
bool Read(const std::vector<uint8_t>& bytes, uint32_t* ms, uint32_t* ls) {
  MemoryFile file(bytes, "C:\\TEST\\image.dll");
  *ms = kUntouched;
  *ls = kUntouched;
  bool found = ReadPeFileVersion(file, ms, ls);
  if (!found) {
    EXPECT_EQ(*ms, kUntouched);
    EXPECT_EQ(*ls, kUntouched);
  }
  return found;
}

bool Reads(const std::vector<uint8_t>& bytes) {
  uint32_t ms, ls;
  return Read(bytes, &ms, &ls);
}

std::vector<PeImagePlan> AllShapes() {
  std::vector<PeImagePlan> plans;
  for (int pe32Plus = 0; pe32Plus < 2; ++pe32Plus) {
    for (int leading = 0; leading < 2; ++leading) {
      for (int extra = 0; extra < 2; ++extra) {
        PeImagePlan plan;
        plan.pe32Plus = pe32Plus != 0;
        plan.leadingSection = leading != 0;
        plan.extraTypes = extra != 0;
        plan.versionMS = 0x00050000u + static_cast<uint32_t>(pe32Plus * 4 + leading * 2 + extra);
        plan.versionLS = 0xFFFF0001u;
        plans.push_back(plan);
      }
    }
  }
  return plans;
}

std::string Describe(const PeImagePlan& plan) {
  return std::string(plan.pe32Plus ? "PE32+" : "PE32") +
         (plan.leadingSection ? ", .rsrc second" : "") +
         (plan.extraTypes ? ", named and RT_ICON types first" : "");
}

TEST(PeVersion, ReadsTheFixedFileVersionOfEveryShape) {
  for (const PeImagePlan& plan : AllShapes()) {
    SCOPED_TRACE(Describe(plan));
    PeImage image = BuildPeImage(plan);
    uint32_t ms, ls;
    ASSERT_TRUE(Read(image.bytes, &ms, &ls));
    EXPECT_EQ(ms, plan.versionMS);
    EXPECT_EQ(ls, plan.versionLS);

    // Byte-at-a-time reads give the same answer, and trailing data (an overlay, a
    // signature) is neither read nor in the way.
    MemoryFile memory(image.bytes);
    CountingFile slow(memory, 1);
    ASSERT_TRUE(ReadPeFileVersion(slow, &ms, &ls));
    EXPECT_EQ(ls, plan.versionLS);
    std::vector<uint8_t> large = image.bytes;
    large.resize(large.size() + 8 * 1024 * 1024, 0x5A);
    MemoryFile big(large);
    CountingFile counted(big);
    ASSERT_TRUE(ReadPeFileVersion(counted, &ms, &ls));
    // A few pieces of a few KiB: the headers, the resource directories, the version block.
    EXPECT_LT(counted.bytesRead, 16u * 1024);
    EXPECT_LE(counted.reads, 3u);
  }
  for (uint32_t value : {0u, 1u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    PeImagePlan plan;
    plan.versionMS = value;
    plan.versionLS = ~value;
    uint32_t ms, ls;
    ASSERT_TRUE(Read(BuildPeImage(plan).bytes, &ms, &ls));
    EXPECT_EQ(ms, value);
    EXPECT_EQ(ls, ~value);
  }
}

TEST(PeVersion, RefusesEveryTruncation) {
  for (const PeImagePlan& plan : AllShapes()) {
    SCOPED_TRACE(Describe(plan));
    std::vector<uint8_t> bytes = BuildPeImage(plan).bytes;
    for (size_t length = 0; length < bytes.size(); ++length) {
      std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(length));
      EXPECT_FALSE(Reads(cut)) << "cut at " << length;
    }
  }
}

TEST(PeVersion, RefusesImagesWithoutAVersionResource) {
  PeImagePlan plan;
  plan.withVersion = false;
  EXPECT_FALSE(Reads(BuildPeImage(plan).bytes));
  plan.extraTypes = true;  // a named type and RT_ICON, still no RT_VERSION
  EXPECT_FALSE(Reads(BuildPeImage(plan).bytes));
  EXPECT_FALSE(Reads({}));
  EXPECT_FALSE(Reads(std::vector<uint8_t>(4096, 0)));
  std::vector<uint8_t> text(5000, 'x');
  text[0] = 'M';
  text[1] = 'Z';
  EXPECT_FALSE(Reads(text));
}

struct Corruption {
  const char* what;
  std::function<void(const PeImage&, std::vector<uint8_t>&)> apply;
};

TEST(PeVersion, RefusesMalformedImages) {
  const std::vector<Corruption> corruptions = {
      {"MZ signature", [](const PeImage&, std::vector<uint8_t>& b) { b[1] = 'X'; }},
      {"e_lfanew past the end", [](const PeImage&, auto& b) { Put32(b, 0x3C, 0x7FFFFFF0); }},
      {"e_lfanew wrapping", [](const PeImage&, auto& b) { Put32(b, 0x3C, 0xFFFFFFFF); }},
      {"e_lfanew at the last bytes",
       [](const PeImage&, auto& b) { Put32(b, 0x3C, static_cast<uint32_t>(b.size() - 8)); }},
      {"PE signature", [](const PeImage& i, auto& b) { b[i.peHeader + 2] = 'X'; }},
      {"optional header magic",
       [](const PeImage& i, auto& b) { Put16(b, i.optionalHeader, 0x107); }},
      {"optional header too small for the resource directory",
       [](const PeImage& i, auto& b) { Put16(b, i.peHeader + 20, 0x60); }},
      {"only two data directories",
       [](const PeImage& i, auto& b) { Put32(b, i.resourceDataDirectory - 20, 2); }},
      {"no resource RVA", [](const PeImage& i, auto& b) { Put32(b, i.resourceDataDirectory, 0); }},
      {"no resource size",
       [](const PeImage& i, auto& b) { Put32(b, i.resourceDataDirectory + 4, 0); }},
      {"resource RVA outside every section",
       [](const PeImage& i, auto& b) { Put32(b, i.resourceDataDirectory, 0x00500000); }},
      {"resource RVA at the top of the address space",
       [](const PeImage& i, auto& b) { Put32(b, i.resourceDataDirectory, 0xFFFFFFF8); }},
      {"no sections", [](const PeImage& i, auto& b) { Put16(b, i.peHeader + 6, 0); }},
      {"65535 sections", [](const PeImage& i, auto& b) { Put16(b, i.peHeader + 6, 0xFFFF); }},
      {"section raw data past the end",
       [](const PeImage& i, auto& b) { Put32(b, i.resourceSectionHeader + 20, 0x00100000); }},
      {"section raw size huge",
       [](const PeImage& i, auto& b) { Put32(b, i.resourceSectionHeader + 16, 0xFFFFFFFF); }},
      {"section raw offset wrapping",
       [](const PeImage& i, auto& b) { Put32(b, i.resourceSectionHeader + 20, 0xFFFFFF00); }},
      {"section moved away from the resources",
       [](const PeImage& i, auto& b) { Put32(b, i.resourceSectionHeader + 12, 0x00800000); }},
      {"root claims 65535 ID entries",
       [](const PeImage& i, auto& b) { Put16(b, i.resourceSection + 14, 0xFFFF); }},
      {"root claims 65535 named entries hiding RT_VERSION",
       [](const PeImage& i, auto& b) { Put16(b, i.resourceSection + 12, 0xFFFF); }},
      {"RT_VERSION renumbered",
       [](const PeImage& i, auto& b) { Put32(b, i.versionTypeEntry, 17); }},
      {"RT_VERSION as a name string",
       [](const PeImage& i, auto& b) { Put32(b, i.versionTypeEntry, 0x80000010); }},
      {"RT_VERSION leading to data, not a directory",
       [](const PeImage& i, auto& b) { Put32(b, i.versionTypeEntry + 4, 0x00000000); }},
      {"RT_VERSION leading back to the root",
       [](const PeImage& i, auto& b) { Put32(b, i.versionTypeEntry + 4, 0x80000000); }},
      {"RT_VERSION leading far away",
       [](const PeImage& i, auto& b) { Put32(b, i.versionTypeEntry + 4, 0xFFFFFFF0); }},
      {"name directory leading to itself",
       [](const PeImage& i, auto& b) {
         Put32(b, i.nameDirectory + 20,
               0x80000000u | static_cast<uint32_t>(i.nameDirectory - i.resourceSection));
       }},
      {"name directory leading to data",
       [](const PeImage& i, auto& b) {
         Put32(b, i.nameDirectory + 20, static_cast<uint32_t>(i.dataEntry - i.resourceSection));
       }},
      {"name directory empty",
       [](const PeImage& i, auto& b) { Put16(b, i.nameDirectory + 14, 0); }},
      {"language entry leading to its own directory",
       [](const PeImage& i, auto& b) {
         Put32(b, i.languageDirectory + 20,
               0x80000000u | static_cast<uint32_t>(i.languageDirectory - i.resourceSection));
       }},
      {"language directory empty",
       [](const PeImage& i, auto& b) { Put16(b, i.languageDirectory + 14, 0); }},
      {"data entry past the section",
       [](const PeImage& i, auto& b) { Put32(b, i.languageDirectory + 20, 0x7FFFFFF0); }},
      {"data RVA outside every section",
       [](const PeImage& i, auto& b) { Put32(b, i.dataEntry, 0x00400000); }},
      {"data RVA wrapping", [](const PeImage& i, auto& b) { Put32(b, i.dataEntry, 0xFFFFFFC0); }},
      {"data RVA in the headers", [](const PeImage& i, auto& b) { Put32(b, i.dataEntry, 0x40); }},
      {"data size huge", [](const PeImage& i, auto& b) { Put32(b, i.dataEntry + 4, 0xFFFFFFFF); }},
      {"data size past the section",
       [](const PeImage& i, auto& b) { Put32(b, i.dataEntry + 4, 0x1000); }},
      {"data size too small for the fixed part",
       [](const PeImage& i, auto& b) { Put32(b, i.dataEntry + 4, 91); }},
      {"data in the zero-filled tail of the section",
       [](const PeImage& i, auto& b) {
         Put32(b, i.resourceSectionHeader + 8, 0x3000);  // VirtualSize beyond the raw data
         Put32(b, i.dataEntry, i.resourceRva + 0x800);
       }},
      {"wLength too small for the fixed part",
       [](const PeImage& i, auto& b) { Put16(b, i.versionBlock, 91); }},
      {"wLength past the resource",
       [](const PeImage& i, auto& b) { Put16(b, i.versionBlock, 0xFFFF); }},
      {"no value", [](const PeImage& i, auto& b) { Put16(b, i.versionBlock + 2, 0); }},
      {"key", [](const PeImage& i, auto& b) { b[i.versionBlock + 6 + 2 * 14] = 'X'; }},
      {"key without its terminator",
       [](const PeImage& i, auto& b) { b[i.versionBlock + 6 + 2 * 15] = 'X'; }},
      {"key in 8-bit characters",
       [](const PeImage& i, auto& b) {
         const char key[] = "VS_VERSION_INFO";
         for (size_t k = 0; k < sizeof key; ++k) b[i.versionBlock + 4 + k] = key[k];
       }},
      {"fixed part signature",
       [](const PeImage& i, auto& b) { Put32(b, i.fixedFileInfo, 0xFEEF04BE); }},
      {"fixed part signature byte-swapped",
       [](const PeImage& i, auto& b) { Put32(b, i.fixedFileInfo, 0xBD04EFFE); }},
  };
  for (const PeImagePlan& plan : AllShapes()) {
    PeImage image = BuildPeImage(plan);
    ASSERT_TRUE(Reads(image.bytes));
    for (const Corruption& corruption : corruptions) {
      std::vector<uint8_t> bytes = image.bytes;
      corruption.apply(image, bytes);
      EXPECT_FALSE(Reads(bytes)) << corruption.what << " in " << Describe(plan);
    }
  }
}

// Every single-byte change of every shape must give an answer, never a crash or a read
// outside the file (the sanitizer build makes the second visible).
TEST(PeVersion, SurvivesEveryByteChange) {
  for (const PeImagePlan& plan : AllShapes()) {
    std::vector<uint8_t> bytes = BuildPeImage(plan).bytes;
    size_t accepted = 0;
    for (size_t at = 0; at < bytes.size(); ++at) {
      for (uint8_t value : {uint8_t{0x00}, uint8_t{0x7F}, uint8_t{0x80}, uint8_t{0xFF}}) {
        std::vector<uint8_t> changed = bytes;
        changed[at] = value;
        accepted += Reads(changed) ? 1 : 0;
      }
    }
    // Most bytes (padding, unused header fields) do not matter.
    EXPECT_GT(accepted, bytes.size());
  }
}

// The reader passes on what the file raises, and raises nothing of its own.
TEST(PeVersion, PassesOnFileErrors) {
  class FailingFile : public MemoryFile {
   public:
    using MemoryFile::MemoryFile;
    size_t Read(void*, size_t) override {
      throw CFileException(FileCause::hardIO, 23, "Reading C:\\TEST\\image.dll");
    }
  };
  FailingFile file(BuildPeImage(PeImagePlan()).bytes);
  uint32_t ms = kUntouched, ls = kUntouched;
  try {
    ReadPeFileVersion(file, &ms, &ls);
    FAIL() << "the read error must reach the caller";
  } catch (const CFileException& e) {
    EXPECT_EQ(e.cause(), FileCause::hardIO);
  }
  EXPECT_EQ(ms, kUntouched);
}

}  // namespace
