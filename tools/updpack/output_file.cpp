#include "output_file.h"

#include <cerrno>
#include <cstring>

#include "pack.h"

namespace fs = std::filesystem;

namespace {

std::string Reason() { return errno ? std::strerror(errno) : "disk full?"; }

// Moves `at` past `word` (ASCII) if `name` holds it there.
template <typename Text>
bool Skip(const Text& name, size_t* at, const char* word) {
  size_t k = 0;
  for (; word[k]; ++k) {
    if (*at + k >= name.size() ||
        name[*at + k] != static_cast<typename Text::value_type>(word[k])) {
      return false;
    }
  }
  *at += k;
  return true;
}

// Moves `at` past 1 to `most` decimal digits, their value in `value`.
template <typename Text>
bool Number(const Text& name, size_t* at, size_t most, unsigned long long* value) {
  size_t start = *at;
  for (*value = 0; *at < name.size() && name[*at] >= '0' && name[*at] <= '9'; ++*at) {
    if (*at - start == most) return false;
    *value = *value * 10 + static_cast<unsigned>(name[*at] - '0');
  }
  return *at > start;
}

// Whether `name` is "<prefix>tmp<process>-<n>" or "<prefix>part<process>-<n>", as the
// TemporaryNames of the same output are; stores the process id.
template <typename Text>
bool IsTemporaryOf(const Text& name, const Text& prefix, unsigned long* process) {
  size_t at = prefix.size();
  unsigned long long id = 0, number = 0;
  if (name.compare(0, at, prefix) != 0) return false;
  if (!Skip(name, &at, "tmp") && !Skip(name, &at, "part")) return false;
  if (!Number(name, &at, 10, &id) || !Skip(name, &at, "-") || !Number(name, &at, 19, &number)) {
    return false;
  }
  *process = static_cast<unsigned long>(id);
  return at == name.size() && id <= 0xFFFFFFFFull;
}

const fs::path& WithoutStaleTemporaries(const fs::path& output) {
  RemoveStaleTemporaries(output);
  return output;
}

}  // namespace

void RemoveStaleTemporaries(const fs::path& output) {
  fs::path folder = output.parent_path();
  const fs::path::string_type prefix = output.filename().native() + fs::path::string_type(1, '.');
  std::error_code ec;
  for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end;
       !ec && it != end; it.increment(ec)) {
    unsigned long process = 0;
    if (IsTemporaryOf(it->path().filename().native(), prefix, &process)) {
      RemoveIfStale(it->path(), process);
    }
  }
}

AtomicFile::AtomicFile(const std::string& path)
    : path_(path), temp_(WithoutStaleTemporaries(fs::u8path(path)), "tmp", "cannot write " + path) {
  out_.open(temp_.path(), std::ios::binary | std::ios::trunc);
  if (!out_) throw PackError("cannot write " + path + ": " + std::strerror(errno));
}

void AtomicFile::Write(const void* data, size_t count) {
  StopIfInterrupted();
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
  fs::rename(temp_.path(), fs::u8path(path_), ec);
  if (ec) throw PackError("cannot write " + path_ + ": " + ec.message());
  temp_.Renamed();
}

ScratchFile::ScratchFile(const std::string& near)
    : name_(fs::u8path(near), "part", "cannot write a scratch file beside " + near) {
  io_.open(name_.path(), std::ios::binary | std::ios::in | std::ios::out | std::ios::trunc);
  if (!io_) {
    throw PackError("cannot write a scratch file beside " + near + ": " + std::strerror(errno));
  }
}

void ScratchFile::Write(const void* data, size_t count) {
  StopIfInterrupted();
  errno = 0;
  if (!io_.write(static_cast<const char*>(data), static_cast<std::streamsize>(count))) {
    throw PackError("cannot write " + name_.path().u8string() + " (" + Reason() + ")");
  }
}

size_t ScratchFile::ReadBack(void* buffer, size_t size) {
  StopIfInterrupted();
  if (!reading_) {
    reading_ = true;
    if (!io_.flush() || !io_.seekg(0)) {
      throw PackError("cannot read back " + name_.path().u8string() + " (" + Reason() + ")");
    }
  }
  io_.read(static_cast<char*>(buffer), static_cast<std::streamsize>(size));
  if (io_.bad()) throw PackError("cannot read back " + name_.path().u8string());
  size_t n = static_cast<size_t>(io_.gcount());
  io_.clear();
  return n;
}
