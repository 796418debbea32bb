// Data pages and their row slots.
//
// Header: see "Data pages" in format/layout.h. Rows are packed from the page
// end downwards in slot order: row 0 ends at the page end, row i ends where
// row i-1 starts. A slot's offset word carries the deleted and overflow flags
// (format/layout.h, "Row offset words").
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "engine/jet/format/page_view.h"
#include "engine/jet/read/jet_file.h"
#include "base/status.h"

namespace povezava::engine::jet {

// Where a row's bytes are. `slot*` is the slot that a table scan meets (it may
// hold an overflow pointer); `data*` is where the row's bytes really are.
struct RowAddress {
  std::uint32_t slotPage = 0;
  std::uint16_t slotRow = 0;
  std::uint32_t dataPage = 0;
  std::uint16_t dataRow = 0;
};

// A row's bytes, kept alive with their page.
struct RowData {
  RowAddress address;
  Page page;       // the page holding the bytes
  PageView bytes;  // narrowed to the row
};

// The row count of a data page; corrupt when the offset table cannot fit.
[[nodiscard]] Result<std::uint16_t> dataPageRowCount(const JetFile& file, const Page& page);
// The offset word of slot `row`.
[[nodiscard]] Result<std::uint16_t> rowOffsetWord(const JetFile& file, const Page& page,
                                                 std::uint16_t row);
// The bytes of slot `row` whatever its flags; corrupt when they leave the page
// or overlap the offset table.
[[nodiscard]] Result<PageView> rowBytes(const JetFile& file, const Page& page, std::uint16_t row);

// Follows a row pointer to the real row, through further pointers: at most 16
// hops (Jet makes one), fewer in a file of fewer pages. The target page must
// be a data page.
[[nodiscard]] Result<RowData> readRowAt(JetFile& file, std::uint32_t pointer, RowAddress address);

// Calls `visit` for every live row of a data page owned by `tdefPage`, in slot
// order: deleted slots skipped, overflow pointers followed. Pages of another
// owner (leftovers) are skipped. Stops at the first failure of `visit`.
[[nodiscard]] Status forEachRow(JetFile& file, std::uint32_t pageNumber, std::uint32_t tdefPage,
                                const std::function<Status(const RowData&)>& visit);

}  // namespace povezava::engine::jet
