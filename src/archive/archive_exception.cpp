#include "archive/archive_exception.h"

const char* ArchiveCauseText(ArchiveCause cause) {
  switch (cause) {
    case ArchiveCause::truncated:
      return "the update file ends unexpectedly";
    case ArchiveCause::badReference:
      return "the update file refers to an object that is missing or of the wrong kind";
    case ArchiveCause::unknownClass:
      return "the update file contains an object of an unknown kind";
    case ArchiveCause::schemaMismatch:
      return "the update file contains an object of an unsupported version";
    case ArchiveCause::generic:
      break;
  }
  return "the update file is damaged";
}

static bool CarriesPath(ArchiveCause cause) {
  return cause == ArchiveCause::badReference || cause == ArchiveCause::unknownClass ||
         cause == ArchiveCause::schemaMismatch;
}

static std::string ArchiveMessage(ArchiveCause cause, const std::string& path,
                                  const std::string& detail) {
  std::string text = ArchiveCauseText(cause);
  text[0] = static_cast<char>(text[0] - 'a' + 'A');
  if (CarriesPath(cause) && !path.empty()) text += " (" + path + ")";
  text += ".";
  if (!detail.empty()) text += " " + detail;
  return text;
}

CArchiveException::CArchiveException(ArchiveCause cause, const std::string& path,
                                     const std::string& detail)
    : CException(ArchiveMessage(cause, path, detail)),
      cause_(cause),
      path_(CarriesPath(cause) ? path : std::string()) {}
