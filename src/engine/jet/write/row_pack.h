// Packing and unpacking one table row, Jet 3 and Jet 4.
//
// A stored row, read from its start (count, fixed area, variable data) and
// from its end (trailer, null mask):
//
//   OFFSET            SIZE          MEANING
//   0                 1 (J3) 2 (J4) column count c the row was written with
//   count size        f             fixed area (fixed columns at their fixed offsets)
//   after fixed       sum of slices variable values in variable-index order, no gaps
//   eod               0..k          padding (zero bytes; only in rows rewritten shorter)
//   ...               trailer       J4: eod u16, off[n-1..0] u16, n u16
//                                   J3: eod&FF, off[n-1..0]&FF, [dummy FF], jump[R-1..0], n u8
//   L - (c+7)/8       (c+7)/8       null mask, bit k of byte k/8 = column k not NULL
//
// A table without variable columns has no variable section and no trailer:
// count, fixed area, null mask. The Jet 3 jump table supplies the high bytes
// of the one-byte offsets: J = (L - 1) / 256 bytes sit between off[0] and n;
// jump[k] is the first variable index whose offset is >= 256 * (k + 1); a
// farthest byte that is not needed is a dummy 0xFF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "engine/jet/format/layout.h"
#include "base/status.h"

namespace povezava::engine::jet {

// The parts of one row. Views only: the bytes belong to the caller (or, from
// unpackRow(), to the row that was unpacked).
struct RowParts {
  std::uint16_t columnCount = 0;
  std::span<const std::byte> fixed;
  // One slice per variable slot, in variable-index order. A NULL or empty
  // value is an empty slice; the null mask tells the two apart.
  std::vector<std::span<const std::byte>> variable;
  // False for a table without variable columns: then `variable` is empty and
  // the row has no offset table at all.
  bool hasVariableSection = true;
  // (columnCount + 7) / 8 bytes.
  std::span<const std::byte> nullMask;
};

// Bytes of the null mask of a row with `columnCount` columns.
constexpr std::size_t nullMaskSize(std::size_t columnCount) { return (columnCount + 7) / 8; }

// Appends the stored form of `parts` to `out`. Fails with invalidArgument when
// the parts cannot be one row of this format (a mask of the wrong size, more
// than 255 columns or slots in Jet 3, offsets beyond 16 bits); `out` is then
// unchanged.
[[nodiscard]] Status appendPackedRow(const Layout& layout, const RowParts& parts, std::vector<std::byte>& out);

// Splits a stored row into its parts (views into `row`). Offsets are checked
// against the row; padding between the variable data and the trailer is
// dropped. Errors are corrupt(path, page, ...).
[[nodiscard]] Result<RowParts> unpackRow(const Layout& layout, std::span<const std::byte> row,
                                         bool hasVariableSection, std::string_view path,
                                         std::uint32_t page);

}  // namespace povezava::engine::jet
