// Long values (MEMO, OLE) as the file holds them: read through the format's
// reader (format/long_value.h, which also says how they are stored), with the
// file's LVAL rows.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/jet/format/long_value.h"
#include "engine/jet/format/page_view.h"
#include "engine/jet/read/jet_file.h"
#include "base/status.h"

namespace povezava::engine::jet {

// The value of the column whose variable slice is `slice`, read from the
// file's rows as format/long_value.h's viewLongValue() reads it (the same
// errors, and the same `budget`): an inline value is viewed in the slice, so
// the slice's row must outlive the result; `page` names the row's page in
// errors.
[[nodiscard]] Result<LongValue> viewLongValue(JetFile& file, PageView slice, std::uint32_t page,
                                              std::uint64_t& budget);

// The value's bytes, copied; the budget is the file's size.
[[nodiscard]] Result<std::vector<std::byte>> readLongValue(JetFile& file, PageView slice,
                                                           std::uint32_t page);

// The same, drawing on `budget` as viewLongValue() does.
[[nodiscard]] Result<std::vector<std::byte>> readLongValue(JetFile& file, PageView slice,
                                                           std::uint32_t page, std::uint64_t& budget);

}  // namespace povezava::engine::jet
