#include "cli/json.h"

#include <cstddef>

#include "base/unicode.h"

namespace povezava::cli {
namespace {

constexpr char kHex[] = "0123456789abcdef";

void appendEscape(std::string& out, char16_t unit) {
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(unit >> shift) & 0xF];
}


bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

void appendJsonString(std::string& out, std::u16string_view text) {
  out += '"';
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    switch (c) {
      case u'"': out += "\\\""; continue;
      case u'\\': out += "\\\\"; continue;
      case u'\b': out += "\\b"; continue;
      case u'\f': out += "\\f"; continue;
      case u'\n': out += "\\n"; continue;
      case u'\r': out += "\\r"; continue;
      case u'\t': out += "\\t"; continue;
      default: break;
    }
    if (c < 0x20 || c == 0x2028 || c == 0x2029) {
      // Controls must be escaped; the two separators are, so that the
      // output is also a safe JavaScript literal.
      appendEscape(out, c);
    } else if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
      const char32_t cp = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) +
                          (static_cast<char32_t>(text[i + 1]) - 0xDC00);
      engine::appendUtf8(out, cp);
      ++i;
    } else if (isHighSurrogate(c) || isLowSurrogate(c)) {
      // Not valid UTF-8 on its own; the escape keeps the exact code unit.
      appendEscape(out, c);
    } else {
      engine::appendUtf8(out, c);
    }
  }
  out += '"';
}

void JsonWriter::separate() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (first_.empty()) return;
  if (!first_.back()) out_ += ',';
  first_.back() = false;
}

JsonWriter& JsonWriter::beginObject() {
  separate();
  out_ += '{';
  first_.push_back(true);
  return *this;
}

JsonWriter& JsonWriter::endObject() {
  out_ += '}';
  first_.pop_back();
  return *this;
}

JsonWriter& JsonWriter::beginArray() {
  separate();
  out_ += '[';
  first_.push_back(true);
  return *this;
}

JsonWriter& JsonWriter::endArray() {
  out_ += ']';
  first_.pop_back();
  return *this;
}

JsonWriter& JsonWriter::key(std::string_view name) {
  separate();
  appendJsonString(out_, engine::fromUtf8(name));
  out_ += ':';
  afterKey_ = true;
  return *this;
}

JsonWriter& JsonWriter::text(std::u16string_view value) {
  separate();
  appendJsonString(out_, value);
  return *this;
}

JsonWriter& JsonWriter::argument(std::string_view bytes) { return text(engine::fromUtf8(bytes)); }

JsonWriter& JsonWriter::number(std::int64_t value) {
  separate();
  out_ += std::to_string(value);
  return *this;
}

JsonWriter& JsonWriter::boolean(bool value) {
  separate();
  out_ += value ? "true" : "false";
  return *this;
}

JsonWriter& JsonWriter::null() {
  separate();
  out_ += "null";
  return *this;
}

void writeStatus(JsonWriter& json, const engine::Status& status) {
  json.beginObject().key("number").number(status.number());
  json.key("description").argument(status.description()).endObject();
}

}  // namespace povezava::cli
