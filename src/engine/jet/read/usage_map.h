// Usage maps as the file holds them: the map a row pointer names, read
// through the format's UsageMap (format/usage_map.h, where maps are laid out).
#pragma once

#include <cstdint>
#include <vector>

#include "engine/jet/read/jet_file.h"
#include "base/status.h"

namespace povezava::engine::jet {

// The pages the map at `pointer` lists, ascending. Corrupt when the map row is
// missing or of an unknown type, names a page past the end of the file, or a
// reference names a page that is not a bitmap page.
[[nodiscard]] Result<std::vector<std::uint32_t>> readUsageMap(JetFile& file, std::uint32_t pointer);

}  // namespace povezava::engine::jet
