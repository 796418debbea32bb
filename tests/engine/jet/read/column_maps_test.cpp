#include "engine/jet/read/column_maps.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/jet/jet_test_util.h"
#include "engine/jet/read/usage_map.h"

namespace povezava::engine::jet {
namespace {

// MSysObjects has maps for its seven memo/OLE columns (8, 9, 12-16) in every
// known file; linkerTestV2007's Database column owns exactly one page (99),
// the Jackcess-made files' none.
TEST(ColumnMaps, TheCataloguesLongValueColumnsHaveTheirMaps) {
  POVEZAVA_REQUIRE_FIXTURES();
  struct Case {
    const char* file;
    std::vector<std::uint32_t> databasePages;
  } cases[] = {
      {"access-made/V2007/linkerTestV2007.accdb", {99}},
      {"access-made/V1997/testV1997.mdb", {}},
      {"jet4-v2000/TQ.mdb", {}},
      {"ace-v2010/TQ.accdb", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    auto [jet, catalog] = testing::openCatalog(povezava::testing::fixturesDir() / c.file);
    ASSERT_TRUE(catalog);
    auto maps = readColumnMaps(*jet, catalog->definition());
    ASSERT_TRUE(maps.ok()) << c.file << ": " << maps.status().toString();
    std::vector<std::uint16_t> columns;
    for (const ColumnMaps& m : *maps) {
      columns.push_back(m.column);
      EXPECT_NE(m.ownedMap, 0U) << c.file;
      EXPECT_NE(m.freeMap, 0U) << c.file;
      if (m.column == kCatalogColumnNumberDatabase) {
        auto pages = readUsageMap(*jet, m.ownedMap);
        ASSERT_TRUE(pages.ok());
        EXPECT_EQ(*pages, c.databasePages) << c.file;
      }
    }
    std::sort(columns.begin(), columns.end());  // stored in the file's own order
    EXPECT_EQ(columns, (std::vector<std::uint16_t>{8, 9, 12, 13, 14, 15, 16})) << c.file;
  }
}

}  // namespace
}  // namespace povezava::engine::jet
