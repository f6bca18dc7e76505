// The file is attacker-controlled: every structure is read into a small local buffer after
// checking it lies inside the file, every count and offset is checked before use, and the
// resource walk is a fixed three steps deep, so self-referencing directories cannot loop.
#include "platform/pe_version.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kRtVersion = 16;
constexpr uint32_t kSubdirectoryBit = 0x80000000u;
constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BDu;
// The COFF count is 16 bits, so the section table we keep is at most 1 MiB.
constexpr uint32_t kMaxSections = 65535;
constexpr size_t kSectionHeaderSize = 40;
constexpr size_t kResourceDirectorySize = 16;
constexpr size_t kResourceEntrySize = 8;
// wLength, wValueLength, wType, the key "VS_VERSION_INFO" with its terminator in UTF-16,
// padding to 32 bits, then the 52-byte VS_FIXEDFILEINFO: all we read of the block.
constexpr size_t kVersionKeyOffset = 6;
constexpr size_t kFixedInfoOffset = 40;
constexpr size_t kFixedInfoSize = 52;
constexpr size_t kVersionHeadSize = kFixedInfoOffset + kFixedInfoSize;
constexpr char kVersionKey[] = "VS_VERSION_INFO";  // 15 characters and the terminator

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

struct Section {
  uint32_t virtualAddress;
  uint32_t virtualSize;
  uint32_t rawSize;
  uint32_t rawOffset;
};

class ImageReader {
 public:
  explicit ImageReader(CFile& file) : file_(file), length_(file.Length()) {}

  // Reads exactly `count` bytes at `offset`; false if any of them lies outside the file
  // (or the file turns out shorter than it said). The headers lie together, and so do the
  // resource directories the walk visits: each piece of the file is read once, a window at
  // a time, so a version costs a few reads however many structures it takes.
  bool ReadAt(uint64_t offset, void* buffer, size_t count) {
    if (offset > length_ || count > length_ - offset) return false;
    if (count > kWindow) return ReadFrom(offset, buffer, count) == count;
    if (offset < windowStart_ || offset + count > windowStart_ + windowLength_) {
      size_t want = length_ - offset < kWindow ? static_cast<size_t>(length_ - offset) : kWindow;
      windowStart_ = offset;
      windowLength_ = ReadFrom(offset, window_, want);
      if (count > windowLength_) return false;
    }
    std::memcpy(buffer, window_ + (offset - windowStart_), count);
    return true;
  }

  bool LoadSections(uint64_t tableOffset, uint32_t count) {
    if (count == 0 || count > kMaxSections) return false;
    if (tableOffset > length_ || uint64_t{count} * kSectionHeaderSize > length_ - tableOffset) {
      return false;
    }
    sections_.reserve(count);
    // Read in chunks through a fixed buffer so no allocation depends on more than `count`.
    uint8_t chunk[kSectionHeaderSize * 32];
    uint32_t index = 0;
    while (index < count) {
      uint32_t batch = count - index < 32 ? count - index : 32;
      if (!ReadAt(tableOffset + uint64_t{index} * kSectionHeaderSize, chunk,
                  batch * kSectionHeaderSize)) {
        return false;
      }
      for (uint32_t i = 0; i < batch; ++i) {
        const uint8_t* h = chunk + i * kSectionHeaderSize;
        sections_.push_back(Section{Get32(h + 12), Get32(h + 8), Get32(h + 16), Get32(h + 20)});
      }
      index += batch;
    }
    return true;
  }

  // Maps the `size` bytes at `rva` to a file offset. They must all lie in the raw data of
  // one section (bytes the loader would zero-fill are not version data), and that section's
  // raw data must be wholly inside the file, so a truncated image is refused outright.
  bool MapRva(uint64_t rva, uint64_t size, uint64_t* offset) const {
    for (const Section& s : sections_) {
      uint64_t extent = s.virtualSize != 0 ? s.virtualSize : s.rawSize;
      uint64_t mapped = extent < s.rawSize ? extent : s.rawSize;
      if (rva < s.virtualAddress || rva - s.virtualAddress >= extent) continue;
      uint64_t delta = rva - s.virtualAddress;
      if (uint64_t{s.rawOffset} + s.rawSize > length_) return false;
      if (delta > mapped || size > mapped - delta) return false;
      *offset = s.rawOffset + delta;
      return true;
    }
    return false;
  }

  bool ReadRva(uint64_t rva, void* buffer, size_t count) {
    uint64_t offset = 0;
    return MapRva(rva, count, &offset) && ReadAt(offset, buffer, count);
  }

 private:
  // Reads up to `count` bytes at `offset`, fewer only where the file ends early.
  size_t ReadFrom(uint64_t offset, void* buffer, size_t count) {
    return file_.ReadAt(offset, buffer, count);
  }

  static constexpr size_t kWindow = 4096;

  CFile& file_;
  uint64_t length_;
  std::vector<Section> sections_;
  uint8_t window_[kWindow];
  uint64_t windowStart_ = 0;
  size_t windowLength_ = 0;  // bytes of the file from windowStart_ held in window_
};

// Locates the resource directory (its RVA) and loads the section table.
bool FindResourceDirectory(ImageReader& image, uint32_t* resourceRva) {
  uint8_t dos[64];
  if (!image.ReadAt(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
  uint64_t peOffset = Get32(dos + 0x3C);

  // "PE\0\0", then the 20-byte COFF header, then the magic of the optional header.
  uint8_t header[26];
  if (!image.ReadAt(peOffset, header, sizeof header)) return false;
  if (header[0] != 'P' || header[1] != 'E' || header[2] != 0 || header[3] != 0) return false;
  uint16_t sectionCount = Get16(header + 4 + 2);
  uint16_t optionalSize = Get16(header + 4 + 16);
  uint16_t magic = Get16(header + 24);
  uint64_t optionalOffset = peOffset + 24;

  size_t countField = 0;  // NumberOfRvaAndSizes; the data directories follow it
  if (magic == 0x10B) {
    countField = 92;
  } else if (magic == 0x20B) {
    countField = 108;
  } else {
    return false;
  }
  constexpr uint32_t kResourceIndex = 2;
  size_t needed = countField + 4 + (kResourceIndex + 1) * 8;
  if (optionalSize < needed) return false;
  uint8_t optional[112 + 4 + 24];
  if (!image.ReadAt(optionalOffset, optional, needed)) return false;
  if (Get32(optional + countField) <= kResourceIndex) return false;
  const uint8_t* directory = optional + countField + 4 + kResourceIndex * 8;
  *resourceRva = Get32(directory);
  if (*resourceRva == 0 || Get32(directory + 4) == 0) return false;

  return image.LoadSections(optionalOffset + optionalSize, sectionCount);
}

// Reads the directory at `offset` (relative to the resource directory) and returns in
// `entry` the 8 bytes of the ID entry named `id`, or of the first entry of any kind when
// `id` is negative.
bool FindEntry(ImageReader& image, uint32_t base, uint32_t offset, int64_t id, uint8_t* entry) {
  uint8_t dir[kResourceDirectorySize];
  if (!image.ReadRva(uint64_t{base} + offset, dir, sizeof dir)) return false;
  uint32_t named = Get16(dir + 12);
  uint32_t total = named + Get16(dir + 14);
  uint64_t entries = uint64_t{base} + offset + kResourceDirectorySize;
  if (id < 0) {
    return total > 0 && image.ReadRva(entries, entry, kResourceEntrySize);
  }
  // Named entries precede the ID entries; scan the IDs a chunk at a time.
  uint8_t chunk[kResourceEntrySize * 64];
  for (uint32_t index = named; index < total;) {
    uint32_t batch = total - index < 64 ? total - index : 64;
    if (!image.ReadRva(entries + uint64_t{index} * kResourceEntrySize, chunk,
                       batch * kResourceEntrySize)) {
      return false;
    }
    for (uint32_t i = 0; i < batch; ++i) {
      const uint8_t* e = chunk + i * kResourceEntrySize;
      if (Get32(e) == static_cast<uint64_t>(id)) {
        for (size_t k = 0; k < kResourceEntrySize; ++k) entry[k] = e[k];
        return true;
      }
    }
    index += batch;
  }
  return false;
}

}  // namespace

bool ReadPeFileVersion(CFile& file, uint32_t* versionMS, uint32_t* versionLS) {
  ImageReader image(file);
  uint32_t base = 0;
  if (!FindResourceDirectory(image, &base)) return false;

  // Type RT_VERSION, then its first name, then that name's first language: the first two
  // must lead to directories, the last to a data entry.
  uint8_t entry[kResourceEntrySize];
  if (!FindEntry(image, base, 0, kRtVersion, entry)) return false;
  uint32_t target = Get32(entry + 4);
  if ((target & kSubdirectoryBit) == 0) return false;
  if (!FindEntry(image, base, target & ~kSubdirectoryBit, -1, entry)) return false;
  target = Get32(entry + 4);
  if ((target & kSubdirectoryBit) == 0) return false;
  if (!FindEntry(image, base, target & ~kSubdirectoryBit, -1, entry)) return false;
  target = Get32(entry + 4);
  if ((target & kSubdirectoryBit) != 0) return false;

  uint8_t dataEntry[16];  // RVA, Size, CodePage, Reserved
  if (!image.ReadRva(uint64_t{base} + target, dataEntry, sizeof dataEntry)) return false;
  uint32_t dataRva = Get32(dataEntry);
  uint32_t dataSize = Get32(dataEntry + 4);
  if (dataSize < kVersionHeadSize) return false;
  uint64_t dataOffset = 0;
  if (!image.MapRva(dataRva, dataSize, &dataOffset)) return false;

  uint8_t block[kVersionHeadSize];
  if (!image.ReadAt(dataOffset, block, sizeof block)) return false;
  uint16_t length = Get16(block);
  uint16_t valueLength = Get16(block + 2);
  // The OS hands out the fixed part only when the block holds it and says it has a value.
  if (length < kVersionHeadSize || length > dataSize || valueLength == 0) return false;
  for (size_t i = 0; i < sizeof kVersionKey; ++i) {
    if (Get16(block + kVersionKeyOffset + 2 * i) != static_cast<uint8_t>(kVersionKey[i])) {
      return false;
    }
  }
  const uint8_t* fixed = block + kFixedInfoOffset;
  if (Get32(fixed) != kFixedFileInfoSignature) return false;
  *versionMS = Get32(fixed + 8);
  *versionLS = Get32(fixed + 12);
  return true;
}
