#include "strict_json.h"

#include <set>
#include <vector>

#include "manifest_error.h"

using nlohmann::json;

json ParseJson(const std::string& text) {
  // Each open level keeps only its own last key: the full field name is made for a message
  // alone, so memory stays within the text's size however deep it goes.
  struct Open {
    bool isArray;
    size_t count;     // elements so far (arrays)
    std::string key;  // the last key (objects)
    std::set<std::string> keys;
  };
  std::vector<Open> open;
  auto nextField = [&open]() {
    std::string field;
    for (const Open& level : open) {
      if (level.isArray) {
        field += "[" + std::to_string(level.count) + "]";
      } else {
        field += (field.empty() ? "" : ".") + level.key;
      }
    }
    return field;
  };
  auto callback = [&](int, json::parse_event_t event, json& parsed) {
    switch (event) {
      case json::parse_event_t::object_start:
      case json::parse_event_t::array_start:
        if (open.size() >= kMaxJsonDepth) {
          FailField(nextField(), "nests more than " + std::to_string(kMaxJsonDepth) +
                                     " levels of objects and lists; a manifest needs four");
        }
        open.push_back(Open{event == json::parse_event_t::array_start, 0, "", {}});
        break;
      case json::parse_event_t::key:
        open.back().key = parsed.get<std::string>();
        if (!open.back().keys.insert(open.back().key).second) {
          FailField(nextField(), "appears twice; give each field once");
        }
        break;
      case json::parse_event_t::object_end:
      case json::parse_event_t::array_end:
        open.pop_back();
        if (!open.empty()) ++open.back().count;
        break;
      case json::parse_event_t::value:
        if (!open.empty()) ++open.back().count;
        break;
    }
    return true;
  };
  try {
    return json::parse(text, callback);
  } catch (const json::parse_error& e) {
    throw ManifestError(std::string("manifest is not valid JSON: ") + e.what());
  }
}
