// Reading an update file back through the updater's own reader: listing its entries
// and checking that every stored payload expands to the size its entry expects.
#pragma once

#include <ostream>
#include <string>

// Prints the header and one line per file entry. Raises PackError with the updater's own
// message for a file the updater refuses, and what the reader raises.
void ListUpdate(const std::string& path, std::ostream& out);

// Expands every payload in memory and prints one line per entry. Returns true only if
// every payload lies inside the file, expands, and expands to the expected size. Refuses
// what ListUpdate refuses.
bool VerifyUpdate(const std::string& path, std::ostream& out);
