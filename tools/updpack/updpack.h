// updpack, the vendor's tool: builds, lists, verifies and signs update files, makes signing
// keys and drafts manifests from releases. main.cpp only hands it the command line in UTF-8,
// so tests call RunUpdpack directly.
#pragma once

#include <ostream>
#include <string>
#include <vector>

// Runs one command line (args[0] is the program's name, every argument UTF-8). Listings,
// verdicts and public keys go to `out`; usage, progress and problems to `err`. Returns 0 on
// success, 1 on failure, 2 for wrong usage. Raises nothing: every failure becomes a message.
int RunUpdpack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
