// Entries that add a file, remove one, or know versions by their bytes: what a check says and
// an update does, what stays when the installed file is not what the update expects, and what
// a reader of the document alone (the update file without its record) makes of the same file.
#include "archive/integrity_record.h"
#include "engine/engine_fixture.h"

namespace {

class ActionsTest : public EngineTest {
 protected:
  // PLUGIN\X.DLL added, OLD.HLP removed, DATA\T.DAT (no version resource) changed.
  void Release() {
    added_ = MakeProgram(kV11, 0, 6000, 21);
    help_ = Bytes(3000, 'h');
    data0_ = Bytes(5000, 'd');
    data1_ = Bytes(5200, 'D');
    EntryPlan add{"X.DLL", 2, "PLUGIN"};
    add.action = EntryAction::add;
    add.newBytes = added_;
    EntryPlan remove{"OLD.HLP"};
    remove.action = EntryAction::remove;
    remove.previous = {help_};
    EntryPlan data{"T.DAT", 2, "DATA"};
    data.exact = true;
    data.newBytes = data1_;
    data.previous = {data0_};
    Build({add, remove, data});
  }
  std::vector<std::string> Lines(bool doUpdate) {
    Run(doUpdate);
    return log_.lines;
  }
  Bytes added_, help_, data0_, data1_;
};

TEST_F(ActionsTest, AddRemoveAndChangeADataFile) {
  Release();
  Install(Win("APP\\OLD.HLP"), help_);
  Install(Win("APP\\DATA\\T.DAT"), data0_);
  EXPECT_EQ(Lines(false), (std::vector<std::string>{Win("APP\\PLUGIN\\X.DLL") + " will be added",
                                                    Win("APP\\OLD.HLP") + " will be removed",
                                                    Win("APP\\DATA\\T.DAT") + " will be updated"}));
  EXPECT_TRUE(app_.updateNeeded);
  SetRenaming(true);
  EXPECT_EQ(Lines(true), (std::vector<std::string>{"Added File " + Win("APP\\PLUGIN\\X.DLL"),
                                                   Win("APP\\OLD.HLP") + " renamed to OLD.HL_",
                                                   "Removed File " + Win("APP\\OLD.HLP"),
                                                   Win("APP\\DATA\\T.DAT") + " renamed to T.DA_",
                                                   "Updated File " + Win("APP\\DATA\\T.DAT")}));
  EXPECT_TRUE(app_.runOk);
  EXPECT_EQ(Installed(Win("APP\\PLUGIN\\X.DLL")), added_);
  EXPECT_FALSE(Exists(Win("APP\\OLD.HLP")));
  EXPECT_EQ(Installed(Win("APP\\OLD.HL_")), help_);
  EXPECT_EQ(Installed(Win("APP\\DATA\\T.DAT")), data1_);
  // Run again, everything is done.
  EXPECT_EQ(Lines(false),
            (std::vector<std::string>{Win("APP\\PLUGIN\\X.DLL") + " is up to date",
                                      Win("APP\\OLD.HLP") + " is not there: nothing to remove",
                                      Win("APP\\DATA\\T.DAT") + " is up to date"}));
  EXPECT_FALSE(app_.updateNeeded);
}

TEST_F(ActionsTest, LocalFilesAreNeverTakenForTheUpdatesOwn) {
  Release();
  Bytes changedHelp = help_, changedData = data0_;
  changedHelp[2000] ^= 1;  // one byte, between any samples
  changedData[2500] ^= 1;
  Install(Win("APP\\PLUGIN\\X.DLL"), Bytes(6000, 'x'));  // someone's own file of that name
  Install(Win("APP\\OLD.HLP"), changedHelp);
  Install(Win("APP\\DATA\\T.DAT"), changedData);
  Run(true);
  EXPECT_EQ(
      log_.lines,
      (std::vector<std::string>{
          Win("APP\\PLUGIN\\X.DLL") + " error [Cannot Update. Previous Version not Compatible]",
          Win("APP\\DATA\\T.DAT") + " error [Cannot Update. Previous Version not Compatible]"}));
  Install(Win("APP\\PLUGIN\\X.DLL"), added_);
  Install(Win("APP\\DATA\\T.DAT"), data1_);
  Run(true);  // a file to remove that was changed locally stays, and that is no error
  EXPECT_TRUE(app_.runOk);
  EXPECT_EQ(log_.lines[1],
            Win("APP\\OLD.HLP") + " is not a version this update removes: it is kept");
  EXPECT_EQ(Installed(Win("APP\\OLD.HLP")), changedHelp);
}

TEST_F(ActionsTest, AReaderOfTheDocumentAloneChangesNothing) {
  Release();
  Install(Win("APP\\OLD.HLP"), help_);
  Install(Win("APP\\DATA\\T.DAT"), data0_);
  // The same file without its record: what a reader that follows the document sees.
  app_.updateFile.reset();
  Bytes bytes = Installed(updatePath_);
  MemoryFile whole(bytes);
  IntegrityRecord record;
  ASSERT_TRUE(ReadIntegrityRecord(whole, &record));
  bytes.resize(record.bodyLength);
  Install(updatePath_, bytes);
  app_.updateFile = OpenForReading(Native(updatePath_));
  Run(true);
  EXPECT_TRUE(app_.runOk);
  EXPECT_EQ(log_.lines, (std::vector<std::string>{
                            Win("APP\\PLUGIN\\X.DLL") + " was not updated (User Selection)",
                            Win("APP\\OLD.HLP") + " was not updated (User Selection)",
                            Win("APP\\DATA\\T.DAT") + " is up to date"}));
  EXPECT_EQ(Installed(Win("APP\\OLD.HLP")), help_);
  EXPECT_EQ(Installed(Win("APP\\DATA\\T.DAT")), data0_);
  EXPECT_FALSE(Exists(Win("APP\\PLUGIN")));
}

// A removal is decided again right before it: a file changed since the check is kept, one
// that cannot be deleted fails its entry, and so does one locked since: it is not gone.
TEST_F(ActionsTest, ARemovalIsDecidedAgainRightBeforeIt) {
  enum Mode { changed, undeletable, locked };
  class Holding : public TestEnv {
   public:
    using TestEnv::TestEnv;
    bool RemoveFile(const std::string& path) override {
      return !(mode == undeletable && Help(path)) && TestEnv::RemoveFile(path);
    }
    std::unique_ptr<CFile> OpenExclusive(const std::string& path, bool forWriting,
                                         FileCause* why) override {
      if (mode == locked && armed && Help(path)) {
        *why = FileCause::sharingViolation;
        return nullptr;
      }
      return TestEnv::OpenExclusive(path, forWriting, why);
    }
    static bool Help(const std::string& path) { return path.find("OLD.HLP") != std::string::npos; }
    Mode mode = changed;
    bool armed = false;
  } holding(Win("TEMP\\"));
  Release();
  app_.env = &holding;
  const char* const kSays[] = {" is not a version this update removes: it is kept",
                               " error [Cannot Write", " error [File Not Found]"};
  Bytes edited = help_;
  edited[2000] ^= 1;
  for (Mode mode : {changed, undeletable, locked}) {
    Install(Win("APP\\OLD.HLP"), help_);
    Install(Win("APP\\DATA\\T.DAT"), data0_);
    std::filesystem::remove_all(Native(Win("APP\\PLUGIN")));
    holding.mode = mode;
    holding.armed = false;
    holding.before = [&](const std::string& what) {
      if (what != "ExpandPayload") return;
      holding.armed = true;
      if (mode == changed) Install(Win("APP\\OLD.HLP"), edited);
    };
    Run(true);
    EXPECT_TRUE(Contains(log_.lines.at(1), kSays[mode])) << mode;
    EXPECT_EQ(app_.runOk, mode == changed) << mode;
    EXPECT_EQ(Installed(Win("APP\\OLD.HLP")), mode == changed ? edited : help_) << mode;
    EXPECT_EQ(Installed(Win("APP\\PLUGIN\\X.DLL")), added_);  // put in place before
  }
  app_.env = &env_;
}

}  // namespace
