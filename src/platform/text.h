// Text in the 8-bit code page that update files and the updater's paths use: the update
// file's wide text converted to it, and the build tool's UTF-8 converted to Windows-1252,
// the code page update files are written in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Converts `count` UTF-16 code units to the ANSI code page, stopping at the first NUL.
// Characters the code page cannot hold become '?'. Never fails.
std::string WideToAnsi(const uint16_t* units, size_t count);

// The Windows-1252 byte of `codePoint`, or -1 when the code page has none. The five bytes the
// code page leaves undefined stand for the C1 controls of the same value, as Windows maps them.
int Windows1252Byte(uint32_t codePoint);

// Converts UTF-8 text to Windows-1252. Returns false when the text is not UTF-8 (overlong
// forms, which hide characters, included) or holds a character that has no place in the code
// page (the C1 controls among them), and then names it in `problem`.
bool Utf8ToCodePage(const std::string& utf8, std::string* out, std::string* problem = nullptr);
