// updpack: builds, lists and verifies update files.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "manifest.h"
#include "pack.h"
#include "platform/exceptions.h"
#include "read_back.h"
#include "vareri_version.h"

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace {

const char kUsage[] =
    "Usage: updpack build MANIFEST -o FILE.upd [--quiet]\n"
    "       updpack list FILE.upd\n"
    "       updpack verify FILE.upd\n"
    "\n"
    "Builds update files and checks them.\n"
    "\n"
    "Commands:\n"
    "  build    read the JSON manifest, stamp, compress and fingerprint every file it\n"
    "           names, and write the update file (replaced only when complete)\n"
    "  list     print the header and one line per file entry\n"
    "  verify   expand every entry's stored contents and compare with its expected size;\n"
    "           exit status 0 only if all of them match\n"
    "\n"
    "Options:\n"
    "  -o, --output FILE   where build writes the update file\n"
    "  -q, --quiet         no progress lines\n"
    "  -h, --help          show this help\n"
    "      --version       print the version\n"
    "\n"
    "Manifest (paths relative to the manifest's directory):\n"
    "  {\n"
    "    \"format\": 6,                       5 or 6\n"
    "    \"product\": \"Demo\",\n"
    "    \"description\": \"...\", \"failureMessage\": \"...\",\n"
    "    \"defaultDirectory\": \"C:\\\\DEMO\",\n"
    "    \"registry\": [\"Maker\", \"Demo\", \"1.0\"],  format 6: Software\\Maker\\Demo\\1.0\n"
    "    \"sampleCount\": 8, \"sampleLength\": 16,\n"
    "    \"files\": [ { \"component\": \"Program\", \"description\": \"...\",\n"
    "                 \"selected\": true, \"name\": \"DEMO.EXE\",\n"
    "                 \"directoryKind\": \"installation\", \"directory\": \"BIN\",\n"
    "                 \"new\": \"1.1/DEMO.EXE\", \"previous\": [\"1.0/DEMO.EXE\"] } ]\n"
    "  }\n"
    "  directoryKind: windows, system, installation or absolute.\n"
    "\n"
    "Exit status: 0 success, 1 failure, 2 wrong usage.\n";

int Usage(const std::string& problem) {
  std::fprintf(stderr, "updpack: %s\nTry 'updpack --help'.\n", problem.c_str());
  return 2;
}

int Build(const std::string& manifestPath, const std::string& output, bool quiet) {
  std::ifstream in(manifestPath, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "updpack: cannot read manifest %s\n", manifestPath.c_str());
    return 1;
  }
  std::stringstream text;
  text << in.rdbuf();
  std::string base = std::filesystem::path(manifestPath).parent_path().string();
  Manifest manifest;
  try {
    manifest = ParseManifest(text.str(), base);
  } catch (const ManifestError& e) {
    std::fprintf(stderr, "updpack: %s: %s\n", manifestPath.c_str(), e.what());
    return 1;
  }
  bool progress = !quiet && isatty(fileno(stderr));
  PackReport report;
  size_t done = 0;
  if (progress) {
    report.progress = [&](const std::string& line) {
      ++done;
      std::fprintf(stderr, "[%zu/%zu] %s\n", done, manifest.files.size(), line.c_str());
    };
  }
  report.warning = [](const std::string& line) {
    std::fprintf(stderr, "updpack: warning: %s\n", line.c_str());
  };
  BuildUpdate(manifest, output, report);
  if (!quiet) {
    std::fprintf(stderr, "updpack: wrote %s (%zu files)\n", output.c_str(), manifest.files.size());
  }
  return 0;
}

int Run(int argc, char** argv) {
  std::string command, input, output;
  bool quiet = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--version") {
      std::printf("updpack %s\n", VARERI_VERSION);
      return 0;
    } else if (arg == "-o" || arg == "--output") {
      if (++i >= argc) return Usage(arg + " needs a file name");
      output = argv[i];
    } else if (arg == "-q" || arg == "--quiet") {
      quiet = true;
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage("unknown option " + arg);
    } else if (command.empty()) {
      command = arg;
    } else if (input.empty()) {
      input = arg;
    } else {
      return Usage("unexpected argument " + arg);
    }
  }
  if (command.empty()) return Usage("no command given");
  if (input.empty()) return Usage(command + " needs a file");
  if (command == "build") {
    if (output.empty()) return Usage("build needs -o FILE.upd");
    return Build(input, output, quiet);
  }
  if (!output.empty()) return Usage("-o is only for build");
  if (command == "list") {
    ListUpdate(input, std::cout);
    return 0;
  }
  if (command == "verify") return VerifyUpdate(input, std::cout) ? 0 : 1;
  return Usage("unknown command " + command);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const PackError& e) {
    std::fprintf(stderr, "updpack: %s\n", e.what());
  } catch (const CException& e) {
    std::fprintf(stderr, "updpack: %s\n", e.what());
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "updpack: out of memory\n");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "updpack: %s\n", e.what());
  }
  return 1;
}
