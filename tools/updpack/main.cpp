// updpack: builds, lists and verifies update files, and drafts manifests from releases.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "init.h"
#include "manifest.h"
#include "pack.h"
#include "platform/exceptions.h"
#include "read_back.h"
#include "session/trust.h"
#include "signing.h"
#include "vareri_version.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace {

const char kSynopsis[] =
    "Usage: updpack build MANIFEST -o FILE.upd [--sign KEY | --plain] [-j N] [--quiet]\n"
    "       updpack list FILE.upd\n"
    "       updpack verify FILE.upd [--key PUBLIC]\n"
    "       updpack sign FILE.upd --key KEY\n"
    "       updpack keygen --private KEY --public PUBLIC\n"
    "       updpack init --new FOLDER --previous FOLDER... -o MANIFEST\n";

const char kDetails[] =
    "\n"
    "Builds update files, signs them and checks them.\n"
    "\n"
    "Commands:\n"
    "  build    read the JSON manifest, stamp, compress and fingerprint every file it\n"
    "           names, and write the update file (replaced only when complete) with an\n"
    "           integrity record: SHA-256 digests of the file and of every new file\n"
    "  list     print the header, the integrity record and one line per file entry\n"
    "  verify   check the file against its digests, expand every entry's stored contents\n"
    "           and compare with its expected size and digest, and check the signature;\n"
    "           exit status 0 only if all of them match\n"
    "  sign     sign an update file (replacing an earlier signature), in place\n"
    "  keygen   make a new ECDSA P-256 key pair and print the public key's one-line text,\n"
    "           the text an installer records in the registry value UpdateKey\n"
    "  init     compare the new release's folder with the folders of earlier releases and\n"
    "           write a manifest of the files that changed, with \"<fill in: ...>\" texts\n"
    "           to replace before it builds; reports files added and removed\n"
    "\n"
    "Options:\n"
    "  -o, --output FILE   where build writes the update file, init the manifest\n"
    "  --sign KEY          build: sign the update file with the private key KEY (PEM)\n"
    "  --plain             build: no integrity record, the file as older tools wrote it\n"
    "  -j, --jobs N        build: compress N files at once (default: one per core); the\n"
    "                      update file is the same whatever N is\n"
    "  --key KEY           sign: the private key (PEM); verify: the public key the file\n"
    "                      must be signed by (PEM, or the one-line text)\n"
    "  --private KEY       keygen: where the private key goes (keep it secret)\n"
    "  --public PUBLIC     keygen: where the public key goes\n"
    "  --new FOLDER        init: the release the update brings\n"
    "  --previous FOLDER   init: a release customers may have installed (repeat it)\n"
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
  std::fprintf(stderr, "updpack: %s\n%sTry 'updpack --help'.\n", problem.c_str(), kSynopsis);
  return 2;
}

#ifdef _WIN32
std::string Narrow(const wchar_t* wide, UINT codePage) {
  int bytes = ::WideCharToMultiByte(codePage, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  std::string text(bytes > 0 ? bytes : 1, '\0');
  ::WideCharToMultiByte(codePage, 0, wide, -1, &text[0], bytes, nullptr, nullptr);
  return text.c_str();
}

// list and verify open the update file through the updater's own file layer, which takes
// names in the ANSI code page as the updater does; updpack holds them in UTF-8.
std::string NativeName(const std::string& utf8) {
  int units = ::MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  std::wstring wide(units > 0 ? units : 1, L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &wide[0], units);
  return Narrow(wide.c_str(), CP_ACP);
}
#else
std::string NativeName(const std::string& utf8) { return utf8; }
#endif

int Build(const std::string& manifestPath, const std::string& output, bool quiet,
          const std::string& signingKey, bool plain, unsigned jobs) {
  std::filesystem::path manifestName = std::filesystem::u8path(manifestPath);
  std::ifstream in(manifestName, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "updpack: cannot read manifest %s\n", manifestPath.c_str());
    return 1;
  }
  std::stringstream text;
  text << in.rdbuf();
  std::string base = manifestName.parent_path().u8string();
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
  BuildOptions options;
  options.plain = plain;
  options.jobs = jobs;
  std::unique_ptr<SigningKey> signer;
  if (!signingKey.empty()) {
    signer = SigningKey::Load(signingKey);
    options.signer = signer.get();
  }
  BuildUpdate(manifest, output, report, options);
  if (!quiet) {
    std::fprintf(stderr, "updpack: wrote %s (%zu files)\n", output.c_str(), manifest.files.size());
  }
  return 0;
}

// The public key a file must be signed by, from a file holding its PEM or one-line text.
TrustRequirement KeyFromFile(const std::string& path) {
  std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
  TrustRequirement trust;
  if (!ReadKeyFile(in, path, &trust)) throw PackError("cannot read the key " + path);
  return trust;
}

int Keygen(const std::string& privatePath, const std::string& publicPath) {
  PublicKey key = GenerateKeyPair(privatePath, publicPath);
  std::printf("%s\n", key.Text().c_str());
  std::fprintf(stderr, "updpack: wrote %s (keep it secret) and %s; key id %s\n",
               privatePath.c_str(), publicPath.c_str(), key.Id().Hex().c_str());
  return 0;
}

int Init(const InitOptions& options) {
  InitSummary summary = InitManifest(options);
  auto report = [](const char* what, const std::vector<std::string>& paths) {
    for (const std::string& path : paths)
      std::fprintf(stderr, "updpack: %s: %s\n", what, path.c_str());
  };
  report("only in the new release, left out (an update replaces files, it cannot add them)",
         summary.added);
  report("removed since a previous release (an update cannot remove files)", summary.removed);
  report("left out", summary.leftOut);
  if (summary.entries == 0) {
    std::fprintf(stderr,
                 "updpack: no file changed in a way an update can deliver; %s not written\n",
                 options.output.c_str());
    return 1;
  }
  std::fprintf(stderr,
               "updpack: wrote %s: %zu changed files (%zu unchanged left out), samples %u x %u "
               "bytes.\nReplace every \"%s...>\" text, then: updpack build %s -o FILE.upd\n",
               options.output.c_str(), summary.entries, summary.unchanged.size(),
               summary.samples.count, summary.samples.length, kPlaceholder, options.output.c_str());
  return 0;
}

int Run(const std::vector<std::string>& args) {
  std::string command, input;
  bool quiet = false, plain = false;
  InitOptions init;
  // The options that take a name, and the commands each belongs to.
  struct NameOption {
    const char* name;
    const char* shortName;
    const char* commands;
    std::string value;
  } options[] = {
      {"--output", "-o", "build init", ""},  {"--sign", nullptr, "build", ""},
      {"--key", nullptr, "sign verify", ""}, {"--private", nullptr, "keygen", ""},
      {"--public", nullptr, "keygen", ""},   {"--jobs", "-j", "build", ""},
  };
  NameOption& output = options[0];
  NameOption& sign = options[1];
  NameOption& key = options[2];
  NameOption& privateKey = options[3];
  NameOption& publicKey = options[4];
  NameOption& jobs = options[5];
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    NameOption* option = nullptr;
    for (NameOption& candidate : options) {
      if (arg == candidate.name || (candidate.shortName && arg == candidate.shortName)) {
        option = &candidate;
      }
    }
    bool valued = option || arg == "--new" || arg == "--previous";
    if (valued && i + 1 >= args.size()) {
      return Usage(arg + (option == &jobs ? " needs a number" : " needs a name"));
    }
    if (arg == "-h" || arg == "--help") {
      std::fputs(kSynopsis, stdout);
      std::fputs(kDetails, stdout);
      return 0;
    } else if (arg == "--version") {
      std::printf("updpack %s\n", VARERI_VERSION);
      return 0;
    } else if (option) {
      option->value = args[++i];
    } else if (arg == "--new") {
      init.newDirectory = args[++i];
    } else if (arg == "--previous") {
      init.previousDirectories.push_back(args[++i]);
    } else if (arg == "-q" || arg == "--quiet") {
      quiet = true;
    } else if (arg == "--plain") {
      plain = true;
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
  const std::string known = " build list verify sign keygen init ";
  if (known.find(" " + command + " ") == std::string::npos) {
    return Usage("\"" + command + "\" is not a command");
  }
  for (const NameOption& option : options) {
    std::string commands = std::string(" ") + option.commands + " ";
    if (!option.value.empty() && commands.find(" " + command + " ") == std::string::npos) {
      return Usage(std::string(option.name) + " is only for " + option.commands);
    }
  }
  if (plain && command != "build") return Usage("--plain is only for build");
  bool initOptions = !init.newDirectory.empty() || !init.previousDirectories.empty();
  if (initOptions && command != "init") return Usage("--new and --previous are only for init");
  if (command == "init") {
    if (!input.empty()) return Usage("unexpected argument " + input);
    if (init.newDirectory.empty()) return Usage("init needs --new FOLDER");
    if (init.previousDirectories.empty()) return Usage("init needs at least one --previous FOLDER");
    if (output.value.empty()) return Usage("init needs -o MANIFEST");
    init.output = output.value;
    return Init(init);
  }
  if (command == "keygen") {
    if (!input.empty()) return Usage("unexpected argument " + input);
    if (privateKey.value.empty() || publicKey.value.empty()) {
      return Usage("keygen needs --private KEY and --public PUBLIC");
    }
    return Keygen(privateKey.value, publicKey.value);
  }
  if (input.empty()) return Usage(command + " needs a file");
  if (command == "build") {
    if (output.value.empty()) return Usage("build needs -o FILE.upd");
    if (plain && !sign.value.empty()) return Usage("--plain leaves no record to sign");
    unsigned threads = 0;
    if (!jobs.value.empty()) {
      char* end = nullptr;
      unsigned long n = std::strtoul(jobs.value.c_str(), &end, 10);
      if (*end || n < 1 || n > 256 || !std::isdigit(static_cast<unsigned char>(jobs.value[0]))) {
        return Usage("-j needs a number of files from 1 to 256, not \"" + jobs.value + "\"");
      }
      threads = static_cast<unsigned>(n);
    }
    return Build(input, output.value, quiet, sign.value, plain, threads);
  }
  if (command == "list") {
    ListUpdate(NativeName(input), std::cout);
    return 0;
  }
  if (command == "verify") {
    TrustRequirement trust = key.value.empty() ? TrustRequirement() : KeyFromFile(key.value);
    return VerifyUpdate(NativeName(input), std::cout, trust) ? 0 : 1;
  }
  if (key.value.empty()) return Usage("sign needs --key KEY");
  SignUpdate(input, *SigningKey::Load(key.value));
  if (!quiet) std::fprintf(stderr, "updpack: signed %s\n", input.c_str());
  return 0;
}

int Main(const std::vector<std::string>& args) {
  try {
    return Run(args);
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

}  // namespace

#ifdef _WIN32
// Windows hands the command line over in UTF-16; updpack keeps every name in UTF-8, so
// "données" survives whatever the ANSI code page.
int wmain(int argc, wchar_t** argv) {
  ::SetConsoleOutputCP(CP_UTF8);
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(Narrow(argv[i], CP_UTF8));
  return Main(args);
}
#else
int main(int argc, char** argv) { return Main(std::vector<std::string>(argv, argv + argc)); }
#endif
