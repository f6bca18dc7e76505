#include "updpack_fixture.h"

#include <filesystem>
#include <fstream>
#include <random>

#include "support/pe_builder.h"

namespace fs = std::filesystem;

Bytes Compressible(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  static const char* const kWords[] = {"update ",    "version ",  "file ", "product ",
                                       "installed ", "previous ", "the ",  "new "};
  Bytes data;
  while (data.size() < size) {
    const char* word = kWords[random() % 8];
    while (*word && data.size() < size) data.push_back(static_cast<uint8_t>(*word++));
  }
  return data;
}

Bytes Program(uint32_t versionMS, size_t size, uint32_t seed) {
  PeImagePlan plan;
  plan.versionMS = versionMS;
  plan.versionLS = 0;
  Bytes image = BuildPeImage(plan).bytes;
  Bytes filler = Compressible(size - image.size(), seed);
  image.insert(image.end(), filler.begin(), filler.end());
  return image;
}

void UpdpackTest::WriteProduct() {
  newA_ = Program(0x00010001, 70000, 1);
  oldA1_ = Program(0x00010000, 65000, 2);
  oldA2_ = Program(0x00010000, 3000, 3);
  newB_ = Compressible(1025, 4);
  Put("donn\u00e9es/v2/A.DLL", newA_);
  Put("donn\u00e9es/v1/A.DLL", oldA1_);
  Put("donn\u00e9es/v1/A0.DLL", oldA2_);
  Put("donn\u00e9es/v2/B.TXT", newB_);
  std::string manifest = R"({
    "format": 6, "product": "Demo", "description": "Demo 1.1 caf\u00e9",
    "failureMessage": "Ask the vendor.", "defaultDirectory": "C:\\DEMO",
    "registry": ["Maker", "Demo", "1.1"], "sampleCount": 4, "sampleLength": 16,
    "files": [
      {"component": "Library", "description": "The library", "name": "A.DLL",
       "directoryKind": "installation", "directory": "BIN", "new": "donn\u00e9es/v2/A.DLL",
       "previous": ["donn\u00e9es/v1/A.DLL", "donn\u00e9es/v1/A0.DLL"]},
      {"name": "B.TXT", "selected": false, "directoryKind": "absolute",
       "directory": "C:\\DOCS", "new": "donn\u00e9es/v2/B.TXT"}
    ]})";
  manifest_ = ParseManifest(manifest, dir_.path());
  output_ = (fs::path(dir_.path()) / "demo.upd").string();
}

std::string UpdpackTest::Put(const std::string& relative, const Bytes& bytes) {
  fs::path path = fs::u8path(dir_.path()) / fs::u8path(relative);
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return path.u8string();
}

Bytes UpdpackTest::FileBytes(uint32_t offset, size_t length) {
  std::ifstream in(output_, std::ios::binary);
  in.seekg(offset);
  Bytes bytes(length);
  in.read(reinterpret_cast<char*>(bytes.data()), bytes.size());
  return bytes;
}
