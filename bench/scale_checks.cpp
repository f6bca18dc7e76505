#include "scale_checks.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "bench_product.h"

namespace fs = std::filesystem;

namespace bench {

// The check of the same update, signed, with a trust entry for its installation directory
// (which resolves every target and checks the signature) and without one, each the best of
// two taken in turn. A copy is signed: scale.upd stays the unsigned build the Windows side
// compares its own with.
void TrustedCheck(const std::string& updpack, const std::string& cli, const std::string& root) {
  const std::string key = root + "/vendor.key", pub = root + "/vendor.pub";
  const std::string upd = root + "/signed.upd", store = root + "/trust.txt";
  if (std::system(("cp '" + root + "/scale.upd' '" + upd + "' && '" + updpack +
                   "' keygen --private '" + key + "' --public '" + pub + "' >/dev/null 2>&1 && '" +
                   updpack + "' sign '" + upd + "' --key '" + key +
                   "' -q && printf '%s\\t%s\\n' \"$('" + updpack + "' key show '" + pub + "')\" '" +
                   root + "/install' > '" + store + "'")
                      .c_str()) != 0) {
    Fail("cannot sign the update and record its key");
  }
  double with = 1e9, without = 1e9;
  for (int round = 0; round < 2; ++round) {
    with = std::min(
        with, Timed({cli, "check", upd, "--dir", root + "/install", "--trust-store", store}, 1));
    without = std::min(without, Timed({cli, "check", upd, "--dir", root + "/install"}, 1));
  }
  std::remove(upd.c_str());
  std::printf("scale trust: check with a trust entry %.2f s, without %.2f s\n", with, without);
  std::fflush(stdout);
}

// The check of the same product built with every entry matched by its bytes, beside the
// sampled check and one read of the installed files (cat), each the best of two in turn.
void ExactCheck(const std::string& updpack, const std::string& cli, const std::string& root,
                const std::string& manifestPath) {
  nlohmann::json manifest = nlohmann::json::parse(std::ifstream(manifestPath));
  for (nlohmann::json& entry : manifest["files"]) entry["match"] = "exact";
  const std::string exactManifest = root + "/exact.json", exact = root + "/exact.upd";
  std::ofstream(exactManifest) << manifest.dump(1);
  Timed({updpack, "build", exactManifest, "-o", exact, "-q"}, 0);
  const std::string install = root + "/install";
  double byBytes = 1e9, sampled = 1e9, read = 1e9;
  for (int round = 0; round < 2; ++round) {
    byBytes = std::min(byBytes, Timed({cli, "check", exact, "--dir", install}, 1));
    sampled = std::min(sampled, Timed({cli, "check", root + "/scale.upd", "--dir", install}, 1));
    read = std::min(
        read,
        Timed({"/bin/sh", "-c", "find '" + install + "' -type f -exec cat {} + >/dev/null"}, 0));
  }
  fs::remove(exact);
  std::printf("scale exact: check by bytes %.2f s, sampled %.2f s, cat %.2f s\n", byBytes, sampled,
              read);
  std::fflush(stdout);
}

void BuildJobs(const std::string& updpack, const std::string& root,
               const std::string& manifestPath) {
  const std::string out = root + "/jobs.upd";
  double seconds[2] = {1e9, 1e9};
  for (int round = 0; round < 2; ++round) {
    for (int jobs : {1, 2}) {
      double took =
          Timed({updpack, "build", manifestPath, "-o", out, "-q", "-j", std::to_string(jobs)}, 0);
      seconds[jobs - 1] = std::min(seconds[jobs - 1], took);
      fs::remove(out);
    }
  }
  std::printf("scale jobs: build -j 1 %.2f s, -j 2 %.2f s\n", seconds[0], seconds[1]);
  std::fflush(stdout);
}

}  // namespace bench
