// The tests' signed update and its keys, kept in tests/data/trust (make.sh there says how
// they were made): the same bytes for the native build and the Windows one, signed by updpack
// through OpenSSL. The signed update's product is that folder's 1.0 and 1.1.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/integrity_check.h"

// The path of tests/data/trust/<name>, as this build opens it.
std::string TrustDataPath(const std::string& name);

// The bytes of tests/data/trust/<name>; empty when it cannot be read.
std::vector<uint8_t> TrustData(const std::string& name);

// The same bytes as text.
std::string TrustText(const std::string& name);

// What requires a signature by the key in tests/data/trust/<name>.
TrustRequirement RequireKeyIn(const std::string& name);
