// The header of an update file (fields 1 to 12 of its layout): what opening checks, the texts
// the window shows, and where the installation directory is looked up. One struct, read in
// one way: opening reads it on its own, the document's load as its first fields, and the
// writer writes it from the same fields.
#pragma once

#include <cstdint>
#include <string>

class ArchiveReader;

// What the header of every update file begins with: the file type WORD, then (after the
// format version and a WORD not used) this signature, compared byte for byte.
constexpr uint16_t kUpdateFileType = 1;
constexpr char kUpdateSignature[] = "VLR.UPD";

struct UpdateHeader {
  uint16_t fileType = 0;
  uint16_t formatVersion = 0;
  uint16_t unusedWord1 = 0;
  std::string signature;
  std::string description;
  std::string productName;
  std::string failureMessage;
  std::string defaultDirectory;
  std::string registryPath[3];  // format 6 and later
  uint16_t unusedWord2 = 0;
};

// Whether a header of `formatVersion` carries the three registry strings.
inline bool HasRegistryPath(uint16_t formatVersion) { return formatVersion >= 6; }

// Reads fields 1 to 4, which decide whether the file is an update file at all: the file type,
// the format version, the WORD not used and the signature. Raises what the reader raises.
void ReadHeaderStart(ArchiveReader& reader, UpdateHeader* header);

// Reads fields 5 to 12 after ReadHeaderStart: the four texts, the registry strings when the
// format has them, and the WORD not used. Raises what the reader raises.
void ReadHeaderRest(ArchiveReader& reader, UpdateHeader* header);
