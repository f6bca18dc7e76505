#include "updpack_commands.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "init.h"
#include "manifest.h"
#include "pack.h"
#include "read_back.h"
#include "release_file.h"
#include "session/trust.h"
#include "signing.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
// list and verify open the update file through the updater's own file layer, which takes
// names in the ANSI code page as the updater does; updpack holds them in UTF-8.
std::string NativeName(const std::string& utf8) {
  int units = ::MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  std::wstring wide(units > 0 ? units : 1, L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &wide[0], units);
  int bytes = ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string text(bytes > 0 ? bytes : 1, '\0');
  ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, &text[0], bytes, nullptr, nullptr);
  return text.c_str();
}
#else
std::string NativeName(const std::string& utf8) { return utf8; }
#endif

int Build(const UpdpackOptions& options, std::ostream& err) {
  const std::string& manifestPath = options.input;
  std::filesystem::path manifestName = std::filesystem::u8path(manifestPath);
  std::ifstream in;
  std::string problem = OpenToRead(manifestPath, in);
  if (!problem.empty()) {
    err << "updpack: cannot read manifest " << manifestPath << ": " << problem << "\n";
    return 1;
  }
  std::stringstream text;
  text << in.rdbuf();
  std::string base = manifestName.parent_path().u8string();
  Manifest manifest;
  try {
    manifest = ParseManifest(text.str(), base);
  } catch (const ManifestError& e) {
    err << "updpack: " << manifestPath << ": " << e.what() << "\n";
    return 1;
  }
  // Progress lines only for someone watching the terminal.
  bool progress = !options.quiet && &err == &std::cerr && isatty(fileno(stderr));
  PackReport report;
  size_t done = 0;
  if (progress) {
    report.progress = [&](const std::string& line) {
      ++done;
      err << "[" << done << "/" << manifest.files.size() << "] " << line << "\n";
    };
  }
  report.warning = [&err](const std::string& line) { err << "updpack: warning: " << line << "\n"; };
  BuildOptions build;
  build.plain = options.plain;
  build.jobs = options.jobs;
  std::unique_ptr<SigningKey> signer;
  if (!options.sign.empty()) {
    signer = SigningKey::Load(options.sign);
    build.signer = signer.get();
  }
  BuildUpdate(manifest, options.output, report, build);
  if (!options.quiet) {
    err << "updpack: wrote " << options.output << " (" << manifest.files.size() << " files)\n";
  }
  return 0;
}

// The public key a file must be signed by, from a file holding its PEM or one-line text.
TrustRequirement KeyFromFile(const std::string& path) {
  std::ifstream in;
  std::string problem = OpenToRead(path, in);
  TrustRequirement trust;
  if (problem.empty() && !ReadKeyFile(in, path, &trust)) problem = WhyUnreadable(path);
  if (!problem.empty()) throw PackError("cannot read the key " + path + ": " + problem);
  return trust;
}

// The one-line text of a key file's public key: of a public key as it is, of a private key
// the public half, which the signing library derives.
int KeyShow(const std::string& path, std::ostream& out) {
  TrustRequirement trust = KeyFromFile(path);
  PublicKey key;
  std::string problem = ParsePublicKey(trust.keyText, &key);
  if (!problem.empty() && trust.keyText.find("PRIVATE KEY-----") != std::string::npos) {
    key = SigningKey::Load(path)->publicKey();
    problem.clear();
  }
  if (!problem.empty()) throw PackError(path + " holds no key: " + problem);
  out << key.Text() << "\n";
  return 0;
}

int Keygen(const UpdpackOptions& options, std::ostream& out, std::ostream& err) {
  PublicKey key = GenerateKeyPair(options.privateKey, options.publicKey);
  out << key.Text() << "\n";
  err << "updpack: wrote " << options.privateKey << " (keep it secret) and " << options.publicKey
      << "; key id " << key.Id().Hex() << "\n";
  return 0;
}

int Init(const InitOptions& options, std::ostream& err) {
  InitSummary summary = InitManifest(options);
  auto report = [&err](const char* what, const std::vector<std::string>& paths) {
    for (const std::string& path : paths) err << "updpack: " << what << ": " << path << "\n";
  };
  report("only in the new release, added", summary.added);
  report("gone from the new release, removed where it is one of the old copies", summary.removed);
  report("matched byte for byte", summary.byBytes);
  report("left out", summary.leftOut);
  report("left out, names Windows takes for one (add the right file by hand)", summary.clashes);
  if (summary.entries == 0) {
    err << "updpack: no file changed in a way an update can deliver; " << options.output
        << " not written\n";
    return 1;
  }
  err << "updpack: wrote " << options.output << ": " << summary.entries << " entries ("
      << summary.unchanged.size() << " unchanged left out), samples " << summary.samples.count
      << " x " << summary.samples.length << " bytes.\nReplace every \"" << kPlaceholder
      << "...>\" text, then: updpack build " << options.output << " -o FILE.upd\n";
  return 0;
}

}  // namespace

int RunUpdpackCommand(const UpdpackOptions& options, std::ostream& out, std::ostream& err) {
  const std::string& command = options.command;
  if (command == "init") return Init(options.init, err);
  if (command == "keygen") return Keygen(options, out, err);
  if (command == "key") return KeyShow(options.keyFile, out);
  if (command == "build") return Build(options, err);
  if (command == "list") {
    ListUpdate(NativeName(options.input), out);
    return 0;
  }
  if (command == "verify") {
    TrustRequirement trust = options.key.empty() ? TrustRequirement() : KeyFromFile(options.key);
    return VerifyUpdate(NativeName(options.input), out, trust) ? 0 : 1;
  }
  // The rest signs.
  SignUpdate(options.input, *SigningKey::Load(options.key));
  if (!options.quiet) err << "updpack: signed " << options.input << "\n";
  return 0;
}
