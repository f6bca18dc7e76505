// The platform's LZ expansion of one file onto another, as the engine replaces files.
#pragma once

#include <cstdint>
#include <string>

// Expands the SZDD file `source` (or copies it, when it has no SZDD signature) onto
// `target`, which is created or emptied. Returns the number of bytes written, greater
// than 0 on success; 0 or negative when an open, the expansion or a write failed (as the
// platform's CopyLZFile does). Never raises.
// The backends differ on one damaged case: a file holding the signature but fewer than
// 14 header bytes fails on POSIX (as SzddExpand refuses it) and is copied by Windows.
int64_t ExpandFile(const std::string& source, const std::string& target);
