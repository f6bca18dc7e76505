// The real vareri-cli of this build, for the tests that start it as a script would.
#pragma once

#include <string>

#ifdef VARERI_CLI_EXE
// The program's path as this build's OS takes it (Wine maps the Unix root to Z:).
inline std::string CliProgramPath() {
  std::string exe = VARERI_CLI_EXE;
#ifdef _WIN32
  for (char& c : exe) {
    if (c == '/') c = '\\';
  }
  if (exe[0] == '\\') exe = "Z:" + exe;
#endif
  return exe;
}
#endif
