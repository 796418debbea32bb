// Long values (MEMO, OLE): the 12-byte header in the row
// (format/long_value_header.h) and the data it refers to: inline after the header, one LVAL row,
// or a chain of LVAL rows each starting with the row pointer of the next.
#pragma once

#include <cstddef>
#include <vector>

#include "engine/jet/format/page_view.h"
#include "engine/jet/read/jet_file.h"
#include "engine/status.h"

namespace povezava::engine::jet {

// The value's bytes. `slice` is the column's variable slice; `page` names the
// row's page in errors. Corrupt when the header is short or of an unknown
// kind, the length exceeds the file, an LVAL row is missing or too short, or a
// chain loops. An empty slice is an empty value.
[[nodiscard]] Result<std::vector<std::byte>> readLongValue(JetFile& file, PageView slice,
                                                           std::uint32_t page);

// The same, drawing on `budget`: the bytes a whole scan may still read from
// long values (every LVAL row visited counts, at least its 4-byte pointer).
// A scan that starts with the file's size cannot be made to do more work, or
// hold more memory, than the file's size by values that share their rows.
// Corrupt when a value would overdraw the budget.
[[nodiscard]] Result<std::vector<std::byte>> readLongValue(JetFile& file, PageView slice,
                                                           std::uint32_t page, std::uint64_t& budget);

}  // namespace povezava::engine::jet
