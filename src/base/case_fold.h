// Comparing names without regard to case, as Jet compares object names.
//
// Simple Unicode case folding for the Latin letters (Basic Latin, Latin-1,
// Latin Extended-A: č/Č, š/Š, ž/Ž, ...), Greek and Cyrillic; other characters
// compare by code. Independent of the process's locale.
#pragma once

#include <string>
#include <string_view>

namespace povezava::engine {

char16_t foldCase(char16_t c);
std::u16string foldCase(std::u16string_view text);
bool equalsIgnoringCase(std::u16string_view a, std::u16string_view b);
bool startsWithIgnoringCase(std::u16string_view text, std::u16string_view prefix);

}  // namespace povezava::engine
