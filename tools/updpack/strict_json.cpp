#include "strict_json.h"

#include <set>
#include <vector>

#include "manifest_error.h"

using nlohmann::json;

json ParseJson(const std::string& text) {
  struct Open {
    std::string field;  // the object's or array's own name, "" for the root
    bool isArray;
    size_t count;     // elements so far (arrays)
    std::string key;  // the last key (objects)
    std::set<std::string> keys;
  };
  std::vector<Open> open;
  auto nextField = [&open]() -> std::string {
    if (open.empty()) return "";
    const Open& top = open.back();
    if (top.isArray) return top.field + "[" + std::to_string(top.count) + "]";
    return top.field.empty() ? top.key : top.field + "." + top.key;
  };
  auto callback = [&](int, json::parse_event_t event, json& parsed) {
    switch (event) {
      case json::parse_event_t::object_start:
      case json::parse_event_t::array_start:
        open.push_back(Open{nextField(), event == json::parse_event_t::array_start, 0, "", {}});
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
