#include "platform/win32/win32_error.h"

#include <windows.h>

#include "platform/exceptions.h"

FileCause Win32Cause(unsigned long code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
      return FileCause::fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_FILENAME_EXCED_RANGE:
      return FileCause::badPath;
    case ERROR_TOO_MANY_OPEN_FILES:
      return FileCause::tooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_CURRENT_DIRECTORY:
      return FileCause::accessDenied;
    case ERROR_INVALID_HANDLE:
      return FileCause::invalidFile;
    case ERROR_NEGATIVE_SEEK:
    case ERROR_SEEK_ON_DEVICE:
    case ERROR_SEEK:
      return FileCause::badSeek;
    case ERROR_CRC:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_GEN_FAILURE:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
      return FileCause::hardIO;
    case ERROR_SHARING_VIOLATION:
      return FileCause::sharingViolation;
    case ERROR_LOCK_VIOLATION:
      return FileCause::lockViolation;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return FileCause::diskFull;
    case ERROR_HANDLE_EOF:
      return FileCause::endOfFile;
    default:
      return FileCause::generic;
  }
}

void ThrowWin32Error(const std::string& context, unsigned long code) {
  throw CFileException(Win32Cause(code), static_cast<long>(code), context);
}

void ThrowWin32Error(const std::string& context) { ThrowWin32Error(context, GetLastError()); }

bool Passing(unsigned long code) {
  return code == ERROR_SHARING_VIOLATION || code == ERROR_ACCESS_DENIED ||
         code == ERROR_LOCK_VIOLATION;
}
