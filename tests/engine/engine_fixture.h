// A product installed in a fresh temporary directory and an update file for it, made with
// real compression, version resources and fingerprints, for the engine's tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "session/app_state.h"
#include "support/temp_dir.h"
#include "support/test_env.h"
#include "writer/document_writer.h"

using Bytes = std::vector<uint8_t>;

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
  // Runs a check or an update the way the main window does.
  void Run(bool doUpdate);
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
};
