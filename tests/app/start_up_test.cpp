// The portable rules of start-up and opening: the command line and the drive rule.
#include <gtest/gtest.h>

#include "app/command_line.h"
#include "session/install_dir.h"

namespace {

TEST(CommandLine, TheRestAfterTheProgramNameVerbatim) {
  EXPECT_EQ(PathFromCommandLine("vareri.exe D:\\My Files\\new.upd"), "D:\\My Files\\new.upd");
  EXPECT_EQ(PathFromCommandLine("\"C:\\Program Files\\vareri.exe\" D:\\a.upd  "), "D:\\a.upd  ");
  EXPECT_EQ(PathFromCommandLine("vareri \"D:\\My Files\\new.upd\""), "\"D:\\My Files\\new.upd\"");
  EXPECT_EQ(PathFromCommandLine("vareri\t \x01 x.upd"), "x.upd");
  EXPECT_EQ(PathFromCommandLine("vareri\x7Fx.upd"), "x.upd");  // DEL is a control character
  EXPECT_EQ(PathFromCommandLine("vareri \x7F x\x7F.upd"), "x\x7F.upd");
  EXPECT_EQ(PathFromCommandLine("vareri    "), "");
  EXPECT_EQ(PathFromCommandLine("vareri"), "");
  EXPECT_EQ(PathFromCommandLine("\"C:\\vareri.exe"), "");  // no closing quote: all name
  EXPECT_EQ(PathFromCommandLine(""), "");
  EXPECT_EQ(PathFromCommandLine(nullptr), "");
}

TEST(DriveRule, ProposesADriveWhenTheDirectoryHasNone) {
  EXPECT_EQ(ApplyDriveRule("D:\\Apps\\Prog"), "D:\\Apps\\Prog");
  EXPECT_EQ(ApplyDriveRule("\\Apps\\Prog"), "C:\\Apps\\Prog");
  EXPECT_EQ(ApplyDriveRule("Apps\\Prog"), "C:\\Apps\\Prog");
  EXPECT_EQ(ApplyDriveRule("D:"), "D:");
  EXPECT_EQ(ApplyDriveRule(""), "C:\\");
  EXPECT_EQ(ApplyDriveRule("\\\\server\\share"), "C:\\\\server\\share");
}

}  // namespace
