// The trust store: which installation directories require their updates signed by which key.
// Installers and administrators write it; an update file never does, so an update file cannot
// choose whether it needs a signature. On Windows it is the registry: one subkey per product
// under HKLM\SOFTWARE\vareri\Trust (read in its 64-bit view, where a 64-bit installer writes)
// or, for a per-user product, under HKCU\SOFTWARE\vareri\Trust, with the string values
// Directory and Key; the machine policy is the DWORD RequireSignature under
// HKLM\SOFTWARE\Policies\vareri. Natively it is a file: one entry a line, the key's one-line
// text, a tab and the directory, and a line "require-signature" for the policy.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Where Windows keeps it, below HKLM and HKCU; the policy below HKLM. docs/policy's template
// sets the policy value.
constexpr char kTrustStoreKey[] = "SOFTWARE\\vareri\\Trust";
constexpr char kPolicyKey[] = "SOFTWARE\\Policies\\vareri";
constexpr char kPolicyValue[] = "RequireSignature";

struct TrustEntry {
  std::string directory;  // as recorded: a full path, in any form an installation directory takes
  std::string keyText;    // as recorded: a public key's one-line text, not checked here
  std::string origin;     // where it is recorded, for messages: "HKLM\SOFTWARE\vareri\Trust\Quill"
  bool perUser = false;
};

struct TrustStore {
  std::vector<TrustEntry> entries;
  bool requireSignature = false;  // every update must be signed by a key whose entry covers
                                  // each of its targets
  std::string policyOrigin;       // where the policy is set, for messages
};

// Where the store is kept: the file natively ("": there is none), ignored on Windows.
struct TrustStoreLocation {
  std::string file;
};

// What the store is called in messages: "the trust store (FILE)", "the registry's trust store".
std::string TrustStoreName(const TrustStoreLocation& where);

// Reads the whole store into *store. Returns "" or what could not be read. A store that is not
// there is empty; anything else that cannot be read (a refused read, a value of the wrong type,
// a subkey without its values, a line that is no entry) is never taken for an empty store.
std::string ReadTrustStore(const TrustStoreLocation& where, TrustStore* store);

// Records `keyText` for `directory`, in the per-user part of the store when `perUser` (on
// Windows HKCU; natively there is one file), replacing the key of an entry whose directory is
// the same (CanonicalPath). Returns "" or what went wrong.
std::string AddTrustEntry(const TrustStoreLocation& where, const std::string& directory,
                          const std::string& keyText, bool perUser);

// Removes every entry of `directory` (the same by CanonicalPath) from the machine's or the
// per-user part of the store, counting them in *removed. Returns "" or what went wrong.
std::string RemoveTrustEntries(const TrustStoreLocation& where, const std::string& directory,
                               bool perUser, size_t* removed);
