// vareri-cli and signed updates: the experiment of a damaged download (every single-byte
// change of a signed update is refused, and no installed file changes), and what the summary
// says. The key a product recorded is the window's test (tests/gui/trust_gui_test.cpp).
#include <gtest/gtest.h>

#include <sstream>

#include "cli.h"
#include "engine/engine_fixture.h"
#include "support/trust_data.h"

namespace {

class TrustCliTest : public EngineTest {
 protected:
  struct Outcome {
    int status;
    std::string out, err;
  };

  TrustCliTest() {
    for (const char* name : kFiles) Install(Win(std::string("APP\\") + name), Data("1.0", name));
    updatePath_ = Win("trust.upd");
  }

  static Bytes Data(const char* version, const char* name) {
    return TrustData(std::string(version) + "/" + name);
  }

  // Writes `update` and runs vareri-cli in this process on it, in the fixture's directories.
  Outcome Cli(const char* command, const Bytes& update, std::vector<std::string> more = {}) {
    Install(updatePath_, update);
    std::vector<std::string> args = {"vareri-cli", command, updatePath_, "--dir", Win("APP")};
    args.insert(args.end(), more.begin(), more.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    std::ostringstream out, err;
    int status = RunCli(static_cast<int>(args.size()), argv.data(), out, err, env_);
    return Outcome{status, out.str(), err.str()};
  }

  // Whether every installed file is whole in `version` and no temporary file is left.
  bool InstalledAre(const char* version) {
    for (const char* name : kFiles) {
      if (Installed(Win(std::string("APP\\") + name)) != Data(version, name)) return false;
    }
    return Leftovers().empty();
  }

  static constexpr const char* kFiles[] = {"TRUST.EXE", "TRUSTLIB.DLL"};
};

TEST_F(TrustCliTest, EverySingleByteChangeOfASignedUpdateIsRefused) {
  const Bytes good = TrustData("signed.upd");
  const std::vector<std::string> key = {"--key", TrustDataPath("vendor.pub")};
  // 256 places spread over the whole file (header, entries, fingerprints, stored contents,
  // record), and every byte of the footer.
  std::vector<size_t> places;
  for (size_t k = 0; k < 256; ++k) places.push_back(k * good.size() / 256 + k % 5);
  for (size_t k = 1; k <= 16; ++k) places.push_back(good.size() - k);
  for (size_t at : places) {
    Bytes bad = good;
    bad[at] ^= static_cast<uint8_t>(1 << (at % 8));
    Outcome refused = Cli("update", bad, key);
    EXPECT_EQ(refused.status, kExitUnreadable) << "byte " << at << ": " << refused.err;
    ASSERT_TRUE(InstalledAre("1.0")) << "byte " << at;
  }
  Outcome updated = Cli("update", good, key);
  EXPECT_EQ(updated.status, kExitUpToDate) << updated.err;
  EXPECT_TRUE(InstalledAre("1.1"));
}

TEST_F(TrustCliTest, TheSummarySaysWhatWasChecked) {
  const Bytes good = TrustData("signed.upd");
  PublicKey vendor;
  ASSERT_EQ(ParsePublicKey(TrustText("vendor.txt"), &vendor), "");
  std::string id = vendor.Id().Hex();
  Outcome verified = Cli("check", good, {"--key", TrustDataPath("vendor.txt"), "--json"});
  EXPECT_EQ(verified.status, kExitUpdatable);
  EXPECT_EQ(verified.err,
            "vareri-cli: the update file matches the digests of its integrity record; it is signed "
            "by key " +
                id + ", signature verified\n");
  EXPECT_NE(verified.out.find(",\"integrity\":{\"record\":true,\"digestsChecked\":true,\"signed\":"
                              "true,\"keyId\":\"" +
                              id + "\",\"signatureVerified\":true},"),
            std::string::npos)
      << verified.out;
  Outcome unchecked = Cli("check", good);
  EXPECT_EQ(unchecked.status, kExitUpdatable);
  EXPECT_NE(unchecked.err.find("it claims to be signed by key " + id +
                               "; no key required it, so it was not checked"),
            std::string::npos)
      << unchecked.err;
  EXPECT_EQ(Cli("check", good, {"--key", Win("none.pub")}).status, kExitUsage);
  // The key's own text, PEM or one line, blanks before it allowed, instead of a file's name.
  for (const std::string& text : {TrustText("vendor.pub"), " \n" + TrustText("vendor.txt")}) {
    EXPECT_EQ(Cli("check", good, {"--key", text}).status, kExitUpdatable) << text;
  }
  EXPECT_TRUE(InstalledAre("1.0"));
}

}  // namespace
