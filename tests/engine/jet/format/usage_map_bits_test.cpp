#include "engine/jet/format/usage_map_bits.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/errors.h"

namespace povezava::engine::jet {
namespace {

std::vector<std::uint64_t> listed(const UsageBitmap& bitmap) {
  std::vector<std::uint64_t> pages;
  const Status s = bitmap.forEachPage([&](std::uint64_t page) {
    pages.push_back(page);
    return Status::success();
  });
  EXPECT_TRUE(s.ok());
  return pages;
}

// An inline map with a 2-byte bitmap: 16 pages from its start.
std::vector<std::byte> inlineRow() { return std::vector<std::byte>(kUsageMapOffsetBitmap + 2, std::byte{0x77}); }

TEST(UsageMapBits, BitsAreReadLeastSignificantFirstFromTheFirstPage) {
  const std::vector<std::byte> bits = {std::byte{0x81}, std::byte{0x00}, std::byte{0x12}};
  const UsageBitmap bitmap(bits, 100);
  EXPECT_EQ(listed(bitmap), (std::vector<std::uint64_t>{100, 107, 117, 120}));
  EXPECT_TRUE(bitmap.lists(107));
  EXPECT_FALSE(bitmap.lists(106));
  EXPECT_FALSE(bitmap.lists(99));
  EXPECT_FALSE(bitmap.empty());
  EXPECT_TRUE(UsageBitmap(std::span(bits).subspan(1, 1), 0).empty());
}

TEST(UsageMapBits, AVisitThatFailsStopsTheWalk) {
  const std::vector<std::byte> bits = {std::byte{0x07}};
  std::vector<std::uint64_t> seen;
  const Status s = UsageBitmap(bits, 0).forEachPage([&](std::uint64_t page) {
    seen.push_back(page);
    return page == 1 ? errors::invalidArgument("stop") : Status::success();
  });
  EXPECT_FALSE(s.ok());
  EXPECT_EQ(seen, (std::vector<std::uint64_t>{0, 1}));
}

// What a built map lists is what was set, read back as the reader reads a row.
TEST(UsageMapBits, BuiltInlineMapReadsBackItsPages) {
  struct Case {
    std::uint32_t start;
    std::vector<std::uint32_t> pages;
  } cases[] = {{0, {}}, {0, {0, 15}}, {37, {37, 38, 45, 52}}, {0xFFFFFF00, {0xFFFFFF0F}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.start);
    std::vector<std::byte> row = inlineRow();
    auto map = InlineUsageMap::make(row, c.start);
    for (std::uint32_t page : c.pages) map.set(page, true);
    EXPECT_EQ(row[0], std::byte{kUsageMapInline});
    const auto bitmap = UsageBitmap::ofInlineMap(row);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->firstPage(), c.start);
    EXPECT_EQ(listed(*bitmap), std::vector<std::uint64_t>(c.pages.begin(), c.pages.end()));
    EXPECT_EQ(map.empty(), c.pages.empty());
  }
}

TEST(UsageMapBits, ClearingABitLeavesTheOthers) {
  std::vector<std::byte> row = inlineRow();
  auto map = InlineUsageMap::make(row, 8);
  for (std::uint32_t page : {8U, 9U, 16U, 23U}) map.set(page, true);
  map.set(9, false);
  map.set(10, false);  // already clear
  map.set(23, true);   // already set
  EXPECT_EQ(listed(map.bitmap()), (std::vector<std::uint64_t>{8, 16, 23}));
  for (std::uint32_t page : {8U, 16U, 23U}) map.set(page, false);
  EXPECT_TRUE(map.empty());
}

TEST(UsageMapBits, WindowCoversExactlyItsBits) {
  std::vector<std::byte> row = inlineRow();
  const auto map = InlineUsageMap::make(row, 40);
  struct Case {
    std::uint64_t page;
    bool covered;
  } cases[] = {{39, false}, {40, true}, {55, true}, {56, false}, {0, false}};
  for (const auto& c : cases) EXPECT_EQ(map.covers(c.page), c.covered) << "page " << c.page;
}

TEST(UsageMapBits, EmptyMapMovesItsWindowToAPage) {
  std::vector<std::byte> row = inlineRow();
  auto map = InlineUsageMap::make(row, 3);
  ASSERT_FALSE(map.covers(1000));
  map.moveWindow(1000);
  ASSERT_TRUE(map.covers(1000));
  map.set(1000, true);
  // The row itself now says so, as the reader sees it.
  auto reread = InlineUsageMap::over(row);
  ASSERT_TRUE(reread);
  EXPECT_EQ(reread->startPage(), 1000u);
  EXPECT_EQ(listed(reread->bitmap()), (std::vector<std::uint64_t>{1000}));
  EXPECT_FALSE(reread->covers(3));
}

TEST(UsageMapBits, OnlyAnInlineRowWithBitmapBytesIsEdited) {
  std::vector<std::byte> reference = inlineRow();
  reference[0] = std::byte{kUsageMapReference};
  EXPECT_FALSE(InlineUsageMap::over(reference));
  std::vector<std::byte> headerOnly(kUsageMapOffsetBitmap, std::byte{0});
  EXPECT_FALSE(InlineUsageMap::over(headerOnly));
  std::vector<std::byte> oneByte(kUsageMapOffsetBitmap + 1, std::byte{0});
  EXPECT_TRUE(InlineUsageMap::over(oneByte));
  // A reader still takes a map without bitmap bytes: it lists nothing.
  const auto bitmap = UsageBitmap::ofInlineMap(headerOnly);
  ASSERT_TRUE(bitmap);
  EXPECT_TRUE(listed(*bitmap).empty());
  EXPECT_FALSE(UsageBitmap::ofInlineMap(std::span(headerOnly).first(kUsageMapOffsetBitmap - 1)));
}

TEST(UsageMapBits, ReferenceMapsNameBitmapPagesOfKnownSpan) {
  EXPECT_EQ(pagesPerBitmapPage(kLayoutJet4), (4096u - 4) * 8);
  EXPECT_EQ(pagesPerBitmapPage(kLayoutJet3), (2048u - 4) * 8);
  EXPECT_EQ(referenceMapEntries(1), 0u);
  EXPECT_EQ(referenceMapEntries(9), 2u);
  EXPECT_EQ(referenceMapEntries(12), 2u);
  EXPECT_TRUE(isUsedMapReference(87));
  EXPECT_FALSE(isUsedMapReference(0));
  EXPECT_FALSE(isUsedMapReference(0xFFFFFF80));
}

}  // namespace
}  // namespace povezava::engine::jet
