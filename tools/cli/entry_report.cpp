#include "entry_report.h"

#include "engine/update_log.h"

namespace {

const char kUpdatedPrefix[] = "Updated File ";

// Whether `line` from `at` names `path`: the path follows whole, or the line was cut at
// 255 characters inside it.
bool NamesPath(const std::string& line, size_t at, const std::string& path) {
  if (path.empty() || line.size() < at) return false;
  if (line.compare(at, path.size(), path) == 0 && line.size() - at >= path.size()) return true;
  bool cut = line.size() >= UpdateLog::kLineSize - 1;
  return cut && path.compare(0, line.size() - at, line, at, std::string::npos) == 0;
}

// What follows the path on a line that starts with it.
struct Suffix {
  const char* text;
  EntryVerdict verdict;
};
const Suffix kVerdictSuffixes[] = {
    {" will be updated", EntryVerdict::update},
    {" is up to date", EntryVerdict::upToDate},
    {" is newer than the upd", EntryVerdict::newer},
    {" will not be updated (User Selection)", EntryVerdict::notSelected},
    {" was not updated (User Selection)", EntryVerdict::notSelected},
};

UpdateError ErrorFromMessage(const std::string& message, bool cut) {
  for (int code = 1; code <= 10; ++code) {
    std::string known = UpdateErrorMessage(static_cast<UpdateError>(code));
    if (known == message) return static_cast<UpdateError>(code);
  }
  if (!cut || message.empty()) return none;
  UpdateError found = none;
  for (int code = 1; code <= 10; ++code) {
    std::string known = UpdateErrorMessage(static_cast<UpdateError>(code));
    if (known.compare(0, message.size(), message) == 0) {
      if (found != none) return none;  // ambiguous
      found = static_cast<UpdateError>(code);
    }
  }
  return found;
}

void Classify(const std::string& line, const std::string& path, EntryResult& result) {
  if (line.compare(0, sizeof kUpdatedPrefix - 1, kUpdatedPrefix) == 0 &&
      NamesPath(line, sizeof kUpdatedPrefix - 1, path)) {
    result.updated = true;
    result.verdict = EntryVerdict::update;
    return;
  }
  bool cut = line.size() >= UpdateLog::kLineSize - 1;
  std::string rest = line.size() > path.size() ? line.substr(path.size()) : std::string();
  const std::string errorOpen = " error [";
  // No other line has an 'e' after the path: a cut line still shows an error.
  bool errorLine = rest.compare(0, errorOpen.size(), errorOpen) == 0 ||
                   (cut && rest.size() >= 2 && errorOpen.compare(0, rest.size(), rest) == 0);
  if (errorLine) {
    std::string message = rest.size() > errorOpen.size() ? rest.substr(errorOpen.size()) : "";
    if (!message.empty() && message.back() == ']') message.pop_back();
    result.failed = true;
    result.verdict = EntryVerdict::unknown;
    result.errorText = message;
    result.error = ErrorFromMessage(message, cut);
    return;
  }
  const std::string renamed = " renamed to ";
  if (rest.compare(0, renamed.size(), renamed) == 0) {
    result.backup = rest.substr(renamed.size());
    return;
  }
  for (const Suffix& suffix : kVerdictSuffixes) {
    if (rest == suffix.text) {
      result.verdict = suffix.verdict;
      return;
    }
  }
}

}  // namespace

std::vector<EntryResult> AttributeLines(const VEzorazEdo& document,
                                        const std::vector<std::string>& lines,
                                        bool passOneComplete) {
  const auto& items = document.items;
  std::vector<EntryResult> results(items.size());
  size_t cursor = 0;
  for (const std::string& line : lines) {
    for (size_t k = cursor; k < items.size(); ++k) {
      const std::string path = items[k]->targetPath;
      bool updatedLine = line.compare(0, sizeof kUpdatedPrefix - 1, kUpdatedPrefix) == 0 &&
                         NamesPath(line, sizeof kUpdatedPrefix - 1, path);
      if (!updatedLine && !NamesPath(line, 0, path)) continue;
      // An entry has a second line only after keeping its previous version; another line
      // with the same path belongs to a later entry of that path.
      EntryResult& result = results[k];
      bool afterRename = result.lines.size() == 1 && !result.backup.empty();
      if (!result.lines.empty() && !afterRename) continue;
      result.lines.push_back(line);
      Classify(line, path, result);
      cursor = k;
      break;
    }
  }
  for (size_t k = 0; k < items.size(); ++k) {
    EntryResult& result = results[k];
    if (!result.lines.empty() || !passOneComplete) continue;
    // No line of its own: verified in the first pass, then an update stopped elsewhere.
    if (!items[k]->selected) {
      result.verdict = EntryVerdict::notSelected;
    } else {
      switch (items[k]->verdict) {
        case verdictUpToDate:
          result.verdict = EntryVerdict::upToDate;
          break;
        case verdictNewer:
          result.verdict = EntryVerdict::newer;
          break;
        default:
          result.verdict = EntryVerdict::update;
      }
    }
  }
  return results;
}

const char* UpdateErrorName(UpdateError code) {
  static const char* const kNames[] = {
      "",
      "fileNotFound",
      "differentDate",
      "differentSize",
      "differentVersion",
      "cantCreateFile",
      "previousVersionNotCompatible",
      "cannotWrite",
      "cannotRename",
      "cannotDecompress",
      "cannotCreateTemp",
  };
  return code < sizeof kNames / sizeof kNames[0] ? kNames[code] : "";
}

const char* VerdictName(EntryVerdict verdict) {
  switch (verdict) {
    case EntryVerdict::notSelected:
      return "notSelected";
    case EntryVerdict::update:
      return "update";
    case EntryVerdict::upToDate:
      return "upToDate";
    case EntryVerdict::newer:
      return "newer";
    case EntryVerdict::unknown:
      break;
  }
  return "";
}
