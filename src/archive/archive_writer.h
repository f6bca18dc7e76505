// ArchiveWriter: writes the archive encoding into a byte vector, numbering classes and
// objects as a reader will. Used by the build tool and by tests, which may choose any
// of the length forms the reader accepts (and write malformed files on purpose).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

enum class StringForm {
  shortest,  // one length byte below 255, then FF + WORD, then FF FFFF + DWORD
  word,      // FF + WORD where the length allows it, else the DWORD form
  dword,     // FF FFFF + DWORD
  wide,      // FF FFFE, the shortest count form, then UTF-16 (each byte widened)
};

class ArchiveWriter {
 public:
  explicit ArchiveWriter(std::vector<uint8_t>& out) : out_(out) {}

  void WriteByte(uint8_t value) { out_.push_back(value); }
  void WriteWord(uint16_t value);
  void WriteDword(uint32_t value);
  void WriteBytes(const void* data, size_t count);
  void WriteString(const std::string& text, StringForm form = StringForm::shortest);

  // An ObjectList count: a WORD below 0xFFFF, else 0xFFFF and a DWORD (always when `longForm`).
  void WriteCount(uint32_t count, bool longForm = false);

  // A reference to the object numbered `index` (long tag from 0x7FFF on, or when asked).
  void WriteReference(uint32_t index, bool longTag = false);

  // Starts a new object of `className`: the class record the first time, a class tag
  // afterwards. Returns the object's number. The caller then writes its fields.
  uint32_t BeginObject(const std::string& className, uint16_t schema = 0, bool longTag = false);

  // A PayloadRecord: the length, then the raw bytes. Returns the offset of the first raw byte.
  uint32_t WritePayload(const void* data, size_t count);

  // The number the next class or object will take.
  uint32_t NextIndex() const { return nextIndex_; }

 private:
  std::vector<uint8_t>& out_;
  std::map<std::string, uint32_t> classes_;
  uint32_t nextIndex_ = 1;
};
