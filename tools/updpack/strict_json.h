// JSON as the manifest is read: a key that appears twice in one object is refused, since JSON
// leaves its meaning open and the parser would quietly keep one of the values.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

// Parses `text`. Raises ManifestError "manifest is not valid JSON: ..." for text that is not
// JSON, and "<field>: appears twice; ..." naming the first key given twice ("files[1].new").
nlohmann::json ParseJson(const std::string& text);
