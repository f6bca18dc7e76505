#include "platform/posix/posix_error.h"

#include <cerrno>

#include "platform/exceptions.h"

FileCause PosixCause(int error) {
  switch (error) {
    case ENOENT:
      return FileCause::fileNotFound;
    case ELOOP:
      return FileCause::linkLoop;
    case ENOTDIR:
    case ENAMETOOLONG:
      return FileCause::badPath;
    case EMFILE:
    case ENFILE:
      return FileCause::tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return FileCause::accessDenied;
    case EBADF:
      return FileCause::invalidFile;
    case EINVAL:
    case ESPIPE:
    case EOVERFLOW:
      return FileCause::badSeek;
    case EIO:
      return FileCause::hardIO;
    case EWOULDBLOCK:
      return FileCause::sharingViolation;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return FileCause::diskFull;
    default:
      return FileCause::generic;
  }
}

void ThrowPosixError(const std::string& context, int error) {
  throw CFileException(PosixCause(error), error, context);
}
