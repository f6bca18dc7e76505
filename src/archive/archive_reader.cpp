#include "archive/archive_reader.h"

#include <cstdio>
#include <cstring>

#include "platform/text.h"

namespace {

constexpr size_t kMinBufferSize = 128;
constexpr size_t kMaxClassName = 63;
constexpr uint32_t kLongTag = 0x7FFF;
constexpr uint32_t kNewClassTag = 0xFFFF;
constexpr uint32_t kNewObjectBit = 0x80000000;

std::string Format(const char* format, unsigned long long a, unsigned long long b = 0) {
  char text[160];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

}  // namespace

ArchiveReader::ArchiveReader(CFile& file, const ClassRegistry& registry, size_t bufferSize)
    : file_(&file),
      path_(file.FullPath()),
      registry_(registry),
      size_(bufferSize < kMinBufferSize ? kMinBufferSize : bufferSize) {
  buffer_.reset(new (std::nothrow) uint8_t[size_]);
  if (!buffer_) throw CMemoryException();
  bufferEnd_ = file.Tell();
}

ArchiveReader::~ArchiveReader() {
  if (file_ == nullptr) return;
  try {
    Close();
  } catch (const CException&) {
    // The error that unwinds us is the one worth reporting.
  }
}

void ArchiveReader::Fail(ArchiveCause cause, const std::string& detail) const {
  throw CArchiveException(cause, path_, detail);
}

size_t ArchiveReader::Fill(size_t need) {
  size_t have = end_ - cur_;
  if (have >= need) return have;
  std::memmove(buffer_.get(), buffer_.get() + cur_, have);
  cur_ = 0;
  end_ = have;
  while (end_ < need) {
    size_t n = file_->Read(buffer_.get() + end_, size_ - end_);
    if (n == 0) break;
    end_ += n;
    bufferEnd_ += n;
  }
  return end_;
}

uint32_t ArchiveReader::Take(size_t width) {
  if (end_ - cur_ < width && Fill(width) < width) {
    Fail(ArchiveCause::truncated,
         Format("A %llu-byte value at offset %llu is cut off by the end of the file.", width,
                Offset()));
  }
  uint32_t value = 0;
  for (size_t i = 0; i < width; ++i) value |= static_cast<uint32_t>(buffer_[cur_ + i]) << (8 * i);
  cur_ += width;
  return value;
}

std::string ArchiveReader::ReadArchiveString() {
  bool wide = false;
  uint32_t length;
  for (;;) {
    uint32_t b = Take(1);
    if (b < 0xFF) {
      length = b;
      break;
    }
    uint32_t w = ReadWord();
    if (w == 0xFFFE) {
      if (wide) {
        Fail(ArchiveCause::generic,
             Format("Two wide-text markers in a row before offset %llu.", Offset()));
      }
      wide = true;
      continue;
    }
    length = (w == 0xFFFF) ? ReadDword() : w;
    break;
  }
  uint64_t bytes = wide ? 2ull * length : length;
  if (bytes == 0) return std::string();
  CheckRemaining(bytes, "A string of %llu bytes at offset %llu runs past the end of the file.");
  // The text is read straight into the string the caller gets: a long string is never
  // held twice.
  try {
    std::string text(static_cast<size_t>(bytes), '\0');
    ReadText(reinterpret_cast<uint8_t*>(&text[0]), text.size());
    if (!wide) return text;
    std::vector<uint16_t> units(length);
    for (size_t i = 0; i < length; ++i) {
      units[i] = static_cast<uint8_t>(text[2 * i]) | (static_cast<uint8_t>(text[2 * i + 1]) << 8);
    }
    return WideToAnsi(units.data(), units.size());
  } catch (const std::bad_alloc&) {
    throw CMemoryException();
  } catch (const std::length_error&) {
    throw CMemoryException();
  }
}

void ArchiveReader::ReadText(uint8_t* text, size_t length) {
  if (length == 0) return;  // `text` may then be null, as an empty vector's data is
  uint64_t start = Offset();
  size_t buffered = end_ - cur_;
  size_t copied = buffered < length ? buffered : length;
  std::memcpy(text, buffer_.get() + cur_, copied);
  cur_ += copied;
  size_t rest = length - copied;
  if (rest == 0) return;
  // Whole multiples of the buffer size go straight into the text.
  size_t direct = rest / size_ * size_;
  cur_ = end_ = 0;
  while (direct > 0) {
    size_t n = file_->Read(text + copied, direct);
    if (n == 0) break;
    copied += n;
    direct -= n;
    bufferEnd_ += n;
  }
  rest = length - copied;
  if (direct == 0 && rest > 0 && Fill(rest) >= rest) {
    std::memcpy(text + copied, buffer_.get() + cur_, rest);
    cur_ += rest;
    return;
  }
  if (direct == 0 && rest == 0) return;
  Fail(ArchiveCause::truncated,
       Format("A string of %llu bytes at offset %llu is cut off by the end of the file.", length,
              start));
}

uint32_t ArchiveReader::ReadListCount() {
  uint32_t count = ReadWord();
  return count == 0xFFFF ? ReadDword() : count;
}

const ClassInfo* ArchiveReader::ReadClassRecord() {
  uint64_t at = Offset();
  uint16_t schema = ReadWord();
  uint16_t length = ReadWord();
  if (length > kMaxClassName) {
    Fail(ArchiveCause::unknownClass,
         Format("A class name of %llu bytes at offset %llu is too long.", length, at));
  }
  if (Fill(length) < length) {
    Fail(ArchiveCause::unknownClass,
         Format("The class name at offset %llu is cut off by the end of the file.", at));
  }
  const char* name = reinterpret_cast<const char*>(buffer_.get() + cur_);
  const ClassInfo* info = registry_.Find(name, length);
  std::string shown(name, length);
  cur_ += length;
  if (info == nullptr) {
    Fail(ArchiveCause::unknownClass,
         "Unknown class \"" + shown + "\" at offset " + std::to_string(at) + ".");
  }
  if (schema != info->schema) {
    Fail(ArchiveCause::schemaMismatch, "Class \"" + shown + "\" has schema " +
                                           std::to_string(schema) + " at offset " +
                                           std::to_string(at) + ".");
  }
  if (table_.AddClass(info) == 0) {
    Fail(ArchiveCause::badReference, "The table of classes and objects is full.");
  }
  return info;
}

const ClassInfo* ArchiveReader::ReadTag(CObject** reference) {
  uint64_t at = Offset();
  uint32_t w = ReadWord();
  uint32_t t = (w == kLongTag) ? ReadDword() : ((w & 0x8000u) << 16) | (w & 0x7FFFu);
  if ((t & kNewObjectBit) == 0) {
    if (t > table_.HighestUsed() || table_.IsClass(t)) {
      Fail(ArchiveCause::badReference,
           Format("The tag at offset %llu names object %llu, which does not exist.", at, t));
    }
    *reference = table_.ObjectAt(t);
    return nullptr;
  }
  if (w == kNewClassTag) return ReadClassRecord();
  uint32_t index = t & ~kNewObjectBit;
  if (index == 0 || index > table_.HighestUsed() || !table_.IsClass(index)) {
    Fail(ArchiveCause::badReference,
         Format("The tag at offset %llu names class %llu, which does not exist.", at, index));
  }
  return table_.ClassAt(index);
}

std::unique_ptr<CObject> ArchiveReader::CreateObject(const ClassInfo* info) {
  std::unique_ptr<CObject> object;
  try {
    object = info->create();
  } catch (const std::bad_alloc&) {
    throw CMemoryException();
  }
  if (!object) throw CMemoryException();
  if (table_.AddObject(object.get()) == 0) {
    Fail(ArchiveCause::badReference, "The table of classes and objects is full.");
  }
  object->ReadFields(*this);
  return object;
}

TaggedObject ArchiveReader::ReadTaggedObject() {
  TaggedObject result;
  const ClassInfo* info = ReadTag(&result.referenced);
  if (info != nullptr) result.created = CreateObject(info);
  return result;
}

std::unique_ptr<CObject> ArchiveReader::ReadListElement(const ClassInfo& expected) {
  uint64_t at = Offset();
  CObject* reference = nullptr;
  const ClassInfo* info = ReadTag(&reference);
  if (info == nullptr) {
    Fail(ArchiveCause::badReference,
         Format(reference ? "The list element at offset %llu refers to an earlier object."
                          : "The list element at offset %llu is null.",
                at));
  }
  if (info != &expected) {
    Fail(ArchiveCause::badReference, "The list element at offset " + std::to_string(at) + " is a " +
                                         info->name + ", not a " + expected.name + ".");
  }
  return CreateObject(info);
}

void ArchiveReader::CheckRemaining(uint64_t bytes, const char* format) const {
  if (bytes <= end_ - cur_) return;
  uint64_t fileLength = file_->Length();
  if (bytes > (fileLength > Offset() ? fileLength - Offset() : 0)) {
    Fail(ArchiveCause::truncated, Format(format, bytes, Offset()));
  }
}

uint32_t ArchiveReader::ReadPayloadLength() {
  uint64_t at = Offset();
  uint32_t length = ReadDword();
  if (length >= 0x80000000u) {
    Fail(ArchiveCause::truncated,
         Format("A payload of %llu bytes at offset %llu cannot be in an update file.", length, at));
  }
  return length;
}

PayloadRecord ArchiveReader::SkipPayload() {
  uint32_t length = ReadPayloadLength();
  // Give back the read-ahead and step over the raw bytes in one move.
  int64_t unconsumed = static_cast<int64_t>(end_ - cur_);
  uint64_t after = file_->SeekRelative(static_cast<int64_t>(length) - unconsumed);
  cur_ = end_ = 0;
  bufferEnd_ = after;
  return PayloadRecord{static_cast<uint32_t>(after - length), length};
}

PayloadRecord ArchiveReader::ReadPayload(std::vector<uint8_t>* bytes, size_t keep) {
  uint32_t length = ReadPayloadLength();
  uint64_t offset = Offset();
  size_t kept = length < keep ? length : keep;
  CheckRemaining(kept, "A payload of %llu bytes at offset %llu runs past the end of the file.");
  try {
    bytes->assign(kept, 0);
  } catch (const std::bad_alloc&) {
    throw CMemoryException();
  } catch (const std::length_error&) {
    throw CMemoryException();
  }
  ReadText(bytes->data(), kept);
  if (kept < length) {
    int64_t unconsumed = static_cast<int64_t>(end_ - cur_);
    bufferEnd_ = file_->SeekRelative(static_cast<int64_t>(length - kept) - unconsumed);
    cur_ = end_ = 0;
  }
  return PayloadRecord{static_cast<uint32_t>(offset), length};
}

void ArchiveReader::Close() {
  size_t unconsumed = end_ - cur_;
  CFile* file = file_;
  file_ = nullptr;
  cur_ = end_ = 0;
  if (unconsumed > 0) bufferEnd_ = file->SeekRelative(-static_cast<int64_t>(unconsumed));
}
