// What decides a run is read once: the stamps and fingerprints a run compares come from the
// bytes the load read (and, for a file with digests, hashed), so rewriting the update file
// after the load changes nothing the run does. Natively, where the lock on the update file
// is only advisory; on Windows nothing else may open it while the program runs.
#include <fstream>

#include "archive/integrity_record.h"
#include "engine/engine_fixture.h"

namespace {

class ReadOnceTest : public EngineTest {
 protected:
  // A.DLL 1.0, known; the update brings 1.1, with digests when `withRecord`.
  void Product(bool withRecord) {
    old_ = MakeProgram(0x00010000, 0, 20000, 1);
    fresh_ = MakeProgram(0x00010001, 0, 24000, 2);
    Install(Win("APP\\A.DLL"), old_);
    EntryPlan a{"A.DLL"};
    a.newBytes = fresh_;
    a.previous = {old_};
    Build({a});
    if (!withRecord) return;
    app_.updateFile.reset();
    Bytes bytes = Installed(updatePath_);
    Bytes signedPart = EncodeSignedPart(
        static_cast<uint32_t>(bytes.size()), Sha256Of(bytes.data(), bytes.size()),
        {{static_cast<uint32_t>(fresh_.size()), Sha256Of(fresh_.data(), fresh_.size())}});
    Bytes record = EncodeIntegrityRecord(signedPart, nullptr);
    bytes.insert(bytes.end(), record.begin(), record.end());
    Install(updatePath_, bytes);
    app_.updateFile = OpenForReading(Native(updatePath_));
  }

  // Once the run opens its first installed file, the fingerprint and the previous version's
  // stamp in the update file are overwritten: read again, they would match nothing.
  void RewriteAfterTheLoad() {
    env_.before = [this](const std::string&) {
      if (rewritten_) return;
      rewritten_ = true;
      const CUpdateOrder& order = *app_.document.items[0]->previousVersions[0];
      std::fstream file(Native(updatePath_), std::ios::in | std::ios::out | std::ios::binary);
      std::string junk(order.fingerprintLength, '\x5A');
      file.seekp(order.fingerprintOffset - 4 - 8);  // the stamp's version
      file.write(junk.data(), 8);
      file.seekp(order.fingerprintOffset);
      file.write(junk.data(), order.fingerprintLength);
      ASSERT_TRUE(file.good());
    };
  }

  Bytes old_, fresh_;
  bool rewritten_ = false;
};

TEST_F(ReadOnceTest, RewritingTheUpdateFileAfterTheLoadChangesNothing) {
#ifdef _WIN32
  GTEST_SKIP() << "the update file is open without sharing: nothing can rewrite it";
#endif
  for (bool withRecord : {false, true}) {
    rewritten_ = false;
    app_.updateFile.reset();
    app_.document = VEzorazEdo();
    Product(withRecord);
    RewriteAfterTheLoad();
    Run(false);
    EXPECT_EQ(log_.lines, std::vector<std::string>{Win("APP\\A.DLL") + " will be updated"});
    EXPECT_TRUE(rewritten_);
    Run(true);
    EXPECT_TRUE(app_.runOk) << withRecord;
    EXPECT_EQ(Installed(Win("APP\\A.DLL")), fresh_) << withRecord;
  }
}

}  // namespace
