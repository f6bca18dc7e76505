// The GUI driver: reading and writing the registry the program under test sees.
#include <cstring>

#include "gui_driver.h"
#include "gui_driver_internal.h"

namespace gui {
namespace {

class ScopedKey {
 public:
  ScopedKey() = default;
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;
  ~ScopedKey() {
    if (h_) RegCloseKey(h_);
  }
  HKEY* Out() { return &h_; }
  HKEY Get() const { return h_; }

 private:
  HKEY h_ = nullptr;
};

// Reads a value's raw bytes; nullopt when the key or the value is missing.
std::optional<std::vector<BYTE>> QueryValue(HKEY root, const std::string& subkey,
                                            const std::string& value, DWORD* type) {
  ScopedKey key;
  LONG rc = RegOpenKeyExA(root, subkey.c_str(), 0, KEY_QUERY_VALUE, key.Out());
  if (rc == ERROR_FILE_NOT_FOUND) return std::nullopt;
  if (rc != ERROR_SUCCESS) Fail("opening registry key '" + subkey + "': " + ErrorText(rc));
  DWORD size = 0;
  rc = RegQueryValueExA(key.Get(), value.c_str(), nullptr, type, nullptr, &size);
  if (rc == ERROR_FILE_NOT_FOUND) return std::nullopt;
  if (rc != ERROR_SUCCESS) Fail("reading registry value '" + value + "': " + ErrorText(rc));
  std::vector<BYTE> data(size + 2, 0);
  rc = RegQueryValueExA(key.Get(), value.c_str(), nullptr, type, data.data(), &size);
  if (rc != ERROR_SUCCESS) Fail("reading registry value '" + value + "': " + ErrorText(rc));
  data.resize(size);
  return data;
}

void OpenForWriting(HKEY root, const std::string& subkey, ScopedKey* key) {
  LONG rc = RegCreateKeyExA(root, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_SET_VALUE, nullptr, key->Out(), nullptr);
  if (rc != ERROR_SUCCESS) Fail("creating registry key '" + subkey + "': " + ErrorText(rc));
}

}  // namespace

std::optional<std::string> RegistryString(HKEY root, const std::string& subkey,
                                          const std::string& value) {
  DWORD type = 0;
  auto data = QueryValue(root, subkey, value, &type);
  if (!data) return std::nullopt;
  if (type != REG_SZ && type != REG_EXPAND_SZ) {
    Fail("registry value '" + subkey + "\\" + value + "' is not a string");
  }
  std::string s(data->begin(), data->end());
  while (!s.empty() && s.back() == '\0') s.pop_back();
  return s;
}

std::optional<DWORD> RegistryDword(HKEY root, const std::string& subkey, const std::string& value) {
  DWORD type = 0;
  auto data = QueryValue(root, subkey, value, &type);
  if (!data) return std::nullopt;
  if (type != REG_DWORD || data->size() != sizeof(DWORD)) {
    Fail("registry value '" + subkey + "\\" + value + "' is not a DWORD");
  }
  DWORD v = 0;
  std::memcpy(&v, data->data(), sizeof v);
  return v;
}

bool RegistryKeyExists(HKEY root, const std::string& subkey) {
  ScopedKey key;
  return RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, key.Out()) == ERROR_SUCCESS;
}

void WriteRegistryString(HKEY root, const std::string& subkey, const std::string& value,
                         const std::string& data) {
  ScopedKey key;
  OpenForWriting(root, subkey, &key);
  LONG rc = RegSetValueExA(key.Get(), value.c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(data.c_str()),
                           static_cast<DWORD>(data.size() + 1));
  if (rc != ERROR_SUCCESS) Fail("writing registry value '" + value + "': " + ErrorText(rc));
}

void WriteRegistryDword(HKEY root, const std::string& subkey, const std::string& value,
                        DWORD data) {
  ScopedKey key;
  OpenForWriting(root, subkey, &key);
  LONG rc = RegSetValueExA(key.Get(), value.c_str(), 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&data), sizeof data);
  if (rc != ERROR_SUCCESS) Fail("writing registry value '" + value + "': " + ErrorText(rc));
}

void RemoveRegistryKey(HKEY root, const std::string& subkey) {
  {
    ScopedKey key;
    LONG rc = RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, key.Out());
    if (rc == ERROR_FILE_NOT_FOUND) return;
    if (rc != ERROR_SUCCESS) Fail("opening registry key '" + subkey + "': " + ErrorText(rc));
    // Children first: RegDeleteKeyA removes only keys without subkeys.
    for (;;) {
      char name[256];
      DWORD len = sizeof name;
      rc = RegEnumKeyExA(key.Get(), 0, name, &len, nullptr, nullptr, nullptr, nullptr);
      if (rc == ERROR_NO_MORE_ITEMS) break;
      if (rc != ERROR_SUCCESS) Fail("listing registry key '" + subkey + "': " + ErrorText(rc));
      RemoveRegistryKey(root, subkey + "\\" + name);
    }
  }
  LONG rc = RegDeleteKeyA(root, subkey.c_str());
  if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
    Fail("deleting registry key '" + subkey + "': " + ErrorText(rc));
  }
}

}  // namespace gui
