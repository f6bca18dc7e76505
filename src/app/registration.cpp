#include "app/registration.h"

#include <cstdio>

#include "model/limits.h"

namespace {

const char kFileType[] = "VLR.Update";
const char kDescription[] = "Velloran Update File";

}  // namespace

void RegisterFileType(const std::string& program, ClassesRegistry& registry) {
  // The command and icon texts live in 260 bytes: a path that leaves no room for " %1" or
  // ",0" is not registered at all rather than registered cut.
  char command[kProgramPathSize];
  char icon[kProgramPathSize];
  if (std::snprintf(command, sizeof command, "%s %%1", program.c_str()) >=
          static_cast<int>(sizeof command) ||
      std::snprintf(icon, sizeof icon, "%s,0", program.c_str()) >= static_cast<int>(sizeof icon)) {
    return;
  }
  if (!registry.SetValue(kFileType, kDescription)) return;
  char key[520];
  std::snprintf(key, sizeof key, "%s\\shell\\open\\%s", kFileType, "command");
  if (!registry.SetValue(key, command)) return;
  std::snprintf(key, sizeof key, "%s\\DefaultIcon", kFileType);
  registry.SetValue(key, icon);
  if (!registry.HasValue(".upd")) registry.SetValue(".upd", kFileType);
}
