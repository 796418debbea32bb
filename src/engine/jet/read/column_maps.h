// The usage maps of a table's long-value columns: the last block of a table
// definition, after the index sections.
//
//   SIZE                       MEANING
//   (header, index counts, column descriptors and names: table_definition.h)
//   nphys x 39 / 52            physical-index definitions
//   nlog x 20 / 28             logical-index definitions
//   nlog x (len + bytes)       logical-index names
//   repeated 10 bytes          u16 column number, u32 owned map, u32 free map
//   2                          0xFFFF: end of the list
//
// A map pointer of 0 means "no map" (it occurs in healthy files).
#pragma once

#include <cstdint>
#include <vector>

#include "engine/jet/read/jet_file.h"
#include "engine/jet/read/table_definition.h"
#include "base/status.h"

namespace povezava::engine::jet {

struct ColumnMaps {
  std::uint16_t column = 0;    // column number
  std::uint32_t ownedMap = 0;  // row pointer; 0 = none
  std::uint32_t freeMap = 0;   // row pointer; 0 = none
};

// The long-value column maps of the definition on page `def.page`. Corrupt
// when a count does not fit the definition or the list has no end.
[[nodiscard]] Result<std::vector<ColumnMaps>> readColumnMaps(JetFile& file, const TableDefinition& def);

}  // namespace povezava::engine::jet
