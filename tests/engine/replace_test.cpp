// Replacing files: the temporary files, and every way a replacement can fail without
// leaving a half-written or lost installed file.
#include "engine/replace.h"

#ifdef _WIN32
#include <windows.h>
// windows.h names ReplaceFileA so; CUpdateItem::ReplaceFile is called below.
#undef ReplaceFile
#else
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>

#include "engine/replace_fixture.h"
#include "model/paths.h"
#include "platform/sha256.h"

namespace {

TEST_F(ReplaceTest, EmptyPayloadCannotBeDecompressed) {
  OneEntry();
  Build({entry_}, [](DocumentPlan& plan) { plan.items[0].payload.clear(); });
  Run(true);
  EXPECT_EQ(log_.lines,
            std::vector<std::string>{Win("APP\\A.DLL") +
                                     " error [Cannot Decompress. UPD may be corrupted]"});
  EXPECT_FALSE(app_.runOk);
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), old_);
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(ReplaceTest, PayloadOfTheWrongSizeLeavesTheTargetAlone) {
  OneEntry();
  // Contents that expand fine, but to another file than the entry announces.
  Build({entry_}, [](DocumentPlan& plan) { plan.items[0].expectedStamp.size += 1; });
  app_.document.EnsureLoaded(*app_.updateFile);
  // The installed version is still older: the stamp's size does not take part.
  for (bool rename : {false, true}) {
    app_.document.renamePrevious = rename;
    Run(true);
    EXPECT_EQ(log_.lines.back(),
              Win("APP\\A.DLL") + " error [Cannot Decompress. UPD may be corrupted]");
    EXPECT_EQ(Installed(Win("APP\\A.DLL")), old_) << "rename " << rename;
    EXPECT_FALSE(Exists(Win("APP\\A.DL_")));  // the backup was moved back
    EXPECT_TRUE(Leftovers().empty());
  }
}

TEST_F(ReplaceTest, UpdateFileEndingInsideThePayload) {
  OneEntry();
  Build({entry_}, [](DocumentPlan& plan) {
    plan.items[0].payload.resize(plan.items[0].payload.size() - 100);
  });
  // Keep the record as announced but cut the file inside the payload: rewrite it with
  // a length field that runs past what follows.
  app_.updateFile.reset();  // no sharing: close it before reading it here
  Bytes bytes = Installed(updatePath_);
  app_.document = VEzorazEdo();
  {
    std::unique_ptr<CFile> file = OpenForReading(Native(updatePath_));
    app_.document.EnsureLoaded(*file);
  }
  uint32_t at = app_.document.items[0]->payloadOffset;
  uint32_t length = app_.document.items[0]->payloadLength + 5000;
  for (int i = 0; i < 4; ++i) bytes[at - 4 + i] = static_cast<uint8_t>(length >> (8 * i));
  Install(updatePath_, bytes);
  app_.updateFile = OpenForReading(Native(updatePath_));
  app_.document = VEzorazEdo();
  // The load stops at the sample parameters: give the document what it had, by hand.
  EXPECT_THROW(app_.document.EnsureLoaded(*app_.updateFile), CArchiveException);
  ASSERT_EQ(app_.document.items.size(), 1u);
  CUpdateItem& item = *app_.document.items[0];
  item.FormPath(app_);
  item.verdict = verdictUpdate;
  EXPECT_EQ(item.ReplaceFile(*app_.updateFile, app_.document, app_), cannotDecompress);
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), old_);
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(ReplaceTest, BackupNameEqualToTheTargetIsRefused) {
  OneEntry("DATA.DA_");
  Build({entry_});
  SetRenaming(true);
  Run(true);
  EXPECT_EQ(log_.lines,
            std::vector<std::string>{
                Win("APP\\DATA.DA_") +
                " error [Cannot rename File. Check Read-Only Attribute or File Permissions]"});
  EXPECT_EQ(app_.record.entries[0].cause, EntryCause::backupIsItself);  // found by the check
  EXPECT_EQ(Installed(Win("APP\\DATA.DA_")), old_);
  EXPECT_TRUE(Leftovers().empty());
  // The replacement refuses it on its own too, before it makes anything.
  CUpdateItem& item = *app_.document.items[0];
  item.verdict = verdictUpdate;
  EXPECT_EQ(item.ReplaceFile(*app_.updateFile, app_.document, app_), cannotRename);
  EXPECT_EQ(Installed(Win("APP\\DATA.DA_")), old_);
  EXPECT_TRUE(Leftovers().empty());
  app_.document.renamePrevious = false;  // without renaming it updates normally
  Run(true);
  EXPECT_EQ(Installed(Win("APP\\DATA.DA_")), fresh_);
}

TEST_F(ReplaceTest, RenameRefusedLeavesTargetAndNoTemporaryFile) {
  OneEntry();
  Build({entry_});
  SetRenaming(true);
  // A directory under the backup name can be neither deleted nor replaced.
  std::filesystem::create_directories(Native(Win("APP\\A.DL_\\x")));
  Run(true);
  EXPECT_EQ(log_.lines.back(),
            Win("APP\\A.DLL") +
                " error [Cannot rename File. Check Read-Only Attribute or File Permissions]");
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), old_);
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(ReplaceTest, TheNewVersionMustHaveTheEntrysDigest) {
  OneEntry();
  Build({entry_});
  SetRenaming(true);
  CUpdateItem& item = *app_.document.items[0];
  item.hasContentDigest = true;
  item.contentDigest = Sha256Of(fresh_.data(), fresh_.size());
  item.contentDigest.bytes[31] ^= 1;
  Run(true);
  EXPECT_EQ(log_.lines,
            std::vector<std::string>{Win("APP\\A.DLL") +
                                     " error [Cannot Decompress. UPD may be corrupted]"});
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), old_);
  EXPECT_FALSE(Exists(Win("APP\\A.DL_")));
  EXPECT_TRUE(Leftovers().empty());
  item.contentDigest.bytes[31] ^= 1;
  Run(true);
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), fresh_);
}

TEST_F(ReplaceTest, TheNewVersionKeepsTheReplacedFilesIdentity) {
  OneEntry();
  Build({entry_});
  std::string target = Win("APP\\A.DLL");
#ifdef _WIN32
  const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
  ASSERT_TRUE(SetFileAttributesA(target.c_str(), kept));
  Run(true);
  EXPECT_EQ(Installed(target), fresh_);
  EXPECT_EQ(GetFileAttributesA(target.c_str()) & (kept | FILE_ATTRIBUTE_READONLY), kept);
#else
  // Mode and owner. A user who may not give the file away keeps no set-user-id bit, which
  // would make it run as him; his own group keeps its bit.
  const struct {
    mode_t mode;
    bool asNobody;
    mode_t want;
  } cases[] = {
      {0600, false, 0600}, {0755, false, 0755}, {02750, false, 02750}, {06777, true, 02777}};
  bool root = geteuid() == 0;
  std::filesystem::permissions(root_, std::filesystem::perms::others_exec,
                               std::filesystem::perm_options::add);
  std::filesystem::permissions(Native(Win("APP")), std::filesystem::perms::all);
  for (const auto& c : cases) {
    if (c.asNobody && !root) continue;
    Install(target, old_);
    ASSERT_EQ(root ? chown(Native(target).c_str(), 4321, 0) : 0, 0);
    ASSERT_EQ(chmod(Native(target).c_str(), c.mode), 0);  // after chown, which clears set-id
    const gid_t member[] = {0};
    ASSERT_TRUE(!c.asNobody || (!setgroups(1, member) && !setegid(65534) && !seteuid(65534)));
    Run(true);
    ASSERT_TRUE(!c.asNobody || (!seteuid(0) && !setegid(0) && !setgroups(0, nullptr)));
    EXPECT_EQ(Installed(target), fresh_) << log_.lines.back();
    struct stat st;
    ASSERT_EQ(stat(Native(target).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.want);
    EXPECT_TRUE(!root || st.st_uid == (c.asNobody ? 65534u : 4321u)) << st.st_uid;
  }
#endif
}

TEST_F(ReplaceTest, AnUpdateRunRemovesOnlyWhatAnInterruptedOneLeft) {
  OneEntry();
  EntryPlan other{"O.DLL"};
  other.selected = 0;
  other.newBytes = fresh_;
  Build({entry_, other});
  const std::string leftover = Win("APP\\A.DLL~UPD");
  // Files of such names that this program did not leave: the update cannot make its new
  // file, says so in the check, and changes nothing.
  const std::vector<std::string> theirs = {"APP\\A.DLL~UPD2", "APP\\B.DLL~UPD", "TEMP\\UPD1.TMP",
                                           "APP\\O.DLL~UPD"};
  for (const auto& name : theirs) Install(Win(name), fresh_);
  Install(leftover, {'t'});
  for (bool doUpdate : {false, true}) {
    Run(doUpdate);
    EXPECT_EQ(app_.record.entries[0].cause, EntryCause::newFileTaken);
    EXPECT_TRUE(Contains(log_.lines.front(), "error [Cannot Write"));
  }
  EXPECT_EQ(Installed(leftover), Bytes{'t'});
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), old_);
  // The start of this entry's new version is what an ended run of this update left: a check
  // leaves it, the update removes it and goes on. The others stay.
  Install(leftover, Bytes(fresh_.begin(), fresh_.begin() + 5000));
  Run(false);
  EXPECT_EQ(log_.lines.front(), Win("APP\\A.DLL") + " will be updated");
  EXPECT_TRUE(Exists(leftover));
  Run(true);
  EXPECT_EQ(log_.lines.front(), "Updated File " + Win("APP\\A.DLL"));
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), fresh_);
  for (const auto& name : theirs) EXPECT_EQ(Installed(Win(name)), fresh_) << name;
}

TEST_F(ReplaceTest, AReplacementThatLosesTheTargetSaysSo) {
  // Windows documents failures of ReplaceFileA that leave the target's name empty.
  class Losing : public TestEnv {
    using TestEnv::TestEnv;
    ReplaceOutcome TryReplaceWithBackup(const std::string&, const std::string&,
                                        const std::string&) override {
      return ReplaceOutcome::targetLost;
    }
  } losing(Win("TEMP\\"));
  OneEntry();
  Build({entry_});
  app_.env = &losing;
  SetRenaming(true);
  Run(true);
  EXPECT_EQ(log_.lines.back(),
            Win("APP\\A.DLL") + " error [Cannot Decompress. UPD may be corrupted]");
  EXPECT_TRUE(app_.record.entries[0].restoreFailed);
  EXPECT_EQ(app_.record.entries[0].Backup(), Win("APP\\A.DL_"));
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(ReplaceTest, UnusableTemporaryFolder) {
  // Large enough for its digest to be worked out behind the pass.
  OneEntry("A.DLL", 300000);
  Build({entry_});
  SetRenaming(false);
  CUpdateItem& item = *app_.document.items[0];
  item.hasContentDigest = true;
  item.contentDigest = Sha256Of(fresh_.data(), fresh_.size());
  env_.tempOverride = Win("NO\\SUCH\\FOLDER\\");
#ifdef _WIN32
  // lz32 reads a copy of the contents from the temporary-files folder.
  for (bool rename : {false, true}) {
    app_.document.renamePrevious = rename;
    Run(true);
    EXPECT_EQ(log_.lines, std::vector<std::string>{
                              Win("APP\\A.DLL") +
                              " error [Cannot create temp file. Check Read-Only Attribute or File "
                              "Permissions]"});
    EXPECT_EQ(Installed(Win("APP\\A.DLL")), old_);
    EXPECT_FALSE(Exists(Win("APP\\A.DL_")));  // the previous version was not moved either
    EXPECT_TRUE(Leftovers().empty());
  }
#else
  // The portable expander streams the contents: no temporary folder is needed.
  Run(true);
  EXPECT_EQ(log_.lines, std::vector<std::string>{"Updated File " + Win("APP\\A.DLL")});
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), fresh_);
#endif
}

}  // namespace
