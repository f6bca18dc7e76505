// A product installed in a fresh temporary directory and an update file for it, made with
// real compression, version resources and fingerprints; and product Demo, the one the
// whole-run tests (engine runs, vareri-cli, the scenarios, the window) share.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "session/app_state.h"
#include "support/temp_dir.h"
#include "support/test_env.h"
#include "writer/document_writer.h"

using Bytes = std::vector<uint8_t>;

// Whether `text` holds `part`, as an assertion that shows both when it does not.
inline ::testing::AssertionResult Contains(const std::string& text, const std::string& part) {
  if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "no \"" << part << "\" in \"" << text << "\"";
}

// File versions 1.0, 1.1 and 1.2 (the high word of a version).
constexpr uint32_t kV10 = 0x00010000, kV11 = 0x00010001, kV12 = 0x00010002;

// A PE image of `size` bytes (at least the image itself) with the given file version.
Bytes MakeProgram(uint32_t versionMS, uint32_t versionLS, size_t size, uint32_t seed);

// One file entry of a test update.
struct EntryPlan {
  EntryPlan() = default;
  explicit EntryPlan(std::string fileName, uint16_t directoryKind = 2, std::string dir = "")
      : name(std::move(fileName)), kind(directoryKind), directory(std::move(dir)) {}

  std::string name;
  uint16_t kind = 2;
  std::string directory;
  uint16_t selected = 1;
  Bytes newBytes;                         // the new version
  uint32_t versionMS = 0, versionLS = 0;  // the new version's version
  std::vector<Bytes> previous;            // accepted previous versions (their versions are read)
  // What the entry does and how its versions are known; any but a plain replacement gives the
  // update file an integrity record with the entry actions.
  EntryAction action = EntryAction::replace;
  bool exact = false;
};

// Product Demo: A.DLL (component Program), B.DLL (Help, not selected by default) and E.DLL
// (Engine) under APP, each made in releases 1.0, 1.1 and 1.2. A.DLL 1.0 is build 1.0.0.5;
// the update's failure message is "Demo could not be updated.".
constexpr size_t kDemoFiles = 3;
extern const char* const kDemoNames[kDemoFiles];
using DemoRelease = std::array<Bytes, kDemoFiles>;

// What a test changes about Demo and its update.
struct DemoOptions {
  uint16_t format = 6;
  std::function<void(DocumentPlan&)> tweak;  // has the last word on the update
  size_t bigger = 0;                         // bytes added to every release of A.DLL
  bool earlierBuild = false;  // A.DLL also accepts another build of 1.0, listed first
  // Every file older: B.DLL selected too, and E.DLL a kindSystem file at 1.0 in APP\system,
  // where the fallback finds it. Otherwise E.DLL is already the release the update brings.
  bool allOlder = false;
  int brings = 1;  // the release the update brings (1 or 2); it accepts every earlier one
};

class EngineTest : public ::testing::Test {
 public:
  const AppState& app() const { return app_; }

 protected:
  EngineTest();

  // `relative` under the test's root, joined Windows-style.
  std::string Win(const std::string& relative) const { return root_ + "\\" + relative; }
  // The same path as the OS of this build takes it.
  static std::string Native(const std::string& windowsPath);

  void Install(const std::string& windowsPath, const Bytes& bytes);
  Bytes Installed(const std::string& windowsPath) const;
  bool Exists(const std::string& windowsPath) const;

  // Writes the update file for `entries` (after `tweak` has had its say) and opens it.
  void Build(const std::vector<EntryPlan>& entries,
             const std::function<void(DocumentPlan&)>& tweak = nullptr);
  // Installs Demo 1.0 (see DemoOptions::allOlder) and writes the update, as BuildDemoUpdate.
  void BuildDemo(const DemoOptions& options = {});
  // Makes Demo's releases up to `options.brings` into demo_ and writes the update that brings
  // that one, opened as Build leaves it; installs nothing.
  void BuildDemoUpdate(const DemoOptions& options = {});
  // Where BuildDemo installs Demo's file `i`.
  std::string DemoPath(size_t i, const DemoOptions& options = {}) const;

  // Loads the update file and sets its renaming option, as the options dialog does.
  void SetRenaming(bool renamePrevious);
  // Runs a check or an update the way the main window does.
  void Run(bool doUpdate);
  // The room files of `sizes` take on APP's volume, each rounded up to the volume's cluster,
  // as the update's check of free space counts them.
  uint64_t RoomFor(const std::vector<size_t>& sizes) const;
  // Temporary files left anywhere under the root: payload copies and new versions.
  std::vector<std::string> Leftovers() const;

  TempDir dir_;
  std::string root_;
  TestEnv env_;
  MemoryLog log_;
  AppState app_;
  std::string updatePath_;
  uint16_t sampleCount_ = 4;  // the fingerprint parameters Build uses
  uint16_t sampleLength_ = 32;
  DemoRelease demo_[3];  // Demo's releases 1.0 to 1.2 as the last BuildDemo made them
};
