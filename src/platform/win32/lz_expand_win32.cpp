// ExpandFile for the Windows backend: the system's own LZ expansion (lz32), which
// expands SZDD files and copies any other file.
#include <windows.h>
// windows.h first: lzexpand.h relies on its types.
#include <lzexpand.h>

#include "platform/lz_expand.h"

namespace {

// An LZ handle from LZOpenFileA, closed with LZClose.
class ScopedLzFile {
 public:
  explicit ScopedLzFile(INT handle) : handle_(handle) {}
  ~ScopedLzFile() {
    if (handle_ >= 0) LZClose(handle_);
  }
  ScopedLzFile(const ScopedLzFile&) = delete;
  ScopedLzFile& operator=(const ScopedLzFile&) = delete;
  INT get() const { return handle_; }

 private:
  INT handle_;
};

}  // namespace

int64_t ExpandFile(const std::string& source, const std::string& target) {
  // LZOpenFileA's name parameter is not const but is only read.
  LPSTR sourceName = const_cast<char*>(source.c_str());
  LPSTR targetName = const_cast<char*>(target.c_str());
  OFSTRUCT sourceInfo = {};
  ScopedLzFile in(LZOpenFileA(sourceName, &sourceInfo, OF_READ));
  if (in.get() < 0) return in.get();
  OFSTRUCT targetInfo = {};
  ScopedLzFile out(LZOpenFileA(targetName, &targetInfo, OF_CREATE));
  if (out.get() < 0) return out.get();
  return CopyLZFile(in.get(), out.get());
}
