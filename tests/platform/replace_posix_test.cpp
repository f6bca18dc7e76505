// A replacement natively goes through only while the new file is still the one made under its
// name and no other program holds the target: either way the target stays as it was.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "platform/env.h"
#include "support/temp_dir.h"
#include "support/test_env.h"

namespace {

TEST(PosixReplace, AFileSwappedInOrATargetHeldIsNeverReplaced) {
  TempDir dir;
  const std::string target = dir.path() + "/A.DLL", made = target + "~UPD";
  for (bool swapped : {true, false}) {
    TestEnv env(dir.path() + "/");
    std::ofstream(target, std::ios::binary | std::ios::trunc) << "old";
    env.CreateExclusive(made)->Write("new", 3);
    std::unique_ptr<CFile> holder;
    struct statx sx;
    bool born =
        ::statx(AT_FDCWD, made.c_str(), 0, STATX_BTIME, &sx) == 0 && (sx.stx_mask & STATX_BTIME);
    if (swapped && !born) {
      // Only the birth time tells a file made at a freed inode's number from ours.
      std::printf("this file system keeps no birth time: the planted file is not tried\n");
      ::unlink(made.c_str());
      continue;
    }
    if (swapped) {
      ::unlink(made.c_str());
      std::ofstream(made, std::ios::binary) << "planted";
    } else {
      FileCause why = FileCause::none;
      holder = env.OpenExclusive(target, false, &why);
      ASSERT_TRUE(holder);
    }
    EXPECT_EQ(env.ReplaceWithBackup(made, target, target + "_"), ReplaceOutcome::failed) << swapped;
    EXPECT_EQ(FileText(target), "old") << swapped;
    EXPECT_NE(::access((target + "_").c_str(), F_OK), 0) << swapped;
    ::unlink(made.c_str());
  }
}

}  // namespace
