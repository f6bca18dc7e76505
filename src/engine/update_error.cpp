#include "engine/update_error.h"

namespace {

const char* const kMessages[] = {
    "",
    "File Not Found",
    "Different Date than expected",
    "Different Size than expected",
    "Different version than expected",
    "Can't Create File",
    "Cannot Update. Previous Version not Compatible",
    "Cannot Write, Check Read-Only Attribute or File Permissions",
    "Cannot rename File. Check Read-Only Attribute or File Permissions",
    "Cannot Decompress. UPD may be corrupted",
    "Cannot create temp file. Check Read-Only Attribute or File Permissions",
};

}  // namespace

const char* UpdateErrorMessage(UpdateError code) {
  return code < sizeof kMessages / sizeof kMessages[0] ? kMessages[code] : "";
}
