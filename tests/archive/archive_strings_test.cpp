#include <gtest/gtest.h>

#include "archive/archive_reader.h"
#include "archive/archive_writer.h"
#include "archive/test_classes.h"
#include "support/counting_file.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string ReadString(Bytes bytes, size_t bufferSize = ArchiveReader::kBufferSize) {
  MemoryFile file(std::move(bytes));
  ArchiveReader reader(file, TestRegistry(), bufferSize);
  std::string text = reader.ReadArchiveString();
  EXPECT_EQ(reader.ReadWord(), 0xBEEF) << "the string must consume exactly its bytes";
  return text;
}

Bytes Encode(const std::string& text, StringForm form) {
  Bytes out;
  ArchiveWriter writer(out);
  writer.WriteString(text, form);
  return out;
}

Bytes WithTrailer(Bytes bytes) {
  bytes.push_back(0xEF);
  bytes.push_back(0xBE);
  return bytes;
}

TEST(ArchiveString, AllLengthFormsReadTheSameText) {
  EXPECT_EQ(ReadString(WithTrailer({0x03, 'a', 'b', 'c'})), "abc");
  EXPECT_EQ(ReadString(WithTrailer({0xFF, 0x03, 0x00, 'a', 'b', 'c'})), "abc");
  EXPECT_EQ(ReadString(WithTrailer({0xFF, 0xFF, 0xFF, 0x03, 0, 0, 0, 'a', 'b', 'c'})), "abc");
  EXPECT_EQ(ReadString(WithTrailer({0xFF, 0xFE, 0xFF, 0x03, 'a', 0, 'b', 0, 'c', 0})), "abc");
  // The wide count may itself use the longer forms.
  EXPECT_EQ(ReadString(WithTrailer({0xFF, 0xFE, 0xFF, 0xFF, 0x02, 0x00, 'h', 0, 'i', 0})), "hi");
  for (Bytes empty : {Bytes{0x00}, Bytes{0xFF, 0x00, 0x00}, Bytes{0xFF, 0xFF, 0xFF, 0, 0, 0, 0},
                      Bytes{0xFF, 0xFE, 0xFF, 0x00}}) {
    EXPECT_EQ(ReadString(WithTrailer(empty)), "");
  }
}

TEST(ArchiveString, WriterPicksTheFormTheLengthNeeds) {
  EXPECT_EQ(Encode("abc", StringForm::shortest), (Bytes{0x03, 'a', 'b', 'c'}));
  EXPECT_EQ(Encode("", StringForm::shortest), (Bytes{0x00}));
  EXPECT_EQ(Encode("abc", StringForm::wide),
            (Bytes{0xFF, 0xFE, 0xFF, 0x03, 'a', 0, 'b', 0, 'c', 0}));
  EXPECT_EQ(Encode(std::string(254, 'x'), StringForm::shortest).size(), 1u + 254u);
  Bytes b255 = Encode(std::string(255, 'x'), StringForm::shortest);
  EXPECT_EQ(Bytes(b255.begin(), b255.begin() + 3), (Bytes{0xFF, 0xFF, 0x00}));
  Bytes b65533 = Encode(std::string(65533, 'x'), StringForm::shortest);
  EXPECT_EQ(Bytes(b65533.begin(), b65533.begin() + 3), (Bytes{0xFF, 0xFD, 0xFF}));
  // 0xFFFE as a WORD would be the wide marker: the DWORD form is needed.
  for (StringForm form : {StringForm::shortest, StringForm::word}) {
    Bytes b65534 = Encode(std::string(65534, 'x'), form);
    EXPECT_EQ(Bytes(b65534.begin(), b65534.begin() + 7),
              (Bytes{0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}));
  }
}

TEST(ArchiveString, RoundTripsAroundEveryFormBoundaryAndBufferSize) {
  for (size_t length :
       {0, 1, 127, 128, 254, 255, 256, 4095, 4096, 4097, 9000, 65533, 65534, 65535, 70000}) {
    std::string text(length, '\0');
    for (size_t i = 0; i < length; ++i) text[i] = static_cast<char>('A' + (i * 7) % 26);
    for (StringForm form :
         {StringForm::shortest, StringForm::word, StringForm::dword, StringForm::wide}) {
      for (size_t buffer : {size_t{128}, size_t{4096}}) {
        // A word and a one-character string first, so the text starts off the buffer's
        // alignment.
        Bytes bytes = {0x34, 0x12, 0x01, 'x'};
        Bytes encoded = Encode(text, form);
        bytes.insert(bytes.end(), encoded.begin(), encoded.end());
        MemoryFile file(WithTrailer(bytes));
        ArchiveReader reader(file, TestRegistry(), buffer);
        EXPECT_EQ(reader.ReadWord(), 0x1234);
        EXPECT_EQ(reader.ReadArchiveString(), "x");
        ASSERT_EQ(reader.ReadArchiveString(), text)
            << "length " << length << " form " << static_cast<int>(form) << " buffer " << buffer;
        EXPECT_EQ(reader.ReadWord(), 0xBEEF);
      }
    }
  }
}

TEST(ArchiveString, WideTextEndsAtNulAndBecomesAnsi) {
  EXPECT_EQ(ReadString(WithTrailer({0xFF, 0xFE, 0xFF, 0x03, 'a', 0, 0, 0, 'c', 0})), "a");
  // e-acute is in the ANSI code page, a CJK character is not.
  EXPECT_EQ(ReadString(WithTrailer({0xFF, 0xFE, 0xFF, 0x02, 0xE9, 0x00, 0x2D, 0x4E})), "\xE9?");
}

TEST(ArchiveString, MalformedLengthsFailWithTheirCause) {
  auto read = [](ArchiveReader& r) { r.ReadArchiveString(); };
  // A wide marker after a wide marker means nothing.
  EXPECT_EQ(ArchiveCauseOf({0xFF, 0xFE, 0xFF, 0xFF, 0xFE, 0xFF, 0x01, 'a', 0}, read), 1);
  // Length prefixes cut short.
  EXPECT_EQ(ArchiveCauseOf({}, read), 3);
  EXPECT_EQ(ArchiveCauseOf({0xFF, 0x03}, read), 3);
  EXPECT_EQ(ArchiveCauseOf({0xFF, 0xFF, 0xFF, 0x03, 0x00}, read), 3);
  EXPECT_EQ(ArchiveCauseOf({0xFF, 0xFE, 0xFF}, read), 3);
  // Text shorter than its length.
  EXPECT_EQ(ArchiveCauseOf({0x05, 'a', 'b'}, read), 3);
  Bytes cut = Encode(std::string(10000, 'z'), StringForm::word);
  cut.resize(cut.size() - 1);
  EXPECT_EQ(ArchiveCauseOf(cut, read), 3);
}

TEST(ArchiveString, HostileLengthFailsBeforeAllocating) {
  // 4 GiB of wide text announced in a 12-byte file, and 6 bytes where 5 are left: refused
  // as running past the end before the string is made, never attempted (which could
  // exhaust memory or fail as out of memory).
  const struct {
    Bytes bytes;
    const char* length;
  } cases[] = {
      {{0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'a', 0}, "8589934590 bytes"},
      {{0xFF, 0x06, 0x00, 'a', 'b', 'c', 'd', 'e'}, "6 bytes"},
  };
  for (const auto& c : cases) {
    MemoryFile file(c.bytes);
    ArchiveReader reader(file, TestRegistry());
    try {
      reader.ReadArchiveString();
      ADD_FAILURE() << c.length << ": must fail";
    } catch (const CArchiveException& e) {
      EXPECT_EQ(e.cause(), ArchiveCause::truncated);
      EXPECT_NE(std::string(e.what()).find(std::string(c.length) + " at offset"), std::string::npos)
          << e.what();
      EXPECT_NE(std::string(e.what()).find("runs past the end"), std::string::npos) << e.what();
    }
  }
}

TEST(ArchiveString, LongTextGoesStraightFromTheFile) {
  std::string text(3 * 4096 + 100, 'q');
  MemoryFile inner(WithTrailer(Encode(text, StringForm::word)));
  CountingFile file(inner);
  ArchiveReader reader(file, TestRegistry());
  EXPECT_EQ(reader.ReadArchiveString(), text);
  EXPECT_EQ(reader.ReadWord(), 0xBEEF);
  // One fill, the whole-buffer multiples in one read, and one refill for the rest.
  EXPECT_EQ(file.reads, 3u);
}

}  // namespace
