#include "entry_checks.h"

#include "model/samples.h"
#include "pack.h"

bool SamplesFit(uint32_t size, SampleParameters samples) {
  return SamplesFit(size, samples.count, samples.length);
}

SampleParameters FittingSamples(uint32_t size, SampleParameters wanted) {
  if (SamplesFit(size, wanted)) return wanted;
  uint32_t count = wanted.length == 0 ? size / 2 : size / (2u * wanted.length);
  if (count >= 1) return {static_cast<uint16_t>(count), wanted.length};
  if (size >= 2) return {1, static_cast<uint16_t>(size / 2)};
  return {};
}

std::string NotOlderProblem(const CFileStamp& previous, const CFileStamp& expected) {
  if (previous.CompareVersion(expected) == 0) return "";
  if ((previous.versionMS | previous.versionLS | expected.versionMS | expected.versionLS) == 0) {
    return "neither this file nor the new one has a version resource (both are 0.0.0.0), so "
           "the updater would call an installed copy up to date and never replace it; give "
           "the file a version resource, or leave the entry out";
  }
  return "its version " + previous.VersionText() + " is not older than the new version " +
         expected.VersionText() +
         ", so the updater would never replace it; give the new file a higher version, or "
         "leave this previous version out";
}

void CheckPrevious(const ItemPlan& item, const OrderPlan& order, SampleParameters samples,
                   const std::string& where, bool byIdentity, bool removal) {
  // Two files without a version resource are told apart by their bytes; a versioned previous
  // version must still be older.
  bool unversioned = ((order.stamp.versionMS | order.stamp.versionLS |
                       item.expectedStamp.versionMS | item.expectedStamp.versionLS) == 0);
  std::string problem = removal || (byIdentity && unversioned)
                            ? ""
                            : NotOlderProblem(order.stamp, item.expectedStamp);
  if (!problem.empty()) throw PackError(where + ": " + problem);
  // Known by their bytes, they need no samples; pack refuses the same bytes listed twice.
  if (byIdentity) return;
  for (size_t k = 0; k < item.previousVersions.size(); ++k) {
    const OrderPlan& other = item.previousVersions[k];
    if (other.stamp.versionMS == order.stamp.versionMS &&
        other.stamp.versionLS == order.stamp.versionLS && other.stamp.size == order.stamp.size &&
        other.fingerprint == order.fingerprint) {
      throw PackError(where + ": the same previous version as previous[" + std::to_string(k) +
                      "] (" + order.stamp.VersionText() + ", " + std::to_string(order.stamp.size) +
                      " bytes, the same samples); list it once");
    }
  }
  uint32_t size = order.stamp.size;
  if (SamplesFit(size, samples)) return;
  // Fewer samples of the same length, or as many shorter ones; for a tiny file, one short one.
  std::string ways;
  uint32_t count = samples.length ? size / (2u * samples.length) : size / 2;
  uint64_t step = SampleStep(size, samples.count);
  if (count >= 1) ways = "sampleCount " + std::to_string(count) + " or less";
  if (step >= 1) {
    ways += (ways.empty() ? "" : ", or ") + ("sampleLength " + std::to_string(step) + " or less");
  }
  if (ways.empty() && size >= 2) {
    ways = "sampleCount 1 with sampleLength " + std::to_string(size / 2) + " or less";
  }
  throw PackError(where + ": with sampleCount " + std::to_string(samples.count) +
                  " and sampleLength " + std::to_string(samples.length) + ", the samples of this " +
                  std::to_string(size) +
                  "-byte file would overlap and check less than they seem to; " +
                  (ways.empty() ? "it is too small to be sampled: leave this previous version out"
                                : "use " + ways));
}
