// A small JSON writer for the command line's --json output: one object per
// file, built in a string and written in one piece.
//
// Strings come in as UTF-16 (names and link strings) or as the bytes of a
// command-line argument (file names); the output is always valid UTF-8 JSON:
// '"', '\' and control characters are escaped, a lone surrogate becomes its
// \uXXXX escape, bytes that are not UTF-8 become U+FFFD.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"

namespace povezava::cli {

// Appends `text` as a JSON string literal, quotes included.
void appendJsonString(std::string& out, std::u16string_view text);

class JsonWriter {
 public:
  JsonWriter& beginObject();
  JsonWriter& endObject();
  JsonWriter& beginArray();
  JsonWriter& endArray();
  // A member name inside an object; the next call writes its value.
  JsonWriter& key(std::string_view name);
  JsonWriter& text(std::u16string_view value);
  // The bytes of a command-line argument, read as UTF-8.
  JsonWriter& argument(std::string_view bytes);
  JsonWriter& number(std::int64_t value);
  JsonWriter& boolean(bool value);
  JsonWriter& null();

  // The text written so far.
  const std::string& str() const { return out_; }

 private:
  // A comma before every element of an array or object but the first.
  void separate();

  std::string out_;
  std::vector<bool> first_;  // per open array/object: no element written yet
  bool afterKey_ = false;
};

// {"number": N, "description": "..."}
void writeStatus(JsonWriter& json, const engine::Status& status);

}  // namespace povezava::cli
