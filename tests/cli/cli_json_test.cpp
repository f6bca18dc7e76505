// vareri-cli's JSON: one object per entry and a summary, what the update accepts and where
// an entry was looked for, and the list command.
#include <filesystem>

#include "cli_fixture.h"
#include "host.h"
#include "json_text.h"

namespace {

namespace fs = std::filesystem;

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
          ",\"action\":\"replace\",\"selected\":true,\"verdict\":\"update\",\"installed\":{"
          "\"version\":\"1.0.0.5\",\"size\":30000},\"new\":{\"version\":\"1.1.0.0\",\"size\":"
          "34000},\"matched\":{\"index\":1,\"version\":\"1.0.0.5\",\"size\":30000},\"lines\":[" +
          JsonString(Win("APP\\A.DLL") + " will be updated") + "]}",
      "{\"type\":\"entry\",\"index\":2,\"component\":\"Help\\\\Files\",\"file\":\"B.DLL\","
      "\"path\":" +
          b +
          ",\"action\":\"replace\",\"selected\":false,\"verdict\":\"notSelected\",\"installed\":"
          "null,\"new\":{"
          "\"version\":\"1.1.0.0\",\"size\":6500},\"lines\":[" +
          JsonString(Win("APP\\B.DLL") + " will not be updated (User Selection)") + "]}",
      "{\"type\":\"entry\",\"index\":3,\"component\":\"Engine\",\"file\":\"E.DLL\",\"path\":" + e +
          ",\"action\":\"replace\",\"selected\":true,\"verdict\":null,\"error\":\"fileNotFound\","
          "\"code\":1,"
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
    EXPECT_TRUE(Contains(held.out[0],
                         "\"error\":\"fileNotFound\",\"code\":1,\"message\":\"File Not "
                         "Found\",\"reason\":\"inUse\","));
  }

  // An update: what was replaced, what was kept, the counts.
  Install(Win("APP\\E.DLL"), newE_);
  Outcome update = Cli(Args("update", {"--json", "--backup"}));
  EXPECT_EQ(update.status, kExitUpToDate);
  ASSERT_EQ(update.out.size(), 4u);
  EXPECT_TRUE(Contains(update.out[0], ",\"updated\":true,\"backup\":\"A.DL_\",\"lines\":[" +
                                          JsonString(Win("APP\\A.DLL") + " renamed to A.DL_") +
                                          "," + JsonString("Updated File " + Win("APP\\A.DLL")) +
                                          "]}"));
  EXPECT_TRUE(Contains(update.out[3],
                       ",\"ok\":true,\"updateNeeded\":true,\"entries\":3,\"errors\":0,"
                       "\"updated\":1,\"changed\":1,\"text\":"));
  // Run again, it changes nothing, and says so.
  Outcome again = Cli(Args("update", {"--json", "--backup"}));
  EXPECT_EQ(again.status, kExitUpToDate);
  EXPECT_TRUE(Contains(again.out[3],
                       "\"updated\":0,\"changed\":0,\"text\":\"Demo \\\"Pro\\\"\xE2\x84\xA2 "
                       "was sucessfully updated\""));
  EXPECT_EQ(again.err,
            "vareri-cli: nothing was changed: every selected file was up to date already\n");
}

// A reader of standard output sees each entry's line once its outcome is final, while the run
// goes on: the lines out when each installed file is opened, and when the last is replaced.
TEST_F(CliTest, JsonPrintsEachEntryAsSoonAsItIsFinal) {
  BuildProduct();
  const struct {
    Lines options;
    std::vector<size_t> seen;
  } cases[] = {
      // A, E (B not selected): each checked entry's line is out before the next is opened.
      {{}, {0, 2}},
      // A and B: nothing in the first pass; in the second, A's line before B is opened.
      {{"--only=Program", "--only=Help"}, {0, 0, 0, 0, 1, 1}},
      // A removed: with the first pass's error no second pass comes, so each line is final
      // once checked.
      {{"--only=Program", "--only=Help", "--only=Engine"}, {0, 0, 1, 2}},
  };
  bool update = false;
  for (const auto& c : cases) {
    if (c.options.size() == 3) std::filesystem::remove(Native(Win("APP\\A.DLL")));
    std::vector<size_t> seen;
    env_.before = [&](const std::string& what) {
      if (what == "OpenExclusive" || what == "ReplaceWithBackup") {
        seen.push_back(SplitLines(live_.str()).size());
      }
    };
    Outcome run = Cli(Args(update ? "update" : "check", Concat({"--json"}, c.options)));
    env_.before = nullptr;
    EXPECT_EQ(seen, c.seen) << ::testing::PrintToString(c.options);
    EXPECT_EQ(run.out.size(), 4u);
    EXPECT_TRUE(Contains(run.out.back(), "\"type\":\"summary\""));
    update = true;
    InstallOld();
  }
}

// The versions the update accepts when the installed one is none of them, the paths an
// entry of the system directory was looked for under, and the reasons of the check's own.
TEST_F(CliTest, JsonSaysWhatTheUpdateAcceptsAndWhereItLooked) {
  BuildProduct([](DocumentPlan& plan) { plan.items[2].directoryKind = kindSystem; });
  Install(Win("APP\\A.DLL"), MakeProgram(kV10, 0, 30000, 9));  // 1.0.0.0: not accepted
  fs::rename(Native(Win("APP\\E.DLL")), Native(Win("APP\\system\\E.DLL")));
  Outcome check = Cli(Args("check", {"--json"}));
  ASSERT_EQ(check.out.size(), 4u);
  EXPECT_TRUE(Contains(check.out[0],
                       "\"installed\":{\"version\":\"1.0.0.0\",\"size\":30000},\"new\":{"
                       "\"version\":\"1.1.0.0\",\"size\":34000},\"accepts\":[{\"version\":"
                       "\"1.0.0.5\",\"size\":30000}],"));
  EXPECT_TRUE(Contains(
      check.out[2],
      "\"tried\":[{\"path\":" + JsonString(Win("WIN\\SYSTEM\\E.DLL")) +
          ",\"reason\":\"missing\"},{\"path\":" + JsonString(Win("APP\\system\\E.DLL")) + "}]"));

  // A directory that takes no new file; renaming on, A.DLL's backup name is entry 2's file.
  env_.lockedDirectory = Win("APP\\");
  Install(Win("APP\\A.DLL"), oldA_);
  EXPECT_TRUE(
      Contains(Cli(Args("check", {"--json"})).out[0], "\"reason\":\"directoryNotWritable\","));
  BuildProduct([](DocumentPlan& plan) { plan.items[1].fileName = "A.DL_"; });
  Outcome names = Cli(Args("update", {"--json", "--backup"}));
  EXPECT_TRUE(Contains(names.out[0], "\"reason\":\"backupIsTarget\",\"collidesWith\":2,"));
  EXPECT_TRUE(Contains(names.err,
                       "vareri-cli: " + Win("APP\\A.DLL") +
                           ": its backup name is the file of entry 2; update without --backup\n"));
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
  EXPECT_TRUE(Contains(check.out[0],
                       "\"error\":\"fileNotFound\",\"code\":1,\"message\":\"File Not "
                       "Found\""));
}

TEST(CliJson, StringsAreEscapedAndConvertedToUtf8) {
  EXPECT_EQ(JsonString("C:\\A \"b\""), "\"C:\\\\A \\\"b\\\"\"");
  EXPECT_EQ(JsonString(std::string("\x01\t\n\r\x1f\x7f", 6)), "\"\\u0001\\t\\n\\r\\u001f\\u007f\"");
  EXPECT_EQ(JsonString("\x80\x81\xE9\xFF"), "\"\xE2\x82\xAC\xC2\x81\xC3\xA9\xC3\xBF\"");
  EXPECT_EQ(JsonString("\x8C\x9F"), "\"\xC5\x92\xC5\xB8\"");  // U+0152, U+0178
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
  EXPECT_TRUE(Contains(update.out[0],
                       "\"verdict\":\"upToDate\",\"installed\":{\"version\":\"1.1.0.0\","
                       "\"size\":5000},\"new\":{\"version\":\"1.1.0.0\",\"size\":5000},"
                       "\"updated\":false,\"lines\":[]"));
  EXPECT_TRUE(Contains(update.out[1], "\"verdict\":null,\"error\":\"fileNotFound\""));
  EXPECT_TRUE(Contains(update.out[2], "\"errors\":1,\"updated\":0,\"changed\":0,"));
  EXPECT_EQ(update.err, "vareri-cli: the update found 1 error; no file was changed\n");
}

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
                ",\"action\":\"replace\",\"exact\":false,\"selected\":false,\"new\":{\"version\":"
                "\"1.1.0.0\",\"size\":34000},"
                "\"accepts\":[{\"version\":\"1.0.0.5\",\"size\":30000}]}");
  EXPECT_TRUE(Contains(json.out[2], "\"fallbackPath\":" + JsonString(Win("APP\\system\\E.DLL"))));
  EXPECT_TRUE(Contains(json.out[3], "\"command\":\"list\","));
}

// Entries that add, remove and match by bytes: their action, and the version that matched.
TEST_F(CliTest, JsonAndListSayWhatEachEntryDoes) {
  const Bytes help(4000, 'h'), data10(3000, 'd');
  std::vector<EntryPlan> entries(3);
  entries[0] = EntryPlan("NEW.DLL");
  entries[0].action = EntryAction::add;
  entries[0].newBytes = MakeProgram(kV11, 0, 5000, 1);
  entries[0].versionMS = kV11;
  entries[1] = EntryPlan("OLD.HLP");
  entries[1].action = EntryAction::remove;
  entries[1].previous = {help};
  entries[2] = EntryPlan("DATA.DAT");
  entries[2].exact = true;
  entries[2].newBytes = Bytes(3100, 'e');
  entries[2].previous = {data10};
  Build(entries);
  app_.updateFile.reset();
  Install(Win("APP\\OLD.HLP"), help);
  Install(Win("APP\\DATA.DAT"), data10);
  Outcome check = Cli(Args("check", {"--json", "--only", "NEW.DLL", "--only", "OLD.HLP"}));
  ASSERT_EQ(check.out.size(), 4u) << check.err;
  EXPECT_TRUE(
      Contains(check.out[0], "\"action\":\"add\",\"selected\":true,\"verdict\":\"update\""));
  EXPECT_TRUE(
      Contains(check.out[1], "\"action\":\"remove\",\"selected\":true,\"verdict\":\"update\""));
  EXPECT_TRUE(Contains(check.out[1],
                       "\"matched\":{\"index\":1,\"version\":\"0.0.0.0\",\"size\":"
                       "4000,\"sha256\":\"" +
                           Sha256Of(help.data(), help.size()).Hex() + "\"}"));
  EXPECT_TRUE(Contains(check.out[2], "\"action\":\"replace\",\"selected\":false"));
  Install(Win("APP\\OLD.HLP"), Bytes(4000, 'x'));
  EXPECT_TRUE(Contains(Cli(Args("check", {"--json"})).out[1], "\"verdict\":\"kept\""));
  Lines list = Cli(Args("list")).out;
  ASSERT_EQ(list.size(), 4u);
  EXPECT_TRUE(Contains(list[1], "(5000 bytes), component NEW.DLL; adds it"));
  EXPECT_TRUE(Contains(list[2],
                       ": no new version, component OLD.HLP; removes "
                       "0.0.0.0 (4000 bytes)"));
  EXPECT_TRUE(Contains(list[3], "; replaces byte for byte 0.0.0.0 (3000 bytes)"));
}

}  // namespace
