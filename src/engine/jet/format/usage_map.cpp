#include "engine/jet/format/usage_map.h"

#include "base/errors.h"
#include "engine/jet/format/byte_order.h"

namespace povezava::engine::jet {
namespace {

// Adds the pages whose bits are set in `bitmap` (held on `mapPage`).
Status addPages(std::string_view file, std::uint64_t pageCount, std::uint32_t mapPage, const UsageBitmap& bitmap,
                std::vector<std::uint32_t>& pages) {
  return bitmap.forEachPage([&](std::uint64_t page) {
    if (page >= pageCount) {
      return errors::corrupt(file, mapPage,
                             "a usage map lists page " + std::to_string(page) + ", past the end of the file");
    }
    pages.push_back(static_cast<std::uint32_t>(page));
    return Status::success();
  });
}

}  // namespace

UsageMap UsageMap::makeInline(std::span<std::byte> row, std::uint32_t startPage) {
  assert(row.size() > kUsageMapOffsetBitmap);
  std::fill(row.begin(), row.end(), std::byte{0});
  putU8(row, 0, kUsageMapInline);
  putU32(row, kUsageMapOffsetStartPage, startPage);
  return UsageMap(row, {}, 0);
}

bool UsageMap::isInline() const {
  return row_.size() > kUsageMapOffsetBitmap && std::to_integer<std::uint8_t>(row_[0]) == kUsageMapInline;
}

std::optional<UsageBitmap> UsageMap::inlineBitmap() const {
  if (row_.size() < kUsageMapOffsetBitmap || std::to_integer<std::uint8_t>(row_[0]) != kUsageMapInline) {
    return std::nullopt;
  }
  return UsageBitmap(row_.subspan(kUsageMapOffsetBitmap), startPage());
}

std::uint32_t UsageMap::startPage() const { return loadU32(row_, kUsageMapOffsetStartPage); }

Result<std::vector<std::uint32_t>> UsageMap::pages(const Layout& layout, std::uint64_t pageCount,
                                                   const ReadBitmapPage& bitmapPage) const {
  std::vector<std::uint32_t> pages;
  const unsigned type = row_.empty() ? 0 : std::to_integer<unsigned>(row_[0]);
  if (!row_.empty() && type == kUsageMapInline) {
    const auto bitmap = inlineBitmap();
    if (!bitmap) return errors::corrupt(file_, page_, "an inline usage map is too short");
    if (Status s = addPages(file_, pageCount, page_, *bitmap, pages); !s.ok()) return s;
    return pages;
  }
  if (row_.empty() || type != kUsageMapReference) {
    return errors::corrupt(file_, page_, "usage map of unknown type " + std::to_string(type));
  }
  const std::size_t pageBits = pagesPerBitmapPage(layout);
  const std::size_t entries = referenceMapEntries(row_.size());
  for (std::size_t k = 0; k < entries; ++k) {
    const std::uint32_t entry = loadU32(row_, kUsageMapOffsetReferences + kUsageMapReferenceSize * k);
    if (!isUsedMapReference(entry)) continue;
    auto bytes = bitmapPage(entry);
    if (!bytes) return bytes.status();
    if (bytes->size() <= kUsageMapPageHeader ||
        std::to_integer<std::uint8_t>((*bytes)[kOffsetPageType]) != kPageTypeUsageMap) {
      return errors::corrupt(file_, entry, "a usage map refers to a page that is not a bitmap page");
    }
    const UsageBitmap bitmap(bytes->subspan(kUsageMapPageHeader), std::uint64_t{k} * pageBits);
    if (Status s = addPages(file_, pageCount, entry, bitmap, pages); !s.ok()) return s;
  }
  return pages;
}

Result<bool> UsageMap::record(std::uint32_t page, bool listed, bool outsideListed) {
  auto refuse = [&](const std::string& why) {
    return errors::recordTooLarge(file_, "the usage map on page " + std::to_string(page_) + " " + why +
                                             "; compact the database in Access");
  };
  if (!isInline()) return refuse("is not an inline map");
  const UsageBitmap bitmap = *inlineBitmap();
  if (!bitmap.covers(page)) {
    if (listed == outsideListed) return false;  // already so outside its window
    if (!bitmap.empty() || outsideListed) return refuse("cannot record page " + std::to_string(page));
    putU32(row_, kUsageMapOffsetStartPage, page);  // an empty map may start anywhere
  }
  set(page, listed);
  return true;
}

void UsageMap::set(std::uint64_t page, bool listed) {
  assert(isInline() && inlineBitmap()->covers(page));
  setUsageBit(row_.subspan(kUsageMapOffsetBitmap), static_cast<std::size_t>(page - startPage()), listed);
}

}  // namespace povezava::engine::jet
