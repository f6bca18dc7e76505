#include "archive/archive_writer.h"

void ArchiveWriter::WriteWord(uint16_t value) {
  out_.push_back(static_cast<uint8_t>(value));
  out_.push_back(static_cast<uint8_t>(value >> 8));
}

void ArchiveWriter::WriteDword(uint32_t value) {
  for (int i = 0; i < 4; ++i) out_.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void ArchiveWriter::WriteBytes(const void* data, size_t count) {
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  out_.insert(out_.end(), bytes, bytes + count);
}

void ArchiveWriter::WriteString(const std::string& text, StringForm form) {
  uint32_t length = static_cast<uint32_t>(text.size());
  bool wordFits = length < 0xFFFE;
  switch (form) {
    case StringForm::shortest:
      if (length < 0xFF) {
        WriteByte(static_cast<uint8_t>(length));
        break;
      }
      [[fallthrough]];
    case StringForm::word:
      if (wordFits) {
        WriteByte(0xFF);
        WriteWord(static_cast<uint16_t>(length));
        break;
      }
      [[fallthrough]];
    case StringForm::dword:
      WriteByte(0xFF);
      WriteWord(0xFFFF);
      WriteDword(length);
      break;
    case StringForm::wide:
      WriteByte(0xFF);
      WriteWord(0xFFFE);
      if (length < 0xFF) {
        WriteByte(static_cast<uint8_t>(length));
      } else if (wordFits) {
        WriteByte(0xFF);
        WriteWord(static_cast<uint16_t>(length));
      } else {
        WriteByte(0xFF);
        WriteWord(0xFFFF);
        WriteDword(length);
      }
      for (unsigned char c : text) WriteWord(c);
      return;
  }
  WriteBytes(text.data(), text.size());
}

void ArchiveWriter::WriteCount(uint32_t count, bool longForm) {
  if (count < 0xFFFF && !longForm) {
    WriteWord(static_cast<uint16_t>(count));
  } else {
    WriteWord(0xFFFF);
    WriteDword(count);
  }
}

void ArchiveWriter::WriteReference(uint32_t index, bool longTag) {
  if (index < 0x7FFF && !longTag) {
    WriteWord(static_cast<uint16_t>(index));
  } else {
    WriteWord(0x7FFF);
    WriteDword(index);
  }
}

uint32_t ArchiveWriter::BeginObject(const std::string& className, uint16_t schema, bool longTag) {
  auto known = classes_.find(className);
  if (known == classes_.end()) {
    WriteWord(0xFFFF);
    WriteWord(schema);
    WriteWord(static_cast<uint16_t>(className.size()));
    WriteBytes(className.data(), className.size());
    classes_[className] = nextIndex_++;
  } else if (known->second < 0x7FFF && !longTag) {
    WriteWord(static_cast<uint16_t>(0x8000 | known->second));
  } else {
    WriteWord(0x7FFF);
    WriteDword(0x80000000u | known->second);
  }
  return nextIndex_++;
}

uint32_t ArchiveWriter::WritePayload(const void* data, size_t count) {
  WriteDword(static_cast<uint32_t>(count));
  uint32_t offset = static_cast<uint32_t>(out_.size());
  WriteBytes(data, count);
  return offset;
}
