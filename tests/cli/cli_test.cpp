// vareri-cli over whole products: its lines against the engine's run as the window shows
// it, every exit status, the selection options, JSON, the log file, and the real program.
#include "cli.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "cli_program.h"
#include "engine/engine_fixture.h"
#include "host.h"
#include "json_text.h"
#include "platform/exceptions.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

const uint32_t kV10 = 0x00010000, kV11 = 0x00010001;

Lines SplitLines(const std::string& text) {
  Lines lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

Lines Concat(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// `json` with the fields that differ from run to run in a fixed form, once their form is
// checked: the start time, the duration.
std::string Steady(const std::string& json) {
  static const std::regex started(R"("started":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d")");
  static const std::regex duration(R"("durationMs":\d+)");
  std::string steady = std::regex_replace(json, started, "\"started\":\"T\"");
  return std::regex_replace(steady, duration, "\"durationMs\":0");
}

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

class CliTest : public EngineTest {
 protected:
  struct Outcome {
    int status;
    Lines out;
    std::string err;
  };

  // Runs vareri-cli in this process over the fixture's Env (or `env`).
  Outcome Cli(const Lines& args, Env* env = nullptr) {
    std::vector<std::string> all = Concat({"vareri-cli"}, args);
    std::vector<char*> argv;
    for (std::string& arg : all) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    std::ostringstream out, err;
    int status = RunCli(static_cast<int>(all.size()), argv.data(), out, err, env ? *env : env_);
    return Outcome{status, SplitLines(out.str()), err.str()};
  }

  // The command, the update file and the fixture's directories.
  Lines Args(const char* command, const Lines& more = {}) const {
    return Concat({command, updatePath_, "--dir", Win("APP"), "--windows-dir", Win("WIN"),
                   "--system-dir", Win("WIN\\SYSTEM")},
                  more);
  }

  // Program (A.DLL: older, a known previous version), Help (B.DLL: the same, not selected
  // by default), Engine (E.DLL: already current).
  // `bigger` makes A.DLL as many bytes larger.
  void BuildProduct(const std::function<void(DocumentPlan&)>& tweak = nullptr, size_t bigger = 0) {
    oldA_ = MakeProgram(kV10, 5, 30000 + bigger, 1);
    newA_ = MakeProgram(kV11, 0, 34000 + bigger, 2);
    oldB_ = MakeProgram(kV10, 0, 6000, 3);
    newB_ = MakeProgram(kV11, 0, 6500, 4);
    newE_ = MakeProgram(kV11, 0, 9000, 5);
    InstallOld();
    Install(Win("APP\\E.DLL"), newE_);
    EntryPlan a{"A.DLL"};
    a.newBytes = newA_;
    a.previous = {oldA_};
    EntryPlan b{"B.DLL"};
    b.selected = 0;
    b.newBytes = newB_;
    b.previous = {oldB_};
    EntryPlan e{"E.DLL"};
    e.selected = 2;
    e.newBytes = newE_;
    Build({a, b, e}, [&](DocumentPlan& plan) {
      plan.items[0].componentName = "Program";
      plan.items[1].componentName = "Help";
      plan.items[2].componentName = "Engine";
      plan.failureMessage = "Demo could not be updated";
      if (tweak) tweak(plan);
    });
    app_.updateFile.reset();  // opened with no sharing: the cli opens it itself
  }

  void InstallOld() {
    Install(Win("APP\\A.DLL"), oldA_);
    Install(Win("APP\\B.DLL"), oldB_);
    fs::remove(Native(Win("APP\\A.DL_")));
    fs::remove(Native(Win("APP\\B.DL_")));
  }

  // The lines the engine logs for the same run, as the window shows them.
  Lines EngineLines(bool doUpdate, const std::function<void(VEzorazEdo&)>& options = nullptr) {
    app_.document = VEzorazEdo();
    app_.updateFile = OpenForReading(Native(updatePath_));
    app_.document.EnsureLoaded(*app_.updateFile);
    if (options) options(app_.document);
    Run(doUpdate);
    app_.updateFile.reset();
    return log_.lines;
  }

  Bytes oldA_, newA_, oldB_, newB_, newE_;
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
  Outcome update = Cli(Args("update"));
  EXPECT_EQ(update.status, kExitUpToDate);
  EXPECT_EQ(update.out, Concat(engine, {"Demo was sucessfully updated"}));
  EXPECT_EQ(update.err, "");
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
  EXPECT_EQ(update.out, Concat(engineUpdate, {"Demo could not be updated"}));
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

TEST_F(CliTest, UpdateThatStopsAfterReplacingAFileExitsThree) {
  BuildProduct();
  // B's backup name is taken by a directory: keeping B's previous version fails after A
  // has been replaced.
  fs::create_directories(Native(Win("APP\\B.DL_")));
  Outcome update = Cli(Args("update", {"--backup", "--only", "Program", "--only", "Help"}));
  EXPECT_EQ(update.status, kExitPartial);
  Lines want = {
      Win("APP\\A.DLL") + " renamed to A.DL_",
      "Updated File " + Win("APP\\A.DLL"),
      Win("APP\\B.DLL") +
          " error [Cannot rename File. Check Read-Only Attribute or File "
          "Permissions]",
      "Demo could not be updated",
  };
  EXPECT_EQ(update.out, want);
  EXPECT_EQ(update.err, "vareri-cli: the update stopped part-way: 1 file was replaced\n");
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), newA_);
  EXPECT_EQ(Installed(Win("APP\\B.DLL")), oldB_);
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(CliTest, FullDiskEndsTheRunWithAMessageAndNoHalfWrittenFile) {
  BuildProduct();
  // Full from the second new version on: A is replaced, B's new version does not fit.
  DiskFullEnv late(Win("TEMP\\"), 2);
  Outcome partial = Cli(Args("update", {"--only", "Program", "--only", "Help"}), &late);
  EXPECT_EQ(partial.status, kExitPartial);
  EXPECT_EQ(partial.out,
            (Lines{"Updated File " + Win("APP\\A.DLL"),
                   Win("APP\\B.DLL") + " error [Cannot Decompress. UPD may be corrupted]",
                   "Demo could not be updated"}));
  EXPECT_EQ(partial.err, "vareri-cli: the update stopped part-way: 1 file was replaced\n");
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), newA_);
  EXPECT_EQ(Installed(Win("APP\\B.DLL")), oldB_);
  EXPECT_TRUE(Leftovers().empty());

  // Full from the start: nothing is replaced.
  InstallOld();
  DiskFullEnv full(Win("TEMP\\"), 1);
  Outcome none = Cli(Args("update", {"--json"}), &full);
  EXPECT_EQ(none.status, kExitErrors);
  EXPECT_EQ(none.err, "vareri-cli: the update found 1 error; no file was changed\n");
  ASSERT_EQ(none.out.size(), 4u);
  EXPECT_NE(none.out[0].find("\"error\":\"cannotDecompress\""), std::string::npos) << none.out[0];
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), oldA_);
  EXPECT_TRUE(Leftovers().empty());
}

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
  EXPECT_NE(absent.err.find("the file was not found"), std::string::npos) << absent.err;

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
  EXPECT_NE(Steady(cut.out[0]).find(",\"durationMs\":0,\"exitCode\":4}"), std::string::npos);
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), oldA_);
}

TEST_F(CliTest, WrongUsageExitsSixtyFour) {
  BuildProduct();
  const Lines wrong[] = {
      {},
      {"install", updatePath_},
      {"check"},
      {"check", updatePath_, "extra"},
      {"check", updatePath_, "--verbose"},
      {"check", updatePath_, "--dir"},
      {"check", updatePath_, "--dir="},
      {"check", updatePath_, "--dir", "A", "--dir", "B"},
      {"check", updatePath_, "--backup"},
      {"update", updatePath_, "--json=yes"},
      {"update", updatePath_, "--dir", std::string(256, 'x')},
      {"update", updatePath_, "--log", Native(Win("APP"))},  // a directory is no log file
  };
  for (const Lines& args : wrong) {
    Outcome usage = Cli(args);
    EXPECT_EQ(usage.status, kExitUsage) << ::testing::PrintToString(args);
    EXPECT_TRUE(usage.out.empty());
    EXPECT_EQ(usage.err.rfind("vareri-cli: ", 0), 0u);
  }
  EXPECT_EQ(Cli({"check"}).err,
            "vareri-cli: check needs an update file\n"
            "Try 'vareri-cli --help'.\n");
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), oldA_);

  Outcome help = Cli({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out[0], "Usage: vareri-cli check FILE.upd [--dir DIR] [options]");
  EXPECT_NE(std::string(CliHelpText()).find("  64  wrong usage"), std::string::npos);
  // A file name that starts with a dash, after "--".
  Outcome dashed = Cli({"check", "--", "-x.upd"});
  EXPECT_EQ(dashed.status, kExitUnreadable);
}

TEST_F(CliTest, JsonPrintsOneObjectPerEntryAndASummary) {
  BuildProduct([](DocumentPlan& plan) {
    plan.productName = "Demo \"Pro\"\x99";  // a quote and a Windows-1252 trade mark sign
    plan.items[1].componentName = "Help\\Files";
  });
  fs::remove(Native(Win("APP\\E.DLL")));
  Outcome check = Cli(Args("check", {"--json", "--only", "Program", "--only", "Engine"}));
  EXPECT_EQ(check.status, kExitErrors);
  std::string a = JsonString(Win("APP\\A.DLL"));
  std::string b = JsonString(Win("APP\\B.DLL"));
  std::string e = JsonString(Win("APP\\E.DLL"));
  Lines want = {
      "{\"type\":\"entry\",\"index\":1,\"component\":\"Program\",\"file\":\"A.DLL\",\"path\":" + a +
          ",\"selected\":true,\"verdict\":\"update\",\"installed\":{\"version\":\"1.0.0.5\","
          "\"size\":30000},\"new\":{\"version\":\"1.1.0.0\",\"size\":34000},\"lines\":[" +
          JsonString(Win("APP\\A.DLL") + " will be updated") + "]}",
      "{\"type\":\"entry\",\"index\":2,\"component\":\"Help\\\\Files\",\"file\":\"B.DLL\","
      "\"path\":" +
          b +
          ",\"selected\":false,\"verdict\":\"notSelected\",\"installed\":null,\"new\":{"
          "\"version\":\"1.1.0.0\",\"size\":6500},\"lines\":[" +
          JsonString(Win("APP\\B.DLL") + " will not be updated (User Selection)") + "]}",
      "{\"type\":\"entry\",\"index\":3,\"component\":\"Engine\",\"file\":\"E.DLL\",\"path\":" + e +
          ",\"selected\":true,\"verdict\":null,\"error\":\"fileNotFound\",\"code\":1,"
          "\"message\":\"File Not Found\",\"reason\":\"missing\",\"installed\":null,\"new\":{"
          "\"version\":\"1.1.0.0\",\"size\":9000},\"lines\":[" +
          JsonString(Win("APP\\E.DLL") + " error [File Not Found]") + "]}",
      "{\"type\":\"summary\",\"command\":\"check\",\"file\":" + JsonString(updatePath_) +
          ",\"host\":" + JsonString(HostName()) +
          ",\"started\":\"T\",\"product\":\"Demo \\\"Pro\\\"\xE2\x84\xA2\",\"directory\":" +
          JsonString(Win("APP")) +
          ",\"ok\":false,\"updateNeeded\":true,\"entries\":3,\"errors\":1,\"changed\":0,"
          "\"text\":\"Demo \\\"Pro\\\"\xE2\x84\xA2 can not be succesfully updated\","
          "\"durationMs\":0,\"exitCode\":2}",
  };
  check.out.back() = Steady(check.out.back());
  EXPECT_EQ(check.out, want);
  EXPECT_FALSE(HostName().empty());

  // A file another program holds open is "not found" too; the reason tells it apart.
  {
    std::unique_ptr<CFile> holder = OpenForReading(Native(Win("APP\\A.DLL")));
    Outcome held = Cli(Args("check", {"--json", "--only", "Program"}));
    EXPECT_NE(held.out[0].find("\"error\":\"fileNotFound\",\"code\":1,\"message\":\"File Not "
                               "Found\",\"reason\":\"inUse\","),
              std::string::npos)
        << held.out[0];
  }

  // An update: what was replaced, what was kept, the counts.
  Install(Win("APP\\E.DLL"), newE_);
  Outcome update = Cli(Args("update", {"--json", "--backup"}));
  EXPECT_EQ(update.status, kExitUpToDate);
  ASSERT_EQ(update.out.size(), 4u);
  EXPECT_NE(update.out[0].find(",\"updated\":true,\"backup\":\"A.DL_\",\"lines\":[" +
                               JsonString(Win("APP\\A.DLL") + " renamed to A.DL_") + "," +
                               JsonString("Updated File " + Win("APP\\A.DLL")) + "]}"),
            std::string::npos)
      << update.out[0];
  EXPECT_NE(update.out[3].find(",\"ok\":true,\"updateNeeded\":true,\"entries\":3,\"errors\":0,"
                               "\"updated\":1,\"changed\":1,\"text\":"),
            std::string::npos)
      << update.out[3];
  // Run again, it changes nothing, and says so.
  Outcome again = Cli(Args("update", {"--json", "--backup"}));
  EXPECT_EQ(again.status, kExitUpToDate);
  EXPECT_NE(again.out[3].find("\"updated\":0,\"changed\":0,\"text\":\"Demo \\\"Pro\\\"\xE2\x84\xA2 "
                              "was sucessfully updated\""),
            std::string::npos)
      << again.out[3];
  EXPECT_EQ(again.err,
            "vareri-cli: nothing was changed: every selected file was up to date already\n");
}

// The versions the update accepts when the installed one is none of them, the paths an
// entry of the system directory was looked for under, and the reasons of the check's own.
TEST_F(CliTest, JsonSaysWhatTheUpdateAcceptsAndWhereItLooked) {
  BuildProduct([](DocumentPlan& plan) { plan.items[2].directoryKind = kindSystem; });
  Install(Win("APP\\A.DLL"), MakeProgram(kV10, 0, 30000, 9));  // 1.0.0.0: not accepted
  fs::rename(Native(Win("APP\\E.DLL")), Native(Win("APP\\system\\E.DLL")));
  Outcome check = Cli(Args("check", {"--json"}));
  ASSERT_EQ(check.out.size(), 4u);
  EXPECT_NE(check.out[0].find("\"installed\":{\"version\":\"1.0.0.0\",\"size\":30000},\"new\":{"
                              "\"version\":\"1.1.0.0\",\"size\":34000},\"accepts\":[{\"version\":"
                              "\"1.0.0.5\",\"size\":30000}],"),
            std::string::npos)
      << check.out[0];
  EXPECT_NE(check.out[2].find("\"tried\":[{\"path\":" + JsonString(Win("WIN\\SYSTEM\\E.DLL")) +
                              ",\"reason\":\"missing\"},{\"path\":" +
                              JsonString(Win("APP\\system\\E.DLL")) + "}]"),
            std::string::npos)
      << check.out[2];

  // A directory that takes no new file; renaming on, A.DLL's backup name is entry 2's file.
  env_.lockedDirectory = Win("APP\\");
  Install(Win("APP\\A.DLL"), oldA_);
  EXPECT_NE(Cli(Args("check", {"--json"})).out[0].find("\"reason\":\"directoryNotWritable\","),
            std::string::npos);
  BuildProduct([](DocumentPlan& plan) { plan.items[1].fileName = "A.DL_"; });
  Outcome names = Cli(Args("update", {"--json", "--backup"}));
  EXPECT_NE(names.out[0].find("\"reason\":\"backupIsTarget\",\"collidesWith\":2,"),
            std::string::npos)
      << names.out[0];
  EXPECT_NE(names.err.find("vareri-cli: " + Win("APP\\A.DLL") +
                           ": its backup name is the file of entry 2; update without --backup\n"),
            std::string::npos)
      << names.err;
}

TEST_F(CliTest, JsonNamesErrorsOnLinesCutAt255Characters) {
  BuildProduct();
  // A directory name long enough that "<path> error [...]" runs past 255 characters.
  std::string dir = Win(std::string(230 - root_.size(), 'd'));
  ASSERT_EQ(dir.size(), 231u);
  Outcome check = Cli({"check", updatePath_, "--dir", dir, "--json", "--windows-dir", Win("WIN"),
                       "--system-dir", Win("WIN\\SYSTEM")});
  EXPECT_EQ(check.status, kExitErrors);
  ASSERT_EQ(check.out.size(), 4u);
  EXPECT_NE(check.out[0].find("\"error\":\"fileNotFound\",\"code\":1,\"message\":\"File Not "
                              "Found\""),
            std::string::npos)
      << check.out[0];
}

TEST_F(CliTest, LogFileGetsEveryLineTimestampedAndIsAppendedTo) {
  BuildProduct();
  std::string logPath = Native(Win("run.log"));
  Lines runs[] = {Args("check", {"--log", logPath}), Args("update", {"--log=" + logPath, "--json"}),
                  Args("update", {"--quiet", "--log", logPath})};
  Outcome check = Cli(runs[0]);
  Outcome update = Cli(runs[1]);
  Outcome quiet = Cli(runs[2]);
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

TEST_F(CliTest, WithoutDirTheDirectoryIsProposedAsTheWindowProposesIt) {
  // The default directory of a file with no registry path, by the drive rule.
  BuildProduct([](DocumentPlan& plan) {
    plan.formatVersion = 5;
    plan.defaultDirectory = "VARERI-CLI-NOWHERE";
  });
  Outcome nowhere = Cli({"check", updatePath_, "--json"});
  EXPECT_EQ(nowhere.status, kExitErrors);
  ASSERT_EQ(nowhere.out.size(), 4u);
  EXPECT_NE(nowhere.out[3].find(",\"directory\":\"C:\\\\VARERI-CLI-NOWHERE\","), std::string::npos)
      << nowhere.out[3];
  EXPECT_NE(nowhere.err.find("does not exist or cannot be read; give it with --dir"),
            std::string::npos);

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

TEST(CliJson, StringsAreEscapedAndConvertedToUtf8) {
  EXPECT_EQ(JsonString("C:\\A \"b\""), "\"C:\\\\A \\\"b\\\"\"");
  EXPECT_EQ(JsonString(std::string("\x01\t\n\r\x1f\x7f", 6)), "\"\\u0001\\t\\n\\r\\u001f\\u007f\"");
  EXPECT_EQ(JsonString("\x80\x81\xE9\xFF"), "\"\xE2\x82\xAC\xC2\x81\xC3\xA9\xC3\xBF\"");
  EXPECT_EQ(JsonString(""), "\"\"");
}

// One entry's path is the start of the next one's: each keeps its own outcome.
TEST_F(CliTest, EntriesWhosePathsShareAPrefixKeepTheirOwnOutcomes) {
  Bytes a = MakeProgram(kV11, 0, 5000, 7);
  Install(Win("APP\\A"), a);
  EntryPlan current{"A"};
  current.newBytes = a;
  EntryPlan missing{"A.X"};
  missing.newBytes = a;
  Build({current, missing});
  app_.updateFile.reset();
  Outcome update = Cli(Args("update", {"--json"}));
  EXPECT_EQ(update.status, kExitErrors);
  ASSERT_EQ(update.out.size(), 3u);
  EXPECT_NE(update.out[0].find("\"verdict\":\"upToDate\",\"installed\":{\"version\":\"1.1.0.0\","
                               "\"size\":5000},\"new\":{\"version\":\"1.1.0.0\",\"size\":5000},"
                               "\"updated\":false,\"lines\":[]"),
            std::string::npos)
      << update.out[0];
  EXPECT_NE(update.out[1].find("\"verdict\":null,\"error\":\"fileNotFound\""), std::string::npos)
      << update.out[1];
  EXPECT_NE(update.out[2].find("\"errors\":1,\"updated\":0,\"changed\":0,"), std::string::npos)
      << update.out[2];
  EXPECT_EQ(update.err, "vareri-cli: the update found 1 error; no file was changed\n");
}

#if defined(_WIN32) && defined(VARERI_CLI_EXE)
// The real program ended by TerminateProcess at moments spread over the replacement of a
// large file, with renaming on: the installed name always holds a whole file, and the next
// run removes what the killed one left and finishes.
TEST_F(CliTest, KilledMidReplacementLeavesWholeFilesAndTheNextRunFinishes) {
  oldA_ = MakeProgram(kV10, 5, 24 << 20, 1);
  newA_ = MakeProgram(kV11, 0, (24 << 20) + 4000, 2);
  EntryPlan a{"A.DLL"};
  a.newBytes = newA_;
  a.previous = {oldA_};
  Build({a});
  app_.updateFile.reset();
  std::string command = "\"" + CliProgramPath() + "\" update \"" + updatePath_ +
                        "\" --backup --dir \"" + Win("APP") + "\" --windows-dir \"" + Win("WIN") +
                        "\"";
  int midway = 0;
  for (DWORD delay : {0, 40, 120, 200, 260, 320, 400}) {
    Install(Win("APP\\A.DLL"), oldA_);
    Install(Win("APP\\A.DL_"), Bytes{'e'});  // an earlier backup
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    ASSERT_TRUE(CreateProcessA(nullptr, &std::string(command)[0], nullptr, nullptr, FALSE,
                               DETACHED_PROCESS, nullptr, nullptr, &startup, &process));
    // Counted from the moment the new version is being made.
    while (!Exists(Win("APP\\A.DLL~UPD")) && WaitForSingleObject(process.hProcess, 1)) {
    }
    if (WaitForSingleObject(process.hProcess, delay) == WAIT_TIMEOUT) {
      midway += TerminateProcess(process.hProcess, 137);
      WaitForSingleObject(process.hProcess, INFINITE);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::string trial = "killed " + std::to_string(delay) + " ms in: ";
    Bytes now = Installed(Win("APP\\A.DLL"));
    Bytes backup = Installed(Win("APP\\A.DL_"));
    EXPECT_TRUE(now == newA_ ? backup == oldA_ : now == oldA_ && backup.size() < 2) << trial;
    Outcome next = Cli(Args("update", {"--backup"}));
    EXPECT_EQ(next.status, kExitUpToDate) << trial << next.err;
    EXPECT_EQ(Installed(Win("APP\\A.DLL")), newA_) << trial;
    EXPECT_EQ(Installed(Win("APP\\A.DL_")), oldA_) << trial;
    EXPECT_TRUE(Leftovers().empty()) << trial;
  }
  EXPECT_GT(midway, 2) << "the kills came after the update had finished";
}
#endif

// list names every file as a run would, and looks at none of them.
TEST_F(CliTest, ListShowsTheFilesWithoutLookingAtThem) {
  BuildProduct([](DocumentPlan& plan) {
    plan.items[2].directoryKind = kindSystem;
    plan.items[2].previousVersions.clear();
  });
  env_.FailCall(0, false);  // counts the calls
  Outcome list = Cli(Args("list"));
  Outcome json = Cli(Args("list", {"--json", "--only", "Help"}));
  EXPECT_EQ(env_.calls, 0);
  EXPECT_EQ(list.status, kExitUpToDate);
  Lines want = {
      "Demo: 3 files, installation directory " + Win("APP"),
      Win("APP\\A.DLL") +
          ": 1.1.0.0 (34000 bytes), component Program; replaces 1.0.0.5 (30000 bytes)",
      Win("APP\\B.DLL") +
          ": 1.1.0.0 (6500 bytes), component Help, not selected; replaces 1.0.0.0 (6000 bytes)",
      Win("WIN\\SYSTEM\\E.DLL") + " or " + Win("APP\\system\\E.DLL") +
          ": 1.1.0.0 (9000 bytes), component Engine; replaces no earlier version",
  };
  EXPECT_EQ(list.out, want);
  ASSERT_EQ(json.out.size(), 4u);
  EXPECT_EQ(json.out[0],
            "{\"type\":\"file\",\"index\":1,\"component\":\"Program\",\"file\":"
            "\"A.DLL\",\"path\":" +
                JsonString(Win("APP\\A.DLL")) +
                ",\"selected\":false,\"new\":{\"version\":\"1.1.0.0\",\"size\":34000},"
                "\"accepts\":[{\"version\":\"1.0.0.5\",\"size\":30000}]}");
  EXPECT_NE(json.out[2].find("\"fallbackPath\":" + JsonString(Win("APP\\system\\E.DLL"))),
            std::string::npos);
  EXPECT_NE(json.out[3].find("\"command\":\"list\","), std::string::npos);
}

#ifdef VARERI_CLI_EXE
// The real program interrupted while it replaces a large file (SIGTERM; Ctrl+C on
// Windows): it finishes that file, touches no other, leaves no temporary file and exits 3;
// the next run finishes.
TEST_F(CliTest, InterruptedMidUpdateFinishesTheFileInHandAndTheNextRunStartsClean) {
  BuildProduct(nullptr, 24 << 20);
  // Interrupted once the new version has its first bytes (the check's probe has none).
  auto replacing = [&] {
    std::error_code ec;
    uintmax_t size = fs::file_size(Native(Win("APP\\A.DLL~UPD")), ec);
    return !ec && size > 0;
  };
  Lines args =
      Concat({CliProgramPath()}, Args("update", {"--backup", "--only=Program", "--only=Help"}));
#ifdef _WIN32
  std::string command;
  for (const std::string& arg : args) command += "\"" + arg + "\" ";
  // Ctrl+C reaches the processes of a console: the program gets one of its own, which this
  // test joins to press it (ignoring it itself).
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE,
                             nullptr, nullptr, &startup, &process));
  while (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT && !replacing()) {
  }
  FreeConsole();
  EXPECT_TRUE(AttachConsole(process.dwProcessId));
  SetConsoleCtrlHandler(nullptr, TRUE);
  EXPECT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
  FreeConsole();
  SetConsoleCtrlHandler(nullptr, FALSE);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 0;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EXPECT_EQ(status, static_cast<DWORD>(kExitPartial));
#else
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(&arg[0]);
  argv.push_back(nullptr);
  std::fflush(nullptr);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    freopen("/dev/null", "w", stdout);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, WNOHANG) == 0 && !replacing()) {
  }
  kill(child, SIGTERM);
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), kExitPartial);
#endif
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), newA_);
  EXPECT_EQ(Installed(Win("APP\\A.DL_")), oldA_);
  EXPECT_EQ(Installed(Win("APP\\B.DLL")), oldB_);
  EXPECT_TRUE(Leftovers().empty());
  Outcome next = Cli(Args("update", {"--backup", "--only=Program", "--only=Help"}));
  EXPECT_EQ(next.status, kExitUpToDate) << next.err;
  EXPECT_EQ(Installed(Win("APP\\B.DLL")), newB_);
}
#endif

// The real program, started as a script starts it.
TEST_F(CliTest, TheProgramRunsFromAScript) {
#ifndef VARERI_CLI_EXE
  GTEST_SKIP() << "the program's path is not known to this build";
#else
  BuildProduct();
  std::string exe = CliProgramPath();
  auto run = [&](const std::string& command) {
    std::string line = "\"" + exe + "\" " + command + " \"" + updatePath_ + "\" --dir \"" +
                       Win("APP") + "\" --windows-dir \"" + Win("WIN") + "\" > \"" +
                       Native(Win("out.txt")) + "\" 2> \"" + Native(Win("err.txt")) + "\"";
#ifdef _WIN32
    int status = std::system(("\"" + line + "\"").c_str());  // cmd drops the outer quotes
#else
    int raw = std::system(line.c_str());
    int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
    Bytes out = Installed(Win("out.txt"));
    Bytes errBytes = Installed(Win("err.txt"));
    std::string err;
    for (uint8_t c : errBytes) {
      if (c != '\r') err.push_back(static_cast<char>(c));
    }
    return Outcome{status, SplitLines(std::string(out.begin(), out.end())), err};
  };
  Outcome check = run("check");
  EXPECT_EQ(check.status, kExitUpdatable) << check.err;
  EXPECT_EQ(check.out,
            Lines({Win("APP\\A.DLL") + " will be updated",
                   Win("APP\\B.DLL") + " will not be updated (User Selection)",
                   Win("APP\\E.DLL") + " is up to date", "Demo can be sucessfully updated"}));
  Outcome update = run("update");
  EXPECT_EQ(update.status, kExitUpToDate) << update.err;
  EXPECT_EQ(update.out.back(), "Demo was sucessfully updated");
  EXPECT_EQ(Installed(Win("APP\\A.DLL")), newA_);
  fs::remove(Native(Win("APP\\E.DLL")));
  Outcome broken = run("update");
  EXPECT_EQ(broken.status, kExitErrors);
  EXPECT_EQ(broken.err, "vareri-cli: the update found 1 error; no file was changed\n");
#endif
}

}  // namespace
