// The trust store decides which key a run needs, whatever the update file says of itself. One
// table of crafted and honest updates through vareri-cli: natively with the store in a file,
// under Wine (trust_registry.sh, a prefix of its own) with the store in the registry. The store
// holds directory D with key K (tests/data/trust's vendor key); every refusal leaves D's files
// as they were.
#include "platform/trust_store.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "cli_in_process.h"
#include "engine/engine_fixture.h"
#include "platform/signature.h"
#include "support/trust_data.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

const char* const kFiles[] = {"TRUST.EXE", "TRUSTLIB.DLL"};

class TrustStoreTest : public EngineTest {
 protected:
  void SetUp() override {
#ifdef _WIN32
    // The registry's store is the machine's: only in the prefix trust_registry.sh makes.
    if (!std::getenv("VARERI_TRUST_REGISTRY")) GTEST_SKIP() << "run by trust_registry.sh";
    base_ = "C:\\vareri-trust";
#else
    // Drive C: of a Windows path is the current directory's tree natively.
    previous_ = fs::current_path();
    fs::current_path(Native(root_));
    base_ = "C:\\TRUSTED";
    fs::create_directories(Native(base_ + "\\APP"));
    fs::create_directory_symlink(fs::absolute(Native(base_ + "\\APP")), Native(base_ + "\\LINK"));
    where_.file = Native(Win("trust.txt"));
#endif
    fs::create_directories(Native(base_ + "\\ELSE"));
    ASSERT_EQ(AddTrustEntry(where_, D(), K(), false), "");
  }

  void TearDown() override {
    size_t removed = 0;
    if (!base_.empty()) RemoveTrustEntries(where_, D(), false, &removed);
    Policy(false);
#ifndef _WIN32
    if (!previous_.empty()) fs::current_path(previous_);
#endif
  }

  std::string D() const { return base_ + "\\APP"; }
  // K's one-line text.
  static std::string K() { return TrustText("vendor.txt").substr(0, 99); }

  void Policy(bool on) {
#ifdef _WIN32
    HKEY key;
    if (on && ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kPolicyKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &key, nullptr) == ERROR_SUCCESS) {
      DWORD one = 1;
      ::RegSetValueExA(key, kPolicyValue, 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4);
      ::RegCloseKey(key);
    }
    if (!on) ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kPolicyKey);
#else
    std::ifstream in(where_.file);
    std::string kept;
    for (std::string line; std::getline(in, line);) {
      if (line != "require-signature") kept += line + "\n";
    }
    std::ofstream(where_.file) << kept << (on ? "require-signature\n" : "");
#endif
  }

  // Both files of release `version` in `dir`.
  void InstallRelease(const std::string& dir, const char* version) {
    for (const char* name : kFiles) {
      Install(dir + "\\" + name, TrustData(std::string(version) + "/" + name));
    }
  }
  bool Holds(const std::string& dir, const char* version) {
    for (const char* name : kFiles) {
      if (Installed(dir + "\\" + name) != TrustData(std::string(version) + "/" + name)) {
        return false;
      }
    }
    return true;
  }

  // An attacker's update, unsigned: TRUST.EXE 1.0 replaced by other bytes, under `kind`
  // (`directory` for the absolute kind), the default directory and format as given.
  Bytes Crafted(uint16_t format, const std::string& defaultDirectory, uint16_t kind = 2,
                const std::string& directory = "") {
    EntryPlan entry("TRUST.EXE", kind, directory);
    entry.newBytes = MakeProgram(0x00020000, 0, 6000, 77);
    entry.previous = {TrustData("1.0/TRUST.EXE")};
    Build({entry}, [&](DocumentPlan& plan) {
      plan.formatVersion = format;
      plan.defaultDirectory = defaultDirectory;
      plan.registryPath[0] = "VareriTrustTesT";  // one letter away from the product's
      plan.registryPath[1] = "Product";
      plan.registryPath[2] = "1.0";
    });
    app_.updateFile.reset();
    return Installed(updatePath_);
  }

  CliOutput Cli(const char* command, const Bytes& update, std::vector<std::string> more) {
    Install(Win("trust.upd"), update);
    std::vector<std::string> args = {command, Win("trust.upd")};
#ifndef _WIN32
    args.insert(args.end(), {"--trust-store", where_.file});
#endif
    args.insert(args.end(), more.begin(), more.end());
    return RunCliInProcess(args, &env_);
  }

  std::string base_;
  TrustStoreLocation where_;
  fs::path previous_;
};

TEST_F(TrustStoreTest, WhatARunWouldChangeDecidesTheKeyItNeeds) {
  const Bytes signedK = TrustData("signed.upd");
  const Bytes signedOther = TrustData("signed-other.upd");
  std::string shortD = D();
#ifdef _WIN32
  char shortName[MAX_PATH];
  DWORD n = ::GetShortPathNameA(D().c_str(), shortName, sizeof shortName);
  ASSERT_TRUE(n > 0 && n < sizeof shortName);
  shortD = shortName;
  ASSERT_NE(shortD, D());
#endif
  const struct {
    const char* name;
    Bytes update;
    std::vector<std::string> args;
    bool policy;
    int status;
    const char* says;  // on the error stream
  } cases[] = {
      {"format 5, its default directory D", Crafted(5, D()), {}, false, 4, "is not signed"},
      {"format 6, another registry path", Crafted(6, D()), {}, false, 4, "is not signed"},
      {"an absolute entry into D",
       Crafted(6, base_ + "\\ELSE", 3, D()),
       {},
       false,
       4,
       "is not signed"},
      {"a system file, should it fall back into D",
       Crafted(6, D(), 1),
       {"--system-dir", base_ + "\\ELSE"},
       false,
       4,
       "is not signed"},
      {"--dir through a link", signedOther, {"--dir", base_ + "\\LINK"}, false, 4, "another key"},
      {"--dir by its short name", signedOther, {"--dir", shortD}, false, 4, "another key"},
      {"--dir with ..", signedOther, {"--dir", base_ + "\\ELSE\\..\\APP"}, false, 4, "another key"},
      {"--dir with a trailing separator",
       signedOther,
       {"--dir", D() + "\\"},
       false,
       4,
       "another key"},
      {"--dir in other letters", signedOther, {"--dir", base_ + "\\app"}, false, 4, "another key"},
      {"signed by another key", signedOther, {"--dir", D()}, false, 4, "another key"},
      {"signed by K, --key another",
       signedK,
       {"--dir", D(), "--key", TrustDataPath("other.pub")},
       false,
       4,
       "one update file cannot be signed by both"},
      {"the policy, outside every entry",
       signedK,
       {"--dir", base_ + "\\ELSE"},
       true,
       4,
       "no trust entry covers"},
      {"signed by K", signedK, {"--dir", D()}, false, 0, "signature verified"},
      {"no entry, no policy", Crafted(6, base_ + "\\ELSE"), {}, false, 0, ""},
  };
  for (const auto& c : cases) {
    InstallRelease(D(), "1.0");
    InstallRelease(base_ + "\\ELSE", "1.0");
    Policy(c.policy);
    CliOutput run = Cli("update", c.update, c.args);
    EXPECT_EQ(run.status, c.status) << c.name << ": " << run.err;
    EXPECT_TRUE(Contains(run.err, c.says)) << c.name;
    if (c.status == 0) {
      EXPECT_FALSE(Holds(c.args.empty() ? base_ + "\\ELSE" : D(), "1.0")) << c.name;
    } else {
      EXPECT_TRUE(Holds(D(), "1.0")) << c.name;
      EXPECT_TRUE(Holds(base_ + "\\ELSE", "1.0")) << c.name;
      // A check is refused alike: it never promises what the update would refuse.
      EXPECT_EQ(Cli("check", c.update, c.args).status, c.status) << c.name;
    }
    Policy(false);
  }
}

TEST_F(TrustStoreTest, AStoreThatCannotBeReadRefusesEveryRun) {
  InstallRelease(base_ + "\\ELSE", "1.0");
  const Bytes unsigned_ = Crafted(6, base_ + "\\ELSE");
#ifdef _WIN32
  // A Directory that is no string.
  HKEY key;
  std::string bad = std::string(kTrustStoreKey) + "\\Broken";
  ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, bad.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
            ERROR_SUCCESS);
  DWORD value = 1;
  ::RegSetValueExA(key, "Directory", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4);
  ::RegSetValueExA(key, "Key", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2);
  ::RegCloseKey(key);
  CliOutput run = Cli("update", unsigned_, {});
  ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, bad.c_str());
  EXPECT_TRUE(Contains(run.err, "Directory is not a string value"));
  EXPECT_EQ(run.status, 4);
#else
  const struct {
    std::string line;
    const char* says;
  } broken[] = {
      {"ecdsa-p256 AAAA\tC:\\X", "holds no valid key"},
      {K() + "\tAPP", "which is not a full path"},
      {"just words", "is not an entry"},
  };
  const std::string good = K() + "\t" + D() + "\n";
  for (const auto& b : broken) {
    std::ofstream(where_.file) << good << b.line << "\n";
    CliOutput run = Cli("update", unsigned_, {});
    EXPECT_EQ(run.status, 4) << b.line;
    EXPECT_TRUE(Contains(run.err, b.says)) << run.err;
  }
  // A store that is there but cannot be read: a directory in its place.
  CliOutput run =
      RunCliInProcess({"check", Win("trust.upd"), "--trust-store", Native(root_)}, &env_);
  EXPECT_EQ(run.status, 4);
  EXPECT_TRUE(Contains(run.err, "cannot be read"));
#endif
  EXPECT_TRUE(Holds(base_ + "\\ELSE", "1.0"));
}

TEST_F(TrustStoreTest, TheTrustCommandWritesAndReadsTheStore) {
  std::vector<std::string> store;
#ifndef _WIN32
  store = {"--trust-store", where_.file};
#endif
  auto trust = [&](std::vector<std::string> args) {
    args.insert(args.begin(), "trust");
    args.insert(args.end(), store.begin(), store.end());
    return RunCliInProcess(args, &env_);
  };
  PublicKey other;
  ASSERT_EQ(ParsePublicKey(TrustText("other.pub"), &other), "");
  std::string place = base_ + "\\ELSE";
  EXPECT_EQ(trust({"add", "--dir", place, "--key", TrustDataPath("other.pub")}).out,
            place + " now takes only updates signed by key " + other.Id().Hex() + "\n");
  CliOutput listed = trust({"list"});
  EXPECT_EQ(listed.status, 0);
  EXPECT_TRUE(Contains(listed.out, other.Id().Hex() + "\t" + place + "\t"));
#ifndef _WIN32
  // The store named by the environment, when no option names one.
  ::setenv("VARERI_TRUST_STORE", where_.file.c_str(), 1);
  EXPECT_EQ(RunCliInProcess({"trust", "list"}, &env_).out, listed.out);
  ::unsetenv("VARERI_TRUST_STORE");
#endif
  // The same directory by another spelling replaces its key.
  EXPECT_EQ(trust({"add", "--dir", place + "\\", "--key", K()}).status, 0);
  EXPECT_FALSE(Contains(trust({"list"}).out, other.Id().Hex()));
  EXPECT_EQ(trust({"remove", "--dir", place}).out, "removed the trust entry for " + place + "\n");
  EXPECT_FALSE(Contains(trust({"list"}).out, place));
  EXPECT_EQ(trust({"add", "--dir", "APP", "--key", K()}).status, 64);
  EXPECT_EQ(trust({"add", "--dir", place, "--key", "ecdsa-p256 AAAA"}).status, 64);
}

}  // namespace
