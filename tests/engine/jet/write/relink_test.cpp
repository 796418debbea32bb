// RefreshLink end to end through the engine interface: real front-ends
// relinked to copies of their own back-ends, builder-made Jet 3 and Jet 4
// front-ends, refusals that must leave the file byte-identical.
#include "engine/jet/write/relink.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <vector>
#include <set>

#include "base/case_fold.h"
#include "base/errors.h"
#include "engine/jet/jet_database.h"
#include "engine/jet/jet_test_util.h"
#include "engine/jet/page_compare.h"
#include "engine/jet_build/builder.h"
#include "engine/jet_build/sample_databases.h"
#include "base/native_text.h"
#include "base/unicode.h"
#include "support/databases.h"
#include "support/fault_io.h"
#include "support/test_support.h"
#include "platform/file_system.h"
#include "support/test_engine.h"

namespace povezava::engine::jet {
namespace {

namespace fs = std::filesystem;
using povezava::testing::CurrentFolder;
using povezava::testing::mdbCatalogueHas;
using povezava::testing::mdbExport;
using povezava::testing::readFile;
using povezava::testing::TempDir;

std::shared_ptr<Database> openOrFail(const std::string& path) {
  JetEngine engine(povezava::testing::testSetup());
  auto db = engine.openDatabase(fromUtf8(path));
  EXPECT_TRUE(db.ok()) << db.status().toString();
  return db.ok() ? *db : nullptr;
}

std::u16string connectOf(const std::string& path, std::u16string_view table) {
  return povezava::testing::storedConnect(path, table);
}

Status relink(const std::string& path, std::u16string_view table, std::u16string_view link) {
  auto db = openOrFail(path);
  if (!db) return errors::objectInvalid();
  auto tables = db->tableDefs();
  if (!tables) return tables.status();
  auto t = (*tables)->item(table);
  if (!t) return t.status();
  if (Status s = (*t)->setConnect(link); !s.ok()) return s;
  Status s = (*t)->refreshLink();
  // The same object reads the new link at once.
  if (s.ok()) {
    EXPECT_EQ(*(*t)->connect(), std::u16string(link));
  }
  return s;
}

// ---------------------------------------------------------------------------
// The fixtures' front-ends, relinked to copies of their own back-ends.

class FixtureRelinkTest : public ::testing::TestWithParam<povezava::testing::FixtureSet> {
 protected:
  void SetUp() override {
    POVEZAVA_REQUIRE_FIXTURES();
    dir_.copyFiles(povezava::testing::fixturesDir() / GetParam().folder);
  }
  std::string at(const std::string& name) const { return (dir_.path() / name).string(); }
  std::string tq() const { return at(std::string("TQ") + GetParam().extension); }
  TempDir dir_;
};

TEST_P(FixtureRelinkTest, EveryFrontEndRelinksToItsOwnBackEnds) {
  for (const char* stem : {"TQ", "NONALOGI", "LOCALPARTNER"}) {
    const std::string frontEnd = at(std::string(stem) + GetParam().extension);
    const auto otherBefore = connectOf(frontEnd, u"OTHER");
    const std::string localBefore = mdbExport(frontEnd, "LOCAL1");
    const std::u16string partner = u";DATABASE=" + fromUtf8(at(GetParam().partner));
    // Windows-style separators and another letter case name the same file.
    std::u16string querno = u";DATABASE=" + fromUtf8(dir_.path().string()) + u"\\" +
                            foldCase(fromUtf8(GetParam().querno));
    struct Link {
      std::u16string table;
      std::u16string link;
    } links[] = {{u"PARTNER", partner}, {u"KONTI", querno}, {u"Nalogi", querno}};
    for (const Link& l : links) {
      auto db = openOrFail(frontEnd);
      auto tables = db->tableDefs();
      auto t = (*tables)->item(l.table);
      if (!t) continue;  // NONALOGI has no NALOGI
      if ((*t)->kind() == TableKind::local) {
        EXPECT_EQ((*t)->setConnect(l.link).number(), kErrNotSupported);
        continue;
      }
      ASSERT_TRUE((*t)->setConnect(l.link).ok());
      const Status s = (*t)->refreshLink();
      ASSERT_TRUE(s.ok()) << stem << " " << toUtf8(l.table) << ": " << s.toString();
      EXPECT_EQ(*(*t)->connect(), l.link);
    }
    // After reopening, and with mdbtools.
    for (const Link& l : links) {
      auto db = openOrFail(frontEnd);
      auto t = (*db->tableDefs())->item(l.table);
      if (!t || (*t)->kind() == TableKind::local) continue;
      EXPECT_EQ(*(*t)->connect(), l.link) << stem;
    }
    POVEZAVA_WITH_MDBTOOLS(EXPECT_TRUE(mdbCatalogueHas(frontEnd, toUtf8(querno.substr(10)))));
    EXPECT_EQ(connectOf(frontEnd, u"OTHER"), otherBefore);
    POVEZAVA_WITH_MDBTOOLS(EXPECT_EQ(mdbExport(frontEnd, "LOCAL1"), localBefore));
  }
}

TEST_P(FixtureRelinkTest, Invariant1_RefusedRelinksLeaveTheFrontEndByteIdentical) {
  const std::string frontEnd = tq();
  const auto before = readFile(frontEnd);
  povezava::testing::writeFile(at("notes.mdb"), std::vector<std::byte>(8192, std::byte{'x'}));
  const fs::path encrypted = povezava::testing::fixturesDir() / "encrypted" / "db2007-enc.accdb";
  dir_.copy(encrypted);
  struct Case {
    const char* what;
    std::u16string link;
    int number;
  };
  std::vector<Case> cases = {
      {"missing file", u";DATABASE=" + fromUtf8(at("NOSUCH.MDB")), kErrFileNotFound},
      {"missing folder", u";DATABASE=" + fromUtf8(at("nowhere/PARTNER.MDB")), kErrNotValidPath},
      {"drive letter", u";DATABASE=Z:\\DATA\\PARTNER.MDB", kErrNotValidPath},
      {"table not in back-end", u";DATABASE=" + fromUtf8(at(GetParam().querno)), kErrObjectNotFound},
      {"not a database", u";DATABASE=" + fromUtf8(at("notes.mdb")), kErrUnrecognizedFormat},
      {"encrypted", u";DATABASE=" + fromUtf8(at("db2007-enc.accdb")), kErrNotValidPassword},
      {"a folder", u";DATABASE=" + fromUtf8(dir_.path().string()), kErrNotValidPath},
  };
#ifndef _WIN32  // Windows has no FIFOs in its file system
  ASSERT_EQ(::mkfifo(at("pipe.mdb").c_str(), 0600), 0);
  cases.push_back({"a FIFO, which must not make the relink wait", u";DATABASE=" + fromUtf8(at("pipe.mdb")), kErrNotValidPath});
#endif
  for (const Case& c : cases) {
    EXPECT_EQ(relink(frontEnd, u"PARTNER", c.link).number(), c.number) << c.what;
    EXPECT_EQ(readFile(frontEnd), before) << c.what;
  }
  // A link string without DATABASE= is refused at once.
  auto db = openOrFail(frontEnd);
  auto t = (*db->tableDefs())->item(u"PARTNER");
  EXPECT_EQ((*t)->setConnect(u"C:\\APP\\PARTNER.MDB").number(), kErrNoInstallableIsam);
}

// Paths of many lengths, inline and out of line, back and forth: the file
// grows by one page at most.
TEST_P(FixtureRelinkTest, PathsOfEveryLengthRoundTripAndTheFileGrowsByOnePageAtMost) {
  const std::string frontEnd = tq();
  const std::string local = mdbExport(frontEnd, "LOCAL1");
  const auto sizeBefore = fs::file_size(frontEnd);
  // Relative paths (to the current folder) make short lengths possible.
  const CurrentFolder here(dir_.path());
  std::vector<std::u16string> paths;
  for (std::size_t length : {20U, 33U, 64U, 65U, 200U, 255U}) {
    const std::string file = GetParam().partner;
    const std::size_t pad = length - file.size() - 1;
    std::string folder(pad, 'p');
    for (std::size_t i = 0; i < pad; i += 10) folder[i] = static_cast<char>('a' + (i / 10) % 26);
    fs::create_directory(folder);
    fs::copy_file(at(file), fs::path(folder) / file);
    paths.push_back(fromUtf8(folder + "/" + file));
    ASSERT_EQ(paths.back().size(), length);
  }
  for (int round = 0; round < 3; ++round) {
    for (const auto& p : paths) {
      const Status s = relink(frontEnd, u"PARTNER", u";DATABASE=" + p);
      EXPECT_TRUE(s.ok()) << p.size() << " characters: " << s.toString();
      EXPECT_EQ(connectOf(frontEnd, u"PARTNER"), u";DATABASE=" + p);
    }
  }
  POVEZAVA_WITH_MDBTOOLS(EXPECT_TRUE(mdbCatalogueHas(frontEnd, toUtf8(paths.back()))));
  EXPECT_LE(fs::file_size(frontEnd), sizeBefore + 4096);
  POVEZAVA_WITH_MDBTOOLS(EXPECT_EQ(mdbExport(frontEnd, "LOCAL1"), local));
}

TEST_P(FixtureRelinkTest, Invariant1_NothingIsWrittenBeforeTheBackEndIsVerified) {
  const std::string frontEnd = tq();
  povezava::testing::FaultFileSystem counting(posixFileSystem());
  JetEngine engine(povezava::testing::testSetup(counting));
  auto db = engine.openDatabase(fromUtf8(frontEnd));
  ASSERT_TRUE(db.ok());
  auto t = (*(*db)->tableDefs())->item(u"PARTNER");
  ASSERT_TRUE((*t)->setConnect(u";DATABASE=" + fromUtf8(at(GetParam().querno))).ok());
  EXPECT_EQ((*t)->refreshLink().number(), kErrObjectNotFound);
  EXPECT_EQ(counting.changes(), 0);  // no write, no sync, no journal
  // The same table with a good back-end: now something is written.
  ASSERT_TRUE((*t)->setConnect(u";DATABASE=" + fromUtf8(at(GetParam().partner))).ok());
  EXPECT_TRUE((*t)->refreshLink().ok());
  EXPECT_GT(counting.changes(), 0);
}

// A prefix other than ";" is stored as the table's Connect; relinking with ";"
// again empties it.
TEST_P(FixtureRelinkTest, AConnectPrefixIsStoredAndClearedAgain) {
  const std::string frontEnd = tq();
  const std::u16string path = fromUtf8(at(GetParam().partner));
  ASSERT_TRUE(relink(frontEnd, u"PARTNER", u"MS Access;PWD=;DATABASE=" + path).ok());
  EXPECT_EQ(connectOf(frontEnd, u"PARTNER"), u"MS Access;PWD=;DATABASE=" + path);
  POVEZAVA_WITH_MDBTOOLS(EXPECT_TRUE(mdbCatalogueHas(frontEnd, "\"MS Access;PWD=;\"")));
  ASSERT_TRUE(relink(frontEnd, u"PARTNER", u";DATABASE=" + path).ok());
  EXPECT_EQ(connectOf(frontEnd, u"PARTNER"), u";DATABASE=" + path);
  POVEZAVA_WITH_MDBTOOLS(EXPECT_EQ(mdbExport(frontEnd, "MSysObjects").find("MS Access"), std::string::npos));
}

// Back and forth between a path in the row and two long ones, many more times
// than one long-value page has slots: the file grows by one page at most.
// (Through the fault double without faults: same code, no disk round trips.)
TEST_P(FixtureRelinkTest, RelinkingBackAndForthManyTimesGrowsTheFileByOnePageAtMost) {
  const std::string frontEnd = tq();
  const auto sizeBefore = fs::file_size(frontEnd);
  const std::string local = mdbExport(frontEnd, "LOCAL1");
  fs::create_directories(dir_.path() / "a folder with a rather long name, for a path out of the row");
  const std::string longFolder = (dir_.path() / "a folder with a rather long name, for a path out of the row").string();
  fs::copy_file(at(GetParam().partner), longFolder + "/" + GetParam().partner);
  const std::u16string links[] = {u";DATABASE=" + fromUtf8(longFolder + "/" + GetParam().partner),
                                  u";DATABASE=" + fromUtf8(at(GetParam().partner)),
                                  u";DATABASE=" + fromUtf8(longFolder + "\\" + GetParam().partner)};
  povezava::testing::FaultFileSystem quick(posixFileSystem());
  JetEngine engine(povezava::testing::testSetup(quick));
  auto db = engine.openDatabase(fromUtf8(frontEnd));
  ASSERT_TRUE(db.ok());
  constexpr int kRelinks = 420;  // 280 long paths: more than a page has slots
  for (int i = 0; i < kRelinks; ++i) {
    auto t = (*(*db)->tableDefs())->item(u"PARTNER");
    ASSERT_TRUE((*t)->setConnect(links[i % 3]).ok());
    const Status s = (*t)->refreshLink();
    ASSERT_TRUE(s.ok()) << "relink " << i << ": " << s.toString();
  }
  EXPECT_EQ(connectOf(frontEnd, u"PARTNER"), links[(kRelinks - 1) % 3]);
  EXPECT_LE(fs::file_size(frontEnd), sizeBefore + 4096);
  POVEZAVA_WITH_MDBTOOLS(EXPECT_TRUE(mdbCatalogueHas(frontEnd, longFolder)));
  POVEZAVA_WITH_MDBTOOLS(EXPECT_EQ(mdbExport(frontEnd, "LOCAL1"), local));
}

// Every table's name, kind and link, as a database reads them.
std::vector<std::u16string> listing(Database& db) {
  std::vector<std::u16string> out;
  auto tables = db.tableDefs();
  EXPECT_TRUE(tables.ok());
  if (!tables) return out;
  for (std::size_t i = 0; i < (*tables)->count(); ++i) {
    const auto t = (*tables)->at(i);
    out.push_back(t->name() + u"|" + fromUtf8(kindName(t->kind())) + u"|" + (t->connect().ok() ? *t->connect() : u"?"));
  }
  return out;
}

// The catalogue a database keeps between readings is always what the file
// holds: after its own relinks (short paths, long ones, rows that move) and
// after another program's.
TEST_P(FixtureRelinkTest, TheCatalogueKeptBetweenReadingsIsWhatTheFileHolds) {
  const std::string frontEnd = tq();
  const std::string longFolder = at("a folder whose name is long enough for the path to leave the row");
  fs::create_directories(longFolder);
  fs::copy_file(at(GetParam().partner), longFolder + "/" + GetParam().partner);
  fs::copy_file(at(GetParam().querno), longFolder + "/" + GetParam().querno);
  auto db = openOrFail(frontEnd);
  ASSERT_TRUE(db);
  for (int round = 0; round < 6; ++round) {
    const std::string folder = round % 2 == 0 ? longFolder : dir_.path().string();
    for (auto [table, file] : {std::pair{u"PARTNER", GetParam().partner}, std::pair{u"KONTI", GetParam().querno},
                               std::pair{u"NALOGI", GetParam().querno}}) {
      auto t = (*db->tableDefs())->item(table);
      if (!t || (*t)->kind() != TableKind::linked) continue;
      ASSERT_TRUE((*t)->setConnect(u";DATABASE=" + fromUtf8(folder + "/" + file)).ok());
      ASSERT_TRUE((*t)->refreshLink().ok());
      EXPECT_EQ(listing(*db), listing(*openOrFail(frontEnd))) << "round " << round;
    }
    // Another program relinks the file while this database stays open.
    const std::string other = dir_.path().string() + (round % 2 == 0 ? "\\" : "/./") + GetParam().partner;
    ASSERT_TRUE(relink(frontEnd, u"PARTNER", u";DATABASE=" + fromUtf8(other)).ok());
    EXPECT_EQ(listing(*db), listing(*openOrFail(frontEnd))) << "after another writer, round " << round;
  }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FixtureRelinkTest, ::testing::ValuesIn(povezava::testing::kFixtureSets),
                         povezava::testing::RowName());

// linkerTestV2007's link was made by Access: its path is in a long-value row
// on a page of the Database column. Replacing it deletes that row the Access
// way and changes no other page.
TEST(AccessMadeRelink, TheReplacedLongValueRowIsDeletedAndNothingElseChanges) {
  POVEZAVA_REQUIRE_FIXTURES();
  TempDir dir;
  const std::string frontEnd =
      dir.copy(povezava::testing::fixturesDir() / "access-made" / "V2007" / "linkerTestV2007.accdb").string();
  const std::string backEnd =
      dir.copy(povezava::testing::fixturesDir() / "access-made" / "linkeeTest.accdb", "L.accdb").string();
  const auto before = readFile(frontEnd);
  {
    const CurrentFolder here(dir.path());
    ASSERT_TRUE(relink(frontEnd, u"Table2", u";DATABASE=L.accdb").ok());
  }
  const auto after = readFile(frontEnd);
  // Catalogue page 17 and the long-value page 99, nothing else.
  EXPECT_EQ(changedPages(before, after, 4096), (std::set<std::size_t>{17, 99}));
  const auto row0 = static_cast<std::size_t>(99 * 4096 + 14);
  EXPECT_EQ(std::to_integer<int>(after[row0 + 1]) & 0xC0, 0xC0);  // slot 0 deleted
  POVEZAVA_WITH_MDBTOOLS(EXPECT_TRUE(mdbCatalogueHas(frontEnd, "\"L.accdb\"")));
  POVEZAVA_WITH_MDBTOOLS(EXPECT_EQ(mdbExport(frontEnd, "Table1"), mdbExport(
      (povezava::testing::fixturesDir() / "access-made" / "V2007" / "linkerTestV2007.accdb").string(), "Table1")));
}

// ---------------------------------------------------------------------------
// Builder-made front-ends, Jet 3 and Jet 4.

struct BuiltCase {
  const char* name;
  Version version;
  std::uint16_t codePage;
  std::size_t extraQueries;        // spreads the catalogue over many pages
  bool longPathsBefore;            // the old paths are stored out of line
  std::optional<std::uint16_t> lastPageFree;
};

const BuiltCase kBuilt[] = {
    {"Jet3", Version::jet3, 1250, 0, false, std::nullopt},
    {"Jet4", Version::jet4, 1252, 0, false, std::nullopt},
    {"Jet3LongPathsManyPages", Version::jet3, 1250, 300, true, std::nullopt},
    {"Jet4LongPathsManyPages", Version::jet4, 1252, 300, true, std::nullopt},
    {"Jet3FullPage", Version::jet3, 1250, 0, false, std::uint16_t{0}},
    {"Jet4FullPage", Version::jet4, 1252, 0, false, std::uint16_t{0}},
};

class BuiltRelinkTest : public ::testing::TestWithParam<BuiltCase> {};

TEST_P(BuiltRelinkTest, SlovenianAndLongPathsRelinkAndReadBack) {
  const BuiltCase& c = GetParam();
  TempDir dir;
  const fs::path data = dir.path() / u8"Podatki čšž" / u8"Računovodstvo";
  ASSERT_NO_FATAL_FAILURE(povezava::testing::buildBackEnds(data, c.version, c.codePage));
  FrontEndOptions options;
  options.version = c.version;
  options.codePage = c.codePage;
  options.extraQueries = c.extraQueries;
  if (c.longPathsBefore) {
    options.partnerDatabase = u"\\\\server\\share\\a rather long folder name\\application\\data\\PARTNER.MDB";
    options.quernoDatabase = u"\\\\server\\share\\a rather long folder name\\application\\data\\QUERNO.MDB";
  }
  DatabaseSpec spec = frontEndSpec(options);
  spec.lastCataloguePageFreeBytes = c.lastPageFree;
  const std::string frontEnd = (dir.path() / "TQ.mdb").string();
  ASSERT_TRUE(buildDatabase(frontEnd, spec).ok());
  const std::string local = mdbExport(frontEnd, "LOCAL1");
  const auto sizeBefore = fs::file_size(frontEnd);

  const std::u16string folder = fromUtf8(utf8Of(data));
  const std::u16string partner = u";DATABASE=" + folder + u"\\PARTNER.MDB";
  const std::u16string querno = u";DATABASE=" + folder + u"\\querno.mdb";
  for (int round = 0; round < 2; ++round) {
    ASSERT_TRUE(relink(frontEnd, u"PARTNER", partner).ok()) << relink(frontEnd, u"PARTNER", partner).toString();
    ASSERT_TRUE(relink(frontEnd, u"KONTI", querno).ok());
    ASSERT_TRUE(relink(frontEnd, u"NALOGI", querno).ok());
  }
  EXPECT_EQ(connectOf(frontEnd, u"PARTNER"), partner);
  EXPECT_EQ(connectOf(frontEnd, u"NALOGI"), querno);
  {
    // A short one, inline, after the long ones.
    const CurrentFolder here(dir.path());
    EXPECT_TRUE(relink(frontEnd, u"KONTI", u";DATABASE=TQ.mdb").ok());
    EXPECT_EQ(connectOf(frontEnd, u"KONTI"), u";DATABASE=TQ.mdb");
  }
  // mdbtools prints Jet 3 text in its own charset; compare the ASCII tail.
  POVEZAVA_WITH_MDBTOOLS(EXPECT_TRUE(mdbCatalogueHas(frontEnd, "PARTNER.MDB")));
  POVEZAVA_WITH_MDBTOOLS(EXPECT_EQ(mdbExport(frontEnd, "LOCAL1"), local));
  EXPECT_LE(fs::file_size(frontEnd), sizeBefore + (c.version == Version::jet3 ? 2048U : 4096U));
}

INSTANTIATE_TEST_SUITE_P(Built, BuiltRelinkTest, ::testing::ValuesIn(kBuilt), povezava::testing::RowName());

// Relinks a builder-made front-end must refuse, leaving the file unchanged:
// a character the Jet 3 code page lacks, and a page added past the global
// map's window (it would count as free there, and could be handed out again).
TEST(BuiltRelink, RefusedRelinksLeaveTheFileUnchanged) {
  struct Case {
    const char* folder;  // of the back-end
    Version version;
    std::uint16_t codePage;
    std::uint64_t localDataBytes;
    int number;
    const char* says;
  } cases[] = {
      {"Мир", Version::jet3, 1250, 0, kErrInvalidArgument, ""},
      // More pages than a 64-byte inline map covers; a path that leaves the row.
      {"a folder with a long name, so that the path leaves the row", Version::jet4, 1252, 3U << 20,
       kErrRecordTooLarge, "compact the database in Access"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    TempDir dir;
    const fs::path partner = dir.path() / c.folder / "PARTNER.MDB";
    fs::create_directories(partner.parent_path());
    ASSERT_TRUE(buildDatabase(partner.string(), partnerBackEndSpec(c.version, c.codePage)).ok());
    FrontEndOptions options;
    options.version = c.version;
    options.codePage = c.codePage;
    options.localDataBytes = c.localDataBytes;
    const std::string frontEnd = (dir.path() / "TQ.mdb").string();
    ASSERT_TRUE(buildDatabase(frontEnd, frontEndSpec(options)).ok());
    if (c.localDataBytes > 0) {
      ASSERT_GT(fs::file_size(frontEnd), 512U * 4096U);
    }
    const auto before = readFile(frontEnd);
    const Status s = relink(frontEnd, u"PARTNER", u";DATABASE=" + fromUtf8(partner.string()));
    EXPECT_EQ(s.number(), c.number) << s.toString();
    EXPECT_NE(s.description().find(c.says), std::string::npos) << s.toString();
    EXPECT_EQ(readFile(frontEnd), before);
  }
}

// A row that grows on a full catalogue page moves to another catalogue page
// as an overflow row; its slot becomes a pointer, and a second relink
// follows it.
class FullPageRelinkTest : public ::testing::TestWithParam<Version> {};

TEST_P(FullPageRelinkTest, AGrowingRowOnAFullPageMovesToAnotherCataloguePage) {
  TempDir dir;
  fs::create_directories(dir.path() / "Podatki");
  ASSERT_TRUE(buildDatabase((dir.path() / "Podatki" / "PARTNER.MDB").string(),
                            partnerBackEndSpec(GetParam(), 1250)).ok());
  DatabaseSpec spec;
  spec.version = GetParam();
  spec.codePage = 1250;
  spec.entries = {QuerySpec{u"Q1"}, CataloguePageBreak{}, local1Table(),
                  LinkedTableSpec{u"PARTNER", u"C:\\P.MDB"}, LinkedTableSpec{u"KONTI", u"C:\\Q.MDB"}};
  spec.lastCataloguePageFreeBytes = 0;
  const std::string frontEnd = (dir.path() / "TQ.mdb").string();
  ASSERT_TRUE(buildDatabase(frontEnd, spec).ok());
  const auto before = readFile(frontEnd);
  const std::string local = mdbExport(frontEnd, "LOCAL1");

  {
    const CurrentFolder here(dir.path());
    const Status s = relink(frontEnd, u"PARTNER", u";DATABASE=Podatki/PARTNER.MDB");
    EXPECT_TRUE(s.ok()) << s.toString();
    EXPECT_TRUE(relink(frontEnd, u"PARTNER", u";DATABASE=Podatki\\partner.mdb").ok());
  }
  EXPECT_EQ(connectOf(frontEnd, u"PARTNER"), u";DATABASE=Podatki\\partner.mdb");
  EXPECT_EQ(connectOf(frontEnd, u"KONTI"), u";DATABASE=C:\\Q.MDB");
  const std::size_t pageSize = GetParam() == Version::jet3 ? 2048 : 4096;
  EXPECT_EQ(fs::file_size(frontEnd), before.size());
  EXPECT_EQ(changedPages(before, readFile(frontEnd), pageSize).size(), 2U);
  POVEZAVA_WITH_MDBTOOLS(EXPECT_TRUE(mdbCatalogueHas(frontEnd, "Podatki\\partner.mdb")));
  POVEZAVA_WITH_MDBTOOLS(EXPECT_EQ(mdbExport(frontEnd, "LOCAL1"), local));
}

INSTANTIATE_TEST_SUITE_P(Versions, FullPageRelinkTest, ::testing::Values(Version::jet3, Version::jet4),
                         testing::versionTestName);

}  // namespace
}  // namespace povezava::engine::jet
