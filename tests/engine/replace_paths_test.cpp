// Replacing files at the ends of the path rules: the longest targets that update, and
// directory kinds or paths that cannot name a file.
#include "engine/replace_fixture.h"
#include "model/paths.h"

namespace {

TEST_F(ReplaceTest, TargetsOf254CharactersUpdate) {
  // Directories under APP that make the target's path 254 characters long: lz32's own
  // opens stop at 127, and the new file next to the target needs 258.
  OneEntry("L.DLL");
  std::string relative(254 - Win("APP\\L.DLL").size() - 1, 'd');
  for (size_t at = 60; at + 1 < relative.size(); at += 61) relative[at] = '\\';
  std::string target = Win("APP\\" + relative + "\\L.DLL");
  ASSERT_EQ(target.size(), 254u);
  Install(target, old_);
  entry_.directory = relative;
  Build({entry_});
  SetRenaming(true);
  Run(true);
  EXPECT_TRUE(app_.record.entries[0].replaced) << log_.lines.back();
  EXPECT_EQ(Installed(target), fresh_);
  EXPECT_EQ(Installed(BackupName(target)), old_);
}

TEST_F(ReplaceTest, UnknownKindAndOverlongPathsAreNotFound) {
  OneEntry();
  EntryPlan odd{"ODD.DLL", 9};
  odd.newBytes = fresh_;
  EntryPlan deep{"DEEP.DLL", 2, std::string(240, 'd')};
  deep.newBytes = fresh_;
  Build({odd, deep});
  Run(false);
  ASSERT_EQ(log_.lines.size(), 2u);
  EXPECT_EQ(log_.lines[0], "ODD.DLL error [File Not Found]");
  EXPECT_EQ(log_.lines[1].size(), 255u);  // the line is cut, the path was never used
  EXPECT_FALSE(app_.runOk);
}

}  // namespace
