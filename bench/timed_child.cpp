#include "timed_child.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "bench_product.h"

namespace fs = std::filesystem;

namespace bench {

int RunChild(const std::function<int()>& body, struct rusage* usage) {
  std::fflush(nullptr);
  pid_t pid = ::fork();
  if (pid < 0) {
    std::perror("bench: fork");
    std::exit(1);
  }
  if (pid == 0) {
    int rc = 1;
    try {
      rc = body();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "bench: %s\n", e.what());
    }
    std::fflush(nullptr);
    ::_exit(rc);  // no destructors: the parent's temporary directory must stay
  }
  int status = 0;
  if (::wait4(pid, &status, 0, usage) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

namespace {

// own_peak, built beside the running benchmark.
std::string OwnPeakProgram() {
  std::error_code error;
  fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (error) Fail("cannot tell where this benchmark is");
  return (self.parent_path() / "own_peak").string();
}

}  // namespace

int RunProgram(const std::vector<std::string>& argv, const std::string& output, double* seconds,
               struct rusage* usage) {
  std::vector<std::string> command = argv;
  std::string peakFile;
  if (usage) {
    peakFile = (fs::temp_directory_path() / ("own_peak." + std::to_string(::getpid()))).string();
    command.insert(command.begin(), {OwnPeakProgram(), peakFile});
  }
  auto start = std::chrono::steady_clock::now();
  int rc = RunChild(
      [&] {
        int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::dup2(fd, 1) < 0) return 127;
        std::vector<char*> args;
        for (const std::string& arg : command) args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        std::perror(command[0].c_str());
        return 127;
      },
      usage);
  *seconds = Since(start);
  if (usage) {
    std::ifstream peak(peakFile);
    if (!(peak >> usage->ru_maxrss)) Fail("no peak memory from " + command[0]);
    peak.close();
    fs::remove(peakFile);
  }
  return rc;
}

long ResidentMegabytes() {
  long pages = 0, resident = 0;
  if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(statm);
  }
  return resident * ::sysconf(_SC_PAGESIZE) / (1024 * 1024);
}

long PeakMegabytes(const struct rusage& usage) {
  return (usage.ru_maxrss + 1023) / 1024;  // ru_maxrss is in KiB on Linux
}

double Timed(const std::vector<std::string>& argv, int expected, struct rusage* usage) {
  double seconds = 0;
  ::sync();
  int rc = RunProgram(argv, "/dev/null", &seconds, usage);
  if (rc != expected) {
    std::string command;
    for (const std::string& arg : argv) command += arg + " ";
    Fail(command + "exited with " + std::to_string(rc) + ", not " + std::to_string(expected));
  }
  return seconds;
}

}  // namespace bench
