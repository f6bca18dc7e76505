// End-to-end scenarios of a product's life, written once and run by every way of applying
// an update: vareri-cli in-process (natively and under Wine) and the real window (under
// Wine). A runner starts the program, runs a check or an update, and returns the log lines
// and the closing message; each scenario checks those and the bytes on disk.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "engine/engine_fixture.h"

#ifdef _WIN32
#include <windows.h>
#endif

struct RunRequest {
  bool doUpdate = false;
  bool backup = false;
  std::vector<std::string> leaveOut;  // component names (default-selected ones) to leave out
  bool proposedDirectory = false;     // take the directory the program proposes
};

struct RunOutcome {
  std::vector<std::string> lines;
  std::string closing;
};

template <class Runner>
class ScenarioTest : public EngineTest {
 protected:
  ScenarioTest() : runner_(*this) {}

  RunOutcome RunWith(const RunRequest& request) { return runner_.Run(request, updatePath_); }
  RunOutcome Check() { return RunWith(RunRequest{}); }
  RunOutcome Update(bool backup = false) {
    RunRequest request;
    request.doUpdate = true;
    request.backup = backup;
    return RunWith(request);
  }

  // Demo 1.0 with every file older: A.DLL and B.DLL under APP, E.DLL in APP\system
  // (kindSystem), all selected; and the update to 1.1, closed again so a program can open
  // it alone.
  void Product(uint16_t format = 5, const std::function<void(DocumentPlan&)>& tweak = nullptr) {
    BuildDemo(Options(format, tweak));
    app_.updateFile.reset();
  }
  // The update to 1.2, which accepts 1.0 and 1.1; nothing installed changes.
  void UpdateTo12() {
    DemoOptions demo = Options(5, nullptr);
    demo.brings = 2;
    BuildDemoUpdate(demo);
    app_.updateFile.reset();
  }
  DemoOptions Options(uint16_t format, const std::function<void(DocumentPlan&)>& tweak) {
    DemoOptions demo;
    demo.format = format;
    demo.allOlder = true;
    demo.tweak = [this, tweak](DocumentPlan& plan) {
      plan.defaultDirectory = Win("APP");
      plan.registryPath[0] = "Scenario Maker";
      plan.registryPath[1] = "Demo";
      plan.registryPath[2] = "1.0";
      if (tweak) tweak(plan);
    };
    return demo;
  }

  std::string Path(size_t i) const {
    DemoOptions demo;
    demo.allOlder = true;
    return DemoPath(i, demo);
  }
  std::vector<std::string> Lines(const char* a, const char* b, const char* s) const {
    std::vector<std::string> lines;
    const char* verbs[] = {a, b, s};
    for (size_t i = 0; i < 3; ++i) lines.push_back(Path(i) + verbs[i]);
    return lines;
  }
  void ExpectInstalled(const DemoRelease& want) {
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(Installed(Path(i)), want[i]) << kDemoNames[i];
  }

  Runner runner_;
  const DemoRelease &v10_ = demo_[0], &v11_ = demo_[1];
};

TYPED_TEST_SUITE_P(ScenarioTest);

TYPED_TEST_P(ScenarioTest, UpdateThenASecondUpdateOverTheFirst) {
  this->Product();
  RunOutcome check = this->Check();
  EXPECT_EQ(check.lines, this->Lines(" will be updated", " will be updated", " will be updated"));
  EXPECT_EQ(check.closing, "Demo can be sucessfully updated");
  RunOutcome update = this->Update();
  std::vector<std::string> updated;
  for (size_t i = 0; i < 3; ++i) updated.push_back("Updated File " + this->Path(i));
  EXPECT_EQ(update.lines, updated);
  EXPECT_EQ(update.closing, "Demo was sucessfully updated");
  this->ExpectInstalled(this->v11_);
  // 1.2 accepts 1.0 and 1.1; with backups the 1.1 files stay as A.DL_, ...
  this->UpdateTo12();
  update = this->Update(true);
  ASSERT_EQ(update.lines.size(), 6u);
  EXPECT_EQ(update.lines[0], this->Path(0) + " renamed to A.DL_");
  EXPECT_EQ(update.lines[1], "Updated File " + this->Path(0));
  EXPECT_EQ(update.closing, "Demo was sucessfully updated");
  this->ExpectInstalled(this->demo_[2]);
  EXPECT_EQ(this->Installed(this->Win("APP\\A.DL_")), this->v11_[0]);
  EXPECT_EQ(this->Installed(this->Win("APP\\system\\E.DL_")), this->v11_[2]);
}

TYPED_TEST_P(ScenarioTest, NewerAndLocallyModifiedFiles) {
  this->Product();
  Bytes newer = MakeProgram(kV12, 0, 31000, 30);
  this->Install(this->Path(0), newer);
  Bytes modified = this->v10_[1];
  modified[0] ^= 0x20;  // inside the first sample: the fingerprint refuses it
  this->Install(this->Path(1), modified);
  RunOutcome check = this->Check();
  EXPECT_EQ(check.lines, this->Lines(" is newer than the upd",
                                     " error [Cannot Update. Previous Version not Compatible]",
                                     " will be updated"));
  EXPECT_EQ(check.closing, "Demo can not be succesfully updated");
  RunOutcome update = this->Update();
  EXPECT_EQ(update.lines,
            std::vector<std::string>{this->Path(1) + " error [Cannot Update. Previous Version not "
                                                     "Compatible]"});
  EXPECT_EQ(update.closing, "Demo could not be updated.");
  this->ExpectInstalled({newer, modified, this->v10_[2]});
}

TYPED_TEST_P(ScenarioTest, DeselectedComponentAndMissingFile) {
  this->Product();
  RunRequest request;
  request.doUpdate = true;
  request.leaveOut = {"Help"};
  std::filesystem::remove(this->Native(this->Path(1)));  // left out: missing is no error
  RunOutcome update = this->RunWith(request);
  EXPECT_EQ(update.lines,
            (std::vector<std::string>{"Updated File " + this->Path(0),
                                      this->Path(1) + " was not updated (User Selection)",
                                      "Updated File " + this->Path(2)}));
  EXPECT_EQ(update.closing, "Demo was sucessfully updated");
  EXPECT_FALSE(this->Exists(this->Path(1)));
  // Selected and missing: nothing is replaced.
  this->Install(this->Path(0), this->v10_[0]);
  update = this->Update();
  EXPECT_EQ(update.lines, std::vector<std::string>{this->Path(1) + " error [File Not Found]"});
  EXPECT_EQ(update.closing, "Demo could not be updated.");
  EXPECT_EQ(this->Installed(this->Path(0)), this->v10_[0]);
}

TYPED_TEST_P(ScenarioTest, DamagedPayloadChangesNothing) {
  this->Product(5, [](DocumentPlan& plan) {
    std::vector<uint8_t>& stored = plan.items[0].payload;
    for (size_t i = 0; i < stored.size(); i += 7) stored[i] ^= 0x5A;
  });
  RunOutcome check = this->Check();  // a check does not read the stored contents
  EXPECT_EQ(check.closing, "Demo can be sucessfully updated");
  RunOutcome update = this->Update();
  EXPECT_EQ(update.lines,
            std::vector<std::string>{this->Path(0) + " error [Cannot Decompress. UPD may be "
                                                     "corrupted]"});
  EXPECT_EQ(update.closing, "Demo could not be updated.");
  this->ExpectInstalled(this->v10_);
}

TYPED_TEST_P(ScenarioTest, AbsoluteTargetAndTheProposedDirectory) {
  this->Product();
  Bytes oldTool = MakeProgram(kV10, 0, 5000, 40);
  Bytes newTool = MakeProgram(kV11, 0, 5200, 41);
  this->Install(this->Win("TOOLS\\T.EXE"), oldTool);
  EntryPlan a(kDemoNames[0]);
  a.newBytes = this->v11_[0];
  a.previous = {this->v10_[0]};
  EntryPlan tool("T.EXE", 3, this->Win("TOOLS"));
  tool.newBytes = newTool;
  tool.previous = {oldTool};
  this->Build({a, tool}, [&](DocumentPlan& plan) {
    plan.formatVersion = 5;
    plan.productName = "Demo";
    plan.failureMessage = "Demo could not be updated.";
    plan.defaultDirectory = this->Win("APP");
  });
  this->app_.updateFile.reset();
  RunRequest request;
  request.doUpdate = true;
#ifdef _WIN32
  request.proposedDirectory = true;  // format 5: the default directory, which has a drive
#endif
  RunOutcome update = this->RunWith(request);
  EXPECT_EQ(update.lines, (std::vector<std::string>{"Updated File " + this->Path(0),
                                                    "Updated File " + this->Win("TOOLS\\T.EXE")}));
  EXPECT_EQ(update.closing, "Demo was sucessfully updated");
  EXPECT_EQ(this->Installed(this->Win("TOOLS\\T.EXE")), newTool);
}

TYPED_TEST_P(ScenarioTest, FormatSixProposesTheRegistryPath) {
#ifndef _WIN32
  GTEST_SKIP() << "the registry path is read on Windows only";
#else
  this->Product(6, [&](DocumentPlan& plan) { plan.defaultDirectory = this->Win("ELSEWHERE"); });
  HKEY key;
  const char* subkey = "Software\\Scenario Maker\\Demo\\1.0";
  ASSERT_EQ(
      RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
      ERROR_SUCCESS);
  std::string installDir = this->Win("APP");
  RegSetValueExA(key, "PathName", 0, REG_SZ, reinterpret_cast<const BYTE*>(installDir.c_str()),
                 static_cast<DWORD>(installDir.size() + 1));
  RegCloseKey(key);
  RunRequest request;
  request.proposedDirectory = true;
  RunOutcome check = this->RunWith(request);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, subkey);
  EXPECT_EQ(check.lines, this->Lines(" will be updated", " will be updated", " will be updated"));
  EXPECT_EQ(check.closing, "Demo can be sucessfully updated");
#endif
}

REGISTER_TYPED_TEST_SUITE_P(ScenarioTest, UpdateThenASecondUpdateOverTheFirst,
                            NewerAndLocallyModifiedFiles, DeselectedComponentAndMissingFile,
                            DamagedPayloadChangesNothing, AbsoluteTargetAndTheProposedDirectory,
                            FormatSixProposesTheRegistryPath);
