// ArchiveReader: the buffered reading stream over the open update file. It decodes the
// archive's values, strings, tagged objects and lists, and locates payloads without
// reading them. It never owns the objects it creates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/archive_exception.h"
#include "archive/class_registry.h"
#include "archive/reference_table.h"
#include "platform/exceptions.h"
#include "platform/file.h"

// An owning list of archive objects, in file order.
template <class T>
using ObjectList = std::vector<std::unique_ptr<T>>;

// What a tag stood for: a new object (owned by the caller) or an earlier one (or null).
struct TaggedObject {
  std::unique_ptr<CObject> created;
  CObject* referenced = nullptr;
};

// Where a payload's raw bytes lie in the file.
struct PayloadRecord {
  uint32_t offset;
  uint32_t length;
};

class ArchiveReader {
 public:
  static constexpr size_t kBufferSize = 4096;

  // Attaches to `file`; reading starts at its current position. Buffer sizes below 128
  // are raised to 128. Raises CFileException or CMemoryException.
  ArchiveReader(CFile& file, const ClassRegistry& registry, size_t bufferSize = kBufferSize);
  // Closes the reader if still attached (giving back the read-ahead); never raises.
  ~ArchiveReader();
  ArchiveReader(const ArchiveReader&) = delete;
  ArchiveReader& operator=(const ArchiveReader&) = delete;

  // Each read raises CArchiveException (truncated) when the file ends before the value
  // is complete, and CFileException when the OS refuses a read.
  uint16_t ReadWord() { return static_cast<uint16_t>(Take(2)); }
  uint32_t ReadDword() { return Take(4); }

  // Reads an ArchiveString in any of its length forms; wide text comes back converted
  // to the ANSI code page up to its first NUL. A length that runs past the end of the
  // file raises (truncated) before anything is allocated.
  std::string ReadArchiveString();

  // Reads an ObjectList count: a WORD, or 0xFFFF and a DWORD.
  uint32_t ReadListCount();

  // Reads one TaggedObject: null, an object read earlier in this pass, or a new object
  // that has read its own fields. Raises CArchiveException: badReference, unknownClass or
  // schemaMismatch.
  TaggedObject ReadTaggedObject();

  // Reads an ObjectList whose elements must all be new objects of T's class, appending
  // each to `list` as soon as it is complete. A null element, a reference or an object
  // of another class raises CArchiveException (bad reference) before it is read.
  template <class T>
  void ReadList(ObjectList<T>& list) {
    uint32_t count = ReadListCount();
    for (uint32_t i = 0; i < count; ++i) {
      std::unique_ptr<T> element(static_cast<T*>(ReadListElement(T::kClass).release()));
      try {
        // A list that cannot grow leaves `element` its owner, which frees it.
        list.push_back(std::move(element));
      } catch (const std::bad_alloc&) {
        throw CMemoryException();
      } catch (const std::length_error&) {
        throw CMemoryException();
      }
    }
  }

  // Reads a PayloadRecord's length and moves the file past its raw bytes without reading
  // them. Returns where they lie. A length of 0x80000000 or more raises (truncated);
  // a length that runs past the end is not checked here.
  PayloadRecord SkipPayload();

  // Reads a PayloadRecord whose first `keep` bytes (at most) the caller holds in memory: they
  // come into `bytes`, which takes exactly that many; the rest of the raw bytes are stepped
  // over as SkipPayload steps. Returns where the raw bytes lie. Raises as SkipPayload does, and
  // truncated when the file ends before the bytes kept; CMemoryException.
  PayloadRecord ReadPayload(std::vector<uint8_t>* bytes, size_t keep);

  // Gives back the read-ahead (the file is left right after the last byte consumed)
  // and detaches. No read may follow.
  void Close();

  // The update file's full path, for error reports.
  const std::string& FilePath() const { return path_; }

  // Offset in the file of the next byte to be consumed.
  uint64_t Offset() const { return bufferEnd_ - (end_ - cur_); }

 private:
  uint32_t Take(size_t width);
  // Raises truncated, with `format` (the byte count, the offset), unless `bytes` more can be
  // read from the file.
  void CheckRemaining(uint64_t bytes, const char* format) const;
  // A PayloadRecord's length, refused when no update file can hold it.
  uint32_t ReadPayloadLength();
  // Makes at least `need` bytes available if the file has them; returns how many are.
  size_t Fill(size_t need);
  void ReadText(uint8_t* text, size_t length);
  std::unique_ptr<CObject> ReadListElement(const ClassInfo& expected);
  // Reads the tag; returns the class of a new object (entering a new class in the table),
  // or null with `reference` set for a reference.
  const ClassInfo* ReadTag(CObject** reference);
  const ClassInfo* ReadClassRecord();
  std::unique_ptr<CObject> CreateObject(const ClassInfo* info);
  [[noreturn]] void Fail(ArchiveCause cause, const std::string& detail) const;

  CFile* file_;  // null once closed
  std::string path_;
  const ClassRegistry& registry_;
  std::unique_ptr<uint8_t[]> buffer_;
  size_t size_;
  size_t cur_ = 0;
  size_t end_ = 0;
  uint64_t bufferEnd_;  // file offset of the byte after buffer_[end_ - 1]
  ReferenceTable table_;
};
