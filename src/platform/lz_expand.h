// The platform's LZ expansion of stored contents, as the engine replaces files: the
// system's lz32 in the Windows backend, the portable SZDD expander natively.
#pragma once

#include <string>

#include "lz/byte_stream.h"
#include "platform/env.h"

// Expands `stored` (an SZDD file, or any other bytes, which are copied unchanged) into
// `out`, as Env::ExpandPayload describes; lz32 reads a file, so the Windows backend first
// copies `stored` to a temporary file in `tempDirectory`.
// The backends differ on one damaged case: contents holding the signature but fewer than
// 14 header bytes fail on POSIX (as SzddExpand refuses them) and are copied by Windows.
ExpandOutcome ExpandStored(ByteSource& stored, const std::string& tempDirectory, ByteSink& out);
