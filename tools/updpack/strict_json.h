// JSON as the manifest is read: a key that appears twice in one object is refused, since JSON
// leaves its meaning open and the parser would quietly keep one of the values.
#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <string>

// How many objects and lists may lie one inside the other. A manifest needs four (the
// root, "files", an entry, its "previous"); far deeper text is an attack on memory.
constexpr size_t kMaxJsonDepth = 64;

// Parses `text`. Raises ManifestError "manifest is not valid JSON: ..." for text that is not
// JSON, "<field>: appears twice; ..." naming the first key given twice ("files[1].new"), and
// "<field>: nests ..." naming the first object or list deeper than kMaxJsonDepth.
nlohmann::json ParseJson(const std::string& text);
