// Reading an update file back through the updater's own reader: listing its entries
// and checking that every stored payload expands to the size its entry expects, and to the
// digest its integrity record gives.
#pragma once

#include <ostream>
#include <string>

#include "model/integrity_check.h"

// Prints the header, the integrity record and signature, and one line per file entry. Raises
// PackError with the updater's own message for a file the updater refuses, and what the load
// raises.
void ListUpdate(const std::string& path, std::ostream& out);

// Checks the integrity record (the body's digest, one entry per file entry), expands every
// payload in memory, and checks the signature, printing one line each. Returns true only if
// every payload lies inside the file, expands to the expected size (and to the record's size
// and digest), the body matches its digest, and, when `trust` requires a key, the file is
// signed by it. Refuses what ListUpdate refuses; raises what the reader raises for a document
// that cannot be read.
bool VerifyUpdate(const std::string& path, std::ostream& out,
                  const TrustRequirement& trust = TrustRequirement());
