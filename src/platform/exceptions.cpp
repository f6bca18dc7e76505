#include "platform/exceptions.h"

#include <cstdio>

const char* FileCauseText(FileCause cause) {
  switch (cause) {
    case FileCause::none:
      return "no error";
    case FileCause::fileNotFound:
      return "the file was not found";
    case FileCause::badPath:
      return "the path is not valid";
    case FileCause::tooManyOpenFiles:
      return "too many files are open";
    case FileCause::accessDenied:
      return "access to the file was denied";
    case FileCause::invalidFile:
      return "the file handle is not valid";
    case FileCause::directoryFull:
      return "the directory is full";
    case FileCause::badSeek:
      return "the file position could not be moved";
    case FileCause::hardIO:
      return "a hardware error occurred";
    case FileCause::sharingViolation:
      return "the file is in use by another program";
    case FileCause::lockViolation:
      return "a locked part of the file was accessed";
    case FileCause::diskFull:
      return "the disk is full";
    case FileCause::linkLoop:
      return "the name is a loop of symbolic links";
    case FileCause::endOfFile:
      return "the end of the file was reached";
    case FileCause::generic:
      break;
  }
  return "an unspecified file error occurred";
}

static std::string FileMessage(FileCause cause, long osError, const std::string& context) {
  char code[32];
  std::snprintf(code, sizeof code, "%ld", osError);
  return context + ": " + FileCauseText(cause) + " (system error " + code + ").";
}

CFileException::CFileException(FileCause cause, long osError, const std::string& context)
    : CException(FileMessage(cause, osError, context)), cause_(cause), osError_(osError) {}
