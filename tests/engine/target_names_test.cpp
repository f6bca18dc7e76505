// Names Windows reads as other names: an update that lists one is refused before anything is
// opened, so it can neither reach a file it does not list nor slip past the check that no two
// entries name one file.
#include "engine/engine_fixture.h"

namespace {

using TargetNamesTest = EngineTest;

TEST_F(TargetNamesTest, NamesWindowsReadsAsOthersAreRefusedUnopened) {
  const struct {
    const char* name;
    uint16_t kind;
    std::string directory;
    const char* says;
  } cases[] = {
      {"A.TX_.", 2, "", "ends in a dot or a space"},
      {"A.TX_ ", 2, "", "ends in a dot or a space"},
      {"..\\OUT.TXT", 2, "", "must be a plain file name"},
      {"OUT.TXT", 2, "..", "climbs out of the installation directory"},
      {"OUT.TXT", 2, "SUB\\.\\X", "which Windows reads as a step in a path"},
      {"OUT.TXT", 2, "SUB\\\\X", "two separators in a row"},
      {"OUT.TXT", 3, "\\\\?\\C:\\OUT", "names a stream"},
      {"OUT.TXT", 3, "C:\\OUT:stream", "names a stream"},
  };
  std::vector<EntryPlan> entries;
  for (const auto& c : cases) {
    EntryPlan entry{c.name, c.kind, c.directory};
    entry.newBytes = MakeProgram(kV11, 0, 3000, 9);
    entries.push_back(entry);
  }
  Build(entries);
  env_.FailCall(0, false);  // counts the calls
  Run(true);
  EXPECT_EQ(env_.calls, 0);
  ASSERT_EQ(log_.lines.size(), entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    EXPECT_TRUE(Contains(log_.lines[i], " error [File Not Found]")) << log_.lines[i];
    EXPECT_EQ(app_.record.entries[i].cause, EntryCause::badName) << cases[i].name;
    EXPECT_TRUE(Contains(app_.record.entries[i].Detail(), cases[i].says)) << cases[i].name;
  }
}

TEST_F(TargetNamesTest, ANewVersionsNameAmongTheEntriesIsANameTakenTwice) {
  EntryPlan a{"A.EXE"}, b{"a.exe~upd"};
  a.newBytes = b.newBytes = MakeProgram(kV11, 0, 3000, 9);
  Build({a, b});
  Run(false);
  EXPECT_EQ(app_.record.entries[1].cause, EntryCause::namedAsNewFile);
  EXPECT_EQ(app_.record.entries[1].collidesWith, 1u);
  EXPECT_EQ(app_.record.entries[0].cause, EntryCause::none);
}

}  // namespace
