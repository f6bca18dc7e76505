// A CFile wrapper that counts the calls made on it and can hand out short reads, so
// tests and benchmarks can see how the reader uses the file.
#pragma once

#include <cstddef>

#include "platform/file.h"

class CountingFile : public CFile {
 public:
  explicit CountingFile(CFile& inner, size_t maxRead = 0) : inner_(inner), maxRead_(maxRead) {}

  size_t Read(void* buffer, size_t count) override {
    ++reads;
    lastRequest = count;
    if (maxRead_ != 0 && count > maxRead_) count = maxRead_;
    size_t n = inner_.Read(buffer, count);
    bytesRead += n;
    return n;
  }
  uint64_t Tell() override {
    ++tells;
    return inner_.Tell();
  }
  uint64_t SeekRelative(int64_t delta) override {
    ++seeks;
    return inner_.SeekRelative(delta);
  }
  uint64_t SeekAbsolute(uint64_t offset) override {
    ++seeks;
    return inner_.SeekAbsolute(offset);
  }
  uint64_t Length() override {
    ++lengths;
    return inner_.Length();
  }
  const std::string& FullPath() const override { return inner_.FullPath(); }

  size_t reads = 0;
  size_t seeks = 0;
  size_t tells = 0;
  size_t lengths = 0;
  size_t bytesRead = 0;
  size_t lastRequest = 0;

 private:
  CFile& inner_;
  size_t maxRead_;
};
