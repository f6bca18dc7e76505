#include "output_file.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>

#include "pack.h"

namespace fs = std::filesystem;

namespace {

// A name beside `target` that no other file of this process takes, nor likely another
// updpack's writing into the same folder.
fs::path TemporaryBeside(const fs::path& target, const char* kind) {
  static std::atomic<unsigned> counter{0};
  static const unsigned process = std::random_device()() % 1000000;
  fs::path temp = target;
  temp += "." + std::string(kind) + std::to_string(process) + "-" + std::to_string(counter++);
  return temp;
}

void RemoveQuietly(const fs::path& path) {
  std::error_code ignored;
  fs::remove(path, ignored);
}

std::string Reason() { return errno ? std::strerror(errno) : "disk full?"; }

}  // namespace

AtomicFile::AtomicFile(const std::string& path)
    : path_(path), temp_(TemporaryBeside(fs::u8path(path), "tmp")) {
  out_.open(temp_, std::ios::binary | std::ios::trunc);
  if (!out_) throw PackError("cannot write " + path + ": " + std::strerror(errno));
}

AtomicFile::~AtomicFile() {
  if (committed_) return;
  out_.close();
  RemoveQuietly(temp_);
}

void AtomicFile::Write(const void* data, size_t count) {
  errno = 0;
  if (!out_.write(static_cast<const char*>(data), static_cast<std::streamsize>(count))) {
    throw PackError("cannot write " + path_ + " (" + Reason() + ")");
  }
}

void AtomicFile::Commit() {
  errno = 0;
  out_.close();
  if (!out_) throw PackError("cannot write " + path_ + " (" + Reason() + ")");
  std::error_code ec;
  fs::rename(temp_, fs::u8path(path_), ec);
  if (ec) throw PackError("cannot write " + path_ + ": " + ec.message());
  committed_ = true;
}

ScratchFile::ScratchFile(const std::string& near)
    : path_(TemporaryBeside(fs::u8path(near), "part")) {
  io_.open(path_, std::ios::binary | std::ios::in | std::ios::out | std::ios::trunc);
  if (!io_) {
    throw PackError("cannot write a scratch file beside " + near + ": " + std::strerror(errno));
  }
}

ScratchFile::~ScratchFile() {
  io_.close();
  RemoveQuietly(path_);
}

void ScratchFile::Write(const void* data, size_t count) {
  errno = 0;
  if (!io_.write(static_cast<const char*>(data), static_cast<std::streamsize>(count))) {
    throw PackError("cannot write " + path_.u8string() + " (" + Reason() + ")");
  }
}

size_t ScratchFile::ReadBack(void* buffer, size_t size) {
  if (!reading_) {
    reading_ = true;
    if (!io_.flush() || !io_.seekg(0)) {
      throw PackError("cannot read back " + path_.u8string() + " (" + Reason() + ")");
    }
  }
  io_.read(static_cast<char*>(buffer), static_cast<std::streamsize>(size));
  if (io_.bad()) throw PackError("cannot read back " + path_.u8string());
  size_t n = static_cast<size_t>(io_.gcount());
  io_.clear();
  return n;
}
