// Conversions between the program's UTF-16 text and UTF-8 (file names,
// terminal output). Invalid input never fails: it becomes U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace povezava::engine {

std::u16string fromUtf8(std::string_view utf8);
std::string toUtf8(std::u16string_view utf16);

// Whether `text` is valid UTF-8: fromUtf8() takes it without replacing
// anything. A name that is not (a Linux file name of other bytes) cannot be
// told apart from others once converted.
bool isValidUtf8(std::string_view text);

// `text` with the bytes of invalid UTF-8 and control characters as \xNN: a
// name that may be shown as it is.
std::string shownBytes(std::string_view text);

// Appends the UTF-8 bytes of one code point (REQUIRES: cp <= 0x10FFFF).
void appendUtf8(std::string& out, char32_t cp);
// Appends `utf16` as UTF-8.
void appendUtf8(std::string& out, std::u16string_view utf16);

}  // namespace povezava::engine
