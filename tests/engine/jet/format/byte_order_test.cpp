#include "engine/jet/format/byte_order.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "engine/jet/format/page_view.h"

namespace povezava::engine::jet {
namespace {

// Stores and loads meet in the middle: what one writes at an odd offset the
// other reads back, the bytes around it untouched, the low byte first.
TEST(ByteOrder, StoresAreReadBackByLoadsAndLowByteComesFirst) {
  struct Case {
    std::size_t width;
    std::uint64_t value;
    std::uint8_t firstByte;
  } cases[] = {{2, 0xA1B2, 0xB2},         {2, 0xFFFF, 0xFF},
               {4, 0x01020304, 0x04},     {4, 0xFFFFFFFE, 0xFE},
               {8, 0x0102030405060708, 0x08}, {8, 0x8000000000000001, 0x01}};
  for (const auto& c : cases) {
    std::array<std::byte, 11> bytes{};
    bytes.fill(std::byte{0x5A});
    switch (c.width) {
      case 2: putU16(bytes, 1, static_cast<std::uint16_t>(c.value)); break;
      case 4: putU32(bytes, 1, static_cast<std::uint32_t>(c.value)); break;
      default: putU64(bytes, 1, c.value); break;
    }
    std::uint64_t back = 0;
    switch (c.width) {
      case 2: back = loadU16(bytes, 1); break;
      case 4: back = loadU32(bytes, 1); break;
      default: back = loadU64(bytes, 1); break;
    }
    EXPECT_EQ(back, c.value) << "width " << c.width;
    EXPECT_EQ(std::to_integer<std::uint8_t>(bytes[1]), c.firstByte) << "width " << c.width;
    EXPECT_EQ(bytes[0], std::byte{0x5A});
    EXPECT_EQ(bytes[1 + c.width], std::byte{0x5A}) << "width " << c.width;
  }
}

TEST(ByteOrder, AppendsWriteWhatStoresWrite) {
  std::vector<std::byte> appended;
  appendU16(appended, 0x0102);
  appendU32(appended, 0x03040506);
  appendU64(appended, 0x0708090A0B0C0D0E);
  std::vector<std::byte> stored(14);
  putU16(stored, 0, 0x0102);
  putU32(stored, 2, 0x03040506);
  putU64(stored, 6, 0x0708090A0B0C0D0E);
  EXPECT_EQ(appended, stored);
  EXPECT_EQ(loadU24(stored, 2), 0x040506u);
  EXPECT_EQ(PageView(stored).u64(6), 0x0708090A0B0C0D0Eu);
  EXPECT_FALSE(PageView(stored).u64(7));
}

}  // namespace
}  // namespace povezava::engine::jet
