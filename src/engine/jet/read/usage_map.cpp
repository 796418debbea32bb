#include "engine/jet/read/usage_map.h"

#include "engine/jet/format/usage_map.h"
#include "engine/jet/read/data_page.h"

namespace povezava::engine::jet {

Result<std::vector<std::uint32_t>> readUsageMap(JetFile& file, std::uint32_t pointer) {
  auto row = readRowAt(file, pointer, RowAddress{});
  if (!row) return row.status();
  // The map reads a copy of its row: it is never edited here.
  const auto bytes = row->bytes.bytes();
  std::vector<std::byte> copy(bytes.begin(), bytes.end());
  const UsageMap map(copy, file.displayName(), row->address.dataPage);
  Page held;  // the bitmap page being read
  return map.pages(file.layout(), file.pageCount(), [&](std::uint32_t number) -> Result<std::span<const std::byte>> {
    auto page = file.page(number);
    if (!page) return page.status();
    held = std::move(*page);
    return held.view().bytes();
  });
}

}  // namespace povezava::engine::jet
