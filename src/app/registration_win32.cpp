// The registration on HKEY_CLASSES_ROOT, for the running program.
#include <windows.h>

#include "app/registration.h"
#include "model/limits.h"

namespace {

class SystemClassesRegistry : public ClassesRegistry {
 public:
  bool SetValue(const std::string& key, const std::string& text) override {
    return ::RegSetValueA(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, text.c_str(),
                          static_cast<DWORD>(text.size())) == ERROR_SUCCESS;
  }

  bool HasValue(const std::string& key) override {
    char existing[520];
    LONG size = sizeof existing;
    return ::RegQueryValueA(HKEY_CLASSES_ROOT, key.c_str(), existing, &size) == ERROR_SUCCESS &&
           size > 1 && existing[0] != '\0';
  }
};

}  // namespace

void RegisterFileType() {
  char program[kProgramPathSize];
  DWORD n = ::GetModuleFileNameA(nullptr, program, sizeof program);
  if (n == 0 || n >= sizeof program) return;
  SystemClassesRegistry registry;
  RegisterFileType(program, registry);
}
