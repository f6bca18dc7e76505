#include "app/registration.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

const char kFileType[] = "VLR.Update";
const char kDescription[] = "Velloran Update File";

}  // namespace

bool SetClassesValue(const std::string& key, const std::string& text) {
  return ::RegSetValueA(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, text.c_str(),
                        static_cast<DWORD>(text.size())) == ERROR_SUCCESS;
}

void RegisterFileType() {
  char program[260];
  DWORD n = ::GetModuleFileNameA(nullptr, program, sizeof program);
  if (n == 0 || n >= sizeof program) return;
  // The command and icon texts live in 260 bytes as well: a path that leaves no room for
  // " %1" or ",0" is not registered at all rather than registered cut.
  char command[260];
  char icon[260];
  if (std::snprintf(command, sizeof command, "%s %%1", program) >=
          static_cast<int>(sizeof command) ||
      std::snprintf(icon, sizeof icon, "%s,0", program) >= static_cast<int>(sizeof icon)) {
    return;
  }
  if (!SetClassesValue(kFileType, kDescription)) return;
  char key[520];
  std::snprintf(key, sizeof key, "%s\\shell\\open\\%s", kFileType, "command");
  if (!SetClassesValue(key, command)) return;
  std::snprintf(key, sizeof key, "%s\\DefaultIcon", kFileType);
  SetClassesValue(key, icon);
  char existing[520];
  LONG size = sizeof existing;
  if (::RegQueryValueA(HKEY_CLASSES_ROOT, ".upd", existing, &size) != ERROR_SUCCESS || size <= 1 ||
      existing[0] == '\0') {
    SetClassesValue(".upd", kFileType);
  }
}
