#include "engine/jet/write/page_edit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "base/errors.h"

namespace povezava::engine::jet {
namespace {

std::vector<std::byte> bytesOf(std::size_t length, int seed) {
  std::vector<std::byte> row(length);
  for (std::size_t i = 0; i < length; ++i) row[i] = static_cast<std::byte>((seed * 31 + static_cast<int>(i)) & 0xFF);
  return row;
}

std::uint16_t flagsOf(std::uint16_t word) { return static_cast<std::uint16_t>(word & ~kRowOffsetMask); }

// An empty data page of `layout` owned by tdef page 2.
PageEdit emptyPage(const Layout& layout) {
  std::vector<std::byte> page(layout.pageSize, std::byte{0x5A});  // stale bytes in free space
  std::fill(page.begin(), page.begin() + static_cast<std::ptrdiff_t>(layout.dataHeaderLength), std::byte{0});
  page[0] = std::byte{kPageTypeData};
  page[1] = std::byte{kPageMarker};
  const std::size_t free = layout.pageSize - layout.dataHeaderLength;
  page[2] = static_cast<std::byte>(free & 0xFF);
  page[3] = static_cast<std::byte>(free >> 8);
  page[4] = std::byte{2};
  return PageEdit(layout, "test.mdb", 7, std::move(page));
}

class PageEditTest : public ::testing::TestWithParam<const Layout*> {
 protected:
  // Rows of 40, 25, 0 (deleted), 4 (overflow pointer) and 60 bytes.
  PageEdit fivePage() {
    PageEdit page = emptyPage(*GetParam());
    EXPECT_TRUE(page.append(bytesOf(40, 1), 0).ok());
    EXPECT_TRUE(page.append(bytesOf(25, 2), 0).ok());
    EXPECT_TRUE(page.append({}, kRowFlagDeletedSlot).ok());
    EXPECT_TRUE(page.append(bytesOf(4, 4), kRowFlagOverflow).ok());
    EXPECT_TRUE(page.append(bytesOf(60, 5), kRowFlagDeleted).ok());
    EXPECT_TRUE(page.check().ok());
    return page;
  }
};

TEST_P(PageEditTest, AppendPacksRowsDownwardsAndKeepsTheFreeSpaceIdentity) {
  PageEdit page = fivePage();
  const Layout& layout = *GetParam();
  EXPECT_EQ(page.rowCount(), 5U);
  EXPECT_EQ(page.rowEnd(0), layout.pageSize);
  EXPECT_EQ(page.rowStart(0), layout.pageSize - 40);
  EXPECT_EQ(page.rowStart(4), layout.pageSize - 129);
  EXPECT_EQ(page.freeSpace(), layout.pageSize - layout.dataHeaderLength - 129 - 10);
  EXPECT_EQ(flagsOf(page.word(3)), kRowFlagOverflow);
}

TEST_P(PageEditTest, GrowingARowMovesOnlyTheRowsBelowItAsOneBlock) {
  const PageEdit before = fivePage();
  PageEdit after = before;
  const auto grown = bytesOf(35, 9);
  ASSERT_TRUE(after.resize(1, grown, 0).ok());
  EXPECT_TRUE(std::ranges::equal(after.row(1), grown));
  EXPECT_EQ(after.rowStart(0), before.rowStart(0));
  EXPECT_EQ(after.rowStart(4), before.rowStart(4) - 10);
  EXPECT_EQ(after.freeSpace(), before.freeSpace() - 10);
  EXPECT_TRUE(verifyEdit(before, after, {{1}, 0}).ok());
}

TEST_P(PageEditTest, ShrinkingARowClearsTheBytesItFrees) {
  const PageEdit before = fivePage();
  PageEdit after = before;
  ASSERT_TRUE(after.resize(0, bytesOf(10, 9), 0).ok());
  EXPECT_EQ(after.freeSpace(), before.freeSpace() + 30);
  EXPECT_TRUE(verifyEdit(before, after, {{0}, 0}).ok());
  const auto& b = after.bytes();
  EXPECT_TRUE(std::all_of(b.begin() + static_cast<std::ptrdiff_t>(before.rowStart(4)),
                          b.begin() + static_cast<std::ptrdiff_t>(after.rowStart(4)),
                          [](std::byte x) { return x == std::byte{0}; }));
}

TEST_P(PageEditTest, GrowthBeyondTheFreeSpaceIsRefusedAndLeavesThePageAlone) {
  const PageEdit before = fivePage();
  PageEdit after = before;
  const Status s = after.resize(1, bytesOf(25 + before.freeSpace() + 1, 3), 0);
  EXPECT_EQ(s.number(), kErrRecordTooLarge);
  EXPECT_EQ(after.bytes(), before.bytes());
  // Exactly the free space is fine and leaves none.
  ASSERT_TRUE(after.resize(1, bytesOf(25 + before.freeSpace(), 3), 0).ok());
  EXPECT_EQ(after.freeSpace(), 0);
}

TEST_P(PageEditTest, EraseKeepsTheSlotSoLaterRowNumbersStay) {
  const PageEdit before = fivePage();
  PageEdit after = before;
  ASSERT_TRUE(after.erase(1).ok());
  EXPECT_EQ(after.rowCount(), 5U);
  EXPECT_EQ(flagsOf(after.word(1)), kRowFlagDeletedSlot);
  EXPECT_TRUE(after.row(1).empty());
  EXPECT_TRUE(std::ranges::equal(after.row(3), before.row(3)));
  EXPECT_EQ(after.freeSpace(), before.freeSpace() + 25);
  EXPECT_TRUE(verifyEdit(before, after, {{1}, 0}).ok());
}

TEST_P(PageEditTest, OverwriteMustKeepTheRowLength) {
  PageEdit page = fivePage();
  const auto before = page.bytes();
  EXPECT_EQ(page.overwrite(0, bytesOf(39, 1)).number(), kErrCannotOpen);
  EXPECT_EQ(page.bytes(), before);
  ASSERT_TRUE(page.overwrite(0, bytesOf(40, 8)).ok());
  EXPECT_TRUE(std::ranges::equal(page.row(0), bytesOf(40, 8)));
}

TEST_P(PageEditTest, AppendStopsAtTheFreeSpaceAndAtTheRowPointerLimit) {
  PageEdit page = emptyPage(*GetParam());
  EXPECT_EQ(page.append(bytesOf(page.freeSpace() - 1, 1), 0).status().number(), kErrRecordTooLarge);
  PageEdit many = emptyPage(*GetParam());
  std::size_t added = 0;
  while (many.append(bytesOf(1, 1), 0).ok()) ++added;
  EXPECT_EQ(added, kMaxRowsPerPage - 1);
  EXPECT_TRUE(many.check().ok());
}

TEST_P(PageEditTest, VerifyFindsEveryChangeOutsideTheScope) {
  const PageEdit before = fivePage();
  // A flipped byte in another row, in another slot's flags, in the owner field.
  PageEdit otherRow = before;
  ASSERT_TRUE(otherRow.resize(1, bytesOf(25, 7), 0).ok());
  EXPECT_FALSE(verifyEdit(before, otherRow, {{0}, 0}).ok());
  PageEdit flags = before;
  ASSERT_TRUE(flags.resize(3, bytesOf(4, 4), 0).ok());  // overflow flag dropped
  EXPECT_FALSE(verifyEdit(before, flags, {{1}, 0}).ok());
  PageEdit added = before;
  ASSERT_TRUE(added.append(bytesOf(5, 5), 0).ok());
  EXPECT_FALSE(verifyEdit(before, added, {{}, 0}).ok());
  EXPECT_TRUE(verifyEdit(before, added, {{}, 1}).ok());
}

TEST_P(PageEditTest, AnInconsistentPageIsRefusedNotEdited) {
  const Layout& layout = *GetParam();
  const PageEdit good = fivePage();
  struct Damage {
    const char* what;
    std::size_t offset;
    std::byte value;
  };
  const std::size_t word0 = layout.dataHeaderLength;
  const Damage damages[] = {
      {"free space one too many", kOffsetFreeSpace, static_cast<std::byte>(good.freeSpace() + 1)},
      {"row 0 starts past the page end", word0 + 1, std::byte{0x1F}},
      {"row count past the rows", layout.dataOffsetRowCount, std::byte{9}},
      {"not a data page", kOffsetPageType, std::byte{kPageTypeTdef}},
  };
  for (const Damage& d : damages) {
    auto bytes = good.bytes();
    bytes[d.offset] = d.value;
    PageEdit page(layout, "test.mdb", 7, bytes);
    EXPECT_EQ(page.check().number(), kErrCannotOpen) << d.what;
    EXPECT_EQ(page.resize(0, bytesOf(40, 1), 0).number(), kErrCannotOpen) << d.what;
    EXPECT_EQ(page.bytes(), bytes) << d.what;
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, PageEditTest, ::testing::Values(&kLayoutJet3, &kLayoutJet4),
                         [](const auto& p) { return p.param == &kLayoutJet3 ? "Jet3" : "Jet4"; });

}  // namespace
}  // namespace povezava::engine::jet
