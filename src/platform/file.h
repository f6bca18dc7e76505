// The open update file as the reader sees it: a readable, seekable byte source.
// The platform backends implement it over the OS; MemoryFile serves tests and fuzzers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct FileIdentity;

class CFile {
 public:
  virtual ~CFile() = default;

  // Reads up to `count` bytes at the current position into `buffer` and returns how many
  // were read; 0 means the end of the file. Raises CFileException if the OS refuses.
  virtual size_t Read(void* buffer, size_t count) = 0;

  // Reads up to `count` bytes from `offset` into `buffer`, as many reads as it takes, and
  // returns how many came: fewer only where the file ends. One call to the OS where the
  // backend can; the position afterwards is not said, so a later Read seeks first. Raises
  // CFileException if the OS refuses.
  virtual size_t ReadAt(uint64_t offset, void* buffer, size_t count);

  // Returns the current position. Raises CFileException if the OS refuses.
  virtual uint64_t Tell() = 0;

  // Moves the position by `delta` from the current one and returns the new position.
  // Moving past the end is allowed; before the start raises CFileException.
  virtual uint64_t SeekRelative(int64_t delta) = 0;

  // Moves the position to `offset` and returns it. Raises CFileException if refused.
  virtual uint64_t SeekAbsolute(uint64_t offset) = 0;

  // Returns the file's current length in bytes. Raises CFileException if refused.
  virtual uint64_t Length() = 0;

  // The full path, for error reports (a memory file has a made-up one).
  virtual const std::string& FullPath() const = 0;

  // Writes all `count` bytes at the current position. Raises CFileException if the OS
  // refuses (a full disk among others) or the file was opened for reading only.
  virtual void Write(const void* data, size_t count);

  // Makes what was written durable: on the disk, not only in the system's cache, before
  // the file is given its final name. Raises CFileException if the OS refuses. Files that
  // are never written have nothing to flush.
  virtual void Flush() {}

  // Asks the OS to start writing what was written to the disk, without waiting, where it
  // can be asked (natively); a later flush then has less to wait for. Never raises.
  virtual void StartWriteBack() {}

  // Fills `identity` with the size, time and change mark of the file open here, as
  // ReadFileIdentity reads them by name, and no version. Returns false where this file
  // cannot tell them (a file in memory, or the OS refuses); `identity` is then unchanged.
  // Never raises.
  virtual bool ReadIdentity(FileIdentity*) { return false; }
};

// Reads up to `count` bytes of `file`, as many reads as it takes; returns how many came
// (fewer only where the file ends).
inline size_t ReadFully(CFile& file, void* buffer, size_t count) {
  uint8_t* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < count) {
    size_t n = file.Read(out + done, count - done);
    if (n == 0) break;
    done += n;
  }
  return done;
}

// Opens `path` for reading with no sharing: no other open of the file, for reading or
// writing, succeeds while this one lasts. Raises CFileException on failure.
std::unique_ptr<CFile> OpenForReading(const std::string& path);

// The same open, returning null instead of raising when the OS refuses.
std::unique_ptr<CFile> TryOpenForReading(const std::string& path);

// A CFile over bytes held in memory.
class MemoryFile : public CFile {
 public:
  explicit MemoryFile(std::vector<uint8_t> bytes, std::string path = "memory.upd");

  size_t Read(void* buffer, size_t count) override;
  uint64_t Tell() override { return position_; }
  uint64_t SeekRelative(int64_t delta) override;
  uint64_t SeekAbsolute(uint64_t offset) override;
  uint64_t Length() override { return bytes_.size(); }
  const std::string& FullPath() const override { return path_; }

 private:
  std::vector<uint8_t> bytes_;
  std::string path_;
  uint64_t position_ = 0;
};
