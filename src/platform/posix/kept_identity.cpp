#include "platform/posix/kept_identity.h"

#include <unistd.h>

void KeepIdentity(int fd, const struct stat& replaced) {
  if (::fchown(fd, replaced.st_uid, replaced.st_gid) != 0) {
    // Not permitted to give the file away: its group may still be one of the user's.
    (void)::fchown(fd, static_cast<uid_t>(-1), replaced.st_gid);
  }
  mode_t mode = replaced.st_mode & 07777;
  struct stat now;
  if (::fstat(fd, &now) != 0) return;
  if (now.st_uid != replaced.st_uid) mode &= ~static_cast<mode_t>(S_ISUID);
  if (now.st_gid != replaced.st_gid) mode &= ~static_cast<mode_t>(S_ISGID);
  (void)::fchmod(fd, mode);
}
