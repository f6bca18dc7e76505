// Runs a program and writes its own peak memory to a file. A program forked straight from a
// benchmark counts, until its exec, the benchmark's pages it was forked with; started from
// this small process instead, its peak is what it held itself.
// Usage: own_peak PEAK_FILE PROGRAM [ARGS...]  (PEAK_FILE gets the peak in KiB and a newline;
// the exit status is the program's, 127 when it could not run, 128 + N after signal N).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: own_peak PEAK_FILE PROGRAM [ARGS...]\n");
    return 2;
  }
  pid_t pid = ::fork();
  if (pid < 0) {
    std::perror("own_peak: fork");
    return 127;
  }
  if (pid == 0) {
    ::execv(argv[2], argv + 2);
    std::perror(argv[2]);
    ::_exit(127);
  }
  int status = 0;
  struct rusage usage;
  if (::wait4(pid, &status, 0, &usage) != pid) return 127;
  FILE* peak = std::fopen(argv[1], "w");
  if (!peak || std::fprintf(peak, "%ld\n", usage.ru_maxrss) < 0 || std::fclose(peak) != 0) {
    std::perror(argv[1]);
    return 127;
  }
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 127;
}
