// The POSIX build's mapping of Windows paths onto a Windows tree, where names are found
// in any case.
#include "platform/posix/native_path.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace {

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

}  // namespace
