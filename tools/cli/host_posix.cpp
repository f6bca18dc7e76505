#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host.h"
#include "platform/posix/native_path.h"

namespace {

std::atomic<bool> gInterrupted(false);
struct sigaction gPrevious[2];
const int kSignals[2] = {SIGINT, SIGTERM};

void OnInterrupt(int) { gInterrupted = true; }

}  // namespace

bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string HostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return std::string();
  return name;
}

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

InterruptGuard::InterruptGuard() {
  gInterrupted = false;
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  // SA_RESETHAND: the second interrupt finds the default action again. SA_RESTART: the
  // engine's system calls go on as if nothing happened.
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  for (int k = 0; k < 2; ++k) ::sigaction(kSignals[k], &action, &gPrevious[k]);
}

InterruptGuard::~InterruptGuard() {
  for (int k = 0; k < 2; ++k) ::sigaction(kSignals[k], &gPrevious[k], nullptr);
}

const std::atomic<bool>& InterruptGuard::requested() const { return gInterrupted; }
