// Where in a link string its back-end path lies.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace povezava::engine {

// The position just past the link string's "DATABASE=" (any letter case):
// the path runs from there to the end, as a Windows path may itself hold
// ";". Nothing when the link has no "DATABASE=".
std::optional<std::size_t> linkPathStart(std::u16string_view link);

// The back-end path of a link string, as written; nothing when it names none.
std::optional<std::u16string_view> linkPath(std::u16string_view link);

}  // namespace povezava::engine
