// The Windows side of the scale benchmark (bench/scale_bench.cpp runs it under Wine on a
// virtual screen): times, inside one Wine session, updpack.exe building the update file,
// the version calls the updater cannot avoid on every installed file, vareri-cli.exe's check
// and update, a check in the real window, and CopyFileA of the same new files: alone, and into
// a second copy (COPY-flush) with each copy then opened and flushed, as a durable copy would.
// Usage: scale_wine_bench UPDPACK VARERI_CLI VARERI MANIFEST UPD INSTALL NEW COPY
// (Unix or Windows paths; UPD is the update file the native updpack built from MANIFEST).
// Output, one line each:
//   "wine build: T s, peak P MB, same bytes: yes|no"  (with a job per core)
//   "wine build -j 1: T s"
//   "wine versions: T s, N files"  (the best of two)
//   "wine check: T s, exit E"      (the best of two)
//   "window check: T s, N lines"
//   "wine update: T s, exit E"
//   "wine copy: T s, N files"
//   "wine copy+flush: T s, N files"
#include <windows.h>
// After windows.h, which they need.
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gui_driver.h"
#include "resources/resource.h"
#include "vareri_windows.h"

namespace {

// How long one step may take before the benchmark gives up.
constexpr DWORD kStepMs = 20 * 60 * 1000;

double Seconds(const LARGE_INTEGER& start) {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart - start.QuadPart) / frequency.QuadPart;
}

LARGE_INTEGER Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now;
}

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "scale_wine_bench: %s (error %lu)\n", what.c_str(), GetLastError());
  std::exit(1);
}

// The files under `dir`, relative to it, in the order the file system lists them.
void ListFiles(const std::string& dir, const std::string& relative,
               std::vector<std::string>* files) {
  WIN32_FIND_DATAA found;
  std::string base = relative.empty() ? dir : dir + "\\" + relative;
  HANDLE search = FindFirstFileA((base + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) Fail("cannot list " + base);
  do {
    std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    std::string path = relative.empty() ? name : relative + "\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ListFiles(dir, path, files);
    } else {
      files->push_back(path);
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

// Runs `command_line` with its output into `output`, a file a script would write (under Wine
// each line written to NUL, a character device, costs milliseconds), and waits. Returns its exit
// status and stores its time and its peak working set in MB (as sampled every 50 ms).
DWORD RunQuietly(const std::string& command_line, const std::string& output, double* seconds,
                 double* peakMb = nullptr) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE out = CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                           0, nullptr);
  if (out == INVALID_HANDLE_VALUE) Fail("cannot write " + output);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = out;
  si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION pi = {};
  std::vector<char> cmd(command_line.begin(), command_line.end());
  cmd.push_back('\0');
  LARGE_INTEGER start = Now();
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
    Fail("cannot start " + command_line);
  }
  // Wine forgets an ended process's memory: it is read while the process runs.
  double peak = 0;
  for (DWORD waited = 0; WaitForSingleObject(pi.hProcess, 50) == WAIT_TIMEOUT; waited += 50) {
    if (waited > kStepMs) Fail("no end: " + command_line);
    PROCESS_MEMORY_COUNTERS memory = {};
    if (GetProcessMemoryInfo(pi.hProcess, &memory, sizeof memory)) {
      peak = std::max(peak, memory.PeakWorkingSetSize / 1048576.0);
    }
  }
  *seconds = Seconds(start);
  if (peakMb) *peakMb = peak;
  DWORD status = 0;
  GetExitCodeProcess(pi.hProcess, &status);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  CloseHandle(out);
  return status;
}

bool SameBytes(const std::string& a, const std::string& b) {
  auto read = [](const std::string& path) {
    std::string bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
      char buffer[65536];
      while (size_t n = std::fread(buffer, 1, sizeof buffer, f)) bytes.append(buffer, n);
      std::fclose(f);
    }
    return bytes;
  };
  std::string first = read(a);
  return !first.empty() && first == read(b);
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// Makes `root` and the folders of `files` (relative to it).
void MakeFolders(const std::string& root, const std::vector<std::string>& files) {
  CreateDirectoryA(root.c_str(), nullptr);
  for (const std::string& name : files) {
    size_t slash = name.rfind('\\');
    if (slash != std::string::npos)
      CreateDirectoryA((root + "\\" + name.substr(0, slash)).c_str(), nullptr);
  }
}

void CopyAll(const std::string& from, const std::string& to,
             const std::vector<std::string>& files) {
  for (const std::string& name : files) {
    if (!CopyFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str(), FALSE)) {
      Fail("cannot copy " + name);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 9) {
    std::fprintf(stderr,
                 "usage: scale_wine_bench UPDPACK VARERI_CLI VARERI MANIFEST UPD INSTALL NEW "
                 "COPY\n");
    return 2;
  }
  std::vector<std::string> arg;
  for (int i = 1; i < argc; ++i) arg.push_back(gui::ToWindowsPath(argv[i]));
  const std::string &updpack = arg[0], &cli = arg[1], &vareri = arg[2], &manifest = arg[3],
                    &upd = arg[4], &install = arg[5], &fresh = arg[6], &copy = arg[7];

  // updpack.exe builds the same update file beside the native one.
  const std::string built = upd + ".wine.upd";
  const std::string log = upd + ".log";
  double seconds = 0, peak = 0;
  if (RunQuietly(Quoted(updpack) + " build " + Quoted(manifest) + " -o " + Quoted(built) + " -q",
                 log, &seconds, &peak) != 0) {
    Fail("updpack.exe could not build " + built);
  }
  std::printf("wine build: %.2f s, peak %.0f MB, same bytes: %s\n", seconds, peak,
              SameBytes(built, upd) ? "yes" : "no");
  DeleteFileA(built.c_str());
  if (RunQuietly(
          Quoted(updpack) + " build " + Quoted(manifest) + " -o " + Quoted(built) + " -q -j 1", log,
          &seconds) != 0) {
    Fail("updpack.exe -j 1 could not build " + built);
  }
  std::printf("wine build -j 1: %.2f s\n", seconds);
  DeleteFileA(built.c_str());
  std::fflush(stdout);

  // The version calls alone and the check, twice in turn, the best of each: other work on
  // the machine slows one run or the other by half.
  std::vector<std::string> files;
  ListFiles(install, "", &files);
  double versions = 1e9, check = 1e9;
  DWORD status = 0;
  std::vector<char> block;
  for (int round = 0; round < 2; ++round) {
    LARGE_INTEGER start = Now();
    for (const std::string& name : files) {
      std::string path = install + "\\" + name;
      DWORD handle = 0;
      DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
      block.resize(size ? size : 1);
      if (size == 0 || !GetFileVersionInfoA(path.c_str(), 0, size, block.data())) {
        Fail("no version resource in " + path);
      }
    }
    versions = std::min(versions, Seconds(start));
    status = RunQuietly(Quoted(cli) + " check " + Quoted(upd) + " --dir " + Quoted(install), log,
                        &seconds);
    check = std::min(check, seconds);
  }
  std::printf("wine versions: %.2f s, %zu files\n", versions, files.size());
  std::printf("wine check: %.2f s, exit %lu\n", check, status);
  std::fflush(stdout);

  // The real window: the Path box set to the installation, Check pressed, and the time until
  // the closing message shows.
  // Its opening, which checks the whole file against its integrity record, is timed from the
  // start of the process to the window.
  LARGE_INTEGER started = Now();
  gui::Process window = gui::Process::Start(vareri, Quoted(vareri) + " " + upd);
  HWND main = gui::WaitForWindow(window.Id(), IsMainWindow(), 60000);
  std::printf("window open: %.2f s\n", Seconds(started));
  gui::SetEditText(main, IDC_PATH, install);
  LARGE_INTEGER start = Now();
  gui::ClickButton(main, IDC_CHECK);
  HWND box = gui::WaitForMessageBox(window.Id(), kStepMs);
  seconds = Seconds(start);
  int lines = gui::ListBoxCount(gui::Control(main, IDC_LOG));
  std::printf("window check: %.2f s, %d lines\n", seconds, lines);
  std::fflush(stdout);
  gui::AnswerMessageBox(box, IDOK);
  gui::ClickButton(main, IDCANCEL);
  if (!window.WaitForExit()) Fail("the window did not close");

  status = RunQuietly(Quoted(cli) + " update " + Quoted(upd) + " --dir " + Quoted(install), log,
                      &seconds);
  std::printf("wine update: %.2f s, exit %lu\n", seconds, status);
  std::fflush(stdout);

  files.clear();
  ListFiles(fresh, "", &files);
  MakeFolders(copy, files);
  start = Now();
  CopyAll(fresh, copy, files);
  std::printf("wine copy: %.2f s, %zu files\n", Seconds(start), files.size());
  std::fflush(stdout);

  // The same copy made durable: every copy written, then each one opened and flushed.
  const std::string flushed = copy + "-flush";
  MakeFolders(flushed, files);
  start = Now();
  CopyAll(fresh, flushed, files);
  for (const std::string& name : files) {
    std::string path = flushed + "\\" + name;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) Fail("cannot open " + path);
    if (!FlushFileBuffers(file)) Fail("cannot flush " + path);
    CloseHandle(file);
  }
  std::printf("wine copy+flush: %.2f s, %zu files\n", Seconds(start), files.size());
  return 0;
}
