// Usage maps: which pages a table, a long-value column or the file lists.
// The one place that reads, answers and edits them: the reader, the writer
// and the builder all go through UsageMap.
//
// A map is a row on a data page; byte 0 is its type.
//
//   Inline (type 0):
//     OFFSET  SIZE  MEANING
//     0       1     0x00
//     1       4     the page that bit 0 stands for (the window's start)
//     5       ...   bitmap, least significant bit first: bit i is page start + i
//   Reference (type 1):
//     OFFSET  SIZE  MEANING
//     0       1     0x01
//     1 + 4k  4     bitmap page k; 0 or the high bit set: unused
//   Bitmap page (type 0x05):
//     OFFSET  SIZE  MEANING
//     0       4     05 01 00 00
//     4       ...   bitmap; page k's bit i is page k * (pageSize - 4) * 8 + i
//
// The global map (row 0 of page 1) is inline, and there a set bit means the
// page is free; so does a page outside its window.
#pragma once

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/jet/format/layout.h"
#include "base/status.h"

namespace povezava::engine::jet {

inline constexpr std::uint8_t kUsageMapInline = 0x00;
inline constexpr std::uint8_t kUsageMapReference = 0x01;
inline constexpr std::size_t kUsageMapOffsetStartPage = 1;
inline constexpr std::size_t kUsageMapOffsetBitmap = 5;
inline constexpr std::size_t kUsageMapOffsetReferences = 1;
inline constexpr std::size_t kUsageMapReferenceSize = 4;
inline constexpr std::size_t kUsageMapPageHeader = 4;  // 05 01 00 00

// An inline map as Access writes it: its bitmap bytes, and its whole row.
// Readers and the writer take whatever the row holds.
constexpr std::size_t inlineUsageMapBitmapSize(const Layout& layout) {
  return layout.pageSize == 2048 ? 128 : 64;
}
constexpr std::size_t inlineUsageMapRowSize(const Layout& layout) {
  return kUsageMapOffsetBitmap + inlineUsageMapBitmapSize(layout);
}

// How many pages one bitmap page of a reference map stands for.
constexpr std::size_t pagesPerBitmapPage(const Layout& layout) {
  return std::size_t{layout.pageSize - kUsageMapPageHeader} * 8;
}

// How many bitmap pages a reference map row of `rowSize` bytes can name.
constexpr std::size_t referenceMapEntries(std::size_t rowSize) {
  return rowSize < kUsageMapOffsetReferences ? 0 : (rowSize - kUsageMapOffsetReferences) / kUsageMapReferenceSize;
}

// A reference-map entry that names a bitmap page.
constexpr bool isUsedMapReference(std::uint32_t entry) {
  return entry != 0 && (entry & 0x80000000U) == 0;
}

// Sets or clears bit `bit` of a bitmap.
// REQUIRES: bit < bits.size() * 8
inline void setUsageBit(std::span<std::byte> bits, std::size_t bit, bool value) {
  assert(bit / 8 < bits.size());
  const auto mask = static_cast<std::byte>(1U << (bit % 8));
  bits[bit / 8] = value ? (bits[bit / 8] | mask) : (bits[bit / 8] & ~mask);
}

// A bitmap read in place: bit i stands for page firstPage() + i. The bytes
// must outlive it.
class UsageBitmap {
 public:
  UsageBitmap(std::span<const std::byte> bits, std::uint64_t firstPage) : bits_(bits), firstPage_(firstPage) {}

  std::uint64_t firstPage() const { return firstPage_; }
  // True when `page` has a bit here (set or not).
  bool covers(std::uint64_t page) const { return page >= firstPage_ && page - firstPage_ < bits_.size() * 8; }
  // True when `page` has a bit here and it is set.
  bool lists(std::uint64_t page) const {
    if (!covers(page)) return false;
    const std::uint64_t bit = page - firstPage_;
    return (std::to_integer<unsigned>(bits_[bit / 8]) & (1U << (bit % 8))) != 0;
  }
  // True when no bit is set.
  bool empty() const {
    return std::all_of(bits_.begin(), bits_.end(), [](std::byte b) { return b == std::byte{0}; });
  }

  // Calls `visit(page)` (returning a Status) for every page whose bit is set,
  // ascending; stops at, and returns, the first failure.
  template <typename Visit>
  Status forEachPage(Visit&& visit) const {
    for (std::size_t i = 0; i < bits_.size(); ++i) {
      const auto bits = std::to_integer<unsigned>(bits_[i]);
      if (bits == 0) continue;
      for (unsigned b = 0; b < 8; ++b) {
        if ((bits & (1U << b)) == 0) continue;
        if (Status s = visit(firstPage_ + 8 * i + b); !s.ok()) return s;
      }
    }
    return Status::success();
  }

 private:
  std::span<const std::byte> bits_;
  std::uint64_t firstPage_;
};

// Reads a page that a reference map names: its bytes, valid until the next
// call, or the failure to read it.
using ReadBitmapPage = std::function<Result<std::span<const std::byte>>(std::uint32_t page)>;

// One usage map, its row read and edited in place (the bytes must outlive
// it). `file` and `page` (the page that holds the row) name it in errors.
class UsageMap {
 public:
  UsageMap(std::span<std::byte> row, std::string_view file, std::uint32_t page)
      : row_(row), file_(file), page_(page) {}

  // Makes `row` an empty inline map whose window starts at `startPage`.
  // REQUIRES: row.size() > kUsageMapOffsetBitmap
  static UsageMap makeInline(std::span<std::byte> row, std::uint32_t startPage);

  // An inline map: its type byte says so and it has a bitmap byte.
  bool isInline() const;
  // The bitmap of an inline map; nothing when the row is another type or
  // shorter than an inline map's header.
  std::optional<UsageBitmap> inlineBitmap() const;

  // The pages the map lists, ascending; `bitmapPage` reads the pages a
  // reference map names. Corrupt when the row is of an unknown type or cut
  // short, lists a page at or past `pageCount`, or names a page that is not
  // a bitmap page.
  [[nodiscard]] Result<std::vector<std::uint32_t>> pages(const Layout& layout, std::uint64_t pageCount,
                                                         const ReadBitmapPage& bitmapPage) const;

  // Marks `page` as listed (or not) in an inline map. `outsideListed`: what
  // the map says of pages outside its window (the global map counts them as
  // free, so as listed; a table's or column's maps as not listed). A page
  // outside the window that already reads as asked is left so; an empty map
  // moves its window to start at `page`. True when the row was edited.
  // recordTooLarge ("compact the database in Access") for a map that is not
  // inline, or a page it cannot record.
  [[nodiscard]] Result<bool> record(std::uint32_t page, bool listed, bool outsideListed);

  // Sets or clears `page`'s bit.
  // REQUIRES: isInline() and inlineBitmap()->covers(page)
  void set(std::uint64_t page, bool listed);

 private:
  std::uint32_t startPage() const;

  std::span<std::byte> row_;
  std::string file_;
  std::uint32_t page_;
};

}  // namespace povezava::engine::jet
