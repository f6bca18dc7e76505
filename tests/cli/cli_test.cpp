// vareri-cli over whole products: its lines against the engine's run as the window shows
// it, the selection options, and the exit statuses of checks and updates.
#include <filesystem>
#include <set>

#include "cli_fixture.h"
#include "platform/exceptions.h"

namespace {

namespace fs = std::filesystem;

// A full disk from the Nth file the engine creates on (the new versions next to their
// targets): every write to it is refused.
class DiskFullEnv : public TestEnv {
 public:
  DiskFullEnv(std::string temp, int fullFrom) : TestEnv(std::move(temp)), fullFrom_(fullFrom) {}

  std::unique_ptr<CFile> CreateExclusive(const std::string& path) override {
    std::unique_ptr<CFile> file = TestEnv::CreateExclusive(path);
    if (!file || ++creates_ < fullFrom_) return file;
    return std::make_unique<FullFile>(std::move(file));
  }

 private:
  class FullFile : public CFile {
   public:
    explicit FullFile(std::unique_ptr<CFile> inner) : inner_(std::move(inner)) {}
    size_t Read(void* buffer, size_t count) override { return inner_->Read(buffer, count); }
    uint64_t Tell() override { return inner_->Tell(); }
    uint64_t SeekRelative(int64_t delta) override { return inner_->SeekRelative(delta); }
    uint64_t SeekAbsolute(uint64_t offset) override { return inner_->SeekAbsolute(offset); }
    uint64_t Length() override { return inner_->Length(); }
    const std::string& FullPath() const override { return inner_->FullPath(); }
    void Write(const void*, size_t) override {
      throw CFileException(FileCause::diskFull, 112, "Writing " + FullPath());
    }

   private:
    std::unique_ptr<CFile> inner_;
  };

  int fullFrom_;
  int creates_ = 0;
};

TEST_F(CliTest, CheckPrintsTheEnginesLinesThenTheClosingText) {
  BuildProduct();
  Lines engine = EngineLines(false);
  ASSERT_EQ(engine.size(), 3u);
  Outcome check = Cli(Args("check"));
  EXPECT_EQ(check.status, kExitUpdatable);
  EXPECT_EQ(check.out, Concat(engine, {"Demo can be sucessfully updated"}));
  EXPECT_EQ(check.err, "");
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), oldA_);
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(CliTest, UpdatePrintsTheEnginesLinesAndExitsZero) {
  BuildProduct();
  Lines engine = EngineLines(true);
  ASSERT_EQ(Installed(Win("APP\\A.DLL")), newA_);
  InstallOld();
  // On a terminal, each pass's count on standard error (the update pass counts the new
  // versions it makes, before any line), blanked before a line is printed and at the end;
  // none of it on standard output.
  Outcome update = Cli(Args("update"), nullptr, true);
  EXPECT_EQ(update.status, kExitUpToDate);
  EXPECT_EQ(update.out, Concat(engine, {"Demo was sucessfully updated"}));
  const std::string blank = "\r" + std::string(12, ' ') + "\r";
  std::string shown = "\rchecking 1/3\rchecking 2/3\rchecking 3/3";  // the first pass logs none
  for (char n : {'1', '2', '3'}) shown += std::string("\rupdating ") + n + "/3";
  EXPECT_EQ(update.err, shown + blank);
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), newA_);
  EXPECT_EQ(Installed(Win("APP\\B.DLL")), oldB_);  // not selected by default
  EXPECT_FALSE(Exists(Win("APP\\A.DL_")));
  EXPECT_TRUE(Leftovers().empty());

  // Everything selected is current now: a check exits 0.
  Outcome check = Cli(Args("check"));
  EXPECT_EQ(check.status, kExitUpToDate);
  EXPECT_EQ(check.out.back(), "Demo is up to date");
}

TEST_F(CliTest, BackupKeepsThePreviousVersionAsTheWindowsOptionDoes) {
  BuildProduct();
  Lines engine = EngineLines(true, [](VEzorazEdo& doc) { doc.renamePrevious = true; });
  InstallOld();
  Outcome update = Cli(Args("update", {"--backup"}));
  EXPECT_EQ(update.status, kExitUpToDate);
  EXPECT_EQ(update.out, Concat(engine, {"Demo was sucessfully updated"}));
  EXPECT_EQ(update.out[0], Win("APP\\A.DLL") + " renamed to A.DL_");
  EXPECT_EQ(Installed(Win("APP\\A.DL_")), oldA_);
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), newA_);
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(CliTest, OnlyAndExcludeOverrideTheDefaultSelection) {
  BuildProduct();
  auto select = [](std::set<std::string> names) {
    return [names](VEzorazEdo& doc) {
      for (auto& item : doc.items) item->selected = names.count(item->componentName) != 0;
    };
  };
  // --only: exactly those.
  Outcome only = Cli(Args("check", {"--only", "Help"}));
  EXPECT_EQ(only.status, kExitUpdatable);
  EXPECT_EQ(only.out,
            Concat(EngineLines(false, select({"Help"})), {"Demo can be sucessfully updated"}));
  EXPECT_EQ(only.out[0], Win("APP\\A.DLL") + " will not be updated (User Selection)");
  EXPECT_EQ(only.out[1], Win("APP\\B.DLL") + " will be updated");

  // --exclude: the default selection (Program, Engine) minus those.
  Outcome exclude = Cli(Args("check", {"--exclude", "Program"}));
  EXPECT_EQ(exclude.status, kExitUpToDate);
  EXPECT_EQ(exclude.out, Concat(EngineLines(false, select({"Engine"})), {"Demo is up to date"}));

  // Both: the named ones minus the excluded, names repeated and in the --name=value form.
  Outcome both = Cli(
      Args("check", {"--only=Program", "--only", "Help", "--only", "Engine", "--exclude=Program"}));
  EXPECT_EQ(both.out, Concat(EngineLines(false, select({"Help", "Engine"})),
                             {"Demo can be sucessfully updated"}));

  // An update with --only replaces only the chosen component's file.
  Outcome update = Cli(Args("update", {"--only", "Help"}));
  EXPECT_EQ(update.status, kExitUpToDate);
  EXPECT_EQ(update.out[0], Win("APP\\A.DLL") + " was not updated (User Selection)");
  EXPECT_EQ(update.out[1], "Updated File " + Win("APP\\B.DLL"));
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), oldA_);
  EXPECT_EQ(Installed(Win("APP\\B.DLL")), newB_);

  // An unknown name stops everything before the run: nothing printed, nothing changed.
  Outcome unknown = Cli(Args("update", {"--only", "Program", "--exclude", "program"}));
  EXPECT_EQ(unknown.status, kExitUsage);
  EXPECT_TRUE(unknown.out.empty());
  EXPECT_EQ(unknown.err,
            "vareri-cli: unknown component program (the update file has: Program, Help, "
            "Engine)\n");
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), oldA_);
}

TEST_F(CliTest, ErrorsFoundExitTwoAndChangeNothing) {
  BuildProduct();
  fs::remove(Native(Win("APP\\E.DLL")));
  Lines engineCheck = EngineLines(false);
  Outcome check = Cli(Args("check"));
  EXPECT_EQ(check.status, kExitErrors);
  EXPECT_EQ(check.out, Concat(engineCheck, {"Demo can not be succesfully updated"}));
  EXPECT_EQ(check.out[2], Win("APP\\E.DLL") + " error [File Not Found]");
  EXPECT_EQ(check.err, "vareri-cli: the check found 1 error\n");

  Lines engineUpdate = EngineLines(true);
  Outcome update = Cli(Args("update"));
  EXPECT_EQ(update.status, kExitErrors);
  EXPECT_EQ(update.out, Concat(engineUpdate, {"Demo could not be updated."}));
  EXPECT_EQ(update.err, "vareri-cli: the update found 1 error; no file was changed\n");
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), oldA_);

  // A directory that is not there: every file is missing, and the message says why.
  Outcome missing = Cli({"update", updatePath_, "--dir", Win("NOWHERE"), "--windows-dir",
                         Win("WIN"), "--system-dir", Win("WIN\\SYSTEM")});
  EXPECT_EQ(missing.status, kExitErrors);
  EXPECT_EQ(missing.out[0], Win("NOWHERE\\A.DLL") + " error [File Not Found]");
  EXPECT_EQ(missing.err,
            "vareri-cli: the update found 2 errors; no file was changed\n"
            "vareri-cli: the installation directory " +
                Win("NOWHERE") + " does not exist or cannot be read\n");
}

// A file of the Windows directory is looked for where --windows-dir says.
TEST_F(CliTest, WindowsDirSaysWhereTheWindowsFilesAre) {
  BuildProduct([](DocumentPlan& plan) {
    plan.items[0].directoryKind = kindWindows;
    plan.items[0].directory.clear();
  });
  Install(Win("WIN\\A.DLL"), oldA_);
  Outcome check = Cli(Args("check", {"--only", "Program"}));
  EXPECT_EQ(check.status, kExitUpdatable) << check.err;
  ASSERT_FALSE(check.out.empty());
  EXPECT_EQ(check.out[0], Win("WIN\\A.DLL") + " will be updated");
}

TEST_F(CliTest, UpdateThatStopsAfterReplacingAFileExitsThree) {
  BuildProduct();
  // B changes once A has been replaced: B's look before its replacement stops the update.
  Bytes changedB = oldB_;
  changedB.push_back(0);
  env_.before = [&](const std::string& what) {
    if (what == "ReplaceWithBackup" && Installed(Win("APP\\B.DLL")) != changedB) {
      Install(Win("APP\\B.DLL"), changedB);
    }
  };
  Outcome update = Cli(Args("update", {"--backup", "--only", "Program", "--only", "Help"}));
  env_.before = nullptr;
  EXPECT_EQ(update.status, kExitPartial);
  Lines want = {
      Win("APP\\A.DLL") + " renamed to A.DL_",
      "Updated File " + Win("APP\\A.DLL"),
      Win("APP\\B.DLL") + " error [Cannot Update. Previous Version not Compatible]",
      "Demo could not be updated.",
  };
  EXPECT_EQ(update.out, want);
  EXPECT_TRUE(
      Contains(update.err, "vareri-cli: the update stopped part-way: 1 file was replaced\n"));
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), newA_);
  EXPECT_EQ(Installed(Win("APP\\B.DLL")), changedB);
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(CliTest, FullDiskEndsTheRunWithAMessageAndNoHalfWrittenFile) {
  BuildProduct();
  // Full from the second new version on: B's new version does not fit, and A, whose new
  // version was made, is not replaced either: every new version is made before the first
  // is put in place.
  DiskFullEnv late(Win("TEMP\\"), 2);
  Outcome partial = Cli(Args("update", {"--only", "Program", "--only", "Help"}), &late);
  EXPECT_EQ(partial.status, kExitErrors);
  EXPECT_EQ(partial.out,
            (Lines{Win("APP\\B.DLL") + " error [Cannot Decompress. UPD may be corrupted]",
                   "Demo could not be updated."}));
  EXPECT_EQ(partial.err, "vareri-cli: the update found 1 error; no file was changed\n");
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), oldA_);
  EXPECT_EQ(Installed(Win("APP\\B.DLL")), oldB_);
  EXPECT_TRUE(Leftovers().empty());

  // Full from the start: nothing is replaced.
  InstallOld();
  DiskFullEnv full(Win("TEMP\\"), 1);
  Outcome none = Cli(Args("update", {"--json"}), &full);
  EXPECT_EQ(none.status, kExitErrors);
  EXPECT_EQ(none.err, "vareri-cli: the update found 1 error; no file was changed\n");
  ASSERT_EQ(none.out.size(), 4u);
  EXPECT_TRUE(Contains(none.out[0], "\"error\":\"cannotDecompress\""));
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), oldA_);
  EXPECT_TRUE(Leftovers().empty());
}

// The update makes every new version before it puts the first in place: a volume without
// room for all of them is refused by the first pass, at the entry that does not fit.
TEST_F(CliTest, TooLittleRoomForTheNewVersionsChangesNothing) {
  BuildProduct();
  TestEnv tight(Win("TEMP\\"));
  const Lines only = {"--only", "Program", "--only", "Help"};
  tight.freeBytes = RoomFor({newA_.size(), newB_.size()}) - 1;
  Outcome refused = Cli(Args("update", Concat(only, {"--json"})), &tight);
  EXPECT_EQ(refused.status, kExitErrors);
  ASSERT_GE(refused.out.size(), 2u);
  EXPECT_FALSE(Contains(refused.out[0], "\"error\""));
  EXPECT_TRUE(Contains(refused.out[1], "\"error\":\"cannotWrite\""));
  EXPECT_TRUE(Contains(refused.out[1], "\"reason\":\"diskFull\""));
  Outcome told = Cli(Args("update", only), &tight);
  EXPECT_TRUE(Contains(told.err, "its disk has no room for the new files: 0.1 MB more"));
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), oldA_);
  EXPECT_EQ(Installed(Win("APP\\B.DLL")), oldB_);
  EXPECT_TRUE(Leftovers().empty());
  tight.freeBytes = RoomFor({newA_.size(), newB_.size()});
  EXPECT_EQ(Cli(Args("update", only), &tight).status, kExitUpToDate);
  EXPECT_EQ(Installed(Win("APP\\B.DLL")), newB_);
}

// Standard output that refuses every write, as a full disk does: exit 64 and a message,
// whatever the run came to.
TEST_F(CliTest, OutputThatCannotBeWrittenExitsSixtyFour) {
  struct Refusing : std::streambuf {
    int_type overflow(int_type) override { return traits_type::eof(); }
  } refusing;
  BuildProduct();
  Lines args = Concat({"vareri-cli"}, Args("check", {"--json"}));
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(&arg[0]);
  std::ostream out(&refusing);
  std::ostringstream err;
  EXPECT_EQ(RunCli(static_cast<int>(argv.size()), argv.data(), out, err, env_), kExitUsage);
  EXPECT_TRUE(Contains(err.str(),
                       "vareri-cli: cannot write the output (is the disk full?); "
                       "exit status 64 instead of 1\n"));
}

}  // namespace
