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

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "engine/jet/format/layout.h"
#include "engine/jet/format/page_view.h"
#include "engine/jet/read/table_definition.h"
#include "base/status.h"

namespace povezava::engine::jet {

// The offsets of a row's variable slots: inline for the few columns rows
// usually have (the catalogue has 14), on the heap beyond. Rows are parsed by
// the hundred and each would otherwise cost an allocation.
class VariableOffsets {
 public:
  // `count` zeros.
  void assign(std::size_t count) {
    size_ = count;
    if (count > inline_.size()) {
      heap_.assign(count, 0);
    } else {
      std::fill_n(inline_.begin(), count, 0);
    }
  }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  std::size_t& operator[](std::size_t i) { return data()[i]; }
  std::size_t operator[](std::size_t i) const { return data()[i]; }
  std::span<const std::size_t> view() const { return {data(), size_}; }

 private:
  std::size_t* data() { return size_ > inline_.size() ? heap_.data() : inline_.data(); }
  const std::size_t* data() const { return size_ > inline_.size() ? heap_.data() : inline_.data(); }

  std::array<std::size_t, 24> inline_{};
  std::vector<std::size_t> heap_;
  std::size_t size_ = 0;
};

// What the end of a stored row says: the column count, the null mask and the
// variable offsets. Views into the row's bytes.
struct RowTrailer {
  std::uint16_t columnCount = 0;
  PageView nullMask;
  // Where the trailer starts (without a variable section: the null mask).
  std::size_t dataEnd = 0;
  // The number n of variable slots; 0 for a row without a variable section.
  std::size_t variableCount = 0;
  // Where off[0] lies; off[i] is 2 * i bytes before it in Jet 4.
  std::size_t firstOffsetAt = 0;
  // off[0..n-1] and off[n] = eod, relative to the row start; empty for a row
  // without a variable section, or when left to be read from the row (Jet 4,
  // asked for). Not checked against each other or dataEnd.
  VariableOffsets offsets;
};

// Reads the trailer of `bytes`, one row of this format. Corrupt, naming `path`
// and `page`, when the count, null mask or offset table do not fit the row.
// With `offsetsInRow`, Jet 4 offsets are left in the row for the caller to
// read (each is a plain entry there); Jet 3 offsets, which need the jump
// table, are always filled in.
[[nodiscard]] Result<RowTrailer> readRowTrailer(PageView bytes, bool hasVariableSection,
                                                const Layout& layout, std::string_view path,
                                                std::uint32_t page, bool offsetsInRow = false);

class Row {
 public:
  // Splits `bytes` (one row of the table `def`). Corrupt, naming `path` and
  // `page`, when the count, trailer or offsets do not fit the row.
  // REQUIRES: the bytes and `path` outlive the Row.
  [[nodiscard]] static Result<Row> parse(PageView bytes, const TableDefinition& def,
                                         const Layout& layout, std::string_view path,
                                         std::uint32_t page);

  std::uint16_t columnCount() const { return trailer_.columnCount; }
  std::size_t variableCount() const { return trailer_.variableCount; }
  bool isNull(const ColumnDef& column) const;

  // The column's bytes; nothing when NULL. Corrupt when a fixed value or a
  // variable slice lies outside the row.
  [[nodiscard]] Result<std::optional<PageView>> value(const ColumnDef& column) const;

 private:
  PageView bytes_;
  const Layout* layout_ = nullptr;
  std::string_view path_;
  std::uint32_t page_ = 0;
  // Jet 3's offsets filled in; Jet 4's read from the row when asked for.
  RowTrailer trailer_;

  // Start of variable slot i (i == n: the end of the variable data).
  std::size_t offset(std::size_t i) const;
};

}  // namespace povezava::engine::jet
