// Times one update run over a product of 200 files (about 100 MB) against copying the same
// expanded bytes with cp (and with cp plus a flush of every copied file, as the update flushes
// every new version), and reports the run's peak memory. The update file is signed and the
// run requires the signature, so the run checks every digest and the signature. The update
// runs in a child process so that neither making the product nor building the update file
// counts. Then times the load's check of the whole file's digest against sha256sum of the
// same file.
// Output: "update: T s, cp C s, ratio R, peak RSS M MB, cp+sync D s" and
// "sha256: N MB/s (sha256sum M MB/s)".
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "model/update_item.h"
#include "pack.h"
#include "platform/file.h"
#include "platform/pe_version.h"
#include "signing.h"
#include "support/pe_builder.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kFiles = 200;
constexpr double kTotalBytes = 100e6;
constexpr size_t kMinFile = 64 * 1024;
constexpr size_t kMaxFile = 4 * 1024 * 1024;
constexpr uint32_t kOldMS = 0x00010000;  // 1.0.0.0
constexpr uint32_t kNewMS = 0x00010001;  // 1.1.0.0

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

Bytes ReadRange(const std::string& path, uint64_t offset, size_t count) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset));
  Bytes bytes(count);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
  bytes.resize(static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  return bytes;
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    std::fprintf(stderr, "update_bench: cannot write %s\n", path.c_str());
    std::exit(1);
  }
}

// Sets the version of the first VS_FIXEDFILEINFO that ReadPeFileVersion finds in `bytes`.
// Returns false when the image has no readable version or the patch does not read back.
bool PatchVersion(Bytes& bytes, uint32_t versionMS, uint32_t versionLS) {
  uint32_t ms = 0, ls = 0;
  {
    MemoryFile file(bytes);
    if (!ReadPeFileVersion(file, &ms, &ls)) return false;
  }
  auto get32 = [&](size_t at) {
    return static_cast<uint32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                                 static_cast<uint32_t>(bytes[at + 3]) << 24);
  };
  auto put32 = [&](size_t at, uint32_t value) {
    for (int k = 0; k < 4; ++k) bytes[at + k] = static_cast<uint8_t>(value >> (8 * k));
  };
  for (size_t at = 0; at + 16 <= bytes.size(); at += 4) {
    if (get32(at) == 0xFEEF04BDu && get32(at + 8) == ms && get32(at + 12) == ls) {
      put32(at + 8, versionMS);
      put32(at + 12, versionLS);
      MemoryFile check(bytes);
      return ReadPeFileVersion(check, &ms, &ls) && ms == versionMS && ls == versionLS;
    }
  }
  return false;
}

// Real Windows and Linux binaries to make the product of, read in order and cycled.
class SamplePool {
 public:
  SamplePool() {
    for (const char* root :
         {"/usr/lib/i386-linux-gnu/wine/i386-windows", "/usr/lib/x86_64-linux-gnu/wine"}) {
      std::error_code ec;
      if (!fs::is_directory(root, ec)) continue;
      for (auto it = fs::recursive_directory_iterator(root, ec);
           !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file(ec) && it->file_size(ec) >= 4096) {
          files_.push_back(it->path().string());
        }
      }
    }
    std::sort(files_.begin(), files_.end());
    headState_.assign(files_.size(), 0);
  }

  bool empty() const { return files_.empty(); }
  int headsServed = 0;  // files begun with a real image
  size_t size() const { return files_.size(); }

  // A whole PE image of at most `limit` bytes from the pool, searched from `start` on,
  // with its version set; empty when no such file has a version resource to set.
  Bytes Head(size_t start, uint32_t versionMS, size_t limit) {
    for (size_t k = 0; k < files_.size(); ++k) {
      size_t i = (start + k) % files_.size();
      if (headState_[i] < 0) continue;
      std::error_code ec;
      uint64_t size = fs::file_size(files_[i], ec);
      if (ec || size > limit) continue;
      Bytes bytes = ReadRange(files_[i], 0, static_cast<size_t>(size));
      if (PatchVersion(bytes, versionMS, 0)) {
        headState_[i] = 1;
        ++headsServed;
        return bytes;
      }
      headState_[i] = -1;
    }
    return Bytes();
  }

  // Appends the next `count` bytes of the pool's concatenation.
  void Append(Bytes& out, size_t count) {
    size_t emptyReads = 0;
    while (count > 0) {
      Bytes chunk = ReadRange(files_[file_], offset_, count);
      emptyReads = chunk.empty() ? emptyReads + 1 : 0;
      if (emptyReads > files_.size()) {
        std::fprintf(stderr, "update_bench: the sample files cannot be read\n");
        std::exit(1);
      }
      if (chunk.size() < count) {
        file_ = (file_ + 1) % files_.size();
        offset_ = 0;
      } else {
        offset_ += chunk.size();
      }
      out.insert(out.end(), chunk.begin(), chunk.end());
      count -= chunk.size();
    }
  }

 private:
  std::vector<std::string> files_;
  std::vector<int> headState_;  // 0 not tried, 1 usable as a head, -1 not
  size_t file_ = 0;
  uint64_t offset_ = 0;
};

// Runs of a few symbols and random bytes: compresses about as well as code.
void AppendGenerated(Bytes& out, size_t count, std::mt19937& random) {
  size_t end = out.size() + count;
  while (out.size() < end) {
    uint32_t r = random();
    if (r % 4 == 0) {
      out.push_back(static_cast<uint8_t>(r >> 8));
    } else {
      size_t run = std::min<size_t>(1 + (r >> 8) % 6, end - out.size());
      out.insert(out.end(), run, static_cast<uint8_t>("\0\xFF\x8B\x45\x89\xE8"[(r >> 16) % 6]));
    }
  }
}

// A PE image of version 1.0 to begin file `index` with, at most `limit` bytes: a real one
// from the pool when there is one that fits, else a small built one.
Bytes MakeHead(SamplePool& pool, int index, size_t limit) {
  Bytes head;
  if (!pool.empty()) head = pool.Head(static_cast<size_t>(index) * 7, kOldMS, limit);
  if (head.empty()) {
    PeImagePlan plan;
    plan.versionMS = kOldMS;
    plan.versionLS = 0;
    head = BuildPeImage(plan).bytes;
  }
  return head;
}

void AppendFill(SamplePool& pool, Bytes& out, size_t count, std::mt19937& random) {
  if (pool.empty()) {
    AppendGenerated(out, count, random);
  } else {
    pool.Append(out, count);
  }
}

// The old version of file `index` (`size` bytes, version 1.0) and the new one made from it:
// another version, a few bytes changed in every 64 KB, and for odd files 4 KB more.
void MakePair(SamplePool& pool, int index, size_t size, std::mt19937& random, Bytes& oldBytes,
              Bytes& newBytes) {
  oldBytes = MakeHead(pool, index, size / 2);
  size_t head = oldBytes.size();
  AppendFill(pool, oldBytes, size - head, random);
  newBytes = oldBytes;
  if (!PatchVersion(newBytes, kNewMS, 0)) {
    std::fprintf(stderr, "update_bench: cannot set the version of file %d\n", index);
    std::exit(1);
  }
  for (size_t at = head; at + 512 < newBytes.size(); at += 64 * 1024) {
    size_t span = std::min<size_t>(64 * 1024, newBytes.size() - at) - 512;
    size_t where = at + random() % span;
    size_t length = 16 + random() % 496;
    for (size_t k = 0; k < length; ++k) newBytes[where + k] ^= static_cast<uint8_t>(random() | 1);
  }
  if (index % 2 == 1) AppendFill(pool, newBytes, 4096, random);
}

bool SameContents(const std::string& a, const std::string& b) {
  std::ifstream fa(a, std::ios::binary);
  std::ifstream fb(b, std::ios::binary);
  if (!fa || !fb) return false;
  std::vector<char> ba(1 << 20), bb(1 << 20);
  for (;;) {
    fa.read(ba.data(), static_cast<std::streamsize>(ba.size()));
    fb.read(bb.data(), static_cast<std::streamsize>(bb.size()));
    if (fa.gcount() != fb.gcount()) return false;
    if (fa.gcount() == 0) return true;
    if (std::memcmp(ba.data(), bb.data(), static_cast<size_t>(fa.gcount())) != 0) return false;
  }
}

// Runs `body` in a child process and waits for it. Returns the child's exit status (-1 when
// it did not exit normally) and stores its resource usage.
int RunChild(const std::function<int()>& body, struct rusage* usage) {
  std::fflush(nullptr);
  pid_t pid = ::fork();
  if (pid < 0) {
    std::perror("update_bench: fork");
    std::exit(1);
  }
  if (pid == 0) {
    int rc = 1;
    try {
      rc = body();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "update_bench: %s\n", e.what());
    }
    std::fflush(nullptr);
    ::_exit(rc);  // no destructors: the parent's temporary directory must stay
  }
  int status = 0;
  if (::wait4(pid, &status, 0, usage) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int main() {
  TempDir dir;
  const std::string root = dir.path();
  const std::string installDir = root + "/install";
  const std::string newDir = root + "/new";
  const std::string copyDir = root + "/copy";
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
  double copySeconds = timeCopy(copy);
  double durableSeconds = timeCopy(copy + " && sync '" + copyDir + "'/*");

  // The update run, in a child that reports its time through a pipe.
  int fds[2];
  if (::pipe(fds) != 0) {
    std::perror("update_bench: pipe");
    return 1;
  }
  rc = RunChild(
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
      &usage);
  ::close(fds[1]);
  double updateSeconds = 0;
  bool timed = ::read(fds[0], &updateSeconds, sizeof updateSeconds) == sizeof updateSeconds;
  ::close(fds[0]);
  if (rc != 0 || !timed) {
    std::fprintf(stderr, "update_bench: the update run failed\n");
    return 1;
  }
  for (const ManifestFile& file : manifest.files) {
    if (!SameContents(installDir + "/" + file.name, file.newPath)) {
      std::fprintf(stderr, "update_bench: %s differs from its new version\n", file.name.c_str());
      return 1;
    }
  }

  long peakMb = (usage.ru_maxrss + 1023) / 1024;  // ru_maxrss is in KiB on Linux
  double ratio = updateSeconds / copySeconds;
  std::printf("update: %.2f s, cp %.2f s, ratio %.1f, peak RSS %ld MB, cp+sync %.2f s\n",
              updateSeconds, copySeconds, ratio, peakMb, durableSeconds);
  std::fprintf(stderr, "update run: %.2f s user, %.2f s system, %.2f s waiting\n",
               usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6,
               usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6,
               updateSeconds - (usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6) -
                   (usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6));
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
