// Jet 3 text: one byte per character in the database's Windows code page
// (header field 3C), converted with the system's iconv.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/status.h"

namespace povezava::engine::jet {

// The text in code page `codePage` (1250, 1252, ...). A character the code page
// cannot represent is an invalidArgument error naming it: text is never
// stored with a substitute character.
[[nodiscard]] Result<std::string> encodeCodePage(std::u16string_view text, std::uint16_t codePage);

}  // namespace povezava::engine::jet
