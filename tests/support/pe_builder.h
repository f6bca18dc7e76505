// Test helper: writes small PE images (headers, an optional data section and one .rsrc
// section holding a version resource) and reports where each structure landed, so tests
// can corrupt one field at a time. The images are complete enough for the OS's version API.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct PeImagePlan {
  uint32_t versionMS = 0x00010002;
  uint32_t versionLS = 0x00030004;
  bool pe32Plus = false;
  bool withVersion = true;      // false: the resource tree holds only an RT_ICON type
  bool leadingSection = false;  // put a .data section before .rsrc, so .rsrc is not first
  bool extraTypes = false;      // a named type and RT_ICON before RT_VERSION in the root
};

// File offsets of the structures in a built image.
struct PeImage {
  std::vector<uint8_t> bytes;
  size_t peHeader = 0;               // "PE\0\0"
  size_t optionalHeader = 0;         // the optional header's magic
  size_t resourceDataDirectory = 0;  // data directory 2: RVA, size
  size_t sectionTable = 0;
  size_t resourceSectionHeader = 0;  // the .rsrc entry of the section table
  size_t resourceSection = 0;        // start of .rsrc raw data (the resource root)
  uint32_t resourceRva = 0;
  size_t versionTypeEntry = 0;  // the root's RT_VERSION entry
  size_t nameDirectory = 0;
  size_t languageDirectory = 0;
  size_t dataEntry = 0;
  size_t versionBlock = 0;  // VS_VERSIONINFO
  size_t fixedFileInfo = 0;
};

PeImage BuildPeImage(const PeImagePlan& plan);

// A VS_VERSIONINFO block: the fixed part for the given version and a VarFileInfo child.
std::vector<uint8_t> BuildVersionBlock(uint32_t versionMS, uint32_t versionLS);

// Little-endian stores into a built image, for making malformed variants.
void Put16(std::vector<uint8_t>& bytes, size_t offset, uint16_t value);
void Put32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value);
