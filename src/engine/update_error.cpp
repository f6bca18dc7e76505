#include "engine/update_error.h"

namespace {

struct Entry {
  const char* name;
  const char* message;
};

const Entry kTable[] = {
    {"", ""},
    {"fileNotFound", "File Not Found"},
    {"differentDate", "Different Date than expected"},
    {"differentSize", "Different Size than expected"},
    {"differentVersion", "Different version than expected"},
    {"cantCreateFile", "Can't Create File"},
    {"previousVersionNotCompatible", "Cannot Update. Previous Version not Compatible"},
    {"cannotWrite", "Cannot Write, Check Read-Only Attribute or File Permissions"},
    {"cannotRename", "Cannot rename File. Check Read-Only Attribute or File Permissions"},
    {"cannotDecompress", "Cannot Decompress. UPD may be corrupted"},
    {"cannotCreateTemp", "Cannot create temp file. Check Read-Only Attribute or File Permissions"},
};

const Entry* Find(UpdateError code) {
  return code < sizeof kTable / sizeof kTable[0] ? &kTable[code] : &kTable[0];
}

}  // namespace

const char* UpdateErrorMessage(UpdateError code) { return Find(code)->message; }

const char* UpdateErrorName(UpdateError code) { return Find(code)->name; }
