// JSON text for vareri-cli's --json output, written by hand. The program's strings are in
// Windows-1252 (the code page of update files, of the ANSI API, and of the POSIX build's
// stand-in); JSON strings come out in UTF-8 with every control character escaped.
#pragma once

#include <string>
#include <vector>

// `text` as a JSON string literal, quotes included.
std::string JsonString(const std::string& text);

// Builds one JSON object on a single line, fields in the order added.
class JsonObject {
 public:
  JsonObject& Add(const char* name, const std::string& value);
  JsonObject& Add(const char* name, const char* value) { return Add(name, std::string(value)); }
  JsonObject& Add(const char* name, bool value);
  JsonObject& Add(const char* name, long value);
  JsonObject& Add(const char* name, int value) { return Add(name, static_cast<long>(value)); }
  JsonObject& AddNull(const char* name);
  // `json` must already be valid JSON text (an array, a nested object).
  JsonObject& AddRaw(const char* name, const std::string& json);
  // The object's text, "{...}".
  std::string Text() const { return text_ + "}"; }

 private:
  void Name(const char* name);
  std::string text_ = "{";
};

// A JSON array of strings.
std::string JsonStringArray(const std::vector<std::string>& values);
