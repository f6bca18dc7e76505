#include "platform/posix/file_id.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>

namespace {

bool Read(int dirfd, const char* path, int flags, FileId* id) {
  struct statx sx;
  if (::statx(dirfd, path, flags, STATX_INO | STATX_BTIME, &sx) == 0) {
    *id = FileId{makedev(sx.stx_dev_major, sx.stx_dev_minor), sx.stx_ino, 0, 0};
    if (sx.stx_mask & STATX_BTIME) {
      id->bornSeconds = sx.stx_btime.tv_sec;
      id->bornNanoseconds = sx.stx_btime.tv_nsec;
    }
    return true;
  }
  if (errno != ENOSYS) return false;
  // A kernel without statx: the device and inode alone.
  struct stat st;
  if (::fstatat(dirfd, path, &st, flags) != 0) return false;
  *id = FileId{st.st_dev, st.st_ino, 0, 0};
  return true;
}

}  // namespace

bool ReadFileId(int fd, FileId* id) { return Read(fd, "", AT_EMPTY_PATH, id); }

bool ReadFileIdOfName(const char* path, FileId* id) {
  return Read(AT_FDCWD, path, AT_SYMLINK_NOFOLLOW, id);
}
