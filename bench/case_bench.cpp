// Names found in any case: a product of 4,000 small files in one folder, checked and updated
// with vareri-cli on an installed tree whose names are in lower case while the update names
// them in upper case, beside the same runs on a tree whose names are the update's own (the
// reference: there every installed name is found as spelled). Each run is the best of a few,
// taken in turn; every update starts from a fresh copy of the old tree.
// Usage: case_bench NATIVE_BUILD_DIR [--files N] [--product DIR]
// (--product: only makes the trees lower/ and exact/ and the update file case.upd in DIR, for
// a probe to run on, and times nothing)
// Output: "case: N files, check C s, update U s, exact names check C0 s, update U0 s"
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "bench_manifest.h"
#include "bench_product.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using namespace bench;

namespace {

constexpr int kFiles = 4000;
constexpr int kCheckRounds = 5;
constexpr int kUpdateRounds = 3;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// old/, new/ and the manifest under `root`: files F00000.DLL ... in the folder BIN, as the
// update names them. Returns the names.
std::vector<std::string> MakeProduct(const std::string& root, int files) {
  std::mt19937 random(20240702);
  std::vector<size_t> sizes = FileSizes(files, 6000.0 * files, 2048, 16384, random);
  SamplePool pool;
  nlohmann::json entries = nlohmann::json::array();
  Bytes oldBytes, newBytes;
  std::vector<std::string> names;
  for (const char* side : {"old", "new"}) fs::create_directories(root + "/" + side);
  for (int i = 0; i < files; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "F%05d.DLL", i);
    MakePair(pool, i, sizes[i], random, oldBytes, newBytes);
    WriteBytes(root + "/old/" + name, oldBytes);
    WriteBytes(root + "/new/" + name, newBytes);
    names.push_back(name);
    entries.push_back(ManifestEntry(name, "BIN", name));
  }
  WriteManifest(root + "/manifest.json", "Case", "The case benchmark's product", "C:\\CASE",
                entries);
  return names;
}

// The old versions installed under `dir`, in the folder and with the names the update gives
// them, or all in lower case.
void Install(const std::string& root, const std::string& dir, const std::vector<std::string>& names,
             bool lowerCase) {
  fs::remove_all(dir);
  std::string folder = dir + (lowerCase ? "/bin" : "/BIN");
  fs::create_directories(folder);
  for (const std::string& name : names) {
    fs::copy_file(root + "/old/" + name, folder + "/" + (lowerCase ? Lower(name) : name));
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  int files = kFiles;
  std::string keep;
  TakeOptions(args, &files, &keep);
  if (args.size() != 1 || files < 1) {
    std::fprintf(stderr, "usage: case_bench NATIVE_BUILD_DIR [--files N] [--product DIR]\n");
    return 2;
  }
  const std::string native = fs::absolute(args[0]).string();
  const std::string updpack = native + "/tools/updpack/updpack";
  const std::string cli = native + "/tools/cli/vareri-cli";
  TempDir dir;
  const std::string root = keep.empty() ? dir.path() : fs::absolute(keep).string();
  const std::string upd = root + "/case.upd";
  const std::string lower = root + "/lower", exact = root + "/exact";

  std::vector<std::string> names = MakeProduct(root, files);
  Install(root, lower, names, true);
  Install(root, exact, names, false);
  Timed({updpack, "build", root + "/manifest.json", "-o", upd, "-q"}, 0);
  if (!keep.empty()) return 0;

  double check = 1e9, exactCheck = 1e9;
  for (int round = 0; round < kCheckRounds; ++round) {
    check = std::min(check, Timed({cli, "check", upd, "--dir", lower, "--quiet"}, 1));
    exactCheck = std::min(exactCheck, Timed({cli, "check", upd, "--dir", exact, "--quiet"}, 1));
  }
  double update = 1e9, exactUpdate = 1e9;
  for (int round = 0; round < kUpdateRounds; ++round) {
    if (round > 0) {
      Install(root, lower, names, true);
      Install(root, exact, names, false);
    }
    update = std::min(update, Timed({cli, "update", upd, "--dir", lower, "--quiet"}, 0));
    exactUpdate = std::min(exactUpdate, Timed({cli, "update", upd, "--dir", exact, "--quiet"}, 0));
  }
  for (const std::string& name : names) {
    if (!SameContents(lower + "/bin/" + Lower(name), root + "/new/" + name) ||
        !SameContents(exact + "/BIN/" + name, root + "/new/" + name)) {
      Fail(name + " differs from its new version after the update");
    }
  }
  if (fs::exists(lower + "/BIN") || fs::exists(lower + "/bin/" + names[0])) {
    Fail("the update made names of its own beside the installed ones");
  }
  std::printf(
      "case: %d files, check %.3f s, update %.2f s, exact names check %.3f s, update %.2f s\n",
      files, check, update, exactCheck, exactUpdate);
  return 0;
}
