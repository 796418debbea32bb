// Long values (MEMO, OLE): the 12-byte header in the row
// (format/long_value_header.h) and the data it refers to: inline after the header, one LVAL row,
// or a chain of LVAL rows each starting with the row pointer of the next.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

#include "engine/jet/format/page_view.h"
#include "engine/jet/read/jet_file.h"
#include "base/status.h"

namespace povezava::engine::jet {

// A long value's bytes: a view into the row that holds them (kept alive
// here) when they lie in one place, as nearly every value does; assembled
// from the segments of a chain otherwise.
class LongValue {
 public:
  LongValue() = default;
  // Bytes that live in `page` (or, with an empty Page, in the caller's row).
  LongValue(Page page, PageView bytes) : page_(std::move(page)), view_(bytes) {}
  explicit LongValue(std::vector<std::byte> assembled)
      : assembled_(std::move(assembled)), view_(assembled_) {}
  LongValue(const LongValue&) = delete;
  LongValue& operator=(const LongValue&) = delete;
  // A moved vector keeps its buffer, so the view stays valid.
  LongValue(LongValue&&) noexcept = default;
  LongValue& operator=(LongValue&&) noexcept = default;

  PageView bytes() const { return view_; }

 private:
  Page page_;
  std::vector<std::byte> assembled_;
  PageView view_;
};

// The value of the column whose variable slice is `slice` (an inline value
// is viewed in it, so the slice's row must outlive the result); `page`
// names the row's page in errors. Corrupt when the header is short or of an
// unknown kind, the length exceeds the file, an LVAL row is missing or too
// short, or a chain loops. An empty slice is an empty value.
//
// Draws on `budget`: the bytes a whole scan may still read from long values
// (every LVAL row visited counts, at least its 4-byte pointer). A scan that
// starts with the file's size cannot be made to do more work, or hold more
// memory, than the file's size by values that share their rows. Corrupt
// when a value would overdraw the budget.
[[nodiscard]] Result<LongValue> viewLongValue(JetFile& file, PageView slice, std::uint32_t page,
                                              std::uint64_t& budget);

// The value's bytes, copied; the budget is the file's size.
[[nodiscard]] Result<std::vector<std::byte>> readLongValue(JetFile& file, PageView slice,
                                                           std::uint32_t page);

// The same, drawing on `budget` as viewLongValue() does.
[[nodiscard]] Result<std::vector<std::byte>> readLongValue(JetFile& file, PageView slice,
                                                           std::uint32_t page, std::uint64_t& budget);

}  // namespace povezava::engine::jet
