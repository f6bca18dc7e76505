// Reads the fixed file version from the version resource of a PE image, without the OS.
#pragma once

#include <cstdint>

#include "platform/file.h"

// Finds VS_FIXEDFILEINFO in the version resource of the PE image in `file` (resource type
// RT_VERSION, its first name, its first language; signature 0xFEEF04BD) and stores
// dwFileVersionMS/LS. Returns false, storing nothing, for anything that is not a PE file
// with such a resource. Never reads outside the file; raises only what `file` raises.
bool ReadPeFileVersion(CFile& file, uint32_t* versionMS, uint32_t* versionLS);
