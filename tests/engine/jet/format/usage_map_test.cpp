#include "engine/jet/format/usage_map.h"

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

// A reader that has no bitmap pages: an inline map never asks for one.
Result<std::span<const std::byte>> noBitmapPage(std::uint32_t page) {
  return errors::corrupt("test.mdb", page, "asked for a bitmap page");
}

TEST(UsageMapRow, BitsAreReadLeastSignificantFirstFromTheFirstPage) {
  const std::vector<std::byte> bits = {std::byte{0x81}, std::byte{0x00}, std::byte{0x12}};
  const UsageBitmap bitmap(bits, 100);
  EXPECT_EQ(listed(bitmap), (std::vector<std::uint64_t>{100, 107, 117, 120}));
  EXPECT_TRUE(bitmap.lists(107));
  EXPECT_FALSE(bitmap.lists(106));
  EXPECT_FALSE(bitmap.lists(99));
  EXPECT_FALSE(bitmap.empty());
  EXPECT_TRUE(UsageBitmap(std::span(bits).subspan(1, 1), 0).empty());
}

TEST(UsageMapRow, AVisitThatFailsStopsTheWalk) {
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
TEST(UsageMapRow, BuiltInlineMapReadsBackItsPages) {
  struct Case {
    std::uint32_t start;
    std::vector<std::uint32_t> pages;
  } cases[] = {{0, {}}, {0, {0, 15}}, {37, {37, 38, 45, 52}}, {0xFFFFFF00, {0xFFFFFF0F}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.start);
    std::vector<std::byte> row = inlineRow();
    auto map = UsageMap::makeInline(row, c.start);
    for (std::uint32_t page : c.pages) map.set(page, true);
    EXPECT_EQ(row[0], std::byte{kUsageMapInline});
    const auto bitmap = UsageMap(row, "test.mdb", 3).inlineBitmap();
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->firstPage(), c.start);
    EXPECT_EQ(listed(*bitmap), std::vector<std::uint64_t>(c.pages.begin(), c.pages.end()));
    EXPECT_EQ(bitmap->empty(), c.pages.empty());
  }
}

TEST(UsageMapRow, ClearingABitLeavesTheOthers) {
  std::vector<std::byte> row = inlineRow();
  auto map = UsageMap::makeInline(row, 8);
  for (std::uint32_t page : {8U, 9U, 16U, 23U}) map.set(page, true);
  map.set(9, false);
  map.set(10, false);  // already clear
  map.set(23, true);   // already set
  EXPECT_EQ(listed(*map.inlineBitmap()), (std::vector<std::uint64_t>{8, 16, 23}));
  for (std::uint32_t page : {8U, 16U, 23U}) map.set(page, false);
  EXPECT_TRUE(map.inlineBitmap()->empty());
}

TEST(UsageMapRow, WindowCoversExactlyItsBits) {
  std::vector<std::byte> row = inlineRow();
  const auto bitmap = *UsageMap::makeInline(row, 40).inlineBitmap();
  struct Case {
    std::uint64_t page;
    bool covered;
  } cases[] = {{39, false}, {40, true}, {55, true}, {56, false}, {0, false}};
  for (const auto& c : cases) EXPECT_EQ(bitmap.covers(c.page), c.covered) << "page " << c.page;
}

// What the writer asks of a map when it adds a page: the map as it starts
// (window start, pages listed), the page and what it should read as, and the
// outcome: the pages listed after, or a refusal that leaves the row as it was.
TEST(UsageMapRow, RecordingAPage) {
  struct Case {
    const char* what;
    std::uint8_t type;
    std::uint32_t start;
    std::vector<std::uint32_t> pages;
    std::uint32_t page;
    bool listed;
    bool outsideListed;
    bool edited;                          // ignored when refused
    std::vector<std::uint32_t> after;     // start of the window first
    bool refused;
  } cases[] = {
      {"set inside the window", kUsageMapInline, 8, {9}, 20, true, false, true, {8, 9, 20}, false},
      {"clear inside the window", kUsageMapInline, 8, {9, 20}, 9, false, false, true, {8, 20}, false},
      {"already clear outside a table's window", kUsageMapInline, 8, {9}, 200, false, false, false, {8, 9}, false},
      {"already free beyond the global window", kUsageMapInline, 0, {5}, 200, true, true, false, {0, 5}, false},
      {"an empty map moves its window", kUsageMapInline, 8, {}, 1000, true, false, true, {1000, 1000}, false},
      {"a full map cannot reach the page", kUsageMapInline, 8, {9}, 1000, true, false, false, {}, true},
      {"the global map cannot mark a page beyond it used", kUsageMapInline, 0, {}, 1000, false, true, false, {},
       true},
      {"a reference map is not edited", kUsageMapReference, 0, {}, 3, true, false, false, {}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::byte> row = inlineRow();
    auto built = UsageMap::makeInline(row, c.start);
    for (std::uint32_t page : c.pages) built.set(page, true);
    row[0] = std::byte{c.type};
    const std::vector<std::byte> before = row;
    UsageMap map(row, "test.mdb", 7);
    auto edited = map.record(c.page, c.listed, c.outsideListed);
    if (c.refused) {
      ASSERT_FALSE(edited.ok());
      EXPECT_EQ(edited.status().number(), kErrRecordTooLarge);
      EXPECT_NE(edited.status().description().find("usage map on page 7"), std::string::npos);
      EXPECT_NE(edited.status().description().find("compact the database in Access"), std::string::npos);
      EXPECT_EQ(row, before);
      continue;
    }
    ASSERT_TRUE(edited.ok()) << edited.status().toString();
    EXPECT_EQ(*edited, c.edited);
    const auto bitmap = map.inlineBitmap();
    ASSERT_TRUE(bitmap);
    std::vector<std::uint64_t> after{bitmap->firstPage()};
    for (std::uint64_t page : listed(*bitmap)) after.push_back(page);
    EXPECT_EQ(after, std::vector<std::uint64_t>(c.after.begin(), c.after.end()));
  }
}

TEST(UsageMapRow, OnlyAnInlineRowWithBitmapBytesIsEdited) {
  std::vector<std::byte> reference = inlineRow();
  reference[0] = std::byte{kUsageMapReference};
  EXPECT_FALSE(UsageMap(reference, "test.mdb", 3).isInline());
  std::vector<std::byte> headerOnly(kUsageMapOffsetBitmap, std::byte{0});
  EXPECT_FALSE(UsageMap(headerOnly, "test.mdb", 3).isInline());
  std::vector<std::byte> oneByte(kUsageMapOffsetBitmap + 1, std::byte{0});
  EXPECT_TRUE(UsageMap(oneByte, "test.mdb", 3).isInline());
  // A reader still takes a map without bitmap bytes: it lists nothing.
  auto pages = UsageMap(headerOnly, "test.mdb", 3).pages(kLayoutJet4, 100, noBitmapPage);
  ASSERT_TRUE(pages.ok()) << pages.status().toString();
  EXPECT_TRUE(pages->empty());
  auto cut = UsageMap(std::span(headerOnly).first(kUsageMapOffsetBitmap - 1), "test.mdb", 3)
                 .pages(kLayoutJet4, 100, noBitmapPage);
  EXPECT_EQ(cut.status().number(), kErrCannotOpen);
}

// A map read as it stands: a page at or past the file's end is damage, named
// on the page that holds the bits.
TEST(UsageMapRow, APageBeyondTheFileIsCorrupt) {
  std::vector<std::byte> row = inlineRow();
  auto map = UsageMap::makeInline(row, 10);
  map.set(12, true);
  map.set(19, true);
  auto within = UsageMap(row, "test.mdb", 3).pages(kLayoutJet4, 20, noBitmapPage);
  ASSERT_TRUE(within.ok()) << within.status().toString();
  EXPECT_EQ(*within, (std::vector<std::uint32_t>{12, 19}));
  auto beyond = UsageMap(row, "test.mdb", 3).pages(kLayoutJet4, 19, noBitmapPage);
  EXPECT_EQ(beyond.status().number(), kErrCannotOpen);
  EXPECT_NE(beyond.status().description().find("page 3: a usage map lists page 19, past the end of the file"),
            std::string::npos)
      << beyond.status().description();
}

TEST(UsageMapRow, ReferenceMapsNameBitmapPagesOfKnownSpan) {
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
