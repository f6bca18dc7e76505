// vareri-cli's command line: update files it cannot use, wrong use, the directory it
// proposes without --dir, and the log file.
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "cli_fixture.h"
#include "host.h"
#include "json_text.h"
#include "model/limits.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

namespace fs = std::filesystem;

TEST_F(CliTest, UnusableUpdateFilesExitFourWithTheWindowsMessages) {
  BuildProduct();
  Outcome missing = Cli(Args("check", {}));
  ASSERT_EQ(missing.status, kExitUpdatable);  // the product is fine ...

  Lines args = Args("check");
  args[1] = Win("missing.upd");  // ... a file that is not there is not
  Outcome absent = Cli(args);
  EXPECT_EQ(absent.status, kExitUnreadable);
  EXPECT_TRUE(absent.out.empty());
  EXPECT_EQ(absent.err.rfind("vareri-cli: Cannot open specified upd file: ", 0), 0u) << absent.err;
  EXPECT_TRUE(Contains(absent.err, "the file was not found"));

  struct Case {
    std::function<void(DocumentPlan&)> tweak;
    std::string message;
  };
  const Case cases[] = {
      {[](DocumentPlan& p) { p.signature = "VLR.UPX"; }, "Selected file is not an Update File"},
      {[](DocumentPlan& p) { p.fileType = 2; }, "Selected file is not an Update File"},
      {[](DocumentPlan& p) { p.formatVersion = 4; },
       "Update file version not supported.\nYou may need a new update file from Velloran, Inc."},
      {[](DocumentPlan& p) { p.formatVersion = 7; },
       "Update file version not supported.\nYou may need a new version of this application"},
  };
  for (const Case& c : cases) {
    BuildProduct(c.tweak);
    Outcome refused = Cli(Args("update"));
    EXPECT_EQ(refused.status, kExitUnreadable);
    EXPECT_TRUE(refused.out.empty());
    EXPECT_EQ(refused.err, "vareri-cli: " + updatePath_ + ": " + c.message + "\n");
    EXPECT_EQ(Installed(Win("APP\\A.DLL")), oldA_);
  }

  // Cut inside the entries: the reader's words, and with --json a summary saying so.
  BuildProduct();
  Bytes bytes = Installed(updatePath_);
  bytes.resize(bytes.size() / 2);
  Install(updatePath_, bytes);
  Outcome cut = Cli(Args("update", {"--json"}));
  EXPECT_EQ(cut.status, kExitUnreadable);
  EXPECT_EQ(cut.err.rfind("vareri-cli: " + updatePath_ + ": The update file ends unexpectedly.", 0),
            0u)
      << cut.err;
  ASSERT_EQ(cut.out.size(), 1u);
  std::string error = JsonString(updatePath_ + ": The update file ends unexpectedly.");
  error.pop_back();  // the reader's detail follows
  EXPECT_EQ(Steady(cut.out[0])
                .rfind("{\"type\":\"summary\",\"command\":\"update\",\"file\":" +
                           JsonString(updatePath_) + ",\"host\":" + JsonString(HostName()) +
                           ",\"started\":\"T\",\"changed\":0,\"error\":" + error,
                       0),
            0u)
      << cut.out[0];
  EXPECT_TRUE(Contains(Steady(cut.out[0]), ",\"durationMs\":0,\"exitCode\":4}"));
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), oldA_);
}

// Each command line, its exit status and all it says on standard error; only --help prints.
TEST_F(CliTest, WrongUsageExitsSixtyFour) {
  BuildProduct();
  const std::string kTry = "\nTry 'vareri-cli --help'.\n";
  const std::string log = Native(Win("APP"));  // a directory is no log file
  const struct {
    Lines args;
    int status;
    std::string err;
  } cases[] = {
      {{}, kExitUsage, "vareri-cli: no command given (check, update, list or trust)" + kTry},
      {{"install", updatePath_}, kExitUsage, "vareri-cli: unknown command install" + kTry},
      {{"check"}, kExitUsage, "vareri-cli: check needs an update file" + kTry},
      {{"check", updatePath_, "extra"}, kExitUsage, "vareri-cli: unexpected argument extra" + kTry},
      {{"check", updatePath_, "--verbose"},
       kExitUsage,
       "vareri-cli: unknown option --verbose" + kTry},
      {{"check", updatePath_, "--dir"}, kExitUsage, "vareri-cli: --dir needs a value" + kTry},
      {{"check", updatePath_, "--dir="}, kExitUsage, "vareri-cli: --dir needs a value" + kTry},
      {{"check", updatePath_, "--dir", "A", "--dir", "B"},
       kExitUsage,
       "vareri-cli: --dir is given twice" + kTry},
      {{"check", updatePath_, "--backup"},
       kExitUsage,
       "vareri-cli: --backup is only for update" + kTry},
      {{"update", updatePath_, "--json=yes"},
       kExitUsage,
       "vareri-cli: --json takes no value" + kTry},
      {{"update", updatePath_, "--dir", std::string(256, 'x')},
       kExitUsage,
       "vareri-cli: --dir is longer than 255 characters" + kTry},
      {{"check", std::string(kUpdateFilePathSize, 'x')},
       kExitUnreadable,
       "vareri-cli: Cannot open specified upd file: the path is longer than 259 characters\n"},
      {{"update", updatePath_, "--log", log},
       kExitUsage,
       "vareri-cli: cannot open the log file " + log + " for appending\n"},
      // A file name that starts with a dash, after "--".
      {{"check", "--", "-x.upd"},
       kExitUnreadable,
       "vareri-cli: Cannot open specified upd file: Opening -x.upd: the file was not found "
       "(system error 2).\n"},
      {{"--help"}, 0, ""},
  };
  for (const auto& c : cases) {
    Outcome run = Cli(c.args);
    EXPECT_EQ(run.status, c.status) << ::testing::PrintToString(c.args);
    EXPECT_EQ(run.err, c.err);
    bool json = Contains(c.err, "--json");  // asked for, though wrongly
    EXPECT_EQ(run.out.empty(), c.status != 0 && !json) << ::testing::PrintToString(c.args);
    // With --json, the summary comes all the same, the last line; of a command line that
    // could not be read, only the error.
    if (c.status == 0) continue;
    Outcome asked = json ? run : Cli(Concat({"--json"}, c.args));
    ASSERT_FALSE(asked.out.empty()) << ::testing::PrintToString(c.args);
    std::string summary = Steady(asked.out.back());
    std::string what = c.err.substr(12, c.err.find('\n') - 12);  // after "vareri-cli: "
    EXPECT_TRUE(Contains(summary, ",\"error\":" + JsonString(what) +
                                      ",\"durationMs\":0,"
                                      "\"exitCode\":" +
                                      std::to_string(c.status) + "}"))
        << summary;
    bool read = c.status != kExitUsage || Contains(c.err, "log file");
    EXPECT_EQ(Contains(summary, "\"command\":\"\",\"file\":\"\","), !read) << summary;
  }
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), oldA_);
  EXPECT_EQ(Cli({"--help"}).out[0], "Usage: vareri-cli check FILE.upd [--dir DIR] [options]");
  EXPECT_TRUE(Contains(std::string(CliHelpText()), "  64  wrong usage"));
}

TEST_F(CliTest, WithoutDirTheDirectoryIsProposedAsTheWindowProposesIt) {
  // The default directory of a file with no registry path, by the drive rule.
  BuildProduct([](DocumentPlan& plan) {
    plan.formatVersion = 5;
    plan.defaultDirectory = "VARERI-CLI-NOWHERE";
  });
  Outcome nowhere = Cli({"check", updatePath_, "--json"});
  EXPECT_EQ(nowhere.status, kExitErrors);
  ASSERT_EQ(nowhere.out.size(), 4u);
  EXPECT_TRUE(Contains(nowhere.out[3], ",\"directory\":\"C:\\\\VARERI-CLI-NOWHERE\","));
  EXPECT_TRUE(Contains(nowhere.err, "does not exist or cannot be read; give it with --dir"));

#ifdef _WIN32
  // Windows: the temporary directory has a drive, which the rule keeps.
  BuildProduct([&](DocumentPlan& plan) {
    plan.formatVersion = 5;
    plan.defaultDirectory = Win("APP");
  });
  Outcome proposed = Cli({"check", updatePath_, "--windows-dir", Win("WIN")});
  EXPECT_EQ(proposed.status, kExitUpdatable) << proposed.err;
  EXPECT_EQ(proposed.out[0], Win("APP\\A.DLL") + " will be updated");

  // Format 6: the registry's PathName comes first.
  const char kKey[] = "Software\\VareriCliTest\\Demo\\1.0";
  HKEY key;
  ASSERT_EQ(
      ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
      ERROR_SUCCESS);
  std::string value = Win("APP");
  ::RegSetValueExA(key, "PathName", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
  ::RegCloseKey(key);
  BuildProduct([](DocumentPlan& plan) {
    plan.formatVersion = 6;
    plan.defaultDirectory = "C:\\VARERI-CLI-NOWHERE";
    plan.registryPath[0] = "VareriCliTest";
    plan.registryPath[1] = "Demo";
    plan.registryPath[2] = "1.0";
  });
  Outcome registered = Cli({"check", updatePath_});
  ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey);
  ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\VareriCliTest\\Demo");
  ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\VareriCliTest");
  EXPECT_EQ(registered.status, kExitUpdatable) << registered.err;
  EXPECT_EQ(registered.out[0], Win("APP\\A.DLL") + " will be updated");
#else
  // POSIX: no registry; the proposed C:\... is a path under the current directory.
  BuildProduct([](DocumentPlan& plan) {
    plan.formatVersion = 6;
    plan.defaultDirectory = "\\APP";
    plan.registryPath[0] = "VareriCliTest";
  });
  fs::path previous = fs::current_path();
  fs::create_directories(fs::path(root_) / "C:");
  fs::rename(fs::path(root_) / "APP", fs::path(root_) / "C:" / "APP");
  fs::current_path(root_);
  Outcome proposed = Cli({"update", updatePath_});
  fs::current_path(previous);
  EXPECT_EQ(proposed.status, kExitUpToDate) << proposed.err;
  EXPECT_EQ(proposed.out[0], "Updated File C:\\APP\\A.DLL");
  EXPECT_EQ(Installed(Win("C:\\APP\\A.DLL")), newA_);
#endif
}

TEST_F(CliTest, LogFileGetsEveryLineTimestampedAndIsAppendedTo) {
  BuildProduct();
  std::string logPath = Native(Win("run.log"));
  Lines runs[] = {Args("check", {"--log", logPath}), Args("update", {"--log=" + logPath, "--json"}),
                  Args("update", {"--quiet", "--log", logPath})};
  // On a terminal too: its progress goes neither to the log nor, quiet, to the error stream.
  Outcome check = Cli(runs[0], nullptr, true);
  Outcome update = Cli(runs[1], nullptr, true);
  Outcome quiet = Cli(runs[2], nullptr, true);
  ASSERT_EQ(check.status, kExitUpdatable);
  ASSERT_EQ(update.status, kExitUpToDate);
  EXPECT_EQ(quiet.status, kExitUpToDate);
  EXPECT_TRUE(quiet.out.empty());  // nothing but errors, and there are none
  EXPECT_EQ(quiet.err, "");
  std::ifstream in(logPath);
  std::stringstream text;
  text << in.rdbuf();
  const std::regex stamped(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d [+-]\d\d:\d\d (.*))");
  Lines bodies;
  for (const std::string& line : SplitLines(text.str())) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match, stamped)) << line;
    bodies.push_back(match[1]);
  }
  Lines commands;
  for (const Lines& args : runs) {
    std::string command = "vareri-cli";
    for (const std::string& arg : args) command += " " + arg;
    commands.push_back(command);
  }
  std::string dir = "installation directory " + Win("APP");
  Lines want = Concat(Concat({commands[0], dir}, check.out), {"exit status 1", commands[1], dir});
  want = Concat(want, {"Updated File " + Win("APP\\A.DLL"),
                       Win("APP\\B.DLL") + " was not updated (User Selection)",
                       Win("APP\\E.DLL") + " is up to date", "Demo was sucessfully updated",
                       "exit status 0", commands[2], dir, Win("APP\\A.DLL") + " is up to date"});
  want = Concat(
      want, {Win("APP\\B.DLL") + " was not updated (User Selection)",
             Win("APP\\E.DLL") + " is up to date", "Demo was sucessfully updated",
             "nothing was changed: every selected file was up to date already", "exit status 0"});
  EXPECT_EQ(bodies, want);
}

}  // namespace
