// Times an update run over a product of 200 files (about 100 MB) against copying the same
// expanded bytes with cp (and with cp plus a flush of every copied file, as the update flushes
// every new version), the best of three rounds each, and reports the runs' peak memory. The
// update file is signed and the run requires the signature, so the run checks every digest and
// the signature. The update runs in a child process so that neither making the product nor
// building the update file counts. Then times the load's check of the whole file's digest
// against sha256sum of the same file.
// The last reference also removes a copy of the previous versions after the sync, as the
// update frees the versions it replaces.
// Output: "update: T s, cp C s, ratio R, peak RSS M MB, cp+sync D s, cp+sync+rm F s" and
// "sha256: N MB/s (sha256sum M MB/s)".
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench_product.h"
#include "model/update_item.h"
#include "pack.h"
#include "platform/file.h"
#include "session/app_state.h"
#include "signing.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

using namespace bench;

namespace {

constexpr int kFiles = 200;
constexpr double kTotalBytes = 100e6;
constexpr size_t kMinFile = 64 * 1024;
constexpr size_t kMaxFile = 4 * 1024 * 1024;
constexpr int kRounds = 3;

}  // namespace

int main() {
  TempDir dir;
  const std::string root = dir.path();
  const std::string installDir = root + "/install";
  const std::string newDir = root + "/new";
  const std::string copyDir = root + "/copy";
  const std::string previousDir = root + "/previous";
  const std::string updPath = root + "/product.upd";
  for (const std::string& d : {installDir, newDir}) fs::create_directories(d);

  // The product, one file at a time so the corpus never sits in memory.
  std::mt19937 random(20240601);
  std::vector<double> weights(kFiles);
  double sum = 0;
  std::uniform_real_distribution<double> logSize(std::log(100e3), std::log(3e6));
  for (double& w : weights) sum += (w = std::exp(logSize(random)));
  SamplePool pool;
  Manifest manifest;
  manifest.product = "Bench";
  manifest.description = "update_bench product";
  manifest.sampleCount = 8;
  manifest.sampleLength = 16;
  uint64_t newTotal = 0;
  Bytes oldBytes, newBytes;
  for (int i = 0; i < kFiles; ++i) {
    size_t size = static_cast<size_t>(weights[i] * kTotalBytes / sum);
    size = std::clamp(size, kMinFile, kMaxFile);
    MakePair(pool, i, size, random, oldBytes, newBytes);
    char name[32];
    std::snprintf(name, sizeof name, "FILE%03d.DLL", i);
    WriteBytes(installDir + "/" + name, oldBytes);
    WriteBytes(newDir + "/" + name, newBytes);
    newTotal += newBytes.size();
    ManifestFile file;
    file.component = std::string("Component ") + name;
    file.description = std::string("Benchmark file ") + name;
    file.name = name;
    file.directoryKind = kindInstallation;
    file.newPath = newDir + "/" + name;
    file.previousPaths.push_back(installDir + "/" + name);
    manifest.files.push_back(std::move(file));
  }
  Bytes().swap(oldBytes);
  Bytes().swap(newBytes);

  PublicKey vendorKey = GenerateKeyPair(root + "/vendor.key", root + "/vendor.pub");
  TrustRequirement trust{true, vendorKey.Text(), "the benchmark's key"};
  struct rusage usage;
  int rc = RunChild(
      [&] {
        BuildOptions options;
        std::unique_ptr<SigningKey> signer = SigningKey::Load(root + "/vendor.key");
        options.signer = signer.get();
        BuildUpdate(manifest, updPath, PackReport(), options);
        return 0;
      },
      &usage);
  if (rc != 0) {
    std::fprintf(stderr, "update_bench: building the update file failed\n");
    return 1;
  }
  std::fprintf(stderr,
               "update_bench: %d files (%d begin with a real image), %.1f MB new (%s), update "
               "file %.1f MB\n",
               kFiles, pool.headsServed, newTotal / 1e6,
               pool.empty() ? "generated" : "sampled binaries", fs::file_size(updPath) / 1e6);

  // The copy of the same expanded bytes, and the same copy with every file flushed to the
  // disk, as the update flushes each new version before it takes its place (the reference
  // that pays for the same durability). Sync first, so that no timing pays for the
  // writeback of what came before it.
  auto timeCopy = [&](const std::string& command) {
    ::sync();
    auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) {
      std::fprintf(stderr, "update_bench: %s failed\n", command.c_str());
      std::exit(1);
    }
    double seconds = Since(start);
    fs::remove_all(copyDir);
    ::sync();
    return seconds;
  };
  std::string copy = "cp -r '" + newDir + "' '" + copyDir + "'";

  // The update run, in a child that reports its time through a pipe.
  auto timeUpdate = [&](struct rusage* usage) {
    int fds[2];
    if (::pipe(fds) != 0) {
      std::perror("update_bench: pipe");
      std::exit(1);
    }
    int rc = RunChild(
        [&] {
          ::close(fds[0]);
          MemoryLog log;
          AppState app;
          app.log = &log;
          std::snprintf(app.installDir, sizeof app.installDir, "%s", installDir.c_str());
          std::snprintf(app.windowsDir, sizeof app.windowsDir, "%s/win", root.c_str());
          std::snprintf(app.systemDir, sizeof app.systemDir, "%s/win/system", root.c_str());
          auto begin = std::chrono::steady_clock::now();
          std::unique_ptr<CFile> file = OpenForReading(updPath);
          app.runOk = true;
          app.updateNeeded = false;
          app.document.trust = trust;
          app.document.Run(*file, true, app);
          double seconds = Since(begin);
          if (::write(fds[1], &seconds, sizeof seconds) != sizeof seconds) return 1;
          int updated = 0;
          for (const std::string& line : log.lines) {
            if (line.rfind("Updated File ", 0) == 0) ++updated;
          }
          if (!app.runOk || updated != kFiles || !app.document.integrity.signatureVerified) {
            std::fprintf(stderr, "update_bench: run %s, %d files updated\n",
                         app.runOk ? "ok" : "failed", updated);
            for (size_t k = 0; k < log.lines.size() && k < 20; ++k) {
              std::fprintf(stderr, "  %s\n", log.lines[k].c_str());
            }
            return 1;
          }
          return 0;
        },
        usage);
    ::close(fds[1]);
    double seconds = 0;
    bool timed = ::read(fds[0], &seconds, sizeof seconds) == sizeof seconds;
    ::close(fds[0]);
    if (rc != 0 || !timed) {
      std::fprintf(stderr, "update_bench: the update run failed\n");
      std::exit(1);
    }
    for (const ManifestFile& file : manifest.files) {
      if (!SameContents(installDir + "/" + file.name, file.newPath)) {
        std::fprintf(stderr, "update_bench: %s differs from its new version\n", file.name.c_str());
        std::exit(1);
      }
    }
    return seconds;
  };

  // Three rounds of the copies and the update, each update over the old installation again;
  // the best of each stands, so that a moment of other work on the machine decides nothing.
  const std::string oldCopy = root + "/old";
  fs::copy(installDir, oldCopy, fs::copy_options::recursive);
  double copySeconds = 1e9, durableSeconds = 1e9, freeingSeconds = 1e9, updateSeconds = 1e9;
  long peakKb = 0;
  for (int round = 0; round < kRounds; ++round) {
    if (round > 0) {
      fs::remove_all(installDir);
      fs::copy(oldCopy, installDir, fs::copy_options::recursive);
    }
    double c = timeCopy(copy);
    double d = timeCopy(copy + " && sync '" + copyDir + "'/*");
    // The update also frees the previous versions it replaces, which a copy never does: on a
    // disk that discards freed blocks at once, that is no small part of its time.
    fs::copy(oldCopy, previousDir, fs::copy_options::recursive);
    double r = timeCopy(copy + " && sync '" + copyDir + "'/* && rm -r '" + previousDir + "'");
    ::sync();
    struct rusage roundUsage;
    double u = timeUpdate(&roundUsage);
    peakKb = std::max(peakKb, roundUsage.ru_maxrss);
    if (u < updateSeconds) usage = roundUsage;  // the best run's times
    std::fprintf(stderr,
                 "update_bench: round %d: update %.3f s, cp %.3f s, cp+sync %.3f s, "
                 "cp+sync+rm %.3f s\n",
                 round + 1, u, c, d, r);
    copySeconds = std::min(copySeconds, c);
    durableSeconds = std::min(durableSeconds, d);
    freeingSeconds = std::min(freeingSeconds, r);
    updateSeconds = std::min(updateSeconds, u);
  }

  long peakMb = (peakKb + 1023) / 1024;  // ru_maxrss is in KiB on Linux
  double ratio = updateSeconds / copySeconds;
  std::printf(
      "update: %.3f s, cp %.3f s, ratio %.1f, peak RSS %ld MB, cp+sync %.3f s, cp+sync+rm %.3f "
      "s\n",
      updateSeconds, copySeconds, ratio, peakMb, durableSeconds, freeingSeconds);
  // CPU time of all the run's threads: with two at work it can exceed the run's own time.
  std::fprintf(stderr, "update run: %.2f s user, %.2f s system, in %.3f s\n",
               usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6,
               usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6, updateSeconds);
  std::fprintf(stderr, "update goals: ratio at most 3 (%.1f), peak RSS under 16 MB (%ld)\n", ratio,
               peakMb);

  // The load's check of the file's digest, against sha256sum of the same file, both reading
  // it from the page cache; the best of three each.
  double megabytes = fs::file_size(updPath) / 1e6;
  double loadSeconds = 1e9, sumSeconds = 1e9;
  std::string sha256sum = "sha256sum '" + updPath + "' >/dev/null";
  for (int k = 0; k < 3; ++k) {
    auto begin = std::chrono::steady_clock::now();
    if (std::system(sha256sum.c_str()) != 0) {
      std::fprintf(stderr, "update_bench: %s failed\n", sha256sum.c_str());
      return 1;
    }
    sumSeconds = std::min(sumSeconds, Since(begin));
    begin = std::chrono::steady_clock::now();
    std::unique_ptr<CFile> file = OpenForReading(updPath);
    VEzorazEdo document;
    document.trust = trust;
    document.EnsureLoaded(*file);
    loadSeconds = std::min(loadSeconds, Since(begin));
  }
  std::printf("sha256: %.0f MB/s (sha256sum %.0f MB/s)\n", megabytes / loadSeconds,
              megabytes / sumSeconds);
  return 0;
}
