// Times the system's LZ expansion (LZOpenFileA, CopyLZFile, LZClose) on every file of a
// folder, inside the process so that starting the program does not count. Built by the
// Windows build; bench/codec_bench.sh runs it (under Wine) for the codec benchmark.
// Usage: lz32_bench SOURCE_DIR TARGET_DIR [ROUNDS]
// Output: "lz32: N MB/s, B bytes" (MB = 10^6 bytes written per second, best round).
#include <windows.h>
// windows.h first: lzexpand.h relies on its types.
#include <lzexpand.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: lz32_bench SOURCE_DIR TARGET_DIR [ROUNDS]\n");
    return 2;
  }
  std::string sourceDir = argv[1];
  std::string targetDir = argv[2];
  int rounds = argc > 3 ? std::atoi(argv[3]) : 3;

  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((sourceDir + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "lz32_bench: cannot list %s\n", sourceDir.c_str());
    return 1;
  }
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);

  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  double best = 1e30;
  long long total = 0;
  for (int round = 0; round < rounds; ++round) {
    total = 0;
    LARGE_INTEGER start, stop;
    QueryPerformanceCounter(&start);
    for (const std::string& name : names) {
      std::string source = sourceDir + "\\" + name;
      std::string target = targetDir + "\\" + name;
      OFSTRUCT sourceInfo = {}, targetInfo = {};
      INT in = LZOpenFileA(const_cast<char*>(source.c_str()), &sourceInfo, OF_READ);
      INT out = LZOpenFileA(const_cast<char*>(target.c_str()), &targetInfo, OF_CREATE);
      LONG written = in >= 0 && out >= 0 ? CopyLZFile(in, out) : -1;
      if (in >= 0) LZClose(in);
      if (out >= 0) LZClose(out);
      if (written < 0) {
        std::fprintf(stderr, "lz32_bench: expanding %s failed (%ld)\n", source.c_str(), written);
        return 1;
      }
      total += written;
    }
    QueryPerformanceCounter(&stop);
    double seconds = static_cast<double>(stop.QuadPart - start.QuadPart) / frequency.QuadPart;
    if (seconds < best) best = seconds;
  }
  std::printf("lz32: %.1f MB/s, %lld bytes\n", total / best / 1e6, total);
  return 0;
}
