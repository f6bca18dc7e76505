// The scale benchmark: a product of 10,000 program files (about 157 MB, one previous version
// each) in 100 folders, built with updpack's defaults, checked and updated with vareri-cli,
// natively and (when the Windows build is there) with the Win32 programs under Wine, beside
// the references measured in the same run: cp of the new files; under Wine the version calls
// every check must make, CopyFileA of the new files (alone and with a flush of each copy), and
// vareri-cli.exe beside the window. The update is also set beside the best durable batch of
// the same files (bench/durable_batch.cpp), its peak memory shown, and the update of a product
// whose files all sit in one directory is timed at a tenth of the files and at all of them.
// updpack's peak memory is shown for this product and for one of fewer, larger files.
// Usage: scale_bench NATIVE_BUILD_DIR [WIN32_BUILD_DIR] [--files N] [--product DIR]
// (--files: a quicker run over fewer files of the same sizes; --product: only makes the
// product and its update file in DIR, old/, new/, install/ and scale.upd, for a probe to run
// on, and times nothing)
// Output:
//   "scale: N files, build T s (peak M MB), check C s, update U s, cp P s, cp+flush F s,
//   batch B s" (cp+flush: the same copy with every file flushed, as the update flushes every
//   new file; batch: durable_batch replacing the old files with the new ones)
//   "scale update memory: peak M MB"
//   "one directory: N1 files T1 s, N2 files T2 s"
//   "scale (wine): N files, build T s (peak M MB), check C s, update U s, cp P s"
//   "scale (wine) calls: version calls V s, replacement R s, CopyFileA K s,
//   CopyFileA+flush K2 s"
//   "scale memory: updpack peak M1 MB at S1 MB, M2 MB at S2 MB"
//   "window: N lines, check W s, vareri-cli.exe check C s, open O s (M MB), sha256sum S s"
//   "scale trust: check with a trust entry T s, without C s"
//   "scale exact: check by bytes E s, sampled S s, cat R s"
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "bench_manifest.h"
#include "bench_product.h"
#include "one_directory.h"
#include "scale_checks.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using namespace bench;

namespace {

constexpr int kFiles = 10000;
// With the 4 KB added to every other new file: about 157 MB of new files.
constexpr double kTotalBytes = 137e6;
constexpr int kFolders = 100;
// The second product for updpack's memory: fewer files, several times the bytes, some of
// them larger than what a build keeps in memory.
constexpr int kLargeFiles = 24;
constexpr double kLargeBytes = 400e6;

struct Product {
  std::string manifest;
  std::vector<std::string> names;  // relative to new/ and old/
  double megabytes = 0;            // of new files
};

// Writes old/ and new/ under `root` and the manifest that updates one with the other. With
// `smallPrevious` the previous versions are small programs of their own: enough for a product
// that is only built, whose previous versions are only sampled.
Product MakeProduct(const std::string& root, int files, double total, size_t smallest,
                    size_t largest, uint32_t seed, bool smallPrevious = false) {
  std::mt19937 random(seed);
  std::vector<size_t> sizes = FileSizes(files, total, smallest, largest, random);
  SamplePool pool;
  Product product;
  nlohmann::json entries = nlohmann::json::array();
  Bytes oldBytes, newBytes, unused;
  for (int i = 0; i < files; ++i) {
    char folder[16], name[16];
    std::snprintf(folder, sizeof folder, "BIN%02d", i % kFolders);
    std::snprintf(name, sizeof name, "F%05d.DLL", i);
    std::string relative = std::string(folder) + "/" + name;
    for (const char* side : {"old", "new"})
      fs::create_directories(root + "/" + side + "/" + folder);
    MakePair(pool, i, sizes[i], random, oldBytes, newBytes);
    if (smallPrevious) MakePair(pool, i, 64 << 10, random, oldBytes, unused);
    WriteBytes(root + "/old/" + relative, oldBytes);
    WriteBytes(root + "/new/" + relative, newBytes);
    product.megabytes += newBytes.size() / 1e6;
    product.names.push_back(relative);
    entries.push_back(ManifestEntry(name, folder, relative));
  }
  product.manifest = root + "/manifest.json";
  WriteManifest(product.manifest, "Scale", "The scale benchmark's product", "C:\\SCALE", entries);
  return product;
}

void CopyTree(const std::string& from, const std::string& to) {
  if (std::system(("cp -r '" + from + "' '" + to + "'").c_str()) != 0) Fail("cannot copy " + from);
}

// The values of "key: V" or "key V" pairs after `prefix` in the line starting with it.
std::map<std::string, double> Figures(const std::vector<std::string>& lines,
                                      const std::string& prefix) {
  std::map<std::string, double> figures;
  for (const std::string& line : lines) {
    if (line.rfind(prefix + ": ", 0) != 0) continue;
    figures["first"] = std::atof(line.c_str() + prefix.size() + 2);
    for (const char* key : {"peak ", "exit ", ", "}) {
      size_t at = line.find(key, prefix.size() + 2);
      if (at != std::string::npos) figures[key] = std::atof(line.c_str() + at + std::strlen(key));
    }
  }
  return figures;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  int files = kFiles;
  std::string keep;
  TakeOptions(args, &files, &keep);
  if (args.empty() || args.size() > 2 || files < 1) {
    std::fprintf(stderr,
                 "usage: scale_bench NATIVE_BUILD_DIR [WIN32_BUILD_DIR] [--files N] "
                 "[--product DIR]\n");
    return 2;
  }
  const std::string native = fs::absolute(args[0]).string();
  const std::string updpack = native + "/tools/updpack/updpack";
  const std::string cli = native + "/tools/cli/vareri-cli";
  TempDir dir;
  const std::string root = keep.empty() ? dir.path() : fs::absolute(keep).string();
  const std::string upd = root + "/scale.upd";

  auto made = std::chrono::steady_clock::now();
  Product product = MakeProduct(root, files, kTotalBytes * files / kFiles, 4096, 65536, 20240615);
  CopyTree(root + "/old", root + "/install");
  std::fprintf(stderr, "scale_bench: %d files, %.0f MB new, made in %.1f s\n", files,
               product.megabytes, Since(made));

  struct rusage usage;
  if (!keep.empty()) {
    Timed({updpack, "build", product.manifest, "-o", upd, "-q"}, 0);
    return 0;
  }
  double build = Timed({updpack, "build", product.manifest, "-o", upd, "-q"}, 0, &usage);
  long peak = PeakMegabytes(usage);
  std::fprintf(stderr, "scale_bench: updpack peak %ld MB; this process held %ld MB\n", peak,
               ResidentMegabytes());
  double check = Timed({cli, "check", upd, "--dir", root + "/install"}, 1);
  TrustedCheck(updpack, cli, root);
  ExactCheck(updpack, cli, root, product.manifest);
  BuildJobs(updpack, root, product.manifest);
  double update = Timed({cli, "update", upd, "--dir", root + "/install"}, 0, &usage);
  long updatePeak = PeakMegabytes(usage);
  std::fprintf(stderr, "scale_bench: update peak %ld MB; this process held %ld MB\n", updatePeak,
               ResidentMegabytes());
  double copy = Timed({"/bin/cp", "-r", root + "/new", root + "/copy"}, 0);
  fs::remove_all(root + "/copy");
  // sync with file names flushes each of them.
  double durable = Timed({"/bin/sh", "-c",
                          "cp -r '" + root + "/new' '" + root + "/copy' && find '" + root +
                              "/copy' -type f -exec sync {} +"},
                         0);
  for (const std::string& name : product.names) {
    if (!SameContents(root + "/install/" + name, root + "/new/" + name)) {
      Fail(name + " differs from its new version after the update");
    }
  }
  fs::remove_all(root + "/copy");
  fs::remove_all(root + "/install");
  // The same replacement as the best durable batch: the old files again, replaced in one go.
  CopyTree(root + "/old", root + "/install");
  double batch = Timed({native + "/bench/durable_batch", root + "/new", root + "/install"}, 0);
  for (const std::string& name : product.names) {
    if (!SameContents(root + "/install/" + name, root + "/new/" + name)) {
      Fail(name + " differs from its new version after durable_batch");
    }
  }
  fs::remove_all(root + "/install");
  std::printf(
      "scale: %d files, build %.2f s (peak %ld MB), check %.2f s, update %.2f s, cp %.2f s, "
      "cp+flush %.2f s, batch %.2f s\n",
      files, build, peak, check, update, copy, durable, batch);
  std::printf("scale update memory: peak %ld MB\n", updatePeak);
  std::fflush(stdout);
  OneDirectory(updpack, cli, root, product.names, files);

  {
    TempDir large;
    Product big = MakeProduct(large.path(), kLargeFiles, kLargeBytes, 1 << 20, 96 << 20, 7, true);
    Timed({updpack, "build", big.manifest, "-o", large.path() + "/large.upd", "-q"}, 0, &usage);
    std::fprintf(stderr, "scale_bench: updpack peak %ld MB; this process held %ld MB\n",
                 PeakMegabytes(usage), ResidentMegabytes());
    std::printf("scale memory: updpack peak %ld MB at %.0f MB, %ld MB at %.0f MB\n", peak,
                product.megabytes, PeakMegabytes(usage), big.megabytes);
    std::fflush(stdout);
  }

  const std::string win32 = args.size() > 1 ? fs::absolute(args[1]).string() : "";
  const std::string helper = win32 + "/bench/scale_wine_bench.exe";
  if (win32.empty() || !fs::exists(helper)) {
    std::fprintf(stderr, "scale_bench: %s not built, Wine not measured\n", helper.c_str());
    return 0;
  }
  CopyTree(root + "/old", root + "/install");
  // What the window's opening is set beside: a digest of the whole update file.
  double sha256sum = Timed({"/bin/sh", "-c", "sha256sum '" + upd + "' >/dev/null"}, 0);
  const std::string scripts = std::string(VARERI_SOURCE_DIR) + "/scripts";
  const std::string out = root + "/wine.txt";
  ::setenv("VARERI_GUI_TIMEOUT", "3000", 1);
  double seconds = 0;
  int rc = RunProgram({scripts + "/xvfb-run-wine.sh", helper, win32 + "/tools/updpack/updpack.exe",
                       win32 + "/tools/cli/vareri-cli.exe", win32 + "/vareri.exe", product.manifest,
                       upd, root + "/install", root + "/new", root + "/copy"},
                      out, &seconds, nullptr);
  std::vector<std::string> lines;
  std::ifstream in(out);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::fprintf(stderr, "  %s\n", line.c_str());
    lines.push_back(line);
  }
  if (rc != 0 || lines.size() < 8) Fail("the Windows side failed (" + std::to_string(rc) + ")");
  auto wineBuild = Figures(lines, "wine build");
  auto wineBuildOne = Figures(lines, "wine build -j 1");
  auto versions = Figures(lines, "wine versions");
  auto wineCheck = Figures(lines, "wine check");
  auto window = Figures(lines, "window check");
  auto wineUpdate = Figures(lines, "wine update");
  auto wineCopy = Figures(lines, "wine copy");
  auto wineFlush = Figures(lines, "wine copy+flush");
  auto opening = Figures(lines, "window open");
  if (wineCheck["exit "] != 1 || wineUpdate["exit "] != 0 || window[", "] != files) {
    Fail("vareri-cli.exe or the window did not check and update every file");
  }
  for (const std::string& name : product.names) {
    if (!SameContents(root + "/install/" + name, root + "/new/" + name)) {
      Fail(name + " differs from its new version after the update under Wine");
    }
  }
  if (lines[0].find("same bytes: yes") == std::string::npos) {
    std::fprintf(stderr, "scale_bench: updpack.exe wrote other bytes than the native updpack\n");
  }
  std::printf(
      "scale (wine): %d files, build %.2f s (peak %.0f MB), build -j 1 %.2f s, check %.2f s, "
      "update %.2f s, cp %.2f s\n",
      files, wineBuild["first"], wineBuild["peak "], wineBuildOne["first"], wineCheck["first"],
      wineUpdate["first"], wineCopy["first"]);
  std::printf(
      "scale (wine) calls: version calls %.2f s, replacement %.2f s, CopyFileA %.2f s, "
      "CopyFileA+flush %.2f s\n",
      versions["first"], wineUpdate["first"] - wineCheck["first"], wineCopy["first"],
      wineFlush["first"]);
  std::printf(
      "window: %d lines, check %.2f s, vareri-cli.exe check %.2f s, open %.2f s (%.0f MB), "
      "sha256sum %.2f s\n",
      files, window["first"], wineCheck["first"], opening["first"],
      static_cast<double>(fs::file_size(upd)) / (1 << 20), sha256sum);
  return 0;
}
