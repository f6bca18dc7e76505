// The trust store natively: a file of lines, read whole and rewritten whole.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/canonical_path.h"
#include "platform/name_case.h"
#include "platform/posix/directory_listings.h"
#include "platform/trust_store.h"

namespace {

constexpr char kPolicyLine[] = "require-signature";

// The file's text; "" in *problem and false when it is not there.
bool ReadText(const std::string& path, std::string* text, std::string* problem) {
  problem->clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return false;
    *problem = "cannot be read: " + std::string(std::strerror(errno));
    return false;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    *problem = "is not a file";
    return false;
  }
  char buffer[4096];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *problem = "cannot be read: " + std::string(std::strerror(errno));
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    text->append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// Writes `lines` under a temporary name beside `path`, then renames it into place.
std::string WriteLines(const std::string& path, const std::vector<std::string>& lines) {
  std::string temp = path + ".new";
  DirectoryChange change{temp, path};
  FILE* out = std::fopen(temp.c_str(), "w");
  if (!out) return "cannot be written: " + std::string(std::strerror(errno));
  for (const std::string& line : lines) std::fprintf(out, "%s\n", line.c_str());
  bool ok = std::fflush(out) == 0 && ::fsync(fileno(out)) == 0;
  ok = std::fclose(out) == 0 && ok;
  if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
    std::string why = std::strerror(errno);
    std::remove(temp.c_str());
    return "cannot be written: " + why;
  }
  return std::string();
}

bool SameDirectory(const std::string& a, const std::string& b) {
  std::string ca = CanonicalPath(a);
  return !ca.empty() && FoldedName(ca) == FoldedName(CanonicalPath(b));
}

}  // namespace

std::string TrustStoreName(const TrustStoreLocation& where) {
  return "the trust store (" + where.file + ")";
}

std::string ReadTrustStore(const TrustStoreLocation& where, TrustStore* store) {
  *store = TrustStore();
  if (where.file.empty()) return std::string();
  std::string text;
  std::string problem;
  if (!ReadText(where.file, &text, &problem)) {
    return problem.empty() ? std::string() : TrustStoreName(where) + " " + problem;
  }
  std::vector<std::string> lines = Lines(text);
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    std::string origin = "line " + std::to_string(i + 1) + " of " + where.file;
    if (line.empty() || line[0] == '#') continue;
    if (line == kPolicyLine) {
      store->requireSignature = true;
      store->policyOrigin = "the policy on " + origin;
      continue;
    }
    size_t tab = line.find('\t');
    if (tab == std::string::npos || line.find('\t', tab + 1) != std::string::npos) {
      return TrustStoreName(where) + ": " + origin +
             " is not an entry (a key's one-line text, a tab, a directory) nor \"" + kPolicyLine +
             "\"";
    }
    TrustEntry entry;
    entry.keyText = line.substr(0, tab);
    entry.directory = line.substr(tab + 1);
    entry.origin = origin;
    store->entries.push_back(entry);
  }
  return std::string();
}

std::string AddTrustEntry(const TrustStoreLocation& where, const std::string& directory,
                          const std::string& keyText, bool) {
  if (where.file.empty()) return "no trust store is given (--trust-store or VARERI_TRUST_STORE)";
  if ((keyText + directory).find_first_of("\t\r\n") != std::string::npos) {
    return "a key or directory with a tab or a line end cannot be recorded";
  }
  std::string text;
  std::string problem;
  ReadText(where.file, &text, &problem);
  if (!problem.empty()) return TrustStoreName(where) + " " + problem;
  std::vector<std::string> lines = Lines(text);
  bool replaced = false;
  for (std::string& line : lines) {
    size_t tab = line.find('\t');
    if (tab != std::string::npos && !replaced && SameDirectory(line.substr(tab + 1), directory)) {
      line = keyText + "\t" + line.substr(tab + 1);
      replaced = true;
    }
  }
  if (!replaced) lines.push_back(keyText + "\t" + directory);
  problem = WriteLines(where.file, lines);
  return problem.empty() ? problem : TrustStoreName(where) + " " + problem;
}

std::string RemoveTrustEntries(const TrustStoreLocation& where, const std::string& directory, bool,
                               size_t* removed) {
  *removed = 0;
  if (where.file.empty()) return "no trust store is given (--trust-store or VARERI_TRUST_STORE)";
  std::string text;
  std::string problem;
  if (!ReadText(where.file, &text, &problem)) {
    return problem.empty() ? problem : TrustStoreName(where) + " " + problem;
  }
  std::vector<std::string> kept;
  for (const std::string& line : Lines(text)) {
    size_t tab = line.find('\t');
    if (tab != std::string::npos && SameDirectory(line.substr(tab + 1), directory)) {
      ++*removed;
    } else {
      kept.push_back(line);
    }
  }
  if (*removed == 0) return std::string();
  problem = WriteLines(where.file, kept);
  return problem.empty() ? problem : TrustStoreName(where) + " " + problem;
}
