#include "session/trust_decision.h"

#include <map>
#include <string>
#include <vector>

#include "engine/run_context.h"
#include "model/document.h"
#include "model/paths.h"
#include "platform/canonical_path.h"
#include "platform/name_case.h"

namespace {

// An entry of the store, checked: its key, and its directory's canonical name.
struct Entry {
  PublicKey key;
  std::string canonical;
  std::string origin;  // "the trust entry for C:\APP (HKLM\SOFTWARE\vareri\Trust\App)"
};

// A key the run needs, and who asks for it.
struct Need {
  PublicKey key;
  std::string origin;
};

[[noreturn]] void Refuse(const std::string& text) { throw CTrustException(text); }

std::string Capitalized(std::string text) {
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 32);
  return text;
}

std::vector<Entry> CheckedEntries(const TrustStore& store) {
  std::vector<Entry> entries;
  for (const TrustEntry& recorded : store.entries) {
    Entry entry;
    std::string problem = ParsePublicKey(recorded.keyText, &entry.key);
    if (!problem.empty()) {
      Refuse("The trust entry " + recorded.origin + " holds no valid key: " + problem +
             ". No update runs until it is mended.");
    }
    entry.canonical = IsFullPath(recorded.directory) ? CanonicalPath(recorded.directory) : "";
    if (entry.canonical.empty()) {
      Refuse("The trust entry " + recorded.origin + " names the directory \"" + recorded.directory +
             "\", which is not a full path. No update runs until it is "
             "mended.");
    }
    entry.origin = "the trust entry for " + recorded.directory + " (" + recorded.origin + ")";
    entries.push_back(entry);
  }
  return entries;
}

// Every directory the run would write in: of each selected entry's target, its system
// fallback, and their backup names, which lie beside them.
std::vector<std::string> WrittenDirectories(const VEzorazEdo& document, const RunContext& run) {
  std::vector<std::string> directories;
  for (const auto& item : document.items) {
    if (!item->selected || !item->pathOk) continue;
    directories.push_back(DirectoryOf(item->targetPath));
    std::string fallback;
    if (item->directoryKind == kindSystem && item->FallbackPath(run, &fallback)) {
      directories.push_back(DirectoryOf(fallback));
    }
  }
  return directories;
}

}  // namespace

void DecideTrust(VEzorazEdo& document, const RunContext& run, const TrustStoreLocation& where,
                 const TrustRequirement& given) {
  TrustStore store;
  std::string problem = ReadTrustStore(where, &store);
  if (!problem.empty()) {
    Refuse("The trust store cannot be read: " + problem + ". No update runs until it can be read.");
  }
  std::vector<Entry> entries = CheckedEntries(store);

  std::vector<Need> needs;
  if (document.trust.keyRequired)
    needs.push_back({RequiredKey(document.trust), document.trust.keyOrigin});
  if (given.keyRequired) needs.push_back({RequiredKey(given), given.keyOrigin});

  // Each directory once, by its spelling as Windows compares names.
  std::map<std::string, bool> seen;
  for (const std::string& directory : WrittenDirectories(document, run)) {
    if (!seen.emplace(FoldedName(directory), true).second) continue;
    std::string canonical = CanonicalPath(directory);
    bool covered = false;
    for (const Entry& entry : entries) {
      if (canonical.empty() || !PathContains(entry.canonical, canonical)) continue;
      covered = true;
      needs.push_back({entry.key, entry.origin});
    }
    if (!covered && store.requireSignature) {
      Refuse("Updates must be signed by the key of a trust entry (" + store.policyOrigin +
             "), and no trust entry covers " + directory +
             ": the update is refused. Ask your administrator to record the product's key.");
    }
  }

  for (const Need& need : needs) {
    if (need.key.Id() != needs.front().key.Id()) {
      Refuse(Capitalized(needs.front().origin) + " requires key " + needs.front().key.Id().Hex() +
             " and " + need.origin + " requires key " + need.key.Id().Hex() +
             ": one update file cannot be signed by both, so the update is refused.");
    }
  }
  if (needs.empty()) return;
  CheckSignature(document.integrity, needs.front().key, needs.front().origin);
  document.integrity.signatureVerified = true;
}
