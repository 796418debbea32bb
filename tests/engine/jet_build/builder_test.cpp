#include "engine/jet_build/builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "engine/engine.h"
#include "base/errors.h"
#include "base/io.h"
#include "engine/jet/format/long_value.h"
#include "engine/jet/format/usage_map.h"
#include "engine/jet/jet_test_util.h"
#include "engine/jet/read/catalog.h"
#include "engine/jet/read/data_page.h"
#include "engine/jet/read/jet_file.h"
#include "engine/jet/read/row.h"
#include "engine/jet/read/table_definition.h"
#include "engine/jet/read/usage_map.h"
#include "engine/jet_build/sample_databases.h"
#include "base/unicode.h"
#include "support/fault_io.h"
#include "support/test_support.h"
#include "platform/file_system.h"

namespace povezava::engine::jet {
namespace {

using povezava::testing::TempDir;

struct Flavour {
  const char* name;
  Version version;
  std::uint16_t codePage;
  const char* mdbEnvironment;  // how mdbtools learns the Jet 3 code page
  const char* mdbVer;
  std::size_t inlineLimit;     // bytes of a long value kept in the row
  std::size_t bytesPerChar;
};

void PrintTo(const Flavour& flavour, std::ostream* os) { *os << flavour.name; }

const Flavour kJet3{"Jet3", Version::jet3, 1250, "MDB_JET3_CHARSET=CP1250", "JET3\n", 32, 1};
const Flavour kJet4{"Jet4", Version::jet4, 1252, "", "JET4\n", 64, 2};
const Flavour kAce12{"Ace12", Version::ace12, 1252, "", "ACE12\n", 64, 2};
const Flavour kAce14{"Ace14", Version::ace14, 1252, "", "ACE14\n", 64, 2};

class BuilderFormats : public ::testing::TestWithParam<Flavour> {
 protected:
  std::filesystem::path build(DatabaseSpec spec, const std::string& name = "TQ.mdb") {
    spec.version = GetParam().version;
    spec.codePage = GetParam().codePage;
    const auto path = dir_.path() / name;
    Status built = buildDatabase(path.string(), spec);
    EXPECT_TRUE(built.ok()) << built.toString();
    return path;
  }

  // Runs an mdbtools program on `file`; the test fails on a non-zero exit.
  std::string mdb(const std::string& program, const std::filesystem::path& file, const std::string& args = {}) {
    int status = 0;
    std::string out = povezava::testing::runMdbTool(std::string(GetParam().mdbEnvironment) + " " + program, file, args, &status);
    EXPECT_EQ(status, 0) << program << " " << file << " " << args << "\n" << out;
    return out;
  }

  TempDir dir_;
};

// A row of mdb-export's CSV (parseCsv); an empty field is NULL.
using CsvRow = std::vector<std::string>;
using povezava::testing::parseCsv;
using povezava::testing::runMdbTool;
using testing::catalogTables;
using testing::findTable;
using testing::listingLines;
using testing::openCatalog;
using testing::OpenedCatalog;

// The catalogue as mdb-export prints it: Name -> (Type, Database, Connect, ForeignName).
std::map<std::string, std::tuple<std::string, std::string, std::string, std::string>> catalogueByName(
    const std::string& csv) {
  std::map<std::string, std::tuple<std::string, std::string, std::string, std::string>> out;
  for (auto& r : povezava::testing::csvRecords(csv)) out[r["Name"]] = {r["Type"], r["Database"], r["Connect"], r["ForeignName"]};
  return out;
}

std::string utf8(std::u16string_view s) { return toUtf8(s); }

// A front-end with every kind of entry, names and paths with č, š, ž.
struct SampleLinks {
  std::u16string shortPath = u"C:\\APP\\PARTNER.MDB";
  std::u16string longPath = u"\\\\strežnik\\podatki\\računovodstvo\\leto 2024\\šifranti\\QUERNO.MDB";
  std::u16string excelPath = u"D:\\Žužek\\čreda.xls";
  std::u16string excelPrefix = u"Excel 8.0;HDR=YES;";
  std::u16string odbc = u"ODBC;DSN=Računi;UID=šef;DATABASE=žužek";

  DatabaseSpec spec() const {
    DatabaseSpec spec;
    spec.entries = {local1Table(),
                    nalogiTable(),
                    LinkedTableSpec{u"PARTNER", shortPath},
                    LinkedTableSpec{u"KONTI", longPath, u"KONTI"},
                    LinkedTableSpec{u"Čreda ŠŽ", excelPath, u"List1$", excelPrefix},
                    OdbcTableSpec{u"Računi", odbc},
                    QuerySpec{u"Poizvedba"}};
    return spec;
  }
};

TEST_P(BuilderFormats, FrontEndReadsWithMdbtools) {
  POVEZAVA_REQUIRE_MDBTOOLS();
  const SampleLinks links;
  ASSERT_GT(links.longPath.size() * GetParam().bytesPerChar, GetParam().inlineLimit);
  const auto file = build(links.spec());

  EXPECT_EQ(mdb("mdb-ver", file), GetParam().mdbVer);
  EXPECT_EQ(mdb("mdb-tables", file, "-1"), "LOCAL1\nNALOGI\n");

  const auto catalogue = catalogueByName(mdb("mdb-export", file, "MSysObjects"));
  using Entry = std::tuple<std::string, std::string, std::string, std::string>;
  const std::map<std::string, Entry> expected = {
      {"Tables", {"3", "", "", ""}},
      {"MSysObjects", {"1", "", "", ""}},
      {"LOCAL1", {"1", "", "", ""}},
      {"NALOGI", {"1", "", "", ""}},
      {"PARTNER", {"6", utf8(links.shortPath), "", "PARTNER"}},
      {"KONTI", {"6", utf8(links.longPath), "", "KONTI"}},
      {"Čreda ŠŽ", {"6", utf8(links.excelPath), utf8(links.excelPrefix), "List1$"}},
      {"Računi", {"4", "", utf8(links.odbc), ""}},
      {"Poizvedba", {"5", "", "", ""}},
  };
  for (const auto& [name, entry] : expected) {
    ASSERT_TRUE(catalogue.count(name)) << name << " missing from mdb-export MSysObjects";
    EXPECT_EQ(catalogue.at(name), entry) << name;
  }

  EXPECT_EQ(mdb("mdb-export", file, "LOCAL1"),
            "ID,OPIS,OPOMBA\n1,\"prvi\",\n2,\"drugi\",\"kratka opomba\"\n3,\"tretji\",\"" +
                utf8(std::u16string(40, u'ž')) + " dolga opomba, ki ne gre v vrstico\"\n");
  EXPECT_EQ(mdb("mdb-export", file, "NALOGI"),
            "ID,DATUM,KONTO,ZNESEK\n1,\"01/15/24 00:00:00\",\"1000\",150.0000\n"
            "2,\"02/03/24 00:00:00\",\"1200\",1234.5600\n");
}

TEST_P(BuilderFormats, BackEndsReadWithMdbtools) {
  POVEZAVA_REQUIRE_MDBTOOLS();
  const auto partner = build(partnerBackEndSpec(GetParam().version), "PARTNER.MDB");
  const auto querno = build(quernoBackEndSpec(GetParam().version), "QUERNO.MDB");
  EXPECT_EQ(mdb("mdb-tables", querno, "-1"), "KONTI\nNALOGI\n");
  EXPECT_EQ(mdb("mdb-export", partner, "PARTNER"),
            "ID,NAZIV\n1,\"Mercator d.d.\"\n2,\"Računovodski servis Žužek, Šiška\"\n3,\"Gorenje d.o.o.\"\n");
  EXPECT_EQ(mdb("mdb-export", querno, "KONTI"),
            "KONTO,NAZIV\n\"1000\",\"Blagajna\"\n\"1100\",\"Denarna sredstva na računih\"\n"
            "\"1200\",\"Kratkoročne terjatve do kupcev\"\n");
}

TEST_P(BuilderFormats, ReadsBackThroughTheEngine) {
  const SampleLinks links;
  const auto file = build(links.spec());
  const std::vector<std::string> expected = {
      "MSysObjects|local|",
      "LOCAL1|local|",
      "NALOGI|local|",
      "PARTNER|linked|;DATABASE=" + utf8(links.shortPath),
      "KONTI|linked|;DATABASE=" + utf8(links.longPath),
      "Čreda ŠŽ|linked|" + utf8(links.excelPrefix) + "DATABASE=" + utf8(links.excelPath),
      "Računi|odbc|" + utf8(links.odbc),
  };
  EXPECT_EQ(listingLines(file), expected);
}

// The owned map of a long-value column, from the definition's list of
// {column number, owned map, free map} entries after the column names (the
// builder writes no indexes, so the list follows the names directly).
std::vector<std::uint32_t> longValueColumnPages(JetFile& file, std::uint32_t tdefPage, std::uint16_t column) {
  const Layout& layout = file.layout();
  auto page = file.page(tdefPage);
  EXPECT_TRUE(page.ok());
  if (!page.ok()) return {};
  const PageView view = page->view();
  const std::uint16_t columns = view.u16(layout.tdefOffsetColumnCount).value_or(0);
  std::size_t at = layout.tdefHeaderLength + columns * layout.columnDescriptorSize;
  for (std::uint16_t i = 0; i < columns; ++i) {
    const std::size_t length = layout.nameLengthSize == 1 ? view.u8(at).value_or(0) : view.u16(at).value_or(0);
    at += layout.nameLengthSize + length;
  }
  for (; view.u16(at).value_or(0xFFFF) != 0xFFFF; at += 10) {
    if (view.u16(at) != column) continue;
    auto pages = readUsageMap(file, view.u32(at + 2).value_or(0));
    EXPECT_TRUE(pages.ok()) << pages.status().toString();
    return pages.ok() ? *pages : std::vector<std::uint32_t>{};
  }
  ADD_FAILURE() << "no usage maps for column " << column;
  return {};
}

TEST_P(BuilderFormats, DatabasePathsStayInTheRowUpToTheLimitAndGoToLvalPagesBeyond) {
  const std::size_t limitChars = GetParam().inlineLimit / GetParam().bytesPerChar;
  auto pathOf = [](std::size_t chars) {
    std::u16string path = u"C:\\Žužek\\";
    path += std::u16string(chars - path.size() - 4, u'č');
    return path + u".MDB";
  };
  struct Case {
    std::u16string name;
    std::size_t chars;
    bool inlined;
  } cases[] = {
      {u"AT_LIMIT", limitChars, true},
      {u"ONE_MORE", limitChars + 1, false},
      {u"VERY_LONG", 250, false},
  };
  DatabaseSpec spec;
  for (const auto& c : cases) spec.entries.push_back(LinkedTableSpec{c.name, pathOf(c.chars)});
  const auto path = build(spec);
  OpenedCatalog opened = openCatalog(path);
  ASSERT_TRUE(opened.catalog);
  const auto tables = opened.tables();
  const auto databasePages = longValueColumnPages(*opened.file, kCatalogTdefPage, kCatalogColumnNumberDatabase);

  for (const auto& c : cases) {
    SCOPED_TRACE(utf8(c.name));
    const CatalogTable* table = findTable(tables, c.name);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->database, pathOf(c.chars));
    const auto value = testing::catalogValue(*opened.file, *opened.catalog, *table, kCatalogColumnDatabase);
    ASSERT_TRUE(value);
    const auto& slice = value->bytes;
    const auto header = LongValueHeader::parse(slice);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->length(), c.chars * GetParam().bytesPerChar);
    if (c.inlined) {
      EXPECT_EQ(header->kind(), LongValueKind::inlined);
      EXPECT_EQ(slice.size(), kLongValueHeaderSize + c.chars * GetParam().bytesPerChar);
    } else {
      EXPECT_EQ(header->kind(), LongValueKind::single);
      EXPECT_EQ(slice.size(), kLongValueHeaderSize);
      const std::uint32_t lvalPage = rowPointerPage(header->pointer());
      EXPECT_TRUE(std::count(databasePages.begin(), databasePages.end(), lvalPage))
          << "page " << lvalPage << " is not in the Database column's usage map";
      auto page = opened.file->page(lvalPage);
      ASSERT_TRUE(page.ok());
      EXPECT_EQ(page->view().u32(kOffsetOwner), kOwnerLval);
    }
  }
}

TEST_P(BuilderFormats, CatalogueSpreadsOverManyPages) {
  FrontEndOptions options;
  options.extraQueries = 2000;
  DatabaseSpec spec = frontEndSpec(options);
  const auto path = build(spec);

  OpenedCatalog opened = openCatalog(path);
  ASSERT_TRUE(opened.catalog);
  auto pages = readUsageMap(*opened.file, opened.catalog->definition().ownedMap);
  ASSERT_TRUE(pages.ok()) << pages.status().toString();
  EXPECT_GE(pages->size(), GetParam().version == Version::jet3 ? 50u : 25u);
  // Every catalogue page is a full data page of MSysObjects, and the free-space
  // field agrees with its rows.
  for (std::uint32_t number : *pages) {
    auto page = opened.file->page(number);
    ASSERT_TRUE(page.ok());
    const PageView view = page->view();
    EXPECT_EQ(view.u8(kOffsetPageType), kPageTypeData);
    EXPECT_EQ(view.u32(kOffsetOwner), kCatalogTdefPage);
    auto count = dataPageRowCount(*opened.file, *page);
    ASSERT_TRUE(count.ok());
    const std::size_t lowest = rowStart(view.u16(opened.file->layout().dataHeaderLength + 2u * (*count - 1u)).value());
    EXPECT_EQ(view.u16(kOffsetFreeSpace), lowest - opened.file->layout().dataHeaderLength - 2u * *count) << number;
  }
  const auto listing = listingLines(path);
  ASSERT_EQ(listing.size(), 5u);
  EXPECT_EQ(listing[4], "NALOGI|linked|;DATABASE=C:\\APP\\QUERNO.MDB");

  if (!povezava::testing::haveProgram("mdb-export")) return;
  const auto csv = parseCsv(mdb("mdb-export", path, "MSysObjects"));
  EXPECT_EQ(csv.size(), 1u + 5u + 2000u + 4u);  // header, system rows, queries, tables
}

TEST_P(BuilderFormats, BigTableIsStreamedAndListedByAReferenceMap) {
  FrontEndOptions options;
  options.version = GetParam().version;
  options.localDataBytes = 6 << 20;
  const auto path = build(frontEndSpec(options));
  const std::uint64_t rows = bulkTable(u"x", options.localDataBytes, GetParam().version).generatedRowCount;

  OpenedCatalog opened = openCatalog(path);
  ASSERT_TRUE(opened.catalog);
  const auto tables = opened.tables();
  const CatalogTable* bulk = findTable(tables, u"PODATKI");
  ASSERT_NE(bulk, nullptr);
  auto def = readTableDefinition(*opened.file, bulk->id, opened.catalog->text());
  ASSERT_TRUE(def.ok());
  EXPECT_EQ(def->rowCount, rows);
  auto mapRow = readRowAt(*opened.file, def->ownedMap, {});
  ASSERT_TRUE(mapRow.ok());
  EXPECT_EQ(mapRow->bytes.u8(0), kUsageMapReference);
  auto pages = readUsageMap(*opened.file, def->ownedMap);
  ASSERT_TRUE(pages.ok()) << pages.status().toString();
  EXPECT_GT(pages->size(), 1100u);

  if (!povezava::testing::haveProgram("mdb-export")) return;
  const auto csv = parseCsv(mdb("mdb-export", path, "PODATKI"));
  ASSERT_EQ(csv.size(), rows + 1);
  EXPECT_EQ(csv[1000], (CsvRow{"1000", "Partner 1000 d.o.o.", "12.4875", "09/26/22 00:00:00",
                               std::string(100, 'x')}));
}

TEST_P(BuilderFormats, LastCataloguePageIsFilledToTheFreeSpaceAsked) {
  for (int wantedFree : {0, 3, 40}) {
    const auto wanted = static_cast<std::uint16_t>(wantedFree);
    SCOPED_TRACE(wanted);
    DatabaseSpec spec = frontEndSpec({});
    spec.entries.insert(spec.entries.begin() + 1, CataloguePageBreak{});
    spec.lastCataloguePageFreeBytes = wanted;
    const auto path = build(spec, "full" + std::to_string(wanted) + ".mdb");
    OpenedCatalog opened = openCatalog(path);
    ASSERT_TRUE(opened.catalog);
    auto pages = readUsageMap(*opened.file, opened.catalog->definition().ownedMap);
    ASSERT_TRUE(pages.ok());
    ASSERT_EQ(pages->size(), 2u) << "the page break starts a second catalogue page";
    const auto tables = opened.tables();
    for (const auto& t : tables) {
      if (t.name == u"KONTI") {
        EXPECT_EQ(t.address.dataPage, pages->back());
      }
    }
    auto page = opened.file->page(pages->back());
    ASSERT_TRUE(page.ok());
    EXPECT_EQ(page->view().u16(kOffsetFreeSpace), wanted);
    EXPECT_EQ(listingLines(path).size(), 5u);
  }
}

TEST_P(BuilderFormats, DeletedAndOverflowCatalogueRowsAreStoredAsJetLeavesThem) {
  DatabaseSpec spec;
  spec.entries = {LinkedTableSpec{u"STARO", u"C:\\STARO.MDB", u"", u"", RowStorage::deleted},
                  LinkedTableSpec{u"KONTI", u"C:\\APP\\QUERNO.MDB", u"", u"", RowStorage::overflow},
                  LinkedTableSpec{u"PARTNER", u"C:\\APP\\PARTNER.MDB"}};
  spec.databaseLvalPage = true;
  const auto path = build(spec);

  EXPECT_EQ(listingLines(path), (std::vector<std::string>{"MSysObjects|local|",
                                                           "KONTI|linked|;DATABASE=C:\\APP\\QUERNO.MDB",
                                                           "PARTNER|linked|;DATABASE=C:\\APP\\PARTNER.MDB"}));
  OpenedCatalog opened = openCatalog(path);
  ASSERT_TRUE(opened.catalog);
  const auto tables = opened.tables();
  ASSERT_EQ(tables.size(), 3u);
  const CatalogTable& konti = tables[1];
  EXPECT_NE(konti.address.slotPage, konti.address.dataPage) << "the row lives on another page";
  auto slotPage = opened.file->page(konti.address.slotPage);
  ASSERT_TRUE(slotPage.ok());
  auto slotWord = rowOffsetWord(*opened.file, *slotPage, konti.address.slotRow);
  ASSERT_TRUE(slotWord.ok());
  EXPECT_EQ(*slotWord & (kRowFlagOverflow | kRowFlagDeleted), kRowFlagOverflow);
  auto slot = rowBytes(*opened.file, *slotPage, konti.address.slotRow);
  ASSERT_TRUE(slot.ok());
  EXPECT_EQ(slot->size(), kRowPointerSize);
  auto dataPage = opened.file->page(konti.address.dataPage);
  ASSERT_TRUE(dataPage.ok());
  auto dataWord = rowOffsetWord(*opened.file, *dataPage, konti.address.dataRow);
  ASSERT_TRUE(dataWord.ok());
  EXPECT_EQ(*dataWord & (kRowFlagOverflow | kRowFlagDeleted), kRowFlagDeleted);

  // Every path is inline, yet the Database column owns an empty LVAL page.
  const auto databasePages = longValueColumnPages(*opened.file, kCatalogTdefPage, kCatalogColumnNumberDatabase);
  ASSERT_EQ(databasePages.size(), 1u);
  auto lval = opened.file->page(databasePages.front());
  ASSERT_TRUE(lval.ok());
  EXPECT_EQ(lval->view().u32(kOffsetOwner), kOwnerLval);
  EXPECT_EQ(lval->view().u16(opened.file->layout().dataOffsetRowCount), 0);

  if (!povezava::testing::haveProgram("mdb-export")) return;
  const auto catalogue = catalogueByName(mdb("mdb-export", path, "MSysObjects"));
  EXPECT_FALSE(catalogue.count("STARO"));
  EXPECT_EQ(std::get<1>(catalogue.at("KONTI")), "C:\\APP\\QUERNO.MDB");
}

TEST_P(BuilderFormats, EncodedDatabasesReadLikeOthers) {
  const SampleLinks links;
  DatabaseSpec spec = links.spec();
  spec.databaseKey = 0xA7E0C0FE;
  if (isAce(GetParam().version)) {
    // ACE knows only password encryption.
    spec.version = GetParam().version;
    EXPECT_EQ(buildDatabase((dir_.path() / "x.accdb").string(), spec).number(), kErrInvalidArgument);
    return;
  }
  const auto path = build(spec);
  // Page 2 on disk is not readable as a table definition.
  const auto raw = povezava::testing::readFile(path);
  const std::size_t pageSize = GetParam().version == Version::jet3 ? 2048 : 4096;
  ASSERT_GT(raw.size(), 3 * pageSize);
  EXPECT_NE(std::to_integer<int>(raw[2 * pageSize]), kPageTypeTdef);

  const auto lines = listingLines(path);
  ASSERT_GT(lines.size(), 4U);
  EXPECT_EQ(lines[4], "KONTI|linked|;DATABASE=" + utf8(links.longPath));
  if (!povezava::testing::haveProgram("mdb-export")) return;
  const auto catalogue = catalogueByName(mdb("mdb-export", path, "MSysObjects"));
  ASSERT_TRUE(catalogue.count("KONTI"));
  EXPECT_EQ(std::get<1>(catalogue.at("KONTI")), utf8(links.longPath));
  EXPECT_EQ(mdb("mdb-export", path, "NALOGI"),
            "ID,DATUM,KONTO,ZNESEK\n1,\"01/15/24 00:00:00\",\"1000\",150.0000\n"
            "2,\"02/03/24 00:00:00\",\"1200\",1234.5600\n");
}

INSTANTIATE_TEST_SUITE_P(, BuilderFormats, ::testing::Values(kJet3, kJet4, kAce12, kAce14),
                         povezava::testing::RowName());

TEST(Builder, RefusesWhatItCannotMakeAndLeavesNoFile) {
  TempDir dir;
  auto withTable = [](std::vector<Value> row) {
    DatabaseSpec spec;
    LocalTableSpec t = nalogiTable();
    t.rows = {std::move(row)};
    spec.entries.push_back(t);
    return spec;
  };
  DatabaseSpec jet3Slovene;
  jet3Slovene.version = Version::jet3;
  jet3Slovene.codePage = 1252;  // has š and ž but no č
  jet3Slovene.entries.push_back(LinkedTableSpec{u"PARTNER", u"C:\\Računi\\PARTNER.MDB"});
  DatabaseSpec ace;
  ace.version = Version::ace17;
  DatabaseSpec tooFull = frontEndSpec({});
  tooFull.lastCataloguePageFreeBytes = 4000;

  struct Case {
    const char* what;
    DatabaseSpec spec;
    int number;
  } cases[] = {
      {"character missing from the code page", jet3Slovene, kErrInvalidArgument},
      {"ACE 17 format", ace, kErrInvalidArgument},
      {"text where a number belongs", withTable({u"1", std::monostate{}, u"1000", Money{0}}), kErrInvalidArgument},
      {"text longer than its column", withTable({std::int32_t{1}, std::monostate{}, u"12345678901", Money{0}}),
       kErrInvalidArgument},
      {"too few values", withTable({std::int32_t{1}}), kErrInvalidArgument},
      {"more free space than the page has", tooFull, kErrInvalidArgument},
  };
  for (const auto& c : cases) {
    const auto path = dir.path() / "x.mdb";
    Status built = buildDatabase(path.string(), c.spec);
    EXPECT_EQ(built.number(), c.number) << c.what << ": " << built.toString();
    EXPECT_FALSE(std::filesystem::exists(path)) << c.what;
  }
}

TEST(Builder, AFailedWriteLeavesNoFileBehind) {
  TempDir dir;
  FrontEndOptions options;
  options.extraQueries = 300;
  options.localDataBytes = 200000;
  const DatabaseSpec spec = frontEndSpec(options);
  const auto path = dir.path() / "TQ.mdb";
  struct Case {
    const char* what;
    void (*plan)(povezava::testing::FaultFileSystem&);
    int number;
  } cases[] = {
      {"first write fails", [](auto& fs) { fs.failWrite(1); }, kErrDiskOrNetwork},
      {"a streamed data page fails", [](auto& fs) { fs.failWrite(40); }, kErrDiskOrNetwork},
      {"the sync fails", [](auto& fs) { fs.failSync(1); }, kErrDiskOrNetwork},
      {"the disk fills up", [](auto& fs) { fs.diskFullAfter(100000); }, kErrNotEnoughSpace},
  };
  for (const auto& c : cases) {
    povezava::testing::FaultFileSystem fs(posixFileSystem());
    c.plan(fs);
    Status built = buildDatabase(fs, path.string(), spec);
    EXPECT_EQ(built.number(), c.number) << c.what << ": " << built.toString();
    EXPECT_FALSE(std::filesystem::exists(path)) << c.what;
  }
}

TEST(Builder, NeverOverwritesAFile) {
  TempDir dir;
  const auto path = dir.path() / "TQ.mdb";
  povezava::testing::writeFile(path, {std::byte{1}, std::byte{2}});
  Status built = buildDatabase(path.string(), frontEndSpec({}));
  EXPECT_EQ(built.number(), kErrDatabaseExists) << built.toString();
  EXPECT_EQ(povezava::testing::readFile(path), (std::vector<std::byte>{std::byte{1}, std::byte{2}}));
}

TEST(Builder, FrontEndVariantsForTheLinkTests) {
  TempDir dir;
  FrontEndOptions noNalogi;
  noNalogi.withNalogi = false;
  FrontEndOptions localPartner;
  localPartner.partnerLocal = true;
  struct Case {
    const char* file;
    FrontEndOptions options;
    std::vector<std::string> tables;
  } cases[] = {
      {"NONALOGI.mdb", noNalogi, {"MSysObjects|local|", "LOCAL1|local|", "PARTNER|linked|;DATABASE=C:\\APP\\PARTNER.MDB",
                                  "KONTI|linked|;DATABASE=C:\\APP\\QUERNO.MDB"}},
      {"LOCALPARTNER.mdb", localPartner, {"MSysObjects|local|", "LOCAL1|local|", "PARTNER|local|",
                                          "KONTI|linked|;DATABASE=C:\\APP\\QUERNO.MDB",
                                          "NALOGI|linked|;DATABASE=C:\\APP\\QUERNO.MDB"}},
  };
  for (const auto& c : cases) {
    const auto path = dir.path() / c.file;
    ASSERT_TRUE(buildDatabase(path.string(), frontEndSpec(c.options)).ok()) << c.file;
    EXPECT_EQ(listingLines(path), c.tables) << c.file;
  }
}

// Jet 3 rows longer than 256 bytes need the jump table; mdbtools decodes
// it independently of our reader.
TEST(Builder, Jet3RowsWithJumpTablesReadWithMdbtoolsAndTheEngine) {
  TempDir dir;
  DatabaseSpec spec;
  spec.version = Version::jet3;
  spec.codePage = 1250;
  LocalTableSpec t;
  t.name = u"DOLGO";
  t.columns = {{u"ID", ColumnType::longInteger},
               {u"A", ColumnType::text, 255},
               {u"B", ColumnType::text, 255},
               {u"C", ColumnType::text, 255},
               {u"D", ColumnType::text, 10}};
  // Row 1 crosses two 256-byte boundaries; row 3 has a value spanning one
  // boundary right after an empty one.
  t.rows = {{std::int32_t{1}, std::u16string(200, u'a'), std::u16string(250, u'b'), std::u16string(255, u'c'), u"konec"},
            {std::int32_t{2}, std::u16string(10, u'a'), std::u16string(240, u'b'), std::u16string(20, u'c'), u"x"},
            {std::int32_t{3}, std::u16string(230, u'a'), std::u16string(), std::u16string(255, u'č'), u"y"}};
  const std::u16string longName(120, u'N');
  const std::u16string longForeign(200, u'F');
  spec.entries = {t, LinkedTableSpec{longName, u"C:\\Š\\P.MDB", longForeign}};
  const auto path = dir.path() / "dolgo.mdb";
  ASSERT_TRUE(buildDatabase(path.string(), spec).ok());

  EXPECT_EQ(listingLines(path), (std::vector<std::string>{"MSysObjects|local|", "DOLGO|local|",
                                                           utf8(longName) + "|linked|;DATABASE=C:\\Š\\P.MDB"}));
  if (!povezava::testing::haveProgram("mdb-export")) return;
  int status = 0;
  const auto csv = parseCsv(runMdbTool("MDB_JET3_CHARSET=CP1250 mdb-export", path, "DOLGO", &status));
  ASSERT_EQ(status, 0);
  ASSERT_EQ(csv.size(), 4u);
  for (std::size_t i = 0; i < 3; ++i) {
    const auto& want = t.rows[i];
    EXPECT_EQ(csv[i + 1], (CsvRow{std::to_string(i + 1), utf8(std::get<std::u16string>(want[1])),
                                  utf8(std::get<std::u16string>(want[2])), utf8(std::get<std::u16string>(want[3])),
                                  utf8(std::get<std::u16string>(want[4]))}))
        << "row " << i + 1;
  }
}

TEST(Builder, DateSerialMatchesJetDayNumbers) {
  EXPECT_EQ(dateSerial(1899, 12, 30), 0.0);
  EXPECT_EQ(dateSerial(1900, 1, 1), 2.0);
  EXPECT_EQ(dateSerial(2024, 1, 15), 45306.0);
  EXPECT_EQ(dateSerial(2000, 3, 1), 36586.0);
}

}  // namespace
}  // namespace povezava::engine::jet
