// Telling the installed version apart: the comparison of versions and the fingerprint's
// sample check, on its own and through a run.
#include "engine/sample_check.h"

#include "engine/engine_fixture.h"
#include "writer/fingerprint.h"

namespace {

CFileStamp Version(uint32_t ms, uint32_t ls, uint32_t size = 100) {
  CFileStamp s;
  s.versionMS = ms;
  s.versionLS = ls;
  s.size = size;
  return s;
}

TEST(CompareVersion, SignedAndMostSignificantFirst) {
  CFileStamp installed = Version(0x00010000, 0x00050000);
  EXPECT_EQ(installed.CompareVersion(Version(0x00010000, 0x00070000)), 0);
  EXPECT_EQ(installed.CompareVersion(Version(0x00000009, 0x7FFFFFFF)), 2);
  EXPECT_EQ(installed.CompareVersion(Version(0x00010000, 0x00050000, 999)), 1);
  // Values with the top bit set are negative: 0x80000000 is older than 1.0.
  EXPECT_EQ(Version(0x80000000, 0).CompareVersion(Version(0x00010000, 0)), 0);
  EXPECT_EQ(Version(1, 0).CompareVersion(Version(1, 0xFFFFFFFF)), 2);
  // No version information against an expected 0.0: the same, whatever the size.
  EXPECT_EQ(Version(0, 0, 5).CompareVersion(Version(0, 0, 5000)), 1);
}

using InspectionTest = EngineTest;

// A small file's samples are read at once, a large one's one by one: the same either way.
class SampledRanges : public InspectionTest, public testing::WithParamInterface<uint32_t> {};
INSTANTIATE_TEST_SUITE_P(SmallAndLarge, SampledRanges, testing::Values(40000u, 200000u));

TEST_P(SampledRanges, AcceptChangesOnlyOutsideThem) {
  const uint16_t n = 4, m = 32;
  Bytes previous = MakeProgram(0x00010000, 0, GetParam(), 2);
  Bytes fingerprint = ComputeFingerprint(previous, n, m);
  uint32_t size = static_cast<uint32_t>(previous.size());
  uint32_t step = size / (2 * n);
  auto checkWith = [&](const Bytes& installedBytes, uint16_t count, uint16_t length) {
    MemoryFile installed(installedBytes);
    return SampleCheck(installed, fingerprint, size, count, length);
  };
  auto check = [&](const Bytes& installedBytes) { return checkWith(installedBytes, n, m); };
  EXPECT_EQ(check(previous), none);
  Bytes outside = previous;
  outside[step / 2] ^= 0xFF;  // between a copied sample and a summed one
  outside[size - 1] ^= 0xFF;
  EXPECT_EQ(check(outside), none);
  for (uint32_t at : {0u, m - 1u, step, step + m - 1u, 2 * step + 5, 7 * step + 3}) {
    Bytes inside = previous;
    inside[at] ^= 0x01;
    EXPECT_EQ(check(inside), previousVersionNotCompatible) << "byte " << at;
  }
  // Two bytes swapped inside a summed range keep the sum: a known limit of sums.
  Bytes swapped = previous;
  std::swap(swapped[step], swapped[step + 1]);
  if (swapped[step] != previous[step]) {
    EXPECT_EQ(check(swapped), none);
  }
  // Parameters no fingerprint can have: refused, never divided by or overrun.
  EXPECT_EQ(checkWith(previous, 0, m), previousVersionNotCompatible);
  EXPECT_EQ(checkWith(previous, n, 1025), previousVersionNotCompatible);
  // A fingerprint shorter than its pairs does not match.
  MemoryFile installed(previous);
  EXPECT_EQ(SampleCheck(installed, Bytes(fingerprint.begin(), fingerprint.end() - 1), size, n, m),
            previousVersionNotCompatible);
}

TEST_F(InspectionTest, SamplesThatOverlapMatchNothing) {
  // Past the end of a short file, or the largest fingerprint an update file can carry over a
  // small one: the samples would look at fewer bytes than they seem to.
  Bytes previous = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  MemoryFile installed(previous);
  EXPECT_EQ(SampleCheck(installed, ComputeFingerprint(previous, 1, 8), 10, 1, 8),
            previousVersionNotCompatible);
  EXPECT_EQ(SampleCheck(installed, ComputeFingerprint(previous, 1, 5), 10, 1, 5), none);
  Bytes program = MakeProgram(kV10, 0, 40000, 3);
  MemoryFile large(program);
  EXPECT_EQ(SampleCheck(large, ComputeFingerprint(program, 64, 1024), 40000, 64, 1024),
            previousVersionNotCompatible);
}

// An update whose sample parameters no fingerprint can have matches no installed file.
TEST_F(InspectionTest, SampleParametersNoFingerprintCanHave) {
  for (auto [count, length] : {std::pair<uint16_t, uint16_t>{0, 32}, {2, 2000}}) {
    sampleCount_ = count;
    sampleLength_ = length;
    BuildDemo();
    Run(false);
    EXPECT_EQ(log_.lines[0],
              DemoPath(0) + " error [Cannot Update. Previous Version not Compatible]")
        << count;
  }
  EXPECT_EQ(Installed(DemoPath(0)), demo_[0][0]);
}

}  // namespace
