// A stand-in web browser for tests: writes its command line into the file named by its
// first argument, so a test can see which page the program asked the shell to open.
#include <windows.h>

#include <cstdio>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  std::string line = ::GetCommandLineA();
  // The first quoted argument after the program's name is the record file.
  size_t start = line.find('"', line[0] == '"' ? line.find('"', 1) + 1 : 0);
  if (start == std::string::npos) return 1;
  size_t end = line.find('"', start + 1);
  if (end == std::string::npos) return 1;
  std::string record = line.substr(start + 1, end - start - 1);
  FILE* out = std::fopen(record.c_str(), "w");
  if (!out) return 1;
  std::fputs(line.c_str(), out);
  std::fclose(out);
  return 0;
}
