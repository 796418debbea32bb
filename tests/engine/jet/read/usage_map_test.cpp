#include "engine/jet/read/usage_map.h"

#include <gtest/gtest.h>

#include "base/errors.h"
#include "engine/jet/format/usage_map.h"
#include "engine/jet/jet_test_util.h"

namespace povezava::engine::jet {
namespace {

using testing::bytesOf;
using testing::concat;
using testing::jet4FileWith;
using testing::le32;
using testing::makeDataPage;
using testing::openJetFile;

std::vector<std::byte> bitmapPage(std::initializer_list<std::uint32_t> pages) {
  std::vector<std::byte> page(kLayoutJet4.pageSize);
  testing::putU8(page, 0, kPageTypeUsageMap);
  testing::putU8(page, 1, kPageMarker);
  for (std::uint32_t p : pages) page.at(kUsageMapPageHeader + p / 8) |= static_cast<std::byte>(1U << (p % 8));
  return page;
}

TEST(UsageMap, InlineAndReferenceMapsListTheirPages) {
  POVEZAVA_REQUIRE_FIXTURES();
  // Page 3 holds the maps: row 0 inline from page 2 (bits for 3 and 6),
  // row 1 a reference map (one unused entry with the high bit, then page 4),
  // row 2 a reference to a page that is not a bitmap page, row 3 an unknown type.
  auto maps = makeDataPage(kLayoutJet4, 0,
                           {concat({bytesOf({kUsageMapInline}), le32(2), bytesOf({0x12, 0})}),
                            concat({bytesOf({kUsageMapReference}), le32(0xFFFFFF80), le32(0)}),
                            concat({bytesOf({kUsageMapReference}), le32(5)}),
                            bytesOf({3, 0, 0, 0, 0})});
  // Reference entry k = 1 covers pages from (4096 - 4) * 8 on: too far for
  // this file, so its map page names pages of entry 0 only.
  auto maps2 = makeDataPage(kLayoutJet4, 0, {concat({bytesOf({kUsageMapReference}), le32(4)})});
  auto jet = openJetFile(jet4FileWith({maps, bitmapPage({3, 5, 6}), maps2, makeDataPage(kLayoutJet4, 2, {})}));
  ASSERT_TRUE(jet.ok()) << jet.status().toString();

  auto inlined = readUsageMap(**jet, makeRowPointer(3, 0));
  ASSERT_TRUE(inlined.ok()) << inlined.status().toString();
  EXPECT_EQ(*inlined, (std::vector<std::uint32_t>{3, 6}));

  auto referenced = readUsageMap(**jet, makeRowPointer(5, 0));
  ASSERT_TRUE(referenced.ok()) << referenced.status().toString();
  EXPECT_EQ(*referenced, (std::vector<std::uint32_t>{3, 5, 6}));

  auto unused = readUsageMap(**jet, makeRowPointer(3, 1));
  ASSERT_TRUE(unused.ok());
  EXPECT_TRUE(unused->empty());

  auto notBitmap = readUsageMap(**jet, makeRowPointer(3, 2));
  EXPECT_EQ(notBitmap.status().number(), kErrCannotOpen);
  EXPECT_NE(notBitmap.status().description().find("page 5: a usage map refers to a page that is not a bitmap page"),
            std::string::npos)
      << notBitmap.status().description();

  auto unknown = readUsageMap(**jet, makeRowPointer(3, 3));
  EXPECT_NE(unknown.status().description().find("page 3: usage map of unknown type 3"), std::string::npos);
}

}  // namespace
}  // namespace povezava::engine::jet
