// The POSIX build's mapping of Windows paths onto a Windows tree, where names are found
// in any case.
#include "platform/posix/native_path.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/env.h"
#include "platform/posix/directory_listings.h"
#include "support/temp_dir.h"

namespace {

// Longer than a tick of the coarsest kernel clock that sets a file's times.
constexpr std::chrono::milliseconds kTick{20};

// Gives `path` the modification time `when`; true when done.
bool Redate(const std::string& path, timespec when) {
  const timespec times[2] = {when, when};
  return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

// The same, `seconds` from now: an hour back, a directory's listing is trusted to its stamp
// even where times are coarse; ahead, never.
bool Redate(const std::string& path, long seconds) {
  return Redate(path, timespec{std::time(nullptr) + seconds, 0});
}

TEST(NativePath, FindsEveryComponentInAnyCaseAsWindowsDoes) {
  TempDir dir;
  std::string root = dir.path();
  std::filesystem::create_directories(root + "/Quill/Bin");
  dir.Write("Quill/Bin/QUILL.EXE", {1});
  dir.Write("Quill/Bin/quill.exe", {2});  // POSIX allows both; Windows never has them
  const struct {
    const char* given;
    const char* found;
  } cases[] = {
      {"\\Quill\\Bin\\QUILL.EXE", "/Quill/Bin/QUILL.EXE"},     // as it is: untouched
      {"\\quill\\BIN\\quill.exe", "/Quill/Bin/quill.exe"},     // the exact name first
      {"\\quill\\bin\\Quill.Exe", "/Quill/Bin/QUILL.EXE"},     // else the least of them
      {"\\QUILL\\bin\\new.dll", "/Quill/Bin/new.dll"},         // a new file, in its directory
      {"\\quill\\none\\Sub\\x.dll", "/Quill/none/Sub/x.dll"},  // the rest of a missing path
      {"\\quill\\.\\bin\\..\\BIN", "/Quill/./Bin/../Bin"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NativePath(root + c.given), root + c.found) << c.given;
  }
}

// Listings and answers are kept between lookups: each change, the backend's own or another
// program's, must be seen by the very next lookup of a name. The directories are first dated
// an hour back (Redate).
TEST(NativePath, SeesEveryChangeBetweenTwoLookups) {
  TempDir dir;
  const std::string root = dir.path();
  std::filesystem::create_directories(root + "/Bin");
  dir.Write("Bin/quill.exe", {1});
  auto look = [&](const std::string& given) { return NativePath(root + given); };
  auto settle = [&] {
    for (const char* d : {"", "/Bin"}) ASSERT_TRUE(Redate(root + d, -3600));
  };
  const std::string ink = "\\bin\\INK.DLL", pen = "\\bin\\PEN.DLL", quill = "\\bin\\Quill.Exe";

  settle();
  EXPECT_EQ(look(ink), root + "/Bin/INK.DLL");
  std::ofstream(root + "/Bin/Ink.dll") << "x";
  EXPECT_EQ(look(ink), root + "/Bin/Ink.dll");
  settle();
  EXPECT_EQ(look(ink), root + "/Bin/Ink.dll");
  EXPECT_EQ(look(pen), root + "/Bin/PEN.DLL");
  ASSERT_EQ(::rename((root + "/Bin/Ink.dll").c_str(), (root + "/Bin/Pen.dll").c_str()), 0);
  EXPECT_EQ(look(ink), root + "/Bin/INK.DLL");
  EXPECT_EQ(look(pen), root + "/Bin/Pen.dll");
  settle();
  EXPECT_EQ(look(pen), root + "/Bin/Pen.dll");
  ASSERT_EQ(::unlink((root + "/Bin/Pen.dll").c_str()), 0);
  EXPECT_EQ(look(pen), root + "/Bin/PEN.DLL");
  settle();
  EXPECT_EQ(look(quill), root + "/Bin/quill.exe");
  dir.Write("Bin/QUILL.EXE", {2});
  EXPECT_EQ(look(quill), root + "/Bin/QUILL.EXE");  // the least of the two

  const std::string made = "\\BIN\\NEW.DLL", tool = "\\BIN\\TOOL.EXE";
  settle();
  EXPECT_EQ(look(made), root + "/Bin/NEW.DLL");
  EXPECT_EQ(look(tool), root + "/Bin/TOOL.EXE");
  Env& env = Env::Default();
  ASSERT_NE(env.CreateExclusive(root + "\\bin\\New.dll"), nullptr);
  EXPECT_EQ(look(made), root + "/Bin/New.dll");
  ASSERT_EQ(env.ReplaceWithBackup(root + "\\bin\\new.dll", root + "\\bin\\Tool.exe", ""),
            ReplaceOutcome::replaced);
  EXPECT_EQ(look(made), root + "/Bin/NEW.DLL");
  EXPECT_EQ(look(tool), root + "/Bin/Tool.exe");
  ASSERT_TRUE(env.RemoveFile(root + "\\bin\\tool.exe"));
  EXPECT_EQ(look(tool), root + "/Bin/TOOL.EXE");
  ASSERT_TRUE(env.RemoveFile(root + "\\bin\\QUILL.EXE"));
  EXPECT_EQ(look(quill), root + "/Bin/quill.exe");
}

// An answer that rests on a listing too young to trust is not kept, nor is any answer built
// on it: a directory whose time lies ahead is never settled.
TEST(NativePath, KeepsNoAnswerBuiltOnAnUntrustedListing) {
  TempDir dir;
  const std::string root = dir.path();
  std::filesystem::create_directories(root + "/Bin/Sub");
  dir.Write("Bin/Sub/x.dll", {1});
  for (const char* d : {"", "/Bin/Sub"}) ASSERT_TRUE(Redate(root + d, -3600));
  ASSERT_TRUE(Redate(root + "/Bin", 3600));
  EXPECT_EQ(NativePath(root + "\\bin\\sub\\X.DLL"), root + "/Bin/Sub/x.dll");
  std::filesystem::create_directory(root + "/Bin/sub");  // the name as given, now first
  EXPECT_EQ(NativePath(root + "\\bin\\sub\\X.DLL"), root + "/Bin/sub/X.DLL");

  // A copy that keeps times puts the modification time back; the change time still moves,
  // to the nanosecond where the file system keeps it, and by a tick of the kernel's clock
  // where that is coarser (hence the pause).
  const timespec kept = {1500000000, 123};
  ASSERT_TRUE(Redate(root + "/Bin/Sub", kept));
  EXPECT_EQ(NativePath(root + "\\Bin\\Sub\\Y.DLL"), root + "/Bin/Sub/Y.DLL");
  std::this_thread::sleep_for(kTick);
  dir.Write("Bin/Sub/y.dll", {2});
  ASSERT_TRUE(Redate(root + "/Bin/Sub", kept));
  EXPECT_EQ(NativePath(root + "\\Bin\\Sub\\Y.DLL"), root + "/Bin/Sub/y.dll");
}

// Another program's change around one of the backend's own is never taken for part of it:
// neither one made before the backend's change starts, nor one after a reading taken while
// it was under way.
TEST(NativePath, TakesNoOtherChangeForTheBackendsOwn) {
  TempDir dir;
  const std::string bin = dir.path() + "/Bin";
  std::filesystem::create_directories(bin);
  auto settle = [&] { ASSERT_TRUE(Redate(bin, -3600)); };
  dir.Write("Bin/Old.dll", {1});
  settle();
  EXPECT_EQ(EntryIgnoringCase(bin, "INK.DLL"), "");
  dir.Write("Bin/Ink.dll", {1});
  ASSERT_TRUE(Env::Default().RemoveFile(bin + "/Old.dll"));  // found as spelled: no lookup
  EXPECT_EQ(EntryIgnoringCase(bin, "INK.DLL"), "Ink.dll");

  settle();
  EXPECT_EQ(EntryIgnoringCase(bin, "PEN.DLL"), "");
  std::this_thread::sleep_for(kTick);  // so that each change below moves the change time
  {
    DirectoryChange change({bin + "/Own.dll"});
    dir.Write("Bin/Own.dll", {2});
    settle();
    EXPECT_EQ(EntryIgnoringCase(bin, "OWN.DLL"), "Own.dll");  // read again meanwhile
    dir.Write("Bin/Pen.dll", {3});
    settle();
  }
  EXPECT_EQ(EntryIgnoringCase(bin, "PEN.DLL"), "Pen.dll");
}

}  // namespace
