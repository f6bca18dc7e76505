#include "support/pe_builder.h"

#include <string>

namespace {

constexpr uint32_t kFileAlignment = 0x200;
constexpr uint32_t kSectionAlignment = 0x1000;
constexpr uint32_t kHeadersSize = 0x200;
constexpr size_t kPeOffset = 0x80;

uint32_t AlignUp(uint32_t value, uint32_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

void Append16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void Append32(std::vector<uint8_t>& out, uint32_t value) {
  Append16(out, static_cast<uint16_t>(value));
  Append16(out, static_cast<uint16_t>(value >> 16));
}

void AppendWide(std::vector<uint8_t>& out, const std::string& text) {
  for (char c : text) Append16(out, static_cast<uint8_t>(c));
  Append16(out, 0);
}

void PadTo4(std::vector<uint8_t>& out) {
  while (out.size() % 4 != 0) out.push_back(0);
}

// One version-block node: wLength, wValueLength, wType, key, padding; the caller appends
// the value and children, then FinishNode stores the length.
size_t StartNode(std::vector<uint8_t>& out, uint16_t valueLength, uint16_t type,
                 const std::string& key) {
  size_t start = out.size();
  Append16(out, 0);
  Append16(out, valueLength);
  Append16(out, type);
  AppendWide(out, key);
  PadTo4(out);
  return start;
}

void FinishNode(std::vector<uint8_t>& out, size_t start) {
  Put16(out, start, static_cast<uint16_t>(out.size() - start));
}

void AppendDirectory(std::vector<uint8_t>& out, uint16_t named, uint16_t ids) {
  Append32(out, 0);  // Characteristics
  Append32(out, 0);  // TimeDateStamp
  Append16(out, 4);  // MajorVersion
  Append16(out, 0);
  Append16(out, named);
  Append16(out, ids);
}

}  // namespace

void Put16(std::vector<uint8_t>& bytes, size_t offset, uint16_t value) {
  bytes.at(offset) = static_cast<uint8_t>(value);
  bytes.at(offset + 1) = static_cast<uint8_t>(value >> 8);
}

void Put32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
  Put16(bytes, offset, static_cast<uint16_t>(value));
  Put16(bytes, offset + 2, static_cast<uint16_t>(value >> 16));
}

std::vector<uint8_t> BuildVersionBlock(uint32_t versionMS, uint32_t versionLS) {
  std::vector<uint8_t> out;
  size_t root = StartNode(out, 52, 0, "VS_VERSION_INFO");
  Append32(out, 0xFEEF04BD);  // dwSignature
  Append32(out, 0x00010000);  // dwStrucVersion
  Append32(out, versionMS);   // dwFileVersionMS
  Append32(out, versionLS);
  Append32(out, versionMS);  // dwProductVersionMS
  Append32(out, versionLS);
  Append32(out, 0x3F);     // dwFileFlagsMask
  Append32(out, 0);        // dwFileFlags
  Append32(out, 0x40004);  // dwFileOS: NT, 32-bit Windows
  Append32(out, 2);        // dwFileType: a DLL
  Append32(out, 0);        // dwFileSubtype
  Append32(out, 0);        // dwFileDateMS
  Append32(out, 0);
  size_t var = StartNode(out, 0, 1, "VarFileInfo");
  size_t translation = StartNode(out, 4, 0, "Translation");
  Append16(out, 0x0409);
  Append16(out, 0x04B0);
  FinishNode(out, translation);
  FinishNode(out, var);
  FinishNode(out, root);
  return out;
}

PeImage BuildPeImage(const PeImagePlan& plan) {
  PeImage image;
  const uint32_t rsrcRva = plan.leadingSection ? 2 * kSectionAlignment : kSectionAlignment;
  const uint32_t rsrcRaw = plan.leadingSection ? kHeadersSize + kFileAlignment : kHeadersSize;
  image.resourceRva = rsrcRva;

  // The resource section: root, name and language directories, the data entry, the type
  // name string, then the version block.
  std::vector<uint8_t> rsrc;
  uint16_t rootNamed = plan.extraTypes ? 1 : 0;
  uint16_t rootIds = (plan.extraTypes ? 1 : 0) + (plan.withVersion ? 1 : 0);
  if (!plan.withVersion && !plan.extraTypes) rootIds = 1;  // an RT_ICON alone
  uint32_t rootSize = 16 + 8u * (rootNamed + rootIds);
  uint32_t nameDir = rootSize;
  uint32_t langDir = nameDir + 24;
  uint32_t dataEntry = langDir + 24;
  uint32_t typeName = dataEntry + 16;
  uint32_t versionAt = AlignUp(typeName + 2 + 2 * 6, 4);  // "MYTYPE" counted
  std::vector<uint8_t> version = BuildVersionBlock(plan.versionMS, plan.versionLS);

  AppendDirectory(rsrc, rootNamed, rootIds);
  if (plan.extraTypes) {
    Append32(rsrc, 0x80000000u | typeName);
    Append32(rsrc, 0x80000000u | nameDir);
  }
  if (plan.extraTypes || !plan.withVersion) {
    Append32(rsrc, 3);  // RT_ICON
    Append32(rsrc, 0x80000000u | nameDir);
  }
  if (plan.withVersion) {
    image.versionTypeEntry = rsrcRaw + rsrc.size();
    Append32(rsrc, 16);  // RT_VERSION
    Append32(rsrc, 0x80000000u | nameDir);
  }
  AppendDirectory(rsrc, 0, 1);
  Append32(rsrc, 1);  // VS_VERSION_INFO's usual name, ID 1
  Append32(rsrc, 0x80000000u | langDir);
  AppendDirectory(rsrc, 0, 1);
  Append32(rsrc, 0x0409);
  Append32(rsrc, dataEntry);
  Append32(rsrc, rsrcRva + versionAt);
  Append32(rsrc, static_cast<uint32_t>(version.size()));
  Append32(rsrc, 0);  // CodePage
  Append32(rsrc, 0);
  Append16(rsrc, 6);
  for (char c : std::string("MYTYPE")) Append16(rsrc, static_cast<uint8_t>(c));
  PadTo4(rsrc);
  rsrc.insert(rsrc.end(), version.begin(), version.end());
  const uint32_t rsrcSize = static_cast<uint32_t>(rsrc.size());
  const uint32_t rsrcRawSize = AlignUp(rsrcSize, kFileAlignment);

  image.resourceSection = rsrcRaw;
  image.nameDirectory = rsrcRaw + nameDir;
  image.languageDirectory = rsrcRaw + langDir;
  image.dataEntry = rsrcRaw + dataEntry;
  image.versionBlock = rsrcRaw + versionAt;
  image.fixedFileInfo = image.versionBlock + 40;

  std::vector<uint8_t>& out = image.bytes;
  out.assign(rsrcRaw + rsrcRawSize, 0);
  // MZ header: only e_magic and e_lfanew matter, the rest is the customary stub layout.
  Put16(out, 0x00, 0x5A4D);
  Put16(out, 0x02, 0x90);
  Put16(out, 0x04, 3);
  Put16(out, 0x08, 4);
  Put16(out, 0x0C, 0xFFFF);
  Put16(out, 0x10, 0xB8);
  Put16(out, 0x18, 0x40);
  Put32(out, 0x3C, kPeOffset);

  const uint16_t sectionCount = plan.leadingSection ? 2 : 1;
  const uint16_t optionalSize = plan.pe32Plus ? 0xF0 : 0xE0;
  size_t p = kPeOffset;
  image.peHeader = p;
  Put32(out, p, 0x00004550);  // "PE\0\0"
  Put16(out, p + 4, plan.pe32Plus ? 0x8664 : 0x14C);
  Put16(out, p + 6, sectionCount);
  Put16(out, p + 20, optionalSize);
  // Executable DLL; 32-bit machine for PE32, large-address-aware for PE32+.
  Put16(out, p + 22, plan.pe32Plus ? 0x2022 : 0x2102);

  size_t o = p + 24;
  image.optionalHeader = o;
  const uint32_t imageSize = rsrcRva + AlignUp(rsrcSize, kSectionAlignment);
  uint32_t initializedData = rsrcRawSize + (plan.leadingSection ? kFileAlignment : 0);
  Put16(out, o, plan.pe32Plus ? 0x20B : 0x10B);
  out[o + 2] = 14;  // linker version
  Put32(out, o + 8, initializedData);
  Put32(out, o + 20, kSectionAlignment);  // BaseOfCode
  if (plan.pe32Plus) {
    Put32(out, o + 24, 0x80000000u);  // ImageBase 0x180000000
    Put32(out, o + 28, 1);
  } else {
    Put32(out, o + 28, 0x10000000u);
  }
  Put32(out, o + 32, kSectionAlignment);
  Put32(out, o + 36, kFileAlignment);
  Put16(out, o + 40, 6);  // operating system version
  Put16(out, o + 48, 6);  // subsystem version
  Put32(out, o + 56, imageSize);
  Put32(out, o + 60, kHeadersSize);
  Put16(out, o + 68, 2);  // Windows GUI
  size_t sizes = o + 72;  // stack and heap reserve and commit
  const size_t step = plan.pe32Plus ? 8 : 4;
  Put32(out, sizes, 0x100000);
  Put32(out, sizes + step, 0x1000);
  Put32(out, sizes + 2 * step, 0x100000);
  Put32(out, sizes + 3 * step, 0x1000);
  size_t countField = plan.pe32Plus ? o + 108 : o + 92;
  Put32(out, countField, 16);
  image.resourceDataDirectory = countField + 4 + 2 * 8;
  Put32(out, image.resourceDataDirectory, rsrcRva);
  Put32(out, image.resourceDataDirectory + 4, rsrcSize);

  size_t s = o + optionalSize;
  image.sectionTable = s;
  auto section = [&](const char* name, uint32_t virtualSize, uint32_t rva, uint32_t rawSize,
                     uint32_t rawOffset, uint32_t characteristics) {
    for (size_t i = 0; i < 8 && name[i] != 0; ++i) out[s + i] = static_cast<uint8_t>(name[i]);
    Put32(out, s + 8, virtualSize);
    Put32(out, s + 12, rva);
    Put32(out, s + 16, rawSize);
    Put32(out, s + 20, rawOffset);
    Put32(out, s + 36, characteristics);
    s += 40;
  };
  if (plan.leadingSection) {
    // Initialized, readable, writable data holding a few bytes.
    section(".data", 0x10, kSectionAlignment, kFileAlignment, kHeadersSize, 0xC0000040u);
    for (size_t i = 0; i < 0x10; ++i) out[kHeadersSize + i] = static_cast<uint8_t>(0xA0 + i);
  }
  image.resourceSectionHeader = s;
  // Initialized, readable data: what linkers give .rsrc.
  section(".rsrc", rsrcSize, rsrcRva, rsrcRawSize, rsrcRaw, 0x40000040u);

  for (size_t i = 0; i < rsrc.size(); ++i) out[rsrcRaw + i] = rsrc[i];
  return image;
}
