#include "platform/file_info.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/exceptions.h"
#include "platform/file.h"
#include "support/pe_builder.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

// The last-write time as the C runtime reports it: an independent route to the same entry.
int64_t StatSeconds(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return -1;
  return static_cast<int64_t>(st.st_mtime);
}

TEST(FileIdentity, ReportsSizeTimeAndVersionOfAPeFile) {
  TempDir dir;
  for (bool pe32Plus : {false, true}) {
    SCOPED_TRACE(pe32Plus ? "PE32+" : "PE32");
    PeImagePlan plan;
    plan.pe32Plus = pe32Plus;
    plan.leadingSection = true;
    plan.versionMS = 0x00070008;
    plan.versionLS = pe32Plus ? 0x00090064 : 0x0009000A;
    PeImage image = BuildPeImage(plan);
    std::string path = dir.Write(pe32Plus ? "wide.dll" : "narrow.dll", image.bytes);

    FileIdentity identity = ReadFileIdentity(path);
    EXPECT_TRUE(identity.found);
    EXPECT_EQ(identity.size, image.bytes.size());
    EXPECT_EQ(identity.versionMS, plan.versionMS);
    EXPECT_EQ(identity.versionLS, plan.versionLS);
    int64_t now = static_cast<int64_t>(std::time(nullptr));
    EXPECT_LE(std::llabs(static_cast<int64_t>(identity.modified) - now), 600);
    EXPECT_EQ(identity.modified, StatSeconds(path));

    // Moving the time back by whole days moves the seconds back by exactly as many.
    fs::last_write_time(path, fs::last_write_time(path) - std::chrono::hours(24 * 400));
    FileIdentity older = ReadFileIdentity(path);
    EXPECT_EQ(older.modified, identity.modified - 400u * 24 * 3600);
    EXPECT_EQ(older.modified, StatSeconds(path));
    EXPECT_EQ(older.versionLS, plan.versionLS);
  }
}

TEST(FileIdentity, GivesVersionZeroForFilesWithoutOne) {
  TempDir dir;
  std::string text = dir.Write("readme.txt", std::vector<uint8_t>(12345, 'a'));
  FileIdentity identity = ReadFileIdentity(text);
  EXPECT_TRUE(identity.found);
  EXPECT_EQ(identity.size, 12345u);
  EXPECT_EQ(identity.versionMS, 0u);
  EXPECT_EQ(identity.versionLS, 0u);

  PeImagePlan plan;
  plan.withVersion = false;
  std::string bare = dir.Write("bare.dll", BuildPeImage(plan).bytes);
  identity = ReadFileIdentity(bare);
  EXPECT_TRUE(identity.found);
  EXPECT_EQ(identity.versionMS, 0u);
  EXPECT_EQ(identity.versionLS, 0u);

  // A version block with no value: both the portable reader and the OS's API refuse it.
  // (Most damage the portable reader refuses, the OS's API of the Wine build accepts: a
  // wrong key or signature, a cut-short section. Those cases are pe_version_test's.)
  PeImage broken = BuildPeImage(PeImagePlan());
  Put16(broken.bytes, broken.versionBlock + 2, 0);
  identity = ReadFileIdentity(dir.Write("broken.dll", broken.bytes));
  EXPECT_TRUE(identity.found);
  EXPECT_EQ(identity.versionMS, 0u);

  std::string empty = dir.Write("empty.dll", {});
  identity = ReadFileIdentity(empty);
  EXPECT_TRUE(identity.found);
  EXPECT_EQ(identity.size, 0u);
  EXPECT_EQ(identity.versionMS, 0u);
}

TEST(FileIdentity, ReportsMissingFilesAndDirectories) {
  TempDir dir;
  FileIdentity missing = ReadFileIdentity(dir.path() + "/missing.dll");
  EXPECT_FALSE(missing.found);
  EXPECT_EQ(missing.size, 0u);
  EXPECT_EQ(missing.modified, 0u);
  EXPECT_EQ(missing.versionMS, 0u);
  EXPECT_FALSE(ReadFileIdentity(dir.path() + "/no/such/dir/file.dll").found);
  EXPECT_FALSE(ReadFileIdentity("").found);
  dir.Write("star.dll", {1});
  EXPECT_FALSE(ReadFileIdentity(dir.path() + "/*.dll").found);  // a pattern is not a file

  fs::create_directory(dir.path() + "/sub");
  FileIdentity sub = ReadFileIdentity(dir.path() + "/sub");
  EXPECT_TRUE(sub.found);
  EXPECT_EQ(sub.size, 0u);
  EXPECT_EQ(sub.versionMS, 0u);
}

// The engine hands over Windows paths; the native build must understand them too.
TEST(FileIdentity, TakesBackslashPaths) {
  TempDir dir;
  fs::create_directory(dir.path() + "/sub");
  PeImage image = BuildPeImage(PeImagePlan());
  dir.Write("sub/lib.dll", image.bytes);
  FileIdentity identity = ReadFileIdentity(dir.path() + "\\sub\\lib.dll");
  EXPECT_TRUE(identity.found);
  EXPECT_EQ(identity.size, image.bytes.size());
  EXPECT_EQ(identity.versionMS, PeImagePlan().versionMS);
}

// A file another program holds open for reading (as a running program's DLL is) is still
// identified. A file opened without any sharing keeps its directory entry visible, but on
// Windows the version API cannot open it, so its version reads as 0.0 there.
TEST(FileIdentity, ReadsFilesOthersHoldOpen) {
  TempDir dir;
  PeImage image = BuildPeImage(PeImagePlan());
  std::string path = dir.Write("held.dll", image.bytes);
  std::unique_ptr<CFile> holder = OpenForReading(path);
  FileIdentity identity = ReadFileIdentity(path);
  EXPECT_TRUE(identity.found);
  EXPECT_EQ(identity.size, image.bytes.size());
#ifdef _WIN32
  EXPECT_EQ(identity.versionMS, 0u);
#else
  EXPECT_EQ(identity.versionMS, PeImagePlan().versionMS);
  EXPECT_EQ(identity.versionLS, PeImagePlan().versionLS);
#endif
  holder.reset();
  EXPECT_EQ(ReadFileIdentity(path).versionLS, PeImagePlan().versionLS);
}

// With what an earlier read gave, the version stands while the file is the same and
// unchanged, even in its change time; a file changed in the last second is always read anew.
// Rewritten in place with its size and time put back, it is read anew too.
TEST(FileIdentity, KeepsAnEarlierVersionOnlyWhileTheFileIsUnchanged) {
  TempDir dir;
  PeImagePlan plan;
  std::string path = dir.Write("kept.dll", BuildPeImage(plan).bytes);
  const auto settle = std::chrono::milliseconds(1100);
  EXPECT_FALSE(ReadFileIdentity(path).mark.Known());
  std::this_thread::sleep_for(settle);
  FileIdentity first = ReadFileIdentity(path);
  ASSERT_TRUE(first.mark.Known());
  FileIdentity earlier = first;
  earlier.versionLS += 1;  // stands for the version read then
  EXPECT_EQ(ReadFileIdentity(path, &earlier).versionLS, earlier.versionLS);
  FileIdentity other[3] = {earlier, earlier, earlier};
  other[0].mark.file += 1;
  other[1].mark.changed += 1;
  other[2].versionMS = other[2].versionLS = 0;  // none was found then
  for (const FileIdentity& o : other)
    EXPECT_EQ(ReadFileIdentity(path, &o).versionLS, plan.versionLS);

  auto time = fs::last_write_time(path);
  plan.versionLS += 7;
  dir.Write("kept.dll", BuildPeImage(plan).bytes);
  fs::last_write_time(path, time);
  EXPECT_EQ(ReadFileIdentity(path, &earlier).versionLS, plan.versionLS);
  std::this_thread::sleep_for(settle);
  FileIdentity after = ReadFileIdentity(path, &earlier);
  EXPECT_TRUE(after.mark.Known());
  EXPECT_EQ(after.mark.file, first.mark.file);
  EXPECT_EQ(after.versionLS, plan.versionLS);
  EXPECT_EQ(after.modified, first.modified);
}

// Sizes are the low 32 bits. The file is sparse, so this costs no disk space.
TEST(FileIdentity, KeepsTheLow32BitsOfLargeSizes) {
  TempDir dir;
  std::string path = dir.Write("huge.bin", {'M', 'Z'});
  std::error_code error;
  fs::resize_file(path, 0x100000000ull + 77, error);
  if (error) GTEST_SKIP() << "cannot make a file over 4 GiB here: " << error.message();
  FileIdentity identity = ReadFileIdentity(path);
  EXPECT_TRUE(identity.found);
  EXPECT_EQ(identity.size, 77u);
  EXPECT_EQ(identity.versionMS, 0u);
}

}  // namespace
