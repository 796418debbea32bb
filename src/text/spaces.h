// Trimming of spaces, the way the command line is trimmed: only the space
// character (code 32) counts; tabs and other white space stay.
#pragma once

#include <string_view>

namespace povezava::text {

// The text without spaces (code 32) at its start.
std::u16string_view trimLeadingSpaces(std::u16string_view text);
// The text without spaces (code 32) at either end.
std::u16string_view trimSpaces(std::u16string_view text);

}  // namespace povezava::text
