// Measures the SZDD codec on up to 50 MB of the Wine installation's DLLs and EXEs, file by
// file, against the references: the system's lz32 (timed by lz32_bench.exe under Wine,
// when given), cp copying the expanded files, and Debian's mscompress.
// Usage: codec_bench [--lz32 COMMAND]   (COMMAND runs lz32_bench: SOURCE_DIR TARGET_DIR)
// Output, MB = 10^6 uncompressed bytes per second, ratio = compressed / original size:
//   expand: N MB/s (lz32 K MB/s, cp C MB/s)
//   compress: N MB/s, ratio R (mscompress M MB/s, ratio Q)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "lz/lz_test_data.h"
#include "lz/szdd.h"
#include "platform/file.h"
#include "platform/lz_expand.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kCorpusCap = 50000000;

// The engine's ends of an expansion: an open file read as a stream, a new file written.
class FileSource : public ByteSource {
 public:
  explicit FileSource(CFile& file) : file_(file) {}
  size_t Read(uint8_t* buffer, size_t count) override { return file_.Read(buffer, count); }

 private:
  CFile& file_;
};

class FileSink : public ByteSink {
 public:
  explicit FileSink(CFile& file) : file_(file) {}
  void Write(const uint8_t* data, size_t count) override {
    file_.Write(data, count);
    written += count;
  }
  uint64_t written = 0;

 private:
  CFile& file_;
};

// Expands the SZDD file `source` into the new file `target`; the bytes written, or -1.
int64_t ExpandFile(const std::string& source, const std::string& target) {
  std::unique_ptr<CFile> in = OpenForReading(source);
  std::unique_ptr<CFile> out = Env::Default().CreateExclusive(target);
  if (!out) return -1;
  FileSource reader(*in);
  FileSink writer(*out);
  if (ExpandStored(reader, "", writer) != ExpandOutcome::expanded) return -1;
  return static_cast<int64_t>(writer.written);
}

struct Sample {
  std::string name;
  std::vector<uint8_t> data;
};

std::vector<Sample> LoadCorpus() {
  const char* const kDirs[] = {"/usr/lib/i386-linux-gnu/wine/i386-windows",
                               "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows"};
  std::vector<fs::path> files;
  for (const char* dir : kDirs) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(dir, error)) {
      std::string ext = entry.path().extension().string();
      if (entry.is_regular_file() && (ext == ".dll" || ext == ".exe")) {
        files.push_back(entry.path());
      }
    }
  }
  std::sort(files.begin(), files.end());
  // Every file of the first directory before the second would be half a mix: interleave
  // by taking files in a fixed stride order.
  std::vector<Sample> corpus;
  size_t total = 0;
  for (size_t start = 0; start < 7 && total < kCorpusCap; ++start) {
    for (size_t i = start; i < files.size() && total < kCorpusCap; i += 7) {
      std::vector<uint8_t> data = lztest::ReadWholeFile(files[i].string());
      if (data.empty() || total + data.size() > kCorpusCap) continue;
      total += data.size();
      std::string tag = files[i].parent_path().filename().string().substr(0, 3);
      corpus.push_back({tag + "-" + files[i].filename().string(), std::move(data)});
    }
  }
  if (corpus.empty()) {
    std::fprintf(stderr, "codec_bench: no Wine DLLs found, using generated images\n");
    for (int i = 0; i < 50; ++i) {
      corpus.push_back({"gen" + std::to_string(i) + ".dll", lztest::PeLike(1000000, i)});
    }
  }
  return corpus;
}

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// Runs `command` through the shell and returns its wall time, or a negative value when it
// fails.
double TimeCommand(const std::string& command) {
  auto start = std::chrono::steady_clock::now();
  int status = std::system(command.c_str());
  double seconds = Seconds(start);
  return status == 0 ? seconds : -1;
}

// The Windows spelling of a native absolute path under Wine's drive Z:.
std::string WinePath(const std::string& path) {
  std::string out = "Z:" + path;
  std::replace(out.begin(), out.end(), '/', '\\');
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  std::string lz32Command;
  if (argc == 3 && std::string(argv[1]) == "--lz32") lz32Command = argv[2];

  std::vector<Sample> corpus = LoadCorpus();
  double original = 0;
  for (const Sample& s : corpus) original += static_cast<double>(s.data.size());
  std::fprintf(stderr, "codec_bench: %zu files, %.1f MB\n", corpus.size(), original / 1e6);

  TempDir work;
  fs::path root(work.path());
  for (const char* sub : {"orig", "szdd", "out", "cp", "ms", "lz32"})
    fs::create_directory(root / sub);
  for (const Sample& s : corpus) work.Write("orig/" + s.name, s.data);

  // Compression, in memory: the build tool's case.
  double compressSeconds = 1e30;
  double packedBytes = 0;
  for (int round = 0; round < 2; ++round) {
    packedBytes = 0;
    auto start = std::chrono::steady_clock::now();
    for (const Sample& s : corpus) {
      packedBytes += static_cast<double>(SzddCompress(s.data.data(), s.data.size()).size());
    }
    compressSeconds = std::min(compressSeconds, Seconds(start));
  }
  for (const Sample& s : corpus) {
    work.Write("szdd/" + s.name, SzddCompress(s.data.data(), s.data.size()));
  }

  // Expansion, file to file: the engine's case.
  // Each round writes new files, as cp's rounds do: the engine expands to a new file too.
  auto emptyDir = [&](const char* sub) {
    for (const Sample& s : corpus) fs::remove(root / sub / s.name);
  };
  double expandSeconds = 1e30;
  for (int round = 0; round < 5; ++round) {
    emptyDir("out");
    auto start = std::chrono::steady_clock::now();
    for (const Sample& s : corpus) {
      std::string source = (root / "szdd" / s.name).string();
      std::string target = (root / "out" / s.name).string();
      if (ExpandFile(source, target) != static_cast<int64_t>(s.data.size())) {
        std::fprintf(stderr, "codec_bench: expanding %s failed\n", s.name.c_str());
        return 1;
      }
    }
    expandSeconds = std::min(expandSeconds, Seconds(start));
  }
  for (const Sample& s : corpus) {
    if (lztest::ReadWholeFile((root / "out" / s.name).string()) != s.data) {
      std::fprintf(stderr, "codec_bench: %s expanded wrongly\n", s.name.c_str());
      return 1;
    }
  }

  double cpSeconds = 1e30;
  for (int round = 0; round < 5; ++round) {
    emptyDir("cp");
    double t = TimeCommand("cp -- " + Quote((root / "orig").string()) + "/* " +
                           Quote((root / "cp").string()) + "/");
    if (t >= 0) cpSeconds = std::min(cpSeconds, t);
  }

  std::string lz32Rate = "n/a";
  if (!lz32Command.empty()) {
    std::string command = lz32Command + " " + Quote(WinePath((root / "szdd").string())) + " " +
                          Quote(WinePath((root / "lz32").string())) + " 3";
    if (FILE* pipe = popen(command.c_str(), "r")) {
      char line[256];
      double rate = 0;
      long long bytes = 0;
      while (std::fgets(line, sizeof line, pipe)) {
        if (std::sscanf(line, "lz32: %lf MB/s, %lld bytes", &rate, &bytes) == 2) break;
      }
      pclose(pipe);
      if (static_cast<double>(bytes) == original) {
        char text[32];
        std::snprintf(text, sizeof text, "%.0f", rate);
        lz32Rate = text;
      } else {
        std::fprintf(stderr, "codec_bench: lz32_bench wrote %lld bytes of %.0f\n", bytes, original);
      }
    }
  }

  // mscompress writes NAME_ beside each NAME; one command over all the files.
  std::string msRate = "n/a", msRatio = "n/a";
  if (std::system("command -v mscompress >/dev/null 2>&1") == 0) {
    std::string ms = (root / "ms").string();
    if (TimeCommand("cp -- " + Quote((root / "orig").string()) + "/* " + Quote(ms) + "/") >= 0) {
      double t = TimeCommand("cd " + Quote(ms) + " && mscompress -- * 2>/dev/null");
      double msBytes = 0;
      for (const Sample& s : corpus) {
        std::error_code error;
        uintmax_t size = fs::file_size(root / "ms" / (s.name + "_"), error);
        if (!error) msBytes += static_cast<double>(size);
      }
      if (t > 0 && msBytes > 0) {
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", original / t / 1e6);
        msRate = text;
        std::snprintf(text, sizeof text, "%.3f", msBytes / original);
        msRatio = text;
      }
    }
  }

  std::printf("expand: %.0f MB/s (lz32 %s MB/s, cp %.0f MB/s)\n", original / expandSeconds / 1e6,
              lz32Rate.c_str(), original / cpSeconds / 1e6);
  std::printf("compress: %.1f MB/s, ratio %.3f (mscompress %s MB/s, ratio %s)\n",
              original / compressSeconds / 1e6, packedBytes / original, msRate.c_str(),
              msRatio.c_str());
  return 0;
}
