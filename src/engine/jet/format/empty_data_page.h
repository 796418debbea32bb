// A data page with no rows yet: the header every new data page starts from,
// in the writer (a page added to a long-value column) and in the builder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/jet/format/byte_order.h"
#include "engine/jet/format/layout.h"

namespace povezava::engine::jet {

// Type and marker, all of the page after the header free, `owner` (a table's
// definition page, or kOwnerLval), no rows; the rest zero.
inline std::vector<std::byte> emptyDataPage(const Layout& layout, std::uint32_t owner) {
  std::vector<std::byte> bytes(layout.pageSize, std::byte{0});
  // No layout has pages this small; the test tells the compiler the stores fit.
  if (bytes.size() < layout.dataHeaderLength) return bytes;
  putU8(bytes, kOffsetPageType, kPageTypeData);
  putU8(bytes, kOffsetPageMarker, kPageMarker);
  putU16(bytes, kOffsetFreeSpace, static_cast<std::uint16_t>(layout.pageSize - layout.dataHeaderLength));
  putU32(bytes, kOffsetOwner, owner);
  putU16(bytes, layout.dataOffsetRowCount, 0);
  return bytes;
}

}  // namespace povezava::engine::jet
