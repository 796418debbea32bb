#include "engine/jet/read/long_value.h"

#include <memory>

#include "engine/jet/read/data_page.h"

namespace povezava::engine::jet {

Result<LongValue> viewLongValue(JetFile& file, PageView slice, std::uint32_t page, std::uint64_t& budget) {
  const LongValueRows rows{file.displayName(), std::uint64_t{file.pageCount()} * file.layout().pageSize,
                           [&file](std::uint32_t pointer) -> Result<LongValueRow> {
                             auto row = readRowAt(file, pointer, RowAddress{});
                             if (!row) return row.status();
                             auto held = std::make_shared<const Page>(std::move(row->page));
                             const PageView view = held->view();
                             return LongValueRow{std::move(held), row->address.dataPage, view, row->bytes};
                           }};
  return viewLongValue(rows, slice, page, budget);
}

Result<std::vector<std::byte>> readLongValue(JetFile& file, PageView slice, std::uint32_t page) {
  std::uint64_t budget = std::uint64_t{file.pageCount()} * file.layout().pageSize;
  return readLongValue(file, slice, page, budget);
}

Result<std::vector<std::byte>> readLongValue(JetFile& file, PageView slice, std::uint32_t page,
                                             std::uint64_t& budget) {
  auto value = viewLongValue(file, slice, page, budget);
  if (!value) return value.status();
  const auto bytes = value->bytes().bytes();
  return std::vector<std::byte>(bytes.begin(), bytes.end());
}

}  // namespace povezava::engine::jet
