// One row of a table, split into its columns.
//
// A row is: the column count (Jet 3 u8, Jet 4 u16), the fixed area, the
// variable data, then a trailer read from the END of the row (Access may pad
// between the variable data and the trailer):
//
//   Jet 4:  [eod u16][off[n-1] u16] ... [off[0] u16][n u16][null mask]
//   Jet 3:  [eod u8][off[n-1] u8] ... [off[0] u8][dummy FF?][jump[R-1]..jump[0]][n u8][null mask]
//
// The null mask has (count + 7) / 8 bytes, bit (c % 8) of byte c / 8 for column
// number c, 1 = not NULL (for BOOL columns the bit is the value). Jet 3 offsets
// keep only their low byte; J = (L - 1) / 256 bytes sit between off[0] and n,
// the real jump entries nearest to n, a dummy FF farthest when eod / 256 < J.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/jet/format/layout.h"
#include "engine/jet/format/page_view.h"
#include "engine/jet/read/table_definition.h"
#include "engine/status.h"

namespace povezava::engine::jet {

// What the end of a stored row says: the column count, the null mask and the
// variable offsets. Views into the row's bytes.
struct RowTrailer {
  std::uint16_t columnCount = 0;
  PageView nullMask;
  // Where the trailer starts (without a variable section: the null mask).
  std::size_t dataEnd = 0;
  // off[0..n-1] and off[n] = eod, relative to the row start; empty for a row
  // without a variable section. Not checked against each other or dataEnd.
  std::vector<std::size_t> offsets;
};

// Reads the trailer of `bytes`, one row of this format. Corrupt, naming `path`
// and `page`, when the count, null mask or offset table do not fit the row.
[[nodiscard]] Result<RowTrailer> readRowTrailer(PageView bytes, bool hasVariableSection,
                                                const Layout& layout, std::string_view path,
                                                std::uint32_t page);

class Row {
 public:
  // Splits `bytes` (one row of the table `def`). Corrupt, naming `path` and
  // `page`, when the count, trailer or offsets do not fit the row.
  // REQUIRES: the bytes and `path` outlive the Row.
  [[nodiscard]] static Result<Row> parse(PageView bytes, const TableDefinition& def,
                                         const Layout& layout, std::string_view path,
                                         std::uint32_t page);

  std::uint16_t columnCount() const { return columnCount_; }
  std::size_t variableCount() const { return offsets_.empty() ? 0 : offsets_.size() - 1; }
  bool isNull(const ColumnDef& column) const;

  // The column's bytes; nothing when NULL. Corrupt when a fixed value or a
  // variable slice lies outside the row.
  [[nodiscard]] Result<std::optional<PageView>> value(const ColumnDef& column) const;

 private:
  PageView bytes_;
  const Layout* layout_ = nullptr;
  std::string_view path_;
  std::uint32_t page_ = 0;
  std::uint16_t columnCount_ = 0;
  PageView nullMask_;
  std::size_t dataEnd_ = 0;  // where the trailer starts
  // Start of variable slot i (i == n: the end of the variable data).
  std::vector<std::size_t> offsets_;
};

}  // namespace povezava::engine::jet
