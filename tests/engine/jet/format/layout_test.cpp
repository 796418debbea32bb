#include "engine/jet/format/layout.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/jet/format/rc4.h"

namespace povezava::engine::jet {
namespace {

TEST(Format, VersionBytePicksTheLayout) {
  struct Case {
    std::uint8_t byte;
    std::uint32_t pageSize;
    bool utf16;
  } cases[] = {{0x00, 2048, false}, {0x01, 4096, true}, {0x02, 4096, true},
               {0x03, 4096, true}, {0x05, 4096, true}, {0x06, 4096, true}};
  for (const auto& c : cases) {
    const Layout* layout = layoutForVersion(c.byte);
    ASSERT_NE(layout, nullptr) << int{c.byte};
    EXPECT_EQ(layout->pageSize, c.pageSize);
    EXPECT_EQ(layout->utf16Text, c.utf16);
    EXPECT_EQ(static_cast<std::uint8_t>(layout->version), c.byte);
  }
  EXPECT_EQ(layoutForVersion(0x07), nullptr);
  EXPECT_EQ(layoutForVersion(0xFF), nullptr);
}

TEST(Format, RowOffsetWordFlags) {
  EXPECT_FALSE(isDeletedRow(0x037A));
  EXPECT_FALSE(isOverflowRow(0x037A));
  EXPECT_TRUE(isDeletedRow(0xC7CE));     // deleted: both bits
  EXPECT_FALSE(isOverflowRow(0xC7CE));   // ... and not followed
  EXPECT_TRUE(isOverflowRow(0x4621));    // pointer slot
  EXPECT_TRUE(isDeletedRow(0x8137));     // overflow target: skipped in scans
  EXPECT_EQ(rowStart(0x4621), 0x0621);
  EXPECT_EQ(rowStart(0x1000), 0x1000);   // 4096 needs bit 12
}

TEST(Format, RowPointers) {
  EXPECT_EQ(rowPointerPage(0x00006300), 0x63u);
  EXPECT_EQ(rowPointerRow(0x00006301), 1);
}

TEST(Rc4, HeaderMaskIsTheKnownKeystream) {
  std::vector<std::byte> mask(128);
  rc4Apply(std::as_bytes(std::span(kHeaderMaskKey)), mask);
  const std::uint8_t head[] = {0xB5, 0x6F, 0x03, 0x62, 0x61, 0x08, 0xC2, 0x55};
  const std::uint8_t tail[] = {0xE9, 0x2D, 0x62, 0xD4};
  for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(std::to_integer<std::uint8_t>(mask[i]), head[i]);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(std::to_integer<std::uint8_t>(mask[124 + i]), tail[i]);
  }
}

TEST(Rc4, PageEncodingIsItsOwnInverseAndDependsOnThePage) {
  std::vector<std::byte> page(64, std::byte{0x5A});
  const auto original = page;
  rc4ApplyPage(0xA7E0C0FE, 7, page);
  EXPECT_NE(page, original);
  auto other = original;
  rc4ApplyPage(0xA7E0C0FE, 8, other);
  EXPECT_NE(page, other);
  rc4ApplyPage(0xA7E0C0FE, 7, page);
  EXPECT_EQ(page, original);
}

}  // namespace
}  // namespace povezava::engine::jet
