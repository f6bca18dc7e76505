// A file of a product release as updpack reads it: whole, by its UTF-8 name (on Windows
// too, where the ANSI file functions would mangle a name such as "données"), with the
// identity the updater will see once it is installed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/file_stamp.h"

// The whole file at `path` (UTF-8). Raises PackError naming `field` when it is not a
// regular file, cannot be read, or is 4 GiB or larger.
std::vector<uint8_t> ReadWholeFile(const std::string& path, const std::string& field);

// The stamp of the file at `path` whose contents are `data`: its size, its last-write time,
// and the file version from the version resource in `data` (0.0 without one), read as the
// updater reads installed files.
CFileStamp ReleaseStamp(const std::string& path, const std::vector<uint8_t>& data);
