#include "trust_command.h"

#include "cli_help.h"
#include "given_key.h"
#include "platform/canonical_path.h"
#include "platform/signature.h"
#include "session/exit_status.h"

namespace {

int Fail(std::ostream& err, ExitStatus status, const std::string& message) {
  err << kCliProgram << ": " << message << '\n' << std::flush;
  return status;
}

}  // namespace

int RunTrustCommand(const CliOptions& options, std::ostream& out, std::ostream& err) {
  TrustStoreLocation where = TrustStoreOf(options.trustStore);
#ifndef _WIN32
  if (where.file.empty()) {
    return Fail(err, kExitUsage, "trust needs the store: --trust-store FILE or VARERI_TRUST_STORE");
  }
#endif
  if (options.trustAction == "list") {
    TrustStore store;
    std::string problem = ReadTrustStore(where, &store);
    if (!problem.empty()) return Fail(err, kExitErrors, problem);
    for (const TrustEntry& entry : store.entries) {
      PublicKey key;
      std::string id = ParsePublicKey(entry.keyText, &key).empty() ? key.Id().Hex() : "not a key";
      out << id << '\t' << entry.directory << '\t' << entry.origin << '\n';
    }
    if (store.requireSignature) out << "policy\t" << store.policyOrigin << '\n';
    out << std::flush;
    return kExitUpToDate;
  }
  if (!IsFullPath(options.dir)) {
    return Fail(err, kExitUsage, "--dir " + options.dir + " is not a full path such as C:\\APP");
  }
  if (options.trustAction == "remove") {
    size_t removed = 0;
    std::string problem = RemoveTrustEntries(where, options.dir, options.user, &removed);
    if (!problem.empty()) return Fail(err, kExitErrors, problem);
    if (!options.quiet) {
      out << (removed ? "removed the trust entry for " : "no trust entry for ") << options.dir
          << (removed > 1 ? " (" + std::to_string(removed) + " entries)" : "") << '\n'
          << std::flush;
    }
    return kExitUpToDate;
  }
  TrustRequirement given;
  if (!ReadGivenKey(options.keyPath, &given)) {
    return Fail(err, kExitUsage, "cannot read the key file " + options.keyPath);
  }
  PublicKey key;
  std::string problem = ParsePublicKey(given.keyText, &key);
  if (!problem.empty()) return Fail(err, kExitUsage, options.keyPath + " is not a key: " + problem);
  problem = AddTrustEntry(where, options.dir, key.Text(), options.user);
  if (!problem.empty()) return Fail(err, kExitErrors, problem);
  if (!options.quiet) {
    out << options.dir << " now takes only updates signed by key " << key.Id().Hex() << '\n'
        << std::flush;
  }
  return kExitUpToDate;
}
