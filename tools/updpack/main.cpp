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
#include "signing.h"

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace {

const char kUsage[] =
    "Usage: updpack build MANIFEST -o FILE.upd [--sign KEY | --plain] [--quiet]\n"
    "       updpack list FILE.upd\n"
    "       updpack verify FILE.upd [--key PUBLIC]\n"
    "       updpack sign FILE.upd --key KEY\n"
    "       updpack keygen --private KEY --public PUBLIC\n"
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
    "\n"
    "Options:\n"
    "  -o, --output FILE   where build writes the update file\n"
    "  --sign KEY          build: sign the update file with the private key KEY (PEM)\n"
    "  --plain             build: no integrity record, the file as older tools wrote it\n"
    "  --key KEY           sign: the private key (PEM); verify: the public key the file\n"
    "                      must be signed by (PEM, or the one-line text)\n"
    "  --private KEY       keygen: where the private key goes (keep it secret)\n"
    "  --public PUBLIC     keygen: where the public key goes\n"
    "  -q, --quiet         no progress lines\n"
    "  -h, --help          show this help\n"
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

int Build(const std::string& manifestPath, const std::string& output, bool quiet,
          const std::string& signingKey, bool plain) {
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
  BuildOptions options;
  options.plain = plain;
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
  std::ifstream in(path, std::ios::binary);
  if (!in) throw PackError("cannot read the key " + path);
  std::stringstream text;
  text << in.rdbuf();
  TrustRequirement trust;
  trust.keyRequired = true;
  trust.keyText = text.str();
  trust.keyOrigin = "the key in " + path;
  return trust;
}

int Keygen(const std::string& privatePath, const std::string& publicPath) {
  PublicKey key = GenerateKeyPair(privatePath, publicPath);
  std::printf("%s\n", key.Text().c_str());
  std::fprintf(stderr, "updpack: wrote %s (keep it secret) and %s; key id %s\n",
               privatePath.c_str(), publicPath.c_str(), key.Id().Hex().c_str());
  return 0;
}

int Run(int argc, char** argv) {
  std::string command, input;
  bool quiet = false, plain = false;
  // The options that take a file, and the commands each belongs to.
  struct FileOption {
    const char* name;
    const char* shortName;
    const char* commands;
    std::string value;
  } options[] = {
      {"--output", "-o", "build", ""},       {"--sign", nullptr, "build", ""},
      {"--key", nullptr, "sign verify", ""}, {"--private", nullptr, "keygen", ""},
      {"--public", nullptr, "keygen", ""},
  };
  FileOption& output = options[0];
  FileOption& sign = options[1];
  FileOption& key = options[2];
  FileOption& privateKey = options[3];
  FileOption& publicKey = options[4];
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    FileOption* option = nullptr;
    for (FileOption& candidate : options) {
      if (arg == candidate.name || (candidate.shortName && arg == candidate.shortName)) {
        option = &candidate;
      }
    }
    if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (option) {
      if (++i >= argc) return Usage(arg + " needs a file name");
      option->value = argv[i];
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
  for (const FileOption& option : options) {
    std::string commands = std::string(" ") + option.commands + " ";
    if (!option.value.empty() && commands.find(" " + command + " ") == std::string::npos) {
      return Usage(std::string(option.name) + " is only for " + option.commands);
    }
  }
  if (plain && command != "build") return Usage("--plain is only for build");
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
    return Build(input, output.value, quiet, sign.value, plain);
  }
  if (command == "list") {
    ListUpdate(input, std::cout);
    return 0;
  }
  if (command == "verify") {
    TrustRequirement trust = key.value.empty() ? TrustRequirement() : KeyFromFile(key.value);
    return VerifyUpdate(input, std::cout, trust) ? 0 : 1;
  }
  if (command == "sign") {
    if (key.value.empty()) return Usage("sign needs --key KEY");
    SignUpdate(input, *SigningKey::Load(key.value));
    if (!quiet) std::fprintf(stderr, "updpack: signed %s\n", input.c_str());
    return 0;
  }
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
