// What a second red-team pass did to updates, through vareri-cli: files planted at the names
// a replacement makes, a new file swapped before it takes its name, two updates of one
// installation at once, names that are no files. Each loses nothing: the installed files, and
// any other file the attacker pointed at, stay as they were.
#include <cstdlib>

#include "cli_fixture.h"
#include "cli_program.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

class DataLossTest : public CliTest {
 protected:
  // A second name for the file at `existing`, as an attacker who may write the directory
  // would plant it. What had the name is moved aside first: a file that the updater holds
  // open, as it holds its new files, keeps its name on Windows until it is let go.
  void HardLink(const std::string& existing, const std::string& name) {
    std::error_code ignored;
    fs::rename(Native(name), Native(name + "-gone"), ignored);
    fs::remove(Native(name + "-gone"));
#ifdef _WIN32
    ASSERT_TRUE(CreateHardLinkA(name.c_str(), existing.c_str(), nullptr));
#else
    ASSERT_EQ(::link(Native(existing).c_str(), Native(name).c_str()), 0);
#endif
  }
  const Bytes victim_{'v', 'i', 'c', 't', 'i', 'm'};
};

TEST_F(DataLossTest, NamesTakenBeforeTheRunStopItInTheCheck) {
  BuildProduct();
  const struct {
    const char* name;
    bool directory;
    std::vector<std::string> more;
    const char* error;
  } cases[] = {
      {"APP\\B.DLL~UPD", true, {}, "Cannot Write"},
      {"APP\\B.DLL~UPD", false, {}, "Cannot Write"},  // someone else's file of that name
      {"APP\\B.DL_", true, {"--backup"}, "Cannot rename"},
  };
  for (const auto& c : cases) {
    if (c.directory) {
      fs::create_directories(Native(Win(c.name)));
    } else {
      Install(Win(c.name), victim_);
    }
    for (const char* command : {"check", "update"}) {
      if (!c.more.empty() && command[0] == 'c') continue;  // renaming is the update's
      Outcome run = Cli(Args(command, Concat({"--only", "Program", "--only", "Help"}, c.more)));
      EXPECT_EQ(run.status, kExitErrors) << c.name << " " << command;
      std::string lines;
      for (const std::string& line : run.out) lines += line + "\n";
      EXPECT_TRUE(Contains(lines, Win("APP\\B.DLL") + " error [" + c.error));
    }
    EXPECT_EQ(Installed(Win("APP\\A.DLL")), oldA_) << c.name;  // nothing changed
    if (!c.directory) {
      EXPECT_EQ(Installed(Win(c.name)), victim_);
    }
    fs::remove_all(Native(Win(c.name)));
  }
}

TEST_F(DataLossTest, ALinkPlantedDuringTheRunIsNeverWrittenThrough) {
  BuildProduct();
  Install(Win("OTHER\\victim.txt"), victim_);
  // While A.DLL's new version is made, B.DLL's new file's name becomes a second name of the
  // victim: B's new version is not made through it, and nothing is put in place.
  env_.before = [&](const std::string& what) {
    if (what == "ExpandPayload" && !Exists(Win("APP\\B.DLL~UPD"))) {
      HardLink(Win("OTHER\\victim.txt"), Win("APP\\B.DLL~UPD"));
    }
  };
  Outcome run = Cli(Args("update", {"--only", "Program", "--only", "Help"}));
  env_.before = nullptr;
  EXPECT_EQ(run.status, kExitErrors);
  EXPECT_EQ(Installed(Win("OTHER\\victim.txt")), victim_);
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), oldA_);
  EXPECT_EQ(Installed(Win("APP\\B.DLL")), oldB_);
}

TEST_F(DataLossTest, ANewFileSwappedBeforeItTakesItsNameIsNotInstalled) {
  BuildProduct();
  Install(Win("OTHER\\victim.txt"), victim_);
  env_.before = [&](const std::string& what) {
    if (what == "ReplaceWithBackup") HardLink(Win("OTHER\\victim.txt"), Win("APP\\A.DLL~UPD"));
  };
  Outcome run = Cli(Args("update"));
  env_.before = nullptr;
  EXPECT_EQ(run.status, kExitErrors);
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), oldA_);
  EXPECT_EQ(Installed(Win("OTHER\\victim.txt")), victim_);
  EXPECT_TRUE(Exists(Win("OTHER\\victim.txt")));
}

#ifdef VARERI_CLI_EXE
TEST_F(DataLossTest, OneUpdateAtATimeChangesAnInstallation) {
  BuildProduct();
  // The real program, on a copy of the update file, started while this run holds the
  // installation.
  std::string err = Native(Win("second.txt"));
  std::string copy = Win("copy.upd");
  Install(copy, Installed(updatePath_));
  std::string command = "\"" + CliProgramPath() + "\" update \"" + copy + "\" --dir \"" +
                        Win("APP") + "\" --windows-dir \"" + Win("WIN") + "\" --system-dir \"" +
                        Win("WIN\\SYSTEM") + "\" 2>\"" + err + "\"";
#ifdef _WIN32
  command = "\"" + command + "\"";  // cmd /c takes the outer quotes away
#endif
  int second = -1;
  env_.before = [&](const std::string& what) {
    if (what == "CreateExclusive" && second < 0) second = std::system(command.c_str());
  };
  Outcome first = Cli(Args("update"));
  env_.before = nullptr;
  EXPECT_EQ(first.status, kExitUpToDate) << first.err;
#ifndef _WIN32
  second = WEXITSTATUS(second);
#endif
  EXPECT_EQ(second, kExitErrors);
  std::string said = FileText(err);
  EXPECT_TRUE(Contains(said, "Another update of Demo is running"));
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), newA_);
}
#endif

#ifndef _WIN32
TEST_F(DataLossTest, ALoopOfLinksIsSaidToBeOne) {
  BuildProduct();
  fs::remove(Native(Win("APP\\A.DLL")));
  fs::create_symlink(Native(Win("APP\\A.DLL")), Native(Win("APP\\A.DLL")));
  Outcome run = Cli(Args("check", {"--json"}));
  EXPECT_TRUE(Contains(run.out[0], "\"reason\":\"linkLoop\"")) << run.out[0];
  EXPECT_TRUE(Contains(run.err, "its name is a loop of symbolic links")) << run.err;
}
#endif

}  // namespace
