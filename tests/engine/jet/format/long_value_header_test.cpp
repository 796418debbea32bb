#include "engine/jet/format/long_value_header.h"

#include <gtest/gtest.h>

#include <vector>

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

}  // namespace
}  // namespace povezava::engine::jet
