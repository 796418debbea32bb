// Usage maps: which pages belong to a table (or a long-value column).
//
// A map is a row on a data page, reached through a row pointer; layouts and
// bitmaps in format/usage_map_bits.h. Inline maps carry a bitmap from a start page;
// reference maps list bitmap pages (type 0x05), entries 0 or with the high bit
// set being unused.
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
