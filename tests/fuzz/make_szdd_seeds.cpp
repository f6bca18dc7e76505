// Writes SZDD seeds for szdd_expand_fuzzer into the directory given as argument: files of
// the project's compressor over the tests' kinds of data, and small hand-made streams.
#include <cstdio>
#include <fstream>
#include <string>

#include "lz/lz_test_data.h"

static void Save(const std::string& dir, const std::string& name,
                 const std::vector<uint8_t>& bytes) {
  std::ofstream out(dir + "/" + name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_szdd_seeds DIR\n");
    return 2;
  }
  std::string dir = argv[1];
  Save(dir, "text.sz_", lztest::Compress(lztest::Text(3000)));
  Save(dir, "image.sz_", lztest::Compress(lztest::PeLike(4000)));
  Save(dir, "repetitive.sz_", lztest::Compress(lztest::Repetitive(2000)));
  Save(dir, "zeros.sz_", lztest::Compress(std::vector<uint8_t>(5000, 0)));
  Save(dir, "empty.sz_", lztest::Compress({}));
  std::vector<uint8_t> handMade = lztest::Compress({});
  handMade.insert(handMade.end(), {0x00, 0x00, 0x00, 0xFE, 0xF1, 0x01, 'a', 0xF0});
  Save(dir, "hand_made.sz_", handMade);
  Save(dir, "plain.txt", lztest::Text(500));
  return 0;
}
