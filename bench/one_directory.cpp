#include "one_directory.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "bench_manifest.h"
#include "bench_product.h"

namespace fs = std::filesystem;

namespace bench {

namespace {

constexpr const char* kFolder = "BIN";

// The seconds of one update of the first `count` of `names`, all in one directory.
double UpdateOneDirectory(const std::string& updpack, const std::string& cli,
                          const std::string& root, const std::vector<std::string>& names,
                          int count) {
  const std::string install = root + "/onedir";
  const std::string manifestPath = root + "/onedir.json", upd = root + "/onedir.upd";
  fs::create_directories(install + "/" + kFolder);
  nlohmann::json entries = nlohmann::json::array();
  for (int i = 0; i < count; ++i) {
    const std::string& relative = names[static_cast<size_t>(i)];
    const std::string name = fs::path(relative).filename().string();
    fs::copy_file(root + "/old/" + relative, install + "/" + kFolder + "/" + name);
    entries.push_back(ManifestEntry(name, kFolder, relative));
  }
  WriteManifest(manifestPath, "One directory", "Every file in one directory", "C:\\ONEDIR",
                entries);
  Timed({updpack, "build", manifestPath, "-o", upd, "-q"}, 0);
  double seconds = Timed({cli, "update", upd, "--dir", install}, 0);
  for (int i = 0; i < count; ++i) {
    const std::string& relative = names[static_cast<size_t>(i)];
    const std::string name = fs::path(relative).filename().string();
    if (!SameContents(install + "/" + kFolder + "/" + name, root + "/new/" + relative)) {
      Fail(name + " differs from its new version after the update of one directory");
    }
  }
  fs::remove_all(install);
  fs::remove(manifestPath);
  fs::remove(upd);
  return seconds;
}

}  // namespace

void OneDirectory(const std::string& updpack, const std::string& cli, const std::string& root,
                  const std::vector<std::string>& names, int files) {
  const int large = std::min<int>(files, static_cast<int>(names.size()));
  const int small = std::max(1, large / 10);
  double first = UpdateOneDirectory(updpack, cli, root, names, small);
  double second = UpdateOneDirectory(updpack, cli, root, names, large);
  std::printf("one directory: %d files %.3f s, %d files %.3f s\n", small, first, large, second);
  std::fflush(stdout);
}

}  // namespace bench
