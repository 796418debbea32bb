#include "engine/jet/format/page_view.h"

#include <gtest/gtest.h>

#include <array>

#include "base/errors.h"

namespace povezava::engine::jet {
namespace {

constexpr std::array<std::byte, 8> kBytes = {std::byte{0x01}, std::byte{0x02}, std::byte{0x03},
                                            std::byte{0x04}, std::byte{0xFE}, std::byte{0xFF},
                                            std::byte{0x80}, std::byte{0x7F}};

TEST(PageView, ReadsLittleEndianIntegersByteByByte) {
  const PageView view(kBytes);
  EXPECT_EQ(view.u8(4), 0xFE);
  EXPECT_EQ(view.u16(0), 0x0201);
  EXPECT_EQ(view.u24(1), 0x040302u);
  EXPECT_EQ(view.u32(4), 0x7F80FFFEu);
  EXPECT_EQ(view.u64(0), 0x7F80FFFE04030201u);
}

TEST(PageView, ReadsEndingExactlyAtTheEndSucceedAndOnePastFail) {
  const PageView view(kBytes);
  struct Case {
    std::size_t offset;
    std::size_t width;
    bool ok;
  } cases[] = {{7, 1, true}, {8, 1, false}, {6, 2, true}, {7, 2, false}, {5, 3, true},
               {6, 3, false}, {4, 4, true}, {5, 4, false}, {SIZE_MAX, 1, false},
               {0, 8, true}, {1, 8, false}, {SIZE_MAX - 1, 4, false}, {SIZE_MAX - 7, 8, false}};
  for (const auto& c : cases) {
    bool ok = false;
    switch (c.width) {
      case 1: ok = view.u8(c.offset).has_value(); break;
      case 2: ok = view.u16(c.offset).has_value(); break;
      case 3: ok = view.u24(c.offset).has_value(); break;
      case 4: ok = view.u32(c.offset).has_value(); break;
      default: ok = view.u64(c.offset).has_value(); break;
    }
    EXPECT_EQ(ok, c.ok) << "offset " << c.offset << " width " << c.width;
  }
}

TEST(PageView, SubViewIsNarrowedAndChecked) {
  const PageView view(kBytes);
  const auto sub = view.sub(2, 4);
  ASSERT_TRUE(sub);
  EXPECT_EQ(sub->size(), 4u);
  EXPECT_EQ(sub->u16(0), 0x0403);
  EXPECT_FALSE(sub->u16(3));  // would reach byte 6 of the page: outside the row
  EXPECT_TRUE(view.sub(8, 0));
  EXPECT_FALSE(view.sub(9, 0));
  EXPECT_FALSE(view.sub(4, SIZE_MAX));
  EXPECT_FALSE(view.from(9));
  EXPECT_EQ(view.from(6)->size(), 2u);
}

TEST(FieldReader, FirstOverrunIsRecordedAsCorruptPageNamingTheField) {
  FieldReader reader(PageView(kBytes), "TQ.mdb", 37);
  EXPECT_EQ(reader.u16(0, "free space"), 0x0201);
  EXPECT_TRUE(reader.ok());
  EXPECT_EQ(reader.u32(6, "row count"), 0u);
  EXPECT_EQ(reader.u8(100, "later field"), 0u);
  ASSERT_FALSE(reader.ok());
  EXPECT_EQ(reader.status().number(), kErrCannotOpen);
  EXPECT_NE(reader.status().description().find("page 37: row count"), std::string::npos)
      << reader.status().description();
  EXPECT_NE(reader.status().description().find("TQ.mdb"), std::string::npos);
}

}  // namespace
}  // namespace povezava::engine::jet
