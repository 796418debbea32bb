#include "engine/jet/read/usage_map.h"

#include <string>

#include "engine/jet/format/layout.h"
#include "engine/jet/format/usage_map_bits.h"
#include "engine/jet/read/data_page.h"

namespace povezava::engine::jet {
namespace {

// Adds the pages whose bits are set in `bitmap` (held on `mapPage`).
Status addPages(JetFile& file, std::uint32_t mapPage, const UsageBitmap& bitmap, std::vector<std::uint32_t>& pages) {
  return bitmap.forEachPage([&](std::uint64_t page) {
    if (page >= file.pageCount()) {
      return file.corrupt(mapPage, "a usage map lists page " + std::to_string(page) + ", past the end of the file");
    }
    pages.push_back(static_cast<std::uint32_t>(page));
    return Status::success();
  });
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
    const auto bitmap = UsageBitmap::ofInlineMap(map.bytes());
    if (!bitmap) return file.corrupt(mapPage, "an inline usage map is too short");
    if (Status s = addPages(file, mapPage, *bitmap, pages); !s.ok()) return s;
    return pages;
  }
  if (type != kUsageMapReference) {
    return file.corrupt(mapPage, "usage map of unknown type " + std::to_string(type.value_or(0)));
  }
  const std::size_t pageBits = pagesPerBitmapPage(file.layout());
  const std::size_t entries = referenceMapEntries(map.size());
  for (std::size_t k = 0; k < entries; ++k) {
    const std::uint32_t entry = map.u32(kUsageMapOffsetReferences + kUsageMapReferenceSize * k).value_or(0);
    if (!isUsedMapReference(entry)) continue;
    auto bitmapPage = file.page(entry);
    if (!bitmapPage) return bitmapPage.status();
    const PageView view = bitmapPage->view();
    if (view.u8(kOffsetPageType) != kPageTypeUsageMap) {
      return file.corrupt(entry, "a usage map refers to a page that is not a bitmap page");
    }
    const UsageBitmap bitmap(view.from(kUsageMapPageHeader)->bytes(), std::uint64_t{k} * pageBits);
    const Status s = addPages(file, entry, bitmap, pages);
    if (!s.ok()) return s;
  }
  return pages;
}

}  // namespace povezava::engine::jet
