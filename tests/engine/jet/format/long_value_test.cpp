#include "engine/jet/format/long_value.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "base/errors.h"

namespace povezava::engine::jet {
namespace {

std::vector<std::byte> bytesOf(std::initializer_list<int> values) {
  std::vector<std::byte> out;
  for (int v : values) out.push_back(static_cast<std::byte>(v));
  return out;
}

// Headers as Access writes them, read field by field.
TEST(LongValueHeader, ParsesLengthKindAndPointer) {
  struct Case {
    const char* what;
    std::vector<std::byte> bytes;
    std::uint32_t length;
    std::optional<LongValueKind> kind;
    std::uint32_t pointer;
    bool outOfLine;
  } cases[] = {
      {"inline, 31 bytes", bytesOf({0x1F, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 'a'}), 0x1F,
       LongValueKind::inlined, 0, false},
      {"one LVAL row", bytesOf({0x42, 0, 0, 0x40, 0x01, 0x63, 0, 0, 0, 0, 0, 0}), 0x42, LongValueKind::single,
       0x6301, true},
      {"a chain", bytesOf({0x41, 0x19, 0, 0, 0x00, 0x07, 0, 0, 0, 0, 0, 0}), 0x1941, LongValueKind::chain, 0x0700,
       true},
      {"a chain without a row", bytesOf({0x41, 0x19, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), 0x1941, LongValueKind::chain,
       0, false},
      {"longest length", bytesOf({0xFF, 0xFF, 0xFF, 0x7F, 0x02, 0x05, 0, 0, 0, 0, 0, 0}), 0x3FFFFFFF,
       LongValueKind::single, 0x0502, true},
      {"kind bits of no kind", bytesOf({0x01, 0, 0, 0xC0, 0x01, 0x05, 0, 0, 0, 0, 0, 0}), 1, std::nullopt, 0x0501,
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto header = LongValueHeader::parse(c.bytes);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->length(), c.length);
    EXPECT_EQ(header->kind(), c.kind);
    EXPECT_EQ(header->pointer(), c.pointer);
    EXPECT_EQ(header->outOfLine(), c.outOfLine);
    EXPECT_EQ(LongValueHeader::declaredLength(c.bytes), c.length);
  }
}

TEST(LongValueHeader, ShortSliceHasNoHeader) {
  const auto eleven = bytesOf({0x05, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_FALSE(LongValueHeader::parse(eleven));
  EXPECT_EQ(LongValueHeader::declaredLength(eleven), 5u);
  EXPECT_FALSE(LongValueHeader::declaredLength(bytesOf({0x05, 0, 0})));
}

TEST(LongValueHeader, EncodedSliceParsesBackAndKeepsInlineData) {
  const auto data = bytesOf({'C', ':', '\\', 'x'});
  struct Case {
    LongValueKind kind;
    std::uint32_t pointer;
    std::size_t size;
  } cases[] = {{LongValueKind::inlined, 0, kLongValueHeaderSize + 4},
               {LongValueKind::single, 0x12345601, kLongValueHeaderSize},
               {LongValueKind::chain, 0xFFFFFF00, kLongValueHeaderSize}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<std::uint32_t>(c.kind));
    const auto slice = longValueSlice(c.kind, data, c.pointer);
    ASSERT_EQ(slice.size(), c.size);
    const auto header = LongValueHeader::parse(slice);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->kind(), c.kind);
    EXPECT_EQ(header->length(), data.size());
    EXPECT_EQ(header->pointer(), c.pointer);
    // The word after the pointer is always zero.
    for (std::size_t i = 8; i < kLongValueHeaderSize; ++i) EXPECT_EQ(slice[i], std::byte{0});
    if (c.kind == LongValueKind::inlined) {
      EXPECT_TRUE(std::equal(data.begin(), data.end(), slice.begin() + kLongValueHeaderSize));
    }
  }
}

// Pages as a writer holds them, reduced to what placing values looks at: each
// page's type, owner and rows, and a capacity in bytes per page.
class FakePages final : public LongValuePages {
 public:
  struct FakePage {
    std::uint8_t type = kPageTypeData;
    std::uint32_t owner = kOwnerLval;
    std::vector<std::vector<std::byte>> rows;
    std::vector<bool> deleted;
    std::vector<std::byte> head = std::vector<std::byte>(8);  // the owner at its offset, for the reader
  };
  static constexpr std::size_t kCapacity = 300;
  static constexpr std::uint32_t kPageCount = 40;

  std::map<std::uint32_t, FakePage> pages;
  std::vector<std::string> maps;  // "map page listed outsideListed", in order

  std::string_view file() const override { return "test.mdb"; }
  std::uint32_t pageCount() const override { return kPageCount; }
  Result<std::pair<std::uint8_t, std::uint32_t>> typeAndOwner(std::uint32_t number) override {
    const FakePage& p = pages.at(number);
    return std::pair(p.type, p.owner);
  }
  Result<std::optional<std::size_t>> appendIfRoom(std::uint32_t number, std::span<const std::byte> row) override {
    FakePage& p = pages.at(number);
    if (used(p) + row.size() > kCapacity) return std::optional<std::size_t>();
    p.rows.emplace_back(row.begin(), row.end());
    p.deleted.push_back(false);
    return std::optional<std::size_t>(p.rows.size() - 1);
  }
  Result<bool> resizeIfRoom(std::uint32_t pointer, std::span<const std::byte> row) override {
    FakePage& p = pages.at(rowPointerPage(pointer));
    const std::size_t slot = rowPointerRow(pointer);
    if (slot >= p.rows.size() || p.deleted[slot]) return false;
    if (used(p) - p.rows[slot].size() + row.size() > kCapacity) return false;
    p.rows[slot].assign(row.begin(), row.end());
    return true;
  }
  Status eraseIfOwned(std::uint32_t pointer, std::uint32_t owner) override {
    FakePage& p = pages.at(rowPointerPage(pointer));
    const std::size_t slot = rowPointerRow(pointer);
    if (slot < p.rows.size() && p.owner == owner) p.deleted[slot] = true;
    return Status::success();
  }
  void addPage(std::uint32_t owner) override { pages[kPageCount].owner = owner; }
  Status recordInMap(std::uint32_t map, std::uint32_t page, bool listed, bool outsideListed) override {
    maps.push_back(std::to_string(rowPointerPage(map)) + " " + std::to_string(page) + " " +
                   std::to_string(listed) + " " + std::to_string(outsideListed));
    return Status::success();
  }

  // The rows as the reader follows a value's pointer to them.
  LongValueRows rows() {
    return LongValueRows{"test.mdb", 1 << 20, [this](std::uint32_t pointer) -> Result<LongValueRow> {
                           FakePage& p = pages.at(rowPointerPage(pointer));
                           putU32(p.head, kOffsetOwner, p.owner);
                           return LongValueRow{nullptr, rowPointerPage(pointer), PageView(p.head),
                                               PageView(p.rows.at(rowPointerRow(pointer)))};
                         }};
  }

 private:
  static std::size_t used(const FakePage& p) {
    std::size_t n = 0;
    for (const auto& r : p.rows) n += r.size();
    return n;
  }
};

std::vector<std::byte> text(std::size_t size, char c) { return std::vector<std::byte>(size, std::byte(c)); }

// Where a new value goes, and that it reads back as placed. Page 5 belongs to
// a table, page 6 is an LVAL page with 10 bytes free (its row 0 the value being
// replaced, 220 bytes), page 7 one with 100 bytes free.
TEST(LongValuePlacer, PlacesWhereAccessWould) {
  const std::uint32_t old = makeRowPointer(6, 0);
  struct Case {
    const char* what;
    std::size_t size;
    bool hasMaps;
    bool oldOnlyUse;
    bool addedBefore;                  // a page was added by an earlier value of the relink
    std::optional<LongValueKind> kind;  // nothing: refused (recordTooLarge)
    std::uint32_t pointer;
    bool grewOld;
    std::vector<std::string> maps;
  } cases[] = {
      {"short: inline, no page looked at", 64, true, true, false, LongValueKind::inlined, 0, false, {}},
      {"on the first column page with room", 90, true, true, false, LongValueKind::single, makeRowPointer(7, 1),
       false, {}},
      {"no room: the replaced row grows in place", 230, true, true, false, LongValueKind::single, old, true, {}},
      {"the replaced row is shared: a new page in every map", 230, true, false, false, LongValueKind::single,
       makeRowPointer(FakePages::kPageCount, 0), false, {"3 40 1 0", "3 40 1 0", "1 40 0 1"}},
      {"a column without maps gets no page", 230, false, false, false, std::nullopt, 0, false, {}},
      {"one page per relink", 230, true, false, true, std::nullopt, 0, false, {"3 40 1 0", "3 40 1 0", "1 40 0 1"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakePages pages;
    pages.pages[5].owner = 2;
    pages.pages[6].rows = {text(220, 'o'), text(70, 'x')};
    pages.pages[6].deleted = {false, false};
    pages.pages[7].rows = {text(200, 'y')};
    pages.pages[7].deleted = {false};
    LongValuePlacer placer(kLayoutJet4, pages);
    bool columnAsked = false;
    const auto column = [&]() -> Result<LongValueColumn> {
      columnAsked = true;
      if (!c.hasMaps) return LongValueColumn{"Database", 0, 0, {5, 6, 7}};
      return LongValueColumn{"Database", makeRowPointer(3, 0), makeRowPointer(3, 1), {5, 6, 7}};
    };
    bool grew = false;
    if (c.addedBefore) {
      ASSERT_TRUE(placer.place(column, text(230, 'a'), std::nullopt, false, grew).ok());
    }
    const auto data = text(c.size, 'v');
    const auto header = LongValueHeader(LongValueKind::single, 220, old);
    auto slice = placer.place(column, data, header, c.oldOnlyUse, grew);
    EXPECT_EQ(pages.maps, c.maps);
    if (!c.kind) {
      ASSERT_FALSE(slice.ok());
      EXPECT_EQ(slice.status().number(), kErrRecordTooLarge);
      continue;
    }
    ASSERT_TRUE(slice.ok()) << slice.status().toString();
    EXPECT_EQ(columnAsked, *c.kind != LongValueKind::inlined);
    EXPECT_EQ(grew, c.grewOld);
    const auto placed = LongValueHeader::parse(*slice);
    ASSERT_TRUE(placed);
    EXPECT_EQ(placed->kind(), c.kind);
    EXPECT_EQ(placed->pointer(), c.pointer);
    std::uint64_t budget = 1 << 20;
    auto value = viewLongValue(pages.rows(), PageView(*slice), 4, budget);
    ASSERT_TRUE(value.ok()) << value.status().toString();
    EXPECT_TRUE(std::ranges::equal(value->bytes().bytes(), data));
  }
}

// A replaced value's row is deleted only on an LVAL page.
TEST(LongValuePlacer, RemovesOnlyLongValueRows) {
  FakePages pages;
  pages.pages[5].owner = 2;
  for (std::uint32_t n : {5U, 6U}) {
    pages.pages[n].rows = {text(10, 'r')};
    pages.pages[n].deleted = {false};
  }
  LongValuePlacer placer(kLayoutJet4, pages);
  ASSERT_TRUE(placer.remove(makeRowPointer(5, 0)).ok());
  ASSERT_TRUE(placer.remove(makeRowPointer(6, 0)).ok());
  EXPECT_FALSE(pages.pages[5].deleted[0]);
  EXPECT_TRUE(pages.pages[6].deleted[0]);
}

}  // namespace
}  // namespace povezava::engine::jet
