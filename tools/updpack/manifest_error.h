// The error of a manifest that cannot be used, raised by the JSON reading, the field mapping
// and the path rules alike, its text starting with the field it is about.
#pragma once

#include <stdexcept>
#include <string>

// A manifest that cannot be used; `what()` names the field, e.g. "files[1].name: ...".
class ManifestError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Raises ManifestError "<field>: <message>".
[[noreturn]] inline void FailField(const std::string& field, const std::string& message) {
  throw ManifestError(field + ": " + message);
}
