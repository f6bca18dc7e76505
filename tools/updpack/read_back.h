// Reading an update file back through the updater's own reader: listing its entries
// and checking that every stored payload expands to the size its entry expects.
#pragma once

#include <ostream>
#include <string>

// Prints the header and one line per file entry. Raises what the reader raises.
void ListUpdate(const std::string& path, std::ostream& out);

// Expands every payload in memory and prints one line per entry. Returns true only if
// every payload lies inside the file, expands, and expands to the expected size.
bool VerifyUpdate(const std::string& path, std::ostream& out);
