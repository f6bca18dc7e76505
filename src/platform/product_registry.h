// What a product's installer records in the registry beside its files: the installation
// directory ("PathName") and the key its updates must be signed by ("UpdateKey"), under
// HKLM\Software\<p1>\<p2>\<p3>. The POSIX build has no registry and finds neither.
#pragma once

#include <cstddef>
#include <string>

// The room of the "PathName" value: 260 bytes, the terminator included.
constexpr size_t kInstallPathSize = 260;

// Reads HKLM\Software\<p1>\<p2>\<p3>, value "PathName", into `buffer` (kInstallPathSize bytes,
// always terminated). Returns 1 when the value was read, 0 otherwise.
int ReadInstallPath(const std::string& p1, const std::string& p2, const std::string& p3,
                    char* buffer);

// Reads the value "UpdateKey" under HKLM\Software\<p1>\<p2>\<p3> (beside "PathName") into
// `text`, up to its first NUL. Returns false when the key cannot be opened or has no such
// value. A value that exists counts whatever it holds, even when it cannot be read (`text`
// is then empty): a recorded key is never taken for no key.
bool ReadUpdateKey(const std::string& p1, const std::string& p2, const std::string& p3,
                   std::string* text);
