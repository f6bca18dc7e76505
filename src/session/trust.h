// The key an update file must be signed by before anything runs: the one the product's
// installer recorded, or one the user names. The load checks the file against it
// (model/integrity_check.h); this is where the requirement comes from.
#pragma once

#include <istream>
#include <string>

#include "model/integrity_check.h"
#include "model/update_header.h"

// The key the product's updates must be signed by: for format 6, the "UpdateKey" value
// beside "PathName" when ReadUpdateKey finds one (never on the POSIX build); none otherwise.
TrustRequirement RecordedTrust(const UpdateHeader& header);

// A requirement of the key in `file` (a PEM public key or the one-line text), the key file
// the caller opened in its own way (the window and vareri-cli take names in the ANSI code
// page, updpack in UTF-8) and names `shownName` in messages: "the key in <shownName>". The
// text is not checked here; the load refuses what is not a key. Returns false, storing
// nothing, when the file is not open or cannot be read.
bool ReadKeyFile(std::istream& file, const std::string& shownName, TrustRequirement* trust);
