// Writes PE images of every shape the test builder makes into the directory given as
// argument, as seeds for pe_version_fuzzer.
#include <cstdio>
#include <fstream>
#include <string>

#include "support/pe_builder.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_pe_seeds DIR\n");
    return 2;
  }
  int index = 0;
  for (int shape = 0; shape < 16; ++shape) {
    PeImagePlan plan;
    plan.pe32Plus = (shape & 1) != 0;
    plan.leadingSection = (shape & 2) != 0;
    plan.extraTypes = (shape & 4) != 0;
    plan.withVersion = (shape & 8) == 0;
    std::vector<uint8_t> bytes = BuildPeImage(plan).bytes;
    std::string path = std::string(argv[1]) + "/pe_" + std::to_string(index++) + ".dll";
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
