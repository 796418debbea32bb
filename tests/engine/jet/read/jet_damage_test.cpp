// Damaged copies of real files: each test breaks one field and keeps the rest
// valid, then checks the error number and the reason. Nothing may crash, hang
// or be read past its bounds (the ASan build runs these too).
#include <gtest/gtest.h>

#include <string>

#include "base/errors.h"
#include "engine/jet/format/long_value.h"
#include "engine/jet/format/usage_map.h"
#include "engine/jet/jet_test_util.h"
#include "engine/jet/read/row.h"
#include "engine/jet/read/usage_map.h"
#include "engine/jet_build/sample_databases.h"
#include "support/test_support.h"

namespace povezava::engine::jet {
namespace {

using testing::fixtureBytes;
using testing::getU16;
using testing::getU32;
using testing::locateCatalogRow;
using testing::openBytes;
using testing::putU16;
using testing::putU32;
using testing::putU8;

const char* const kFormats[] = {"access-made/V1997/testV1997.mdb", "jet4-v2000/TQ.mdb",
                                "jet4-v2003/TQ.mdb", "ace-v2010/TQ.accdb",
                                "access-made/V2007/linkerTestV2007.accdb"};

class Damage : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    POVEZAVA_REQUIRE_FIXTURES();
    bytes_ = fixtureBytes(GetParam());
    layout_ = layoutForVersion(std::to_integer<std::uint8_t>(bytes_.at(kOffsetVersion)));
    ASSERT_NE(layout_, nullptr);
    pageSize_ = layout_->pageSize;
    pageCount_ = static_cast<std::uint32_t>(bytes_.size() / pageSize_);
    ASSERT_TRUE(openBytes(bytes_).ok()) << "the undamaged copy must open";
  }

  std::size_t at(std::uint32_t page, std::size_t offset) const {
    return std::size_t{page} * pageSize_ + offset;
  }
  std::size_t tdef(std::size_t offset) const { return at(kCatalogTdefPage, offset); }

  // The first table row of the catalogue: a user table in every file here.
  testing::CatalogRowPlace firstTable() const {
    auto db = openBytes(bytes_);
    auto tables = (*db)->readTables();
    for (const CatalogTable& t : *tables) {
      if (!t.isSystem()) return locateCatalogRow(bytes_, t.name);
    }
    ADD_FAILURE() << "no user table";
    return {};
  }

  // File offset of the catalogue's owned usage map row.
  std::size_t ownedMapRowAt() const {
    const std::uint32_t map = getU32(bytes_, tdef(layout_->tdefOffsetOwnedMap));
    const std::size_t word = at(rowPointerPage(map), layout_->dataHeaderLength + 2 * std::size_t{rowPointerRow(map)});
    return at(rowPointerPage(map), rowStart(static_cast<std::uint16_t>(getU16(bytes_, word))));
  }

  // File offset of the trailer field `n` (variable offset count) of a row.
  std::size_t variableCountAt(const testing::CatalogRowPlace& row) const {
    const std::size_t mask = (std::size_t{kCatalogColumnCount} + 7) / 8;
    return row.rowAt + row.rowLength - mask - layout_->rowVariableOffsetSize;
  }

  // Opens the damaged bytes and checks the error number and that the
  // description contains `reason`.
  void expectError(int number, const std::string& reason) const {
    auto db = openBytes(bytes_);
    ASSERT_FALSE(db.ok()) << "damage not detected, expected: " << reason;
    EXPECT_EQ(db.status().number(), number) << db.status().toString();
    EXPECT_NE(db.status().description().find(reason), std::string::npos)
        << db.status().description();
    EXPECT_NE(db.status().description().find("damaged.mdb"), std::string::npos);
  }

  std::vector<std::byte> bytes_;
  const Layout* layout_ = nullptr;
  std::uint32_t pageSize_ = 0;
  std::uint32_t pageCount_ = 0;
};

TEST_P(Damage, CatalogueColumnCountLargerThanTheDefinitionIsCorrupt) {
  putU16(bytes_, tdef(layout_->tdefOffsetColumnCount), 0xFFFF);
  expectError(kErrCannotOpen, "page 2: the column count 65535 does not fit");
}

TEST_P(Damage, CatalogueWithoutColumnsIsCorrupt) {
  putU16(bytes_, tdef(layout_->tdefOffsetColumnCount), 0);
  expectError(kErrCannotOpen, "the column count 0 does not fit");
}

TEST_P(Damage, ImpossiblePhysicalIndexCountIsCorrupt) {
  putU32(bytes_, tdef(layout_->tdefOffsetPhysicalIndexCount), 0x10000000);
  expectError(kErrCannotOpen, "the physical index count 268435456 does not fit");
}

TEST_P(Damage, DefinitionLongerThanTheFileIsCorrupt) {
  putU32(bytes_, tdef(kOffsetTdefLength), 0x7FFFFFFF);
  expectError(kErrCannotOpen, "the table definition's length 2147483647 is impossible");
}

TEST_P(Damage, DefinitionContinuingOnItselfIsALoop) {
  putU32(bytes_, tdef(kOffsetNextTdefPage), kCatalogTdefPage);
  putU32(bytes_, tdef(kOffsetTdefLength), 3 * pageSize_);
  expectError(kErrCannotOpen, "continuation pages form a loop");
}

TEST_P(Damage, DefinitionContinuingOnADataPageIsCorrupt) {
  putU32(bytes_, tdef(kOffsetNextTdefPage), kGlobalUsageMapPage);
  putU32(bytes_, tdef(kOffsetTdefLength), 2 * pageSize_);
  expectError(kErrCannotOpen, "page 1: expected a table definition page");
}

TEST_P(Damage, OwnedMapPastTheEndOfTheFileIsCorrupt) {
  putU32(bytes_, tdef(layout_->tdefOffsetOwnedMap), makeRowPointer(pageCount_ + 5, 0));
  expectError(kErrCannotOpen, "page " + std::to_string(pageCount_ + 5) +
                                  ": the page lies past the end of the file");
}

TEST_P(Damage, UsageMapOfUnknownTypeIsCorrupt) {
  putU8(bytes_, ownedMapRowAt(), 7);
  expectError(kErrCannotOpen, "usage map of unknown type 7");
}

TEST_P(Damage, UsageMapListingPagesPastTheEndIsCorrupt) {
  const std::size_t row = ownedMapRowAt();
  if (std::to_integer<int>(bytes_[row]) != kUsageMapInline) GTEST_SKIP() << "not an inline map";
  putU32(bytes_, row + kUsageMapOffsetStartPage, 0x00FFFF00);
  expectError(kErrCannotOpen, "past the end of the file");
}

TEST_P(Damage, CataloguePageRowCountTooLargeIsCorrupt) {
  const auto row = firstTable();
  putU16(bytes_, at(row.table.address.slotPage, layout_->dataOffsetRowCount), 0x1000);
  expectError(kErrCannotOpen, "page " + std::to_string(row.table.address.slotPage) +
                                  ": the row count 4096 does not fit the page");
}

TEST_P(Damage, RowStartingInsideTheOffsetTableIsCorrupt) {
  const auto row = firstTable();
  putU16(bytes_, row.slotWordAt, 2);
  expectError(kErrCannotOpen, "row " + std::to_string(row.table.address.slotRow) + " spans 2..");
}

TEST_P(Damage, RowStartingAfterItsEndIsCorrupt) {
  const auto row = firstTable();
  const std::uint32_t slot = row.table.address.slotRow;
  const std::uint32_t end = slot == 0 ? pageSize_ : rowStart(static_cast<std::uint16_t>(getU16(bytes_, row.slotWordAt - 2)));
  putU16(bytes_, row.slotWordAt, end + 1);
  expectError(kErrCannotOpen, "row " + std::to_string(slot) + " spans " + std::to_string(end + 1) +
                                  ".." + std::to_string(end) + ", outside the page's rows");
}

TEST_P(Damage, OverflowPointerToItselfIsALoop) {
  const auto row = firstTable();
  putU16(bytes_, row.slotWordAt, getU16(bytes_, row.slotWordAt) | kRowFlagOverflow);
  putU32(bytes_, row.rowAt, makeRowPointer(row.table.address.slotPage,
                                           static_cast<std::uint8_t>(row.table.address.slotRow)));
  expectError(kErrCannotOpen, "overflow row pointers form a loop");
}

TEST_P(Damage, OverflowPointerPastTheEndIsCorrupt) {
  const auto row = firstTable();
  putU16(bytes_, row.slotWordAt, getU16(bytes_, row.slotWordAt) | kRowFlagOverflow);
  putU32(bytes_, row.rowAt, makeRowPointer(pageCount_ + 1, 0));
  expectError(kErrCannotOpen, "lies past the end of the file");
}

// The row just past the last: the bound is "below the count", not "up to it".
TEST_P(Damage, OverflowPointerToTheRowAfterTheLastIsCorrupt) {
  const auto row = firstTable();
  const std::uint32_t page = row.table.address.slotPage;
  const auto count = static_cast<std::uint16_t>(getU16(bytes_, at(page, layout_->dataOffsetRowCount)));
  putU16(bytes_, row.slotWordAt, getU16(bytes_, row.slotWordAt) | kRowFlagOverflow);
  putU32(bytes_, row.rowAt, makeRowPointer(page, static_cast<std::uint8_t>(count)));
  expectError(kErrCannotOpen, "row " + std::to_string(count) + " does not exist (the page has " +
                                  std::to_string(count) + " rows)");
}

TEST_P(Damage, OverflowPointerToTheHeaderPageIsCorrupt) {
  const auto row = firstTable();
  putU16(bytes_, row.slotWordAt, getU16(bytes_, row.slotWordAt) | kRowFlagOverflow);
  putU32(bytes_, row.rowAt, makeRowPointer(kCatalogTdefPage, 0));
  expectError(kErrCannotOpen, "page 2: a row pointer leads to a page that is not a data page");
}

TEST_P(Damage, ColumnCountBeyondTheRowIsCorrupt) {
  const auto row = firstTable();
  if (layout_->rowColumnCountSize == 1) {
    GTEST_SKIP() << "a one-byte count cannot outgrow a catalogue row: its mask is at most 32 bytes";
  }
  putU16(bytes_, row.rowAt, 0xFFFF);
  expectError(kErrCannotOpen, "column count 65535 does not fit");
}

TEST_P(Damage, VariableOffsetCountBeyondTheRowIsCorrupt) {
  const auto row = firstTable();
  const std::size_t n = variableCountAt(row);
  if (layout_->rowVariableOffsetSize == 1) {
    putU8(bytes_, n, 0xFF);
    expectError(kErrCannotOpen, "variable offsets do not fit the row");
  } else {
    putU16(bytes_, n, 0xFFFF);
    expectError(kErrCannotOpen, "65535 variable offsets do not fit the row");
  }
}

TEST_P(Damage, NameOffsetPastTheVariableDataIsCorrupt) {
  const auto row = firstTable();
  const std::size_t n = variableCountAt(row);
  const std::size_t jumps = layout_->rowHasJumpTable ? (row.rowLength - 1) / 256 : 0;
  const std::size_t name = n - jumps - layout_->rowVariableOffsetSize;  // off[0]
  if (layout_->rowVariableOffsetSize == 1) {
    putU8(bytes_, name, 0xF0);
  } else {
    putU16(bytes_, name, 0x0F00);
  }
  expectError(kErrCannotOpen, "variable column 0 spans");
}

// The Database value of the first linked table: its 12-byte memo header.
class LinkDamage : public Damage {
 protected:
  void SetUp() override {
    Damage::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    header_ = databaseHeaderAt();
    if (header_ == 0) GTEST_SKIP() << "this file has no linked table";
  }

  std::size_t databaseHeaderAt() {
    auto db = openBytes(bytes_);
    auto tables = (*db)->readTables();
    for (const CatalogTable& t : *tables) {
      if (t.kind() != TableKind::linked) continue;
      auto catalog = Catalog::open((*db)->file());
      const auto value = testing::catalogValue((*db)->file(), *catalog, t, kCatalogColumnDatabase);
      return value ? locateCatalogRow(bytes_, t.name).rowAt + value->offsetInRow : 0;
    }
    return 0;
  }

  std::size_t header_ = 0;
};

TEST_P(LinkDamage, LongValueLongerThanTheFileIsCorrupt) {
  putU32(bytes_, header_, 0x80000000U | 0x3FFFFFFFU);
  expectError(kErrCannotOpen, "a catalogue value is longer than Jet stores");
}

TEST_P(LinkDamage, InlineLongValueLongerThanItsSliceIsCorrupt) {
  putU32(bytes_, header_, 0x80000000U | 200U);
  expectError(kErrCannotOpen, "an inline long value is longer than its row");
}

TEST_P(LinkDamage, LongValueOfUnknownKindIsCorrupt) {
  putU32(bytes_, header_, 0xC0000010U);
  expectError(kErrCannotOpen, "a long value is of an unknown kind");
}

TEST_P(LinkDamage, LongValueOnANonLvalPageIsCorrupt) {
  putU32(bytes_, header_, 0x40000010U);
  putU32(bytes_, header_ + kLongValueOffsetPointer, getU32(bytes_, tdef(layout_->tdefOffsetOwnedMap)));
  expectError(kErrCannotOpen, "a long value points at a page that is not an LVAL page");
}

TEST_P(LinkDamage, LongValueChainEndingEarlyIsCorrupt) {
  putU32(bytes_, header_, 0x00000010U);  // a chain
  putU32(bytes_, header_ + kLongValueOffsetPointer, 0);
  expectError(kErrCannotOpen, "a long value's chain ends early");
}

TEST_P(Damage, CatalogueWithoutTablesRowIsCorrupt) {
  // Rename the container "Tables" to "Xables".
  auto db = openBytes(bytes_);
  JetFile& file = (*db)->file();
  auto catalog = Catalog::open(file);
  ASSERT_TRUE(catalog.ok());
  auto pages = readUsageMap(file, catalog->definition().ownedMap);
  ASSERT_TRUE(pages.ok());
  const ColumnDef* nameColumn = catalog->definition().column(kCatalogColumnName);
  std::size_t renamed = 0;
  for (std::uint32_t page : *pages) {
    Status s = forEachRow(file, page, kCatalogTdefPage, [&](const RowData& data) {
      auto row = Row::parse(data.bytes, catalog->definition(), *layout_, file.displayName(), page);
      auto name = row->value(*nameColumn);
      if (*name && catalog->text().decode(**name) == kTablesContainerName) {
        renamed = at(data.address.dataPage, 0) +
                  static_cast<std::size_t>((*name)->bytes().data() - data.page.view().bytes().data());
      }
      return Status::success();
    });
    ASSERT_TRUE(s.ok());
  }
  ASSERT_NE(renamed, 0u);
  putU8(bytes_, renamed, 'X');
  expectError(kErrCannotOpen, "the catalogue has no \"Tables\" row");
}

TEST_P(Damage, CatalogueDefinitionPageOfAnotherTypeIsCorrupt) {
  putU8(bytes_, tdef(kOffsetPageType), kPageTypeData);
  expectError(kErrCannotOpen, "page 2: the catalogue's table definition is missing");
}

TEST_P(Damage, GlobalUsageMapPageOfAnotherTypeIsCorrupt) {
  putU8(bytes_, at(kGlobalUsageMapPage, kOffsetPageType), kPageTypeTdef);
  expectError(kErrCannotOpen, "page 1: the global usage map page is not a data page");
}

TEST_P(Damage, FileCutBeforeTheCataloguePagesIsCorrupt) {
  bytes_.resize(std::size_t{4} * pageSize_);
  expectError(kErrCannotOpen, "lies past the end of the file (4 pages)");
}

TEST_P(Damage, FileShorterThanThreePagesIsNotADatabase) {
  bytes_.resize(std::size_t{3} * pageSize_ - 1);
  expectError(kErrUnrecognizedFormat, "less than three pages");
}

TEST_P(Damage, PartialLastPageIsToleratedForReading) {
  bytes_.resize(bytes_.size() - 100);
  auto db = openBytes(bytes_);
  ASSERT_TRUE(db.ok()) << db.status().toString();
  EXPECT_EQ((*db)->file().pageCount(), pageCount_ - 1);
}

INSTANTIATE_TEST_SUITE_P(Formats, Damage, ::testing::ValuesIn(kFormats), testing::fixtureTestName);
// The fixtures with a linked table (no Jet 3 one exists).
const char* const kLinkFormats[] = {"jet4-v2000/TQ.mdb", "jet4-v2003/TQ.mdb", "ace-v2010/TQ.accdb",
                                    "access-made/V2007/linkerTestV2007.accdb"};
INSTANTIATE_TEST_SUITE_P(Formats, LinkDamage, ::testing::ValuesIn(kLinkFormats), testing::fixtureTestName);

}  // namespace
}  // namespace povezava::engine::jet

namespace povezava::engine::jet {
namespace {

// A long-value header in the catalogue that claims most of a large file: the
// reader refuses it instead of reading and holding that much.
TEST(CatalogueDamage, ACatalogueValueClaimingMegabytesIsCorrupt) {
  povezava::testing::TempDir dir;
  const auto file = dir.path() / "big.mdb";
  FrontEndOptions options;
  options.partnerDatabase = u"\\\\server\\share\\a folder name long enough for a long-value row\\PARTNER.MDB";
  options.localDataBytes = 3 << 20;
  ASSERT_TRUE(buildDatabase(file.string(), frontEndSpec(options)).ok());
  auto bytes = povezava::testing::readFile(file);
  const auto place = testing::locateCatalogRow(bytes, u"PARTNER");
  auto db = testing::openBytes(bytes, "big.mdb");
  ASSERT_TRUE(db.ok());
  auto catalog = Catalog::open((*db)->file());
  ASSERT_TRUE(catalog.ok());
  const auto value = testing::catalogValue((*db)->file(), *catalog, place.table, kCatalogColumnDatabase);
  ASSERT_TRUE(value.has_value());
  ASSERT_EQ(value->bytes.size(), kLongValueHeaderSize) << "not out of line";
  const std::size_t at = place.rowAt + value->offsetInRow;
  const std::uint32_t header = testing::getU32(bytes, at);
  testing::putU32(bytes, at, (header & ~kLongValueLengthMask) | (2U << 20));  // 2 MiB, inside the file
  const auto damaged = testing::openBytes(bytes, "big.mdb");
  ASSERT_FALSE(damaged.ok());
  EXPECT_EQ(damaged.status().number(), kErrCannotOpen);
  EXPECT_NE(damaged.status().description().find("longer than Jet stores"), std::string::npos)
      << damaged.status().description();
}

}  // namespace
}  // namespace povezava::engine::jet
