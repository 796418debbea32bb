#include "engine/jet/read/usage_map.h"

#include <string>

#include "engine/jet/format/layout.h"
#include "engine/jet/read/data_page.h"

namespace povezava::engine::jet {
namespace {

// Adds the pages whose bits are set in `bitmap`, the first bit standing for `firstPage`.
Status addPages(JetFile& file, std::uint32_t mapPage, PageView bitmap, std::uint64_t firstPage,
                std::vector<std::uint32_t>& pages) {
  for (std::size_t i = 0; i < bitmap.size(); ++i) {
    const std::uint8_t bits = bitmap.u8(i).value_or(0);
    if (bits == 0) continue;
    for (unsigned b = 0; b < 8; ++b) {
      if ((bits & (1U << b)) == 0) continue;
      const std::uint64_t page = firstPage + 8 * i + b;
      if (page >= file.pageCount()) {
        return file.corrupt(mapPage, "a usage map lists page " + std::to_string(page) +
                                         ", past the end of the file");
      }
      pages.push_back(static_cast<std::uint32_t>(page));
    }
  }
  return Status::success();
}

}  // namespace

Result<std::vector<std::uint32_t>> readUsageMap(JetFile& file, std::uint32_t pointer) {
  auto row = readRowAt(file, pointer, RowAddress{});
  if (!row) return row.status();
  const std::uint32_t mapPage = row->address.dataPage;
  const PageView map = row->bytes;
  std::vector<std::uint32_t> pages;
  const auto type = map.u8(0);
  if (type == kUsageMapInline) {
    const auto start = map.u32(kUsageMapOffsetStartPage);
    const auto bitmap = map.from(kUsageMapOffsetBitmap);
    if (!start || !bitmap) return file.corrupt(mapPage, "an inline usage map is too short");
    if (Status s = addPages(file, mapPage, *bitmap, *start, pages); !s.ok()) return s;
    return pages;
  }
  if (type != kUsageMapReference) {
    return file.corrupt(mapPage, "usage map of unknown type " + std::to_string(type.value_or(0)));
  }
  const std::size_t pageBits = std::size_t{file.layout().pageSize - kUsageMapPageHeader} * 8;
  const std::size_t entries = (map.size() - kUsageMapOffsetReferences) / 4;
  for (std::size_t k = 0; k < entries; ++k) {
    const std::uint32_t entry = map.u32(kUsageMapOffsetReferences + 4 * k).value_or(0);
    if (!isUsedMapReference(entry)) continue;
    auto bitmapPage = file.page(entry);
    if (!bitmapPage) return bitmapPage.status();
    const PageView view = bitmapPage->view();
    if (view.u8(kOffsetPageType) != kPageTypeUsageMap) {
      return file.corrupt(entry, "a usage map refers to a page that is not a bitmap page");
    }
    const Status s = addPages(file, entry, *view.from(kUsageMapPageHeader),
                              std::uint64_t{k} * pageBits, pages);
    if (!s.ok()) return s;
  }
  return pages;
}

}  // namespace povezava::engine::jet
