// docs/deploying.md as an administrator follows it: its tables read the exit statuses as
// vareri-cli means them and list the reasons its JSON gives, and (under Wine) its script
// updates a product from a share.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "cli.h"
#include "cli_program.h"
#include "engine/engine_fixture.h"
#include "engine/update_error.h"
#include "entry_json.h"

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

// The rows (cells trimmed) of each table whose header begins with `header`.
std::vector<std::vector<Row>> Tables(const std::string& document, const std::string& header) {
  std::vector<std::vector<Row>> tables;
  std::istringstream in(document);
  bool inside = false;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(header, 0) == 0) {
      tables.emplace_back();
      inside = true;
      std::getline(in, line);  // the rule under the header
    } else if (line.rfind("| ", 0) != 0) {
      inside = false;
    } else if (inside) {
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
  std::vector<std::vector<Row>> tables = Tables(document, "| vareri-cli exit status |");
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

// The words of `cell` in backquotes.
std::vector<std::string> Quoted(const std::string& cell) {
  static const std::regex quoted("`(\\w+)`");
  std::vector<std::string> words;
  for (std::sregex_iterator it(cell.begin(), cell.end(), quoted), end; it != end; ++it) {
    words.push_back((*it)[1]);
  }
  return words;
}

// The reasons listed are exactly those an entry's line can give, with errors vareri-cli has,
// and the line of every failed entry, whatever its outcome holds, has the fields the
// document promises.
TEST(DeployingDocument, ListsEveryReasonTheJsonGives) {
  std::vector<std::vector<Row>> tables = Tables(Document(), "| `--json` reason |");
  ASSERT_EQ(tables.size(), 1u);
  std::set<std::string> errors, listed, given;
  for (int code = fileNotFound; code <= cannotCreateTemp; ++code) {
    errors.insert(UpdateErrorName(static_cast<UpdateError>(code)));
  }
  for (const Row& row : tables[0]) {
    ASSERT_EQ(row.size(), 3u);
    for (const std::string& reason : Quoted(row[0])) listed.insert(reason);
    std::vector<std::string> with = Quoted(row[1]);
    EXPECT_TRUE(row[1] == "any" || !with.empty()) << row[1];
    for (const std::string& error : with) EXPECT_EQ(errors.count(error), 1u) << error;
  }
  const std::regex reason("\"reason\":\"(\\w+)\"");
  CUpdateItem item;
  for (int code = fileNotFound; code <= cannotCreateTemp; ++code) {
    for (int cause = 0; cause <= static_cast<int>(EntryCause::diskFull); ++cause) {
      for (int open = 0; open <= static_cast<int>(FileCause::linkLoop); ++open) {
        EntryOutcome outcome;
        outcome.error = static_cast<UpdateError>(code);
        outcome.cause = static_cast<EntryCause>(cause);
        outcome.openCause = static_cast<FileCause>(open);
        std::string json = EntryJson(item, 1, outcome, true);
        for (const char* field : {"\"error\":", "\"installed\":", "\"new\":"}) {
          EXPECT_NE(json.find(field), std::string::npos) << field << " in " << json;
        }
        std::smatch found;
        ASSERT_TRUE(std::regex_search(json, found, reason)) << json;
        given.insert(found[1]);
      }
    }
  }
  EXPECT_EQ(listed, given);
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
