// docs/deploying.md as an administrator follows it: its tables read the exit statuses as
// vareri-cli means them, and (under Wine) its script updates a product from a share.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "cli.h"
#include "cli_program.h"
#include "engine/engine_fixture.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using Row = std::vector<std::string>;

std::string Document() {
  std::ifstream in(std::string(VARERI_SOURCE_DIR) + "/docs/deploying.md", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The rows (cells trimmed) of each table whose first column is the exit status.
std::vector<std::vector<Row>> StatusTables(const std::string& document) {
  std::vector<std::vector<Row>> tables;
  std::istringstream in(document);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("| vareri-cli exit status |", 0) == 0) {
      tables.emplace_back();
      std::getline(in, line);  // the rule under the header
    } else if (!tables.empty() && line.rfind("| ", 0) == 0) {
      Row row;
      std::istringstream cells(line.substr(1));
      for (std::string cell; std::getline(cells, cell, '|');) {
        row.push_back(cell.substr(1, cell.size() - 2));
      }
      tables.back().push_back(row);
    }
  }
  return tables;
}

TEST(DeployingDocument, TablesReadEveryExitStatusAsTheProgramMeansIt) {
  std::string document = Document();
  std::vector<std::vector<Row>> tables = StatusTables(document);
  ASSERT_EQ(tables.size(), 3u) << "the statuses, Intune's return codes, Ansible's reading";
  const int statuses[] = {kExitUpToDate, kExitUpdatable,  kExitErrors,
                          kExitPartial,  kExitUnreadable, kExitUsage};
  for (const auto& table : tables) ASSERT_EQ(table.size(), 6u);
  for (size_t k = 0; k < 6; ++k) {
    int status = statuses[k];
    bool done = status == kExitUpToDate, some = status == kExitPartial;
    for (const auto& table : tables) EXPECT_EQ(table[k][0], std::to_string(status));
    EXPECT_EQ(tables[0][k][2] == "none", !done && !some) << status;  // files changed
    EXPECT_EQ(tables[1][k][1] == "Success", done) << status;         // Intune's code type
    EXPECT_EQ(tables[2][k][1] == "no", done) << status;              // Ansible: failed
    EXPECT_EQ(tables[2][k][2] == "yes", some) << status;             // Ansible: changed
  }
  std::smatch failedWhen;
  ASSERT_TRUE(std::regex_search(document, failedWhen,
                                std::regex(R"(failed_when: \w+\.rc not in \[(.*)\])")));
  EXPECT_EQ(failedWhen[1], std::to_string(kExitUpToDate));
}

#if defined(_WIN32) && defined(VARERI_CLI_EXE)
// The script, as the document shows it, run by Wine's cmd from a share holding it, the
// program and the update; the detection rule's check afterwards.
TEST_F(EngineTest, DeployingScriptUpdatesFromAShare) {
  std::string document = Document();
  std::smatch block;
  ASSERT_TRUE(std::regex_search(document, block,
                                std::regex("<!-- deploy-script[^\n]*\n```bat\n([^`]*)```")));
  std::string script = std::regex_replace(std::string(block[1]), std::regex("\n"), "\r\n");
  Bytes old = MakeProgram(0x00010000, 0, 6000, 1), fresh = MakeProgram(0x00010001, 0, 6100, 2);
  Install(Win("APP\\QUILL.EXE"), old);
  EntryPlan quill{"QUILL.EXE"};
  quill.newBytes = fresh;
  quill.previous = {old};
  Build({quill}, [&](DocumentPlan& plan) {
    plan.formatVersion = 5;  // the installation directory is the file's default one
    plan.defaultDirectory = Win("APP");
  });
  app_.updateFile.reset();
  Install(Win("SHARE\\update-quill.cmd"), Bytes(script.begin(), script.end()));
  ASSERT_TRUE(CopyFileA(CliProgramPath().c_str(), Win("SHARE\\vareri-cli.exe").c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(updatePath_.c_str(), Win("SHARE\\quill-2.1.upd").c_str(), FALSE));
  char programData[MAX_PATH] = {};
  GetEnvironmentVariableA("ProgramData", programData, sizeof programData);
  ASSERT_TRUE(SetEnvironmentVariableA("ProgramData", Win("DATA").c_str()));
  auto run = [&](const std::string& command) {
    return std::system(("\"" + command + "\"").c_str());  // cmd drops the outer quotes
  };
  std::string local = Win("DATA\\Quill\\Update\\");
  std::string detect =
      "\"" + local + "vareri-cli.exe\" check \"" + local + "quill-2.1.upd\" --quiet";
  std::string deploy = "\"" + Win("SHARE\\update-quill.cmd") + "\"";
  EXPECT_EQ(run(deploy), kExitUpToDate);
  EXPECT_EQ(Installed(Win("APP\\QUILL.EXE")), fresh);
  EXPECT_EQ(run(detect), kExitUpToDate) << "the detection rule: installed";
  EXPECT_EQ(run(deploy), kExitUpToDate);  // again: nothing to do
  Install(Win("APP\\QUILL.EXE"), old);
  EXPECT_EQ(run(detect), kExitUpdatable) << "the detection rule: not installed";
  std::unique_ptr<CFile> running = OpenForReading(Win("APP\\QUILL.EXE"));
  EXPECT_EQ(run(deploy), kExitErrors);  // in use: nothing changed
  running.reset();
  Bytes log = Installed(Win("DATA\\Quill\\update.log"));
  std::string text(log.begin(), log.end());
  EXPECT_NE(text.find("nothing was changed: every selected file was up to date already"),
            std::string::npos);
  EXPECT_NE(text.find("error [File Not Found]"), std::string::npos) << text;
  EXPECT_NE(text.find("exit status 2"), std::string::npos);
  SetEnvironmentVariableA("ProgramData", programData);
}
#endif

}  // namespace
