// The reference for the update's second pass: the best durable batch this machine can make of
// the same replacement. Every new file under SOURCE is written beside its destination under
// DEST (the same relative name) under a temporary name, with read and write through a large
// buffer; then one syncfs of DEST's file system flushes them all together; then each temporary
// file is renamed over its destination, in order; then each destination directory is synced
// once, which makes the renames durable.
// Usage: durable_batch SOURCE DEST
// Exits 0 when every file is in place, 1 (with a message) otherwise; prints nothing else.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr size_t kBuffer = 1 << 20;
constexpr const char* kSuffix = ".batch-new";

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "durable_batch: %s: %s\n", what.c_str(), std::strerror(errno));
  std::exit(1);
}

// Copies `from` to `to`, created or emptied, through `buffer`.
void Copy(const std::string& from, const std::string& to, std::vector<char>& buffer) {
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) Fail("cannot open " + from);
  int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) Fail("cannot create " + to);
  for (;;) {
    ssize_t got = ::read(in, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) Fail("cannot read " + from);
    if (got == 0) break;
    for (ssize_t done = 0; done < got;) {
      ssize_t wrote = ::write(out, buffer.data() + done, static_cast<size_t>(got - done));
      if (wrote < 0 && errno == EINTR) continue;
      if (wrote < 0) Fail("cannot write " + to);
      done += wrote;
    }
  }
  ::close(in);
  if (::close(out) != 0) Fail("cannot write " + to);
}

void SyncPath(const std::string& path, bool wholeFileSystem) {
  int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) Fail("cannot open " + path);
  if ((wholeFileSystem ? ::syncfs(fd) : ::fsync(fd)) != 0) Fail("cannot sync " + path);
  ::close(fd);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: durable_batch SOURCE DEST\n");
    return 2;
  }
  const fs::path source = argv[1], dest = argv[2];
  std::vector<std::string> relative;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(source, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (it->is_regular_file()) relative.push_back(it->path().lexically_relative(source).string());
  }
  if (error) {
    errno = error.value();
    Fail("cannot list " + source.string());
  }

  // Written, all of them, before anything is flushed.
  std::vector<char> buffer(kBuffer);
  for (const std::string& name : relative) {
    const std::string target = (dest / name).string();
    Copy((source / name).string(), target + kSuffix, buffer);
  }
  // One file system holds every destination: one syncfs flushes the batch.
  SyncPath(dest.string(), true);
  std::vector<std::string> directories;
  std::set<std::string> seen;
  for (const std::string& name : relative) {
    const std::string target = (dest / name).string();
    if (::rename((target + kSuffix).c_str(), target.c_str()) != 0) Fail("cannot rename " + target);
    std::string directory = (dest / name).parent_path().string();
    if (seen.insert(directory).second) directories.push_back(directory);
  }
  for (const std::string& directory : directories) SyncPath(directory, false);
  return 0;
}
