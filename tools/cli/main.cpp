// vareri-cli: the updater's check and update from the command line (see cli.h).
#include <iostream>

#include "cli.h"
#include "host.h"

#ifdef _WIN32
#include <windows.h>
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
  // Critical errors (a drive not ready) go to the failing call, not to a system box that
  // would wait for a user who is not there.
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
#endif
  return RunCli(argc, argv, std::cout, std::cerr, Env::Default(), StandardErrorIsTerminal());
}
