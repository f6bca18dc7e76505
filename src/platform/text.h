// Conversion of the update file's wide text to the 8-bit ANSI code page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Converts `count` UTF-16 code units to the ANSI code page, stopping at the first NUL.
// Characters the code page cannot hold become '?'. Never fails.
std::string WideToAnsi(const uint16_t* units, size_t count);
