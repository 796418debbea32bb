// Pages of RC4-encoded Jet 3 / Jet 4 files are written encoded again: a
// catalogue row rewritten through the writer's page code reads back with the
// engine and with mdbtools, and no other page changes.
#include <gtest/gtest.h>

#include <set>

#include "engine/jet/format/byte_order.h"
#include "engine/jet/jet_test_util.h"
#include "engine/jet/page_compare.h"
#include "engine/jet/read/catalog.h"
#include "engine/jet/read/table_definition.h"
#include "engine/jet/write/link_writer.h"
#include "engine/jet/write/page_commit.h"
#include "engine/jet/write/page_edit.h"
#include "engine/jet_build/builder.h"
#include "engine/jet_build/sample_databases.h"
#include "base/unicode.h"
#include "support/test_support.h"
#include "platform/file_system.h"

namespace povezava::engine::jet {
namespace {

using povezava::testing::lines;
using povezava::testing::mdbExport;
using testing::openCatalog;

class EncodedWriteTest : public ::testing::TestWithParam<const char*> {};

TEST_P(EncodedWriteTest, ARewrittenCatalogueRowIsEncodedAgainAndReadsBack) {
  POVEZAVA_REQUIRE_FIXTURES();
  povezava::testing::TempDir dir;
  const std::string path = dir.copy(povezava::testing::fixturesDir() / "encrypted" / GetParam()).string();
  const auto before = povezava::testing::readFile(path);
  const std::string exportBefore = mdbExport(path, "MSysObjects");

  std::uint32_t pageNumber = 0;
  std::size_t pageSize = 0;
  {
    auto [jet, catalog] = openCatalog(path, OpenMode::readWrite);
    ASSERT_TRUE(catalog);
    ASSERT_TRUE(jet->encoded());
    auto tables = catalog->tables();
    ASSERT_TRUE(tables.ok() && !tables->empty());
    const CatalogTable& table = tables->back();
    const ColumnDef* dateUpdate = catalog->definition().column(u"DateUpdate");
    ASSERT_NE(dateUpdate, nullptr);
    pageNumber = table.address.dataPage;
    pageSize = jet->layout().pageSize;
    auto page = jet->page(pageNumber);
    ASSERT_TRUE(page.ok());
    const auto bytes = page->view().bytes();
    PageEdit edit(jet->layout(), path, pageNumber, {bytes.begin(), bytes.end()});
    ASSERT_TRUE(edit.check().ok());
    std::vector<std::byte> row(edit.row(table.address.dataRow).begin(), edit.row(table.address.dataRow).end());
    // DateUpdate := 2024-03-01 12:00.
    putF64(row, jet->layout().rowColumnCountSize + dateUpdate->fixedOffset, 45352.5);
    ASSERT_TRUE(edit.overwrite(table.address.dataRow, row).ok());
    const std::vector<PageWrite> writes = {{pageNumber, edit.bytes()}};
    ASSERT_TRUE(commitPages(posixFileSystem(), droppedNotices(), *jet, writes).ok());
  }

  const auto after = povezava::testing::readFile(path);
  ASSERT_EQ(after.size(), before.size());
  EXPECT_EQ(changedPages(before, after, pageSize), std::set<std::size_t>{pageNumber});
  // Still encoded on disk: the page does not start with a data page's type bytes.
  EXPECT_FALSE(after[pageNumber * pageSize] == std::byte{kPageTypeData} &&
               after[pageNumber * pageSize + 1] == std::byte{kPageMarker});

  // Our reader: the catalogue opens and lists the same tables.
  auto reopened = openCatalog(path);
  ASSERT_TRUE(reopened.catalog);
  EXPECT_TRUE(reopened.catalog->tables().ok());
#ifndef _WIN32  // mdbtools reads on the Linux side only
  // mdbtools: one catalogue line differs, in its DateUpdate.
  int status = -1;
  const std::string exportAfter = mdbExport(path, "MSysObjects", &status);
  EXPECT_EQ(status, 0);
  const auto a = lines(exportBefore);
  const auto b = lines(exportAfter);
  ASSERT_EQ(a.size(), b.size());
  int differing = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) {
      ++differing;
      EXPECT_NE(b[i].find("03/01/24 12:00:00"), std::string::npos) << b[i];
    }
  }
  EXPECT_EQ(differing, 1);
#endif
}

INSTANTIATE_TEST_SUITE_P(Encoded, EncodedWriteTest, ::testing::Values("db97-enc.mdb", "db-enc.mdb"),
                         [](const auto& p) { return std::string(p.param) == "db97-enc.mdb" ? "Jet3" : "Jet4"; });

// A whole relink of an encoded builder-made front-end: a path in the row,
// then a long one that needs a page of its own, encoded like every other page.
class EncodedRelinkTest : public ::testing::TestWithParam<Version> {};

TEST_P(EncodedRelinkTest, RelinkingAnEncodedFrontEndKeepsEveryPageEncoded) {
  povezava::testing::TempDir dir;
  FrontEndOptions options;
  options.version = GetParam();
  options.codePage = 1250;
  DatabaseSpec spec = frontEndSpec(options);
  spec.databaseKey = 0xA7E0C0FE;
  const std::string path = (dir.path() / "TQ.mdb").string();
  ASSERT_TRUE(buildDatabase(path, spec).ok());
  const std::string local = mdbExport(path, "LOCAL1");
  const std::u16string longPath = u"\\\\streznik\\skupno\\Računovodstvo in finance\\podatki\\PARTNER.MDB";
  for (const std::u16string& database : {std::u16string(u"D:\\P.MDB"), longPath}) {
    const Status s =
        writeLink(posixFileSystem(), droppedNotices(), path, path, LinkChange{u"PARTNER", database, std::nullopt});
    ASSERT_TRUE(s.ok()) << s.toString();
    auto [jet, catalog] = openCatalog(path);
    ASSERT_TRUE(catalog);
    ASSERT_TRUE(jet->encoded());
    auto tables = catalog->tables();
    ASSERT_TRUE(tables.ok()) << tables.status().toString();
    for (const auto& t : *tables) {
      if (t.name == u"PARTNER") {
        EXPECT_EQ(t.database, database);
      }
    }
    POVEZAVA_WITH_MDBTOOLS(EXPECT_TRUE(
        povezava::testing::mdbCatalogueHas(path, database == longPath ? "podatki\\PARTNER.MDB" : "D:\\P.MDB")));
  }
  POVEZAVA_WITH_MDBTOOLS(EXPECT_EQ(mdbExport(path, "LOCAL1"), local));
  // No page of the file is stored in the clear: only page 0 starts like a Jet page.
  const auto bytes = povezava::testing::readFile(path);
  const std::size_t pageSize = GetParam() == Version::jet3 ? 2048 : 4096;
  for (std::size_t p = 1; p < bytes.size() / pageSize; ++p) {
    const auto type = std::to_integer<int>(bytes[p * pageSize]);
    const auto marker = std::to_integer<int>(bytes[p * pageSize + 1]);
    EXPECT_FALSE(type >= 1 && type <= 5 && marker == 1 && bytes[p * pageSize + 2] == std::byte{0} &&
                 bytes[p * pageSize + 3] == std::byte{0})
        << "page " << p << " looks unencoded";
  }
}

INSTANTIATE_TEST_SUITE_P(Versions, EncodedRelinkTest, ::testing::Values(Version::jet3, Version::jet4),
                         testing::versionTestName);

}  // namespace
}  // namespace povezava::engine::jet
