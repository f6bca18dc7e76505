// updpack: builds, lists and verifies update files, and drafts manifests from releases
// (see updpack.h).
#include <iostream>
#include <string>
#include <vector>

#include "temporary_files.h"
#include "updpack.h"

#ifdef _WIN32
#include <windows.h>

namespace {

std::string Utf8(const wchar_t* wide) {
  int bytes = ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  std::string text(bytes > 0 ? bytes : 1, '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, &text[0], bytes, nullptr, nullptr);
  return text.c_str();
}

}  // namespace

// Windows hands the command line over in UTF-16; updpack keeps every name in UTF-8, so
// "données" survives whatever the ANSI code page.
int wmain(int argc, wchar_t** argv) {
  ::SetConsoleOutputCP(CP_UTF8);
  RemoveTemporariesWhenInterrupted();
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(Utf8(argv[i]));
  return RunUpdpack(args, std::cout, std::cerr);
}
#else
int main(int argc, char** argv) {
  RemoveTemporariesWhenInterrupted();
  return RunUpdpack(std::vector<std::string>(argv, argv + argc), std::cout, std::cerr);
}
#endif
