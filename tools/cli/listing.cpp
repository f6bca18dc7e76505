#include "listing.h"

#include "entry_json.h"
#include "json_text.h"

namespace {

// The system directory's path of a kindSystem entry is tried first, then this one.
std::string FallbackOf(const CUpdateItem& item, const AppState& app) {
  std::string fallback;
  if (item.directoryKind != kindSystem || !item.FallbackPath(app, &fallback)) return "";
  return fallback;
}

std::string StampText(const CFileStamp& stamp) {
  return stamp.VersionText() + " (" + std::to_string(stamp.size) + " bytes)";
}

}  // namespace

void PrintListing(AppState& app, std::ostream& out) {
  const VEzorazEdo& doc = app.document;
  out << app.productName << ": " << doc.items.size() << (doc.items.size() == 1 ? " file" : " files")
      << ", installation directory " << app.installDir << '\n';
  for (const auto& item : doc.items) {
    item->FormPath(app);
    std::string fallback = FallbackOf(*item, app);
    bool removal = item->action == EntryAction::remove;
    out << item->targetPath << (fallback.empty() ? "" : " or " + fallback) << ": "
        << (removal ? std::string("no new version") : StampText(item->expectedStamp))
        << ", component " << item->componentName << (item->selected ? "" : ", not selected")
        << "; ";
    if (item->action == EntryAction::add) {
      out << "adds it";
    } else {
      out << (removal ? "removes " : "replaces ") << (item->exactMatch ? "byte for byte " : "");
      if (item->previousVersions.empty()) out << "no earlier version";
    }
    for (size_t k = 0; k < item->previousVersions.size(); ++k) {
      out << (k ? ", " : "") << StampText(item->previousVersions[k]->stamp);
    }
    out << '\n';
  }
  out << std::flush;
}

void PrintListingJson(AppState& app, std::ostream& out) {
  long index = 0;
  for (const auto& item : app.document.items) {
    item->FormPath(app);
    JsonObject entry;
    entry.Add("type", "file")
        .Add("index", ++index)
        .Add("component", item->componentName)
        .Add("file", item->fileName)
        .Add("path", item->targetPath)
        .Add("action", ActionName(item->action))
        .Add("exact", item->exactMatch);
    std::string fallback = FallbackOf(*item, app);
    if (!fallback.empty()) entry.Add("fallbackPath", fallback);
    entry.Add("selected", item->selected)
        .AddRaw("new", StampJson(item->expectedStamp))
        .AddRaw("accepts", AcceptedJson(*item));
    out << entry.Text() << '\n';
  }
  out << std::flush;
}
