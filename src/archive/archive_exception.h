// The error raised for malformed or truncated update files. Causes 5 to 7 carry the
// update file's path; the truncated cause carries none.
#pragma once

#include <cstdint>
#include <string>

#include "platform/exceptions.h"

enum class ArchiveCause {
  generic = 1,
  truncated = 3,
  badReference = 5,
  unknownClass = 6,
  schemaMismatch = 7,
};

// Plain words for a cause, e.g. "the file ends unexpectedly".
const char* ArchiveCauseText(ArchiveCause cause);

class CArchiveException : public CException {
 public:
  // `path` is kept only for causes 5 to 7. `detail` says what and where.
  CArchiveException(ArchiveCause cause, const std::string& path, const std::string& detail);
  ArchiveCause cause() const { return cause_; }
  const std::string& path() const { return path_; }

 private:
  ArchiveCause cause_;
  std::string path_;
};
