// The engine over the real fixture databases, checked against the README's
// catalogue rows and against mdbtools as a second reader.
#include "engine/jet/jet_database.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "base/errors.h"
#include "engine/jet/jet_test_util.h"
#include "engine/jet/read/long_value.h"
#include "engine/jet/read/row.h"
#include "engine/jet_build/builder.h"
#include "base/unicode.h"
#include "support/test_support.h"
#include "support/test_engine.h"

namespace povezava::engine::jet {
namespace {

using povezava::testing::fixturesDir;
using povezava::testing::lines;
using povezava::testing::runMdbTool;
using testing::findTable;
using testing::fixtureBytes;
using testing::Listed;
using testing::openBytes;

// Every readable fixture.
const char* const kReadable[] = {
    "jet4-v2000/TQ.mdb", "jet4-v2000/NONALOGI.mdb", "jet4-v2000/LOCALPARTNER.mdb",
    "jet4-v2000/PARTNER.MDB", "jet4-v2000/QUERNO.MDB", "jet4-v2003/TQ.mdb",
    "jet4-v2003/NONALOGI.mdb", "jet4-v2003/LOCALPARTNER.mdb", "jet4-v2003/PARTNER.MDB",
    "jet4-v2003/QUERNO.MDB", "ace-v2010/TQ.accdb", "ace-v2010/NONALOGI.accdb",
    "ace-v2010/LOCALPARTNER.accdb", "ace-v2010/PARTNER.accdb", "ace-v2010/QUERNO.accdb",
    "access-made/V1997/testV1997.mdb", "access-made/V1997/delTestV1997.mdb",
    "access-made/V2000/testV2000.mdb", "access-made/V2003/testV2003.mdb",
    "access-made/V2003/testUnicodeCompV2003.mdb", "access-made/adox_jet4.mdb",
    "access-made/V2007/linkerTestV2007.accdb", "access-made/linkeeTest.accdb",
    "encrypted/db97-enc.mdb", "encrypted/db-enc.mdb"};

std::vector<Listed> listTables(const std::string& relative) { return testing::listTables(fixturesDir() / relative); }

class EveryFixture : public ::testing::TestWithParam<const char*> {};

TEST_P(EveryFixture, OpensAndListsWhatMdbtoolsLists) {
  POVEZAVA_REQUIRE_FIXTURES();
  POVEZAVA_REQUIRE_MDBTOOLS();
  const auto path = fixturesDir() / GetParam();
  const std::vector<Listed> tables = listTables(GetParam());

  // mdb-tables lists local tables only (Type 1), with -S the system ones too.
  std::vector<std::string> localAll;
  std::vector<std::string> localUser;
  for (const Listed& t : tables) {
    if (t.kind != "local") continue;
    localAll.push_back(t.name);
    if (!t.system) localUser.push_back(t.name);
  }
  EXPECT_EQ(localAll, lines(runMdbTool("mdb-tables -S -1", path)));
  EXPECT_EQ(localUser, lines(runMdbTool("mdb-tables -1", path)));

  // Every table with its Connect, from mdb-export's catalogue.
  auto rows = povezava::testing::csvRecords(runMdbTool("mdb-export -b strip", path, "MSysObjects"));
  ASSERT_FALSE(rows.empty());
  std::string tablesId;
  for (auto& r : rows) {
    if (r["Name"] == "Tables" && r["Type"] == "3") tablesId = r["Id"];
  }
  ASSERT_FALSE(tablesId.empty());
  std::vector<std::string> expected;
  for (auto& r : rows) {
    const std::string& type = r["Type"];
    if (r["ParentId"] != tablesId || (type != "1" && type != "4" && type != "6")) continue;
    std::string link;
    if (type == "6") {
      link = (r["Connect"].empty() ? ";" : r["Connect"]) + "DATABASE=" + r["Database"];
    } else if (type == "4") {
      link = r["Connect"];
    }
    const std::string kind = type == "1" ? "local" : type == "4" ? "odbc" : "linked";
    expected.push_back(r["Name"] + "|" + kind + "|" + link);
  }
  std::vector<std::string> actual;
  for (const Listed& t : tables) actual.push_back(t.line());
  EXPECT_EQ(actual, expected);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, EveryFixture, ::testing::ValuesIn(kReadable),
                         testing::fixtureTestName);

// The linked-table rows the fixtures' README lists, front-end by front-end.
TEST(JetDatabase, FrontEndLinksHaveTheirStoredConnect) {
  POVEZAVA_REQUIRE_FIXTURES();
  struct Case {
    const char* file;
    std::vector<std::string> rows;  // name|kind|connect of the user tables, in order
  } cases[] = {
      {"jet4-v2000/TQ.mdb",
       {"PARTNER|linked|;DATABASE=C:\\APP\\PARTNER.MDB", "KONTI|linked|;DATABASE=C:\\APP\\QUERNO.MDB",
        "NALOGI|linked|;DATABASE=C:\\APP\\QUERNO.MDB",
        "OTHER|linked|;DATABASE=C:\\ELSEWHERE\\OTHER.MDB", "LOCAL1|local|"}},
      {"jet4-v2003/NONALOGI.mdb",
       {"PARTNER|linked|;DATABASE=C:\\APP\\PARTNER.MDB", "KONTI|linked|;DATABASE=C:\\APP\\QUERNO.MDB",
        "OTHER|linked|;DATABASE=C:\\ELSEWHERE\\OTHER.MDB", "LOCAL1|local|"}},
      {"jet4-v2003/LOCALPARTNER.mdb",
       {"PARTNER|local|", "KONTI|linked|;DATABASE=C:\\APP\\QUERNO.MDB",
        "NALOGI|linked|;DATABASE=C:\\APP\\QUERNO.MDB",
        "OTHER|linked|;DATABASE=C:\\ELSEWHERE\\OTHER.MDB", "LOCAL1|local|"}},
      {"ace-v2010/TQ.accdb",
       {"PARTNER|linked|;DATABASE=C:\\APP\\PARTNER.accdb",
        "KONTI|linked|;DATABASE=C:\\APP\\QUERNO.accdb", "NALOGI|linked|;DATABASE=C:\\APP\\QUERNO.accdb",
        "OTHER|linked|;DATABASE=C:\\ELSEWHERE\\OTHER.accdb", "LOCAL1|local|"}},
      {"ace-v2010/NONALOGI.accdb",
       {"PARTNER|linked|;DATABASE=C:\\APP\\PARTNER.accdb",
        "KONTI|linked|;DATABASE=C:\\APP\\QUERNO.accdb",
        "OTHER|linked|;DATABASE=C:\\ELSEWHERE\\OTHER.accdb", "LOCAL1|local|"}},
      {"access-made/V2007/linkerTestV2007.accdb",
       {"Table1|local|", "Table2|linked|;DATABASE=Z:\\jackcess_test\\linkeeTest.accdb"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> actual;
    for (const Listed& t : listTables(c.file)) {
      if (!t.system) actual.push_back(t.line());
    }
    EXPECT_EQ(actual, c.rows) << c.file;
  }
}

TEST(JetDatabase, CatalogueRowsAreWhereTheReadmeSaysTheyAre) {
  POVEZAVA_REQUIRE_FIXTURES();
  struct Case {
    const char* file;
    const char16_t* name;
    std::uint32_t page;
    std::uint16_t row;
  } cases[] = {{"jet4-v2000/TQ.mdb", u"PARTNER", 14, 18}, {"jet4-v2003/TQ.mdb", u"LOCAL1", 14, 28},
               {"ace-v2010/TQ.accdb", u"NALOGI", 17, 36}, {"ace-v2010/TQ.accdb", u"OTHER", 84, 0},
               {"ace-v2010/NONALOGI.accdb", u"LOCAL1", 87, 0},
               {"access-made/V2007/linkerTestV2007.accdb", u"Table2", 17, 43}};
  for (const Case& c : cases) {
    auto db = openBytes(fixtureBytes(c.file));
    ASSERT_TRUE(db.ok()) << db.status().toString();
    auto tables = (*db)->readTables();
    ASSERT_TRUE(tables.ok());
    const CatalogTable* it = findTable(*tables, c.name);
    ASSERT_NE(it, nullptr) << c.file;
    EXPECT_EQ(it->address.slotPage, c.page) << c.file;
    EXPECT_EQ(it->address.slotRow, c.row) << c.file;
  }
}

TEST(JetDatabase, LinkedRowKeepsForeignNameAndFlags) {
  POVEZAVA_REQUIRE_FIXTURES();
  auto db = openBytes(fixtureBytes("access-made/V2007/linkerTestV2007.accdb"));
  ASSERT_TRUE(db.ok());
  auto tables = (*db)->readTables();
  ASSERT_TRUE(tables.ok());
  const CatalogTable& link = tables->back();
  EXPECT_EQ(link.name, u"Table2");
  EXPECT_EQ(link.foreignName, u"Table1");
  EXPECT_EQ(link.flags, kObjectFlagsJetLink);
  EXPECT_EQ(link.database, u"Z:\\jackcess_test\\linkeeTest.accdb");  // 66 bytes on an LVAL page
  EXPECT_FALSE(link.connect.has_value());
}

// Jet 3 long values: Table1's property blob in testV1997.mdb, 1040 bytes on
// LVAL page 20 row 8, starts with "KKD\0".
TEST(JetDatabase, Jet3LongValueIsReadFromItsLvalPage) {
  POVEZAVA_REQUIRE_FIXTURES();
  auto db = openBytes(fixtureBytes("access-made/V1997/testV1997.mdb"));
  ASSERT_TRUE(db.ok());
  auto tables = (*db)->readTables();
  ASSERT_TRUE(tables.ok());
  const CatalogTable* table1 = findTable(*tables, u"Table1");
  ASSERT_NE(table1, nullptr);
  JetFile& file = (*db)->file();
  auto catalog = Catalog::open(file);
  ASSERT_TRUE(catalog.ok());
  const auto value = testing::catalogValue(file, *catalog, *table1, u"LvProp");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->rowLength, 67u);
  auto blob = readLongValue(file, PageView(value->bytes), table1->address.dataPage);
  ASSERT_TRUE(blob.ok()) << blob.status().toString();
  ASSERT_EQ(blob->size(), 1040u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(blob->data()), 4), std::string("KKD\0", 4));
}

TEST(JetDatabase, LookupIgnoresCaseAndReportsMissingNames) {
  POVEZAVA_REQUIRE_FIXTURES();
  auto db = povezava::testing::testEngine().openDatabase(fromUtf8((fixturesDir() / "jet4-v2000/NONALOGI.mdb").string()));
  ASSERT_TRUE(db.ok()) << db.status().toString();
  auto tables = (*db)->tableDefs();
  ASSERT_TRUE(tables.ok());
  auto partner = (*tables)->item(u"Partner");
  ASSERT_TRUE(partner.ok());
  EXPECT_EQ((*partner)->name(), u"PARTNER");
  EXPECT_TRUE((*tables)->item(u"konti").ok());
  EXPECT_TRUE((*tables)->item(u"msysobjects").ok());  // system tables are in the collection
  auto nalogi = (*tables)->item(u"NALOGI");
  ASSERT_FALSE(nalogi.ok());
  EXPECT_EQ(nalogi.status().number(), kErrItemNotFound);
  EXPECT_NE(nalogi.status().description().find("NALOGI"), std::string::npos);
}

// Slovenian names in a Jet 3 file written in Windows-1250, found by name in
// any letter case; an ODBC link and an ISAM link composed as Jet does.
TEST(JetDatabase, Jet3Cp1250NamesAreFoundWithoutRegardToCase) {
  povezava::testing::TempDir dir;
  DatabaseSpec spec;
  spec.version = Version::jet3;
  spec.codePage = 1250;
  spec.entries = {LinkedTableSpec{u"Računi", u"D:\\Šola\\ŽEPNI.MDB"},
                  OdbcTableSpec{u"ČRKE", u"ODBC;DSN=Knjiga;DATABASE=knjiga"},
                  LinkedTableSpec{u"Stranke", u"C:\\x\\book.xls", u"List1", u"Excel 8.0;HDR=YES;"}};
  const std::string path = (dir.path() / "SLO.mdb").string();
  ASSERT_TRUE(buildDatabase(path, spec).ok());
  auto db = povezava::testing::testEngine().openDatabase(fromUtf8(path));
  ASSERT_TRUE(db.ok()) << db.status().toString();
  auto tables = (*db)->tableDefs();
  ASSERT_TRUE(tables.ok());
  struct Case {
    std::u16string_view lookup;
    std::u16string_view name;
    TableKind kind;
    std::u16string_view connect;
  } cases[] = {
      {u"RAČUNI", u"Računi", TableKind::linked, u";DATABASE=D:\\Šola\\ŽEPNI.MDB"},
      {u"računi", u"Računi", TableKind::linked, u";DATABASE=D:\\Šola\\ŽEPNI.MDB"},
      {u"črke", u"ČRKE", TableKind::odbc, u"ODBC;DSN=Knjiga;DATABASE=knjiga"},
      {u"STRANKE", u"Stranke", TableKind::linked, u"Excel 8.0;HDR=YES;DATABASE=C:\\x\\book.xls"},
  };
  for (const Case& c : cases) {
    auto t = (*tables)->item(c.lookup);
    ASSERT_TRUE(t.ok()) << toUtf8(c.lookup);
    EXPECT_EQ((*t)->name(), c.name);
    EXPECT_EQ((*t)->kind(), c.kind);
    EXPECT_EQ(*(*t)->connect(), c.connect);
  }
  EXPECT_EQ((*tables)->item(u"RACUNI").status().number(), kErrItemNotFound);  // C is not Č
}

TEST(JetDatabase, TableDefKeepsItsDatabaseAliveUntilClosed) {
  POVEZAVA_REQUIRE_FIXTURES();
  std::shared_ptr<TableDef> konti;
  std::weak_ptr<Database> weak;
  {
    auto db = povezava::testing::testEngine().openDatabase(fromUtf8((fixturesDir() / "jet4-v2003/TQ.mdb").string()));
    ASSERT_TRUE(db.ok());
    weak = *db;
    auto tables = (*db)->tableDefs();
    ASSERT_TRUE(tables.ok());
    konti = *(*tables)->item(u"KONTI");
  }
  ASSERT_FALSE(weak.expired());
  EXPECT_EQ(*konti->connect(), u";DATABASE=C:\\APP\\QUERNO.MDB");
  ASSERT_TRUE(weak.lock()->close().ok());
  EXPECT_EQ(konti->connect().status().number(), kErrObjectInvalid);
  EXPECT_EQ(weak.lock()->tableDefs().status().number(), kErrObjectInvalid);
  EXPECT_EQ(weak.lock()->close().number(), kErrObjectInvalid);
  konti.reset();
  EXPECT_TRUE(weak.expired());
}

TEST(JetDatabase, SetConnectChecksTheLinkAndKeepsItPending) {
  POVEZAVA_REQUIRE_FIXTURES();
  auto db = povezava::testing::testEngine().openDatabase(fromUtf8((fixturesDir() / "ace-v2010/LOCALPARTNER.accdb").string()));
  ASSERT_TRUE(db.ok());
  auto tables = (*db)->tableDefs();
  ASSERT_TRUE(tables.ok());
  auto konti = *(*tables)->item(u"KONTI");
  EXPECT_EQ(konti->setConnect(u"D:\\DATA\\QUERNO.accdb").number(), kErrNoInstallableIsam);
  EXPECT_EQ(*konti->connect(), u";DATABASE=C:\\APP\\QUERNO.accdb");
  ASSERT_TRUE(konti->setConnect(u";database=D:\\DATA\\Računi\\QUERNO.accdb").ok());
  EXPECT_EQ(*konti->connect(), u";database=D:\\DATA\\Računi\\QUERNO.accdb");

  auto partner = *(*tables)->item(u"PARTNER");  // local here
  EXPECT_EQ(partner->setConnect(u";DATABASE=D:\\DATA\\PARTNER.accdb").number(), kErrNotSupported);
  EXPECT_EQ(partner->refreshLink().number(), kErrNotSupported);
  EXPECT_EQ(*partner->connect(), u"");

  // A new reading of the collection shows the file, not the pending value.
  auto again = (*db)->tableDefs();
  ASSERT_TRUE(again.ok());
  EXPECT_EQ(*(*(*again)->item(u"konti"))->connect(), u";DATABASE=C:\\APP\\QUERNO.accdb");
}

// Each reading of the collection sees the file as it is now; table
// definitions already handed out keep what they read.
TEST(JetDatabase, TableDefsReadsTheCatalogueAnewEachTime) {
  POVEZAVA_REQUIRE_FIXTURES();
  auto bytes = fixtureBytes("access-made/V2007/linkerTestV2007.accdb");
  const std::u16string oldPath = u"Z:\\jackcess_test";
  std::vector<std::byte> pattern;
  for (char16_t c : oldPath) {
    pattern.push_back(static_cast<std::byte>(c & 0xFF));
    pattern.push_back(static_cast<std::byte>(c >> 8));
  }
  const auto at = std::search(bytes.begin(), bytes.end(), pattern.begin(), pattern.end());
  ASSERT_NE(at, bytes.end());
  const auto offset = static_cast<std::uint64_t>(at - bytes.begin());
  auto file = std::make_unique<MemoryFile>("linker.accdb", std::move(bytes));
  MemoryFile* raw = file.get();
  auto db = JetDatabase::open(std::move(file), u"linker.accdb");
  ASSERT_TRUE(db.ok());
  auto before = (*db)->tableDefs();
  ASSERT_TRUE(before.ok());
  const auto table2 = *(*before)->item(u"Table2");

  const std::byte y[] = {std::byte{'Y'}};
  ASSERT_TRUE(raw->writeAt(offset, y).ok());  // the LVAL page holding Database
  auto after = (*db)->tableDefs();
  ASSERT_TRUE(after.ok());
  EXPECT_EQ(*(*(*after)->item(u"table2"))->connect(), u";DATABASE=Y:\\jackcess_test\\linkeeTest.accdb");
  EXPECT_EQ(*table2->connect(), u";DATABASE=Z:\\jackcess_test\\linkeeTest.accdb");
}

// While the file holds the pages it was decoded from, every reading of the
// collection hands out the rows decoded at open, not a new decoding.
TEST(JetDatabase, AnUnchangedCatalogueIsDecodedOnce) {
  POVEZAVA_REQUIRE_FIXTURES();
  auto db = JetDatabase::open(std::make_unique<MemoryFile>("TQ.mdb", fixtureBytes("jet4-v2003/TQ.mdb")), u"TQ.mdb");
  ASSERT_TRUE(db.ok());
  const auto rowOf = [&](std::u16string_view name) -> const CatalogTable* {
    auto tables = (*db)->tableDefs();
    if (!tables) return nullptr;
    auto table = (*tables)->item(name);
    return table ? &static_cast<JetTableDef&>(**table).catalogRow() : nullptr;
  };
  const CatalogTable* first = rowOf(u"KONTI");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(rowOf(u"konti"), first);
  EXPECT_EQ(rowOf(u"KONTI"), first);
}

TEST(JetDatabase, OpeningReadsOnlyTheCataloguesPages) {
  POVEZAVA_REQUIRE_FIXTURES();
  auto bytes = fixtureBytes("access-made/V2003/testV2003.mdb");  // 3 MB
  const std::size_t size = bytes.size();
  auto file = std::make_unique<MemoryFile>("testV2003.mdb", std::move(bytes));
  MemoryFile* raw = file.get();
  auto db = JetDatabase::open(std::move(file), u"testV2003.mdb");
  ASSERT_TRUE(db.ok());
  auto tables = (*db)->tableDefs();
  ASSERT_TRUE(tables.ok());
  EXPECT_LT(raw->bytesRead(), size / 20) << raw->reads() << " reads";
}

TEST(JetDatabase, EncodedJetFilesOpenLikeAnyOther) {
  POVEZAVA_REQUIRE_FIXTURES();
  for (const char* file : {"encrypted/db97-enc.mdb", "encrypted/db-enc.mdb"}) {
    auto db = openBytes(fixtureBytes(file));
    ASSERT_TRUE(db.ok()) << file << ": " << db.status().toString();
    EXPECT_TRUE((*db)->file().encoded());
    auto tables = (*db)->tableDefs();
    ASSERT_TRUE(tables.ok());
    auto t = (*tables)->item(u"TABLE1");
    ASSERT_TRUE(t.ok()) << file;
    EXPECT_EQ((*t)->kind(), TableKind::local);
  }
}

TEST(JetDatabase, PasswordEncryptedAceFilesAreRefused) {
  POVEZAVA_REQUIRE_FIXTURES();
  for (const char* file : {"encrypted/db2007-enc.accdb", "encrypted/db2013-enc.accdb"}) {
    const std::string path = (fixturesDir() / file).make_preferred().string();
    auto db = povezava::testing::testEngine().openDatabase(fromUtf8(path));
    ASSERT_FALSE(db.ok()) << file;
    EXPECT_EQ(db.status().number(), kErrNotValidPassword);
    EXPECT_NE(db.status().description().find(path), std::string::npos);
  }
}

}  // namespace
}  // namespace povezava::engine::jet
