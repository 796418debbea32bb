// A table definition (tdef): the header counts, the column descriptors and
// names, and the table's usage maps.
//
// A definition may continue on further tdef pages (offset 04 names the next,
// 0 = none); the logical buffer is the whole first page followed by bytes
// 8..end of each continuation page. After the header (see format/layout.h):
//
//   SIZE                         MEANING
//   nphys x 8 / 12               physical-index row counts (skipped)
//   ncols x 18 / 25              column descriptors
//   ncols x (len + bytes)        column names, in descriptor order
//   ...                          index definitions and names (not needed here)
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/jet/format/layout.h"
#include "engine/jet/format/text.h"
#include "engine/jet/read/jet_file.h"
#include "base/status.h"

namespace povezava::engine::jet {

struct ColumnDef {
  std::uint8_t type = 0;            // ColumnType
  std::uint16_t number = 0;         // null-mask bit; counts deleted columns
  std::uint16_t variableIndex = 0;  // slot in the variable offset table
  std::uint8_t flags = 0;
  std::uint8_t extendedFlags = 0;   // Jet 4 only
  std::uint16_t fixedOffset = 0;    // within the fixed area
  std::uint16_t length = 0;         // fixed size or maximum text bytes
  std::u16string name;

  bool isFixed() const { return (flags & kColumnFlagFixed) != 0; }
  bool isBoolean() const { return type == static_cast<std::uint8_t>(ColumnType::boolean); }
  bool isLongValue() const {
    return type == static_cast<std::uint8_t>(ColumnType::memo) ||
           type == static_cast<std::uint8_t>(ColumnType::ole);
  }
};

struct TableDefinition {
  std::uint32_t page = 0;           // first tdef page
  std::uint32_t rowCount = 0;       // as stored; not trusted for system tables
  std::uint8_t tableType = 0;
  std::uint16_t maxColumns = 0;
  std::uint16_t variableColumns = 0;
  std::uint32_t ownedMap = 0;       // row pointer of the owned-pages usage map
  std::uint32_t freeMap = 0;        // row pointer of the free-space usage map
  std::vector<ColumnDef> columns;   // in descriptor order

  // The column of that name, exactly as spelled; nullptr when there is none.
  const ColumnDef* column(std::u16string_view name) const;
};

// The logical buffer of the definition that starts on `first`: the first page
// whole, then the continuation pages without their 8-byte headers, cut to the
// stated `tdef_len`. Corrupt when a page is not a tdef page, the chain loops,
// or the length is impossible or not reached.
[[nodiscard]] Result<std::vector<std::byte>> collectDefinitionPages(JetFile& file, std::uint32_t first);

// Reads the definition that starts on `page`. Corrupt when the page is not a
// tdef page, the chain of continuation pages loops or leaves the file, or a
// count or length does not fit the buffer.
[[nodiscard]] Result<TableDefinition> readTableDefinition(JetFile& file, std::uint32_t page,
                                                          const TextDecoder& text);

}  // namespace povezava::engine::jet
