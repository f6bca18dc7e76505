// The trust store in the registry. HKLM is read and written in its 64-bit view where the
// system has one (KEY_WOW64_64KEY): a 32-bit program would otherwise see WOW6432Node and miss
// what a 64-bit installer recorded. The flag means nothing on 32-bit Windows.
#include <windows.h>

#include <vector>

#include "platform/canonical_path.h"
#include "platform/name_case.h"
#include "platform/trust_store.h"

namespace {

constexpr const char* kTrustKey = kTrustStoreKey;

class Key {
 public:
  Key() = default;
  ~Key() {
    if (h_) ::RegCloseKey(h_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY* out() { return &h_; }
  HKEY get() const { return h_; }

 private:
  HKEY h_ = nullptr;
};

std::string RootName(HKEY root) { return root == HKEY_CURRENT_USER ? "HKCU" : "HKLM"; }

std::string ErrorText(LONG code) {
  char text[256] = {};
  DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
  while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == '.')) --n;
  std::string words(text, n);
  return (words.empty() ? "error" : words) + " (" + std::to_string(code) + ")";
}

// A string value: REG_SZ, or REG_EXPAND_SZ with its variables expanded. Returns "" or what
// is wrong with it.
std::string ReadString(HKEY key, const char* name, const std::string& where, std::string* text) {
  DWORD type = 0;
  DWORD size = 0;
  LONG rc = ::RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
  if (rc == ERROR_FILE_NOT_FOUND) return where + " has no " + name + " value";
  if (rc != ERROR_SUCCESS) return where + "\\" + name + " cannot be read: " + ErrorText(rc);
  if (type != REG_SZ && type != REG_EXPAND_SZ) {
    return where + "\\" + name + " is not a string value (REG_SZ)";
  }
  std::vector<char> value(size + 1, '\0');
  rc = ::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size);
  if (rc != ERROR_SUCCESS) return where + "\\" + name + " cannot be read: " + ErrorText(rc);
  *text = value.data();
  if (type == REG_EXPAND_SZ) {
    DWORD n = ::ExpandEnvironmentStringsA(text->c_str(), nullptr, 0);
    std::vector<char> expanded(n + 1, '\0');
    if (n == 0 || ::ExpandEnvironmentStringsA(text->c_str(), expanded.data(), n + 1) == 0) {
      return where + "\\" + name + " cannot be expanded";
    }
    *text = expanded.data();
  }
  return std::string();
}

std::string ReadEntries(HKEY root, bool perUser, TrustStore* store) {
  Key trust;
  std::string where = RootName(root) + "\\" + kTrustKey;
  LONG rc = ::RegOpenKeyExA(root, kTrustKey, 0, KEY_READ | KEY_WOW64_64KEY, trust.out());
  if (rc == ERROR_FILE_NOT_FOUND) return std::string();
  if (rc != ERROR_SUCCESS) return where + " cannot be read: " + ErrorText(rc);
  for (DWORD index = 0;; ++index) {
    char name[256];
    DWORD length = sizeof name;
    rc = ::RegEnumKeyExA(trust.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) return std::string();
    if (rc != ERROR_SUCCESS) return where + " cannot be read: " + ErrorText(rc);
    TrustEntry entry;
    entry.origin = where + "\\" + name;
    entry.perUser = perUser;
    Key product;
    rc = ::RegOpenKeyExA(trust.get(), name, 0, KEY_READ | KEY_WOW64_64KEY, product.out());
    if (rc != ERROR_SUCCESS) return entry.origin + " cannot be read: " + ErrorText(rc);
    std::string problem = ReadString(product.get(), "Directory", entry.origin, &entry.directory);
    if (problem.empty()) problem = ReadString(product.get(), "Key", entry.origin, &entry.keyText);
    if (!problem.empty()) return problem;
    store->entries.push_back(entry);
  }
}

std::string ReadPolicy(TrustStore* store) {
  Key policy;
  std::string where = std::string("HKLM\\") + kPolicyKey;
  LONG rc =
      ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPolicyKey, 0, KEY_READ | KEY_WOW64_64KEY, policy.out());
  if (rc == ERROR_FILE_NOT_FOUND) return std::string();
  if (rc != ERROR_SUCCESS) return where + " cannot be read: " + ErrorText(rc);
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof value;
  rc = ::RegQueryValueExA(policy.get(), kPolicyValue, nullptr, &type,
                          reinterpret_cast<BYTE*>(&value), &size);
  if (rc == ERROR_FILE_NOT_FOUND) return std::string();
  if (rc == ERROR_MORE_DATA || (rc == ERROR_SUCCESS && (type != REG_DWORD || size != 4))) {
    return where + "\\RequireSignature is not a DWORD value";
  }
  if (rc != ERROR_SUCCESS) return where + "\\RequireSignature cannot be read: " + ErrorText(rc);
  store->requireSignature = value != 0;
  store->policyOrigin = "the machine policy RequireSignature (" + where + ")";
  return std::string();
}

bool SameDirectory(const std::string& a, const std::string& b) {
  std::string ca = CanonicalPath(a);
  return !ca.empty() && FoldedName(ca) == FoldedName(CanonicalPath(b));
}

// The subkeys of `root`'s trust key whose Directory is `directory`.
std::vector<std::string> EntriesOf(HKEY trust, const std::string& directory) {
  std::vector<std::string> names;
  for (DWORD index = 0;; ++index) {
    char name[256];
    DWORD length = sizeof name;
    if (::RegEnumKeyExA(trust, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      return names;
    }
    Key product;
    std::string recorded;
    if (::RegOpenKeyExA(trust, name, 0, KEY_READ | KEY_WOW64_64KEY, product.out()) ==
            ERROR_SUCCESS &&
        ReadString(product.get(), "Directory", name, &recorded).empty() &&
        SameDirectory(recorded, directory)) {
      names.push_back(name);
    }
  }
}

}  // namespace

std::string TrustStoreName(const TrustStoreLocation&) {
  return std::string("the registry's trust store (") + kTrustKey + ")";
}

std::string ReadTrustStore(const TrustStoreLocation&, TrustStore* store) {
  *store = TrustStore();
  std::string problem = ReadEntries(HKEY_LOCAL_MACHINE, false, store);
  if (problem.empty()) problem = ReadEntries(HKEY_CURRENT_USER, true, store);
  if (problem.empty()) problem = ReadPolicy(store);
  return problem;
}

std::string AddTrustEntry(const TrustStoreLocation&, const std::string& directory,
                          const std::string& keyText, bool perUser) {
  HKEY root = perUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
  std::string where = RootName(root) + "\\" + kTrustKey;
  Key trust;
  LONG rc = ::RegCreateKeyExA(root, kTrustKey, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                              nullptr, trust.out(), nullptr);
  if (rc != ERROR_SUCCESS) return where + " cannot be written: " + ErrorText(rc);
  std::vector<std::string> existing = EntriesOf(trust.get(), directory);
  std::string name = existing.empty() ? std::string() : existing.front();
  if (name.empty()) {
    // A readable name of its own: the directory, its separators turned into '/'.
    name = directory;
    for (char& c : name) {
      if (c == '\\') c = '/';
    }
  }
  Key product;
  rc = ::RegCreateKeyExA(trust.get(), name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                         nullptr, product.out(), nullptr);
  if (rc == ERROR_SUCCESS && existing.empty()) {
    rc = ::RegSetValueExA(product.get(), "Directory", 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(directory.c_str()),
                          static_cast<DWORD>(directory.size() + 1));
  }
  if (rc == ERROR_SUCCESS) {
    rc = ::RegSetValueExA(product.get(), "Key", 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(keyText.c_str()),
                          static_cast<DWORD>(keyText.size() + 1));
  }
  if (rc != ERROR_SUCCESS) return where + "\\" + name + " cannot be written: " + ErrorText(rc);
  return std::string();
}

std::string RemoveTrustEntries(const TrustStoreLocation&, const std::string& directory,
                               bool perUser, size_t* removed) {
  *removed = 0;
  HKEY root = perUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
  std::string where = RootName(root) + "\\" + kTrustKey;
  Key trust;
  LONG rc = ::RegOpenKeyExA(root, kTrustKey, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, trust.out());
  if (rc == ERROR_FILE_NOT_FOUND) return std::string();
  if (rc != ERROR_SUCCESS) return where + " cannot be written: " + ErrorText(rc);
  for (const std::string& name : EntriesOf(trust.get(), directory)) {
    rc = ::RegDeleteKeyExA(trust.get(), name.c_str(), KEY_WOW64_64KEY, 0);
    if (rc != ERROR_SUCCESS) return where + "\\" + name + " cannot be removed: " + ErrorText(rc);
    ++*removed;
  }
  return std::string();
}
