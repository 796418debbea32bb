// The link writer on copies of real front-ends. Test names carry the safety
// invariant they check (link_writer.h).
#include "engine/jet/write/link_writer.h"
#include "engine/notices.h"

#include <gtest/gtest.h>

#include <set>

#include "base/case_fold.h"
#include "base/errors.h"
#include "engine/jet/jet_database.h"
#include "engine/jet/format/long_value.h"
#include "engine/jet/jet_test_util.h"
#include "engine/jet/page_compare.h"
#include "engine/jet/read/catalog.h"
#include "base/unicode.h"
#include "engine/jet/format/journal_format.h"
#include "engine/jet/write/journal_replay.h"
#include "support/databases.h"
#include "support/fault_io.h"
#include "support/test_support.h"
#include "platform/file_system.h"
#include "support/test_engine.h"

namespace povezava::engine::jet {
namespace {

using povezava::testing::testNotices;
namespace fs = std::filesystem;
using povezava::testing::FaultFileSystem;
using povezava::testing::readFile;

// The stored Database value of `table`, read by the engine's reader.
std::optional<std::u16string> storedDatabase(const std::string& path, std::u16string_view table) {
  for (const auto& t : testing::catalogTables(path)) {
    if (equalsIgnoringCase(t.name, table)) return t.database.value_or(u"");
  }
  return std::nullopt;
}

// Every table's composed link, to compare "everything else unchanged".
std::map<std::u16string, std::u16string> allLinks(const std::string& path) {
  std::map<std::u16string, std::u16string> links;
  for (const auto& t : testing::catalogTables(path)) links[t.name] = t.composedConnect();
  return links;
}

struct FrontEnd {
  const char* file;
  const char* table;
  std::size_t pageSize;
};

const FrontEnd kFrontEnds[] = {
    {"jet4-v2000/TQ.mdb", "PARTNER", 4096},
    {"jet4-v2003/TQ.mdb", "KONTI", 4096},
    {"jet4-v2003/NONALOGI.mdb", "konti", 4096},
    {"ace-v2010/TQ.accdb", "NALOGI", 4096},
    {"ace-v2010/LOCALPARTNER.accdb", "OTHER", 4096},
    {"access-made/V2007/linkerTestV2007.accdb", "Table2", 4096},
};

class LinkWriterTest : public ::testing::TestWithParam<FrontEnd> {
 protected:
  void SetUp() override {
    POVEZAVA_REQUIRE_FIXTURES();
    path_ = dir_.copy(povezava::testing::fixturesDir() / GetParam().file).string();
    original_ = readFile(path_);
    table_ = fromUtf8(GetParam().table);
  }

  Status relink(FileSystem& fs, std::u16string_view database) {
    return writeLink(fs, testNotices(), path_, path_, LinkChange{table_, std::u16string(database), std::nullopt});
  }

  povezava::testing::TempDir dir_;
  std::string path_;
  std::vector<std::byte> original_;
  std::u16string table_;
};

TEST_P(LinkWriterTest, Invariant2_AShortPathChangesOnlyTheCatalogueRow) {
  const auto before = allLinks(path_);
  const std::u16string path = u"D:\\DATA\\Šiška\\P.MDB";
  ASSERT_TRUE(relink(posixFileSystem(), path).ok());
  EXPECT_EQ(storedDatabase(path_, table_), path);
  auto after = allLinks(path_);
  for (auto& [name, link] : before) {
    if (equalsIgnoringCase(name, table_)) {
      EXPECT_EQ(after[name], u";DATABASE=" + path);
    } else {
      EXPECT_EQ(after[name], link) << toUtf8(name);
    }
  }
  const auto changed = changedPages(original_, readFile(path_), GetParam().pageSize);
  // The catalogue page, plus the long-value page when an old out-of-line path was deleted.
  EXPECT_GE(changed.size(), 1U);
  EXPECT_LE(changed.size(), 2U);
  EXPECT_EQ(changed.count(0), 0U);
  EXPECT_EQ(fs::file_size(path_), original_.size());
  EXPECT_FALSE(fs::exists(journalPath(path_)));

  POVEZAVA_WITH_MDBTOOLS(EXPECT_TRUE(povezava::testing::mdbCatalogueHas(path_, toUtf8(path))));
}

TEST_P(LinkWriterTest, RelinkingBackRestoresTheLink) {
  const auto before = storedDatabase(path_, table_);
  ASSERT_TRUE(before);
  ASSERT_TRUE(relink(posixFileSystem(), u"E:\\X.MDB").ok());
  ASSERT_TRUE(relink(posixFileSystem(), *before).ok());
  EXPECT_EQ(storedDatabase(path_, table_), before);
  EXPECT_EQ(allLinks(path_), allLinks(dir_.copy(povezava::testing::fixturesDir() / GetParam().file, "orig").string()));
}

TEST_P(LinkWriterTest, Invariant6_TheFileKeepsItsInodeAndPermissions) {
  // The file's identity as the file system reports it: the inode on Linux,
  // the volume and file index on Windows.
  fs::permissions(path_, fs::perms(0640));
  auto before = posixFileSystem().info(path_);
  ASSERT_TRUE(before.ok());
  ASSERT_TRUE(relink(posixFileSystem(), u"D:\\N.MDB").ok());
  auto after = posixFileSystem().info(path_);
  ASSERT_TRUE(after.ok());
  EXPECT_EQ(after->device, before->device);
  EXPECT_EQ(after->inode, before->inode);
  EXPECT_EQ(after->permissions, before->permissions);
  EXPECT_EQ(after->owner, before->owner);
}

TEST_P(LinkWriterTest, Invariant4_ASecondWriterGetsFileInUse) {
  auto holder = posixFileSystem().open(path_, OpenMode::readWrite);
  ASSERT_TRUE(holder.ok());
  ASSERT_TRUE((*holder)->tryLock(kWriteLockOffset).ok());
  const Status s = relink(posixFileSystem(), u"D:\\N.MDB");
  EXPECT_EQ(s.number(), kErrFileInUse);
  EXPECT_NE(s.description().find("already in use"), std::string::npos);
  EXPECT_EQ(readFile(path_), original_);
}

TEST_P(LinkWriterTest, AnAccessLockFileBesideTheFrontEndRefusesTheWrite) {
  const fs::path p(path_);
  std::vector<std::byte> entry(64, std::byte{0});
  const std::string computer = "PISARNA-3";
  for (std::size_t i = 0; i < computer.size(); ++i) entry[i] = static_cast<std::byte>(computer[i]);
  povezava::testing::writeFile(p.parent_path() / (p.stem().string() + ".LDB"), entry);
  const Status s = relink(posixFileSystem(), u"D:\\N.MDB");
  EXPECT_EQ(s.number(), kErrFileInUse);
  EXPECT_NE(s.description().find("PISARNA-3"), std::string::npos) << s.description();
  EXPECT_EQ(readFile(path_), original_);
}

// A path stored in the row, and one long enough for a long-value row (on a
// page added to the Database column where it owns none).
const std::u16string kPaths[] = {
    u"D:\\N.MDB", u"\\\\streznik\\skupno\\Računovodstvo in finance\\leto 2024\\PARTNER.MDB"};

// True when every page the original had is unchanged; an added page that
// nothing points at may remain after a failed write.
bool sameExceptAnAddedPage(const std::vector<std::byte>& original, const std::vector<std::byte>& now,
                           std::size_t pageSize) {
  return now.size() <= original.size() + pageSize &&
         std::equal(original.begin(), original.end(), now.begin(),
                    now.begin() + static_cast<std::ptrdiff_t>(std::min(original.size(), now.size())));
}

TEST_P(LinkWriterTest, Invariant3_EachFailingWriteOrSyncLeavesTheFileAsItWas) {
  for (const std::u16string& path : kPaths) {
    povezava::testing::restoreFile(path_, original_);
    FaultFileSystem probe(posixFileSystem());
    ASSERT_TRUE(relink(probe, path).ok());
    const int writes = probe.writes();
    const int syncs = probe.syncs();
    for (int n = 1; n <= writes + syncs; ++n) {
      povezava::testing::restoreFile(path_, original_);
      FaultFileSystem faulty(posixFileSystem());
      if (n <= writes) faulty.failWrite(n); else faulty.failSync(n - writes);
      EXPECT_FALSE(relink(faulty, path).ok()) << "fault " << n;
      EXPECT_TRUE(sameExceptAnAddedPage(original_, readFile(path_), GetParam().pageSize))
          << "fault " << n << ", " << path.size() << " characters";
    }
  }
}

TEST_P(LinkWriterTest, Invariant5_PowerLossAtEveryStepLeavesTheOldLinkOrTheNew) {
  const auto old = storedDatabase(path_, table_);
  for (const std::u16string& path : kPaths) {
    povezava::testing::restoreFile(path_, original_);
    FaultFileSystem probe(posixFileSystem());
    ASSERT_TRUE(relink(probe, path).ok());
    const int changes = probe.changes();
    for (int n = 0; n <= changes; ++n) {
      for (bool tear : {false, true}) {
        povezava::testing::restoreFile(path_, original_);
        FaultFileSystem faulty(posixFileSystem());
        if (tear) faulty.tearWrite(n + 1); else faulty.crashAfter(n);
        const bool reported = relink(faulty, path).ok();
        faulty.powerCycle();
        // The next writer (or open) recovers. (Through the double without
        // faults: its syncs cost no disk round trip.)
        FaultFileSystem next(posixFileSystem());
        auto file = next.open(path_, OpenMode::readWrite);
        ASSERT_TRUE(file.ok());
        const auto recovered = recoverJournal(next, testNotices(), **file);
        const std::string situation = std::to_string(path.size()) + " characters, after " +
                                      std::to_string(n) + (tear ? " torn" : "");
        ASSERT_TRUE(recovered.ok()) << situation;
        // Whatever the crash left is this relink's own to repair.
        if (*recovered == Recovery::setAside) {
          const auto notices = povezava::testing::takeNotices();
          ADD_FAILURE() << situation << ": " << (notices.empty() ? std::string("set aside") : notices.back());
        }
        const auto now = storedDatabase(path_, table_);
        EXPECT_TRUE(now == old || now == path) << situation;
        // What was reported done survives the power loss.
        if (reported) {
          EXPECT_EQ(now, path) << situation << ": reported relinked";
        }
        if (now == old) {
          EXPECT_TRUE(sameExceptAnAddedPage(original_, readFile(path_), GetParam().pageSize)) << situation;
        }
        POVEZAVA_WITH_MDBTOOLS(int status = -1; povezava::testing::mdbExport(path_, "MSysObjects", &status);
                               EXPECT_EQ(status, 0) << situation);
      }
    }
  }
}

TEST_P(LinkWriterTest, Invariant5_ATornCataloguePageIsShownOldToReadersAndRepairedByTheNextWriter) {
  const auto old = storedDatabase(path_, table_);
  FaultFileSystem probe(posixFileSystem());
  ASSERT_TRUE(relink(probe, u"D:\\N.MDB").ok());
  povezava::testing::restoreFile(path_, original_);
  // The journal is the first write; the catalogue page comes after it.
  FaultFileSystem faulty(posixFileSystem());
  faulty.tearWrite(2);
  EXPECT_FALSE(relink(faulty, u"D:\\N.MDB").ok());
  faulty.powerCycle();
  ASSERT_TRUE(fs::exists(journalPath(path_)));
  const auto torn = readFile(path_);

  (void)povezava::testing::takeNotices();
  JetEngine engine(povezava::testing::testSetup());
  auto db = engine.openDatabase(fromUtf8(path_));
  ASSERT_TRUE(db.ok()) << db.status().toString();
  auto table = (*(*db)->tableDefs())->item(table_);
  ASSERT_TRUE(table.ok());
  EXPECT_EQ((*table)->backendPath(), old);
  EXPECT_EQ(readFile(path_), torn) << "reading wrote";
  EXPECT_TRUE(fs::exists(journalPath(path_)));
  const auto notices = povezava::testing::takeNotices();
  ASSERT_FALSE(notices.empty());
  EXPECT_NE(notices.front().find("interrupted"), std::string::npos) << notices.front();

  auto recovered = recoverInterruptedRelink(posixFileSystem(), testNotices(), path_);
  ASSERT_TRUE(recovered.ok()) << recovered.status().toString();
  EXPECT_EQ(*recovered, Recovery::replayed);
  EXPECT_FALSE(fs::exists(journalPath(path_)));
  EXPECT_EQ(readFile(path_), original_);
}

TEST_P(LinkWriterTest, AFullDiskOrReadOnlyFileOrFolderChangesNothing) {
  struct Case {
    const char* what;
    void (*plan)(FaultFileSystem&);
    int number;
    const char* says;  // in the description
  } cases[] = {
      {"full disk", [](FaultFileSystem& f) { f.diskFullAfter(0); }, kErrNotEnoughSpace, "space"},
      {"read-only file", [](FaultFileSystem& f) { f.readOnlyFiles(); }, kErrReadOnly, "read-only"},
      // Not "opened exclusively by another user": the folder is what refuses.
      {"read-only folder", [](FaultFileSystem& f) { f.readOnlyFolders(); }, kErrNoPermission,
       "writes its journal"},
  };
  for (const Case& c : cases) {
    FaultFileSystem faulty(posixFileSystem());
    c.plan(faulty);
    const Status s = relink(faulty, u"D:\\N.MDB");
    EXPECT_EQ(s.number(), c.number) << c.what;
    EXPECT_NE(s.description().find(c.says), std::string::npos) << s.description();
    EXPECT_EQ(readFile(path_), original_) << c.what;
    EXPECT_FALSE(fs::exists(journalPath(path_))) << c.what;
  }
}

TEST(LinkWriter, Invariant2_ACataloguePageThatIsAlreadyInconsistentIsRefusedNotEdited) {
  POVEZAVA_REQUIRE_FIXTURES();
  povezava::testing::TempDir dir;
  const std::string path = dir.copy(povezava::testing::fixturesDir() / "jet4-v2000" / "TQ.mdb").string();
  const auto tables = testing::catalogTables(path);
  const CatalogTable* partner = testing::findTable(tables, u"PARTNER");
  ASSERT_NE(partner, nullptr);
  const std::uint32_t page = partner->address.dataPage;
  auto bytes = readFile(path);
  bytes[page * 4096 + kOffsetFreeSpace] ^= std::byte{0x01};  // free space off by one
  povezava::testing::writeFile(path, bytes);
  const Status s =
      writeLink(posixFileSystem(), testNotices(), path, path, LinkChange{u"PARTNER", u"D:\\N.MDB", std::nullopt});
  EXPECT_EQ(s.number(), kErrCannotOpen);
  EXPECT_NE(s.description().find("free space"), std::string::npos) << s.description();
  EXPECT_EQ(readFile(path), bytes);
}

// One wrong byte in the catalogue definition's map pointers: where the
// second reader refuses the file, povezava refuses to relink it and writes
// nothing.
TEST(LinkWriter, Invariant2_ADamagedCatalogueDefinitionIsNotRelinked) {
  POVEZAVA_REQUIRE_FIXTURES();
  POVEZAVA_REQUIRE_MDBTOOLS();
  POVEZAVA_REQUIRE_MDBTOOLS();
  povezava::testing::TempDir dir;
  const std::string path = dir.copy(povezava::testing::fixturesDir() / "jet4-v2000" / "TQ.mdb").string();
  const auto original = readFile(path);
  int refusedByBoth = 0;
  for (std::size_t field : {kLayoutJet4.tdefOffsetOwnedMap, kLayoutJet4.tdefOffsetFreeMap}) {
    for (std::size_t byte = 0; byte < 3; ++byte) {
      for (std::byte flip : {std::byte{0x01}, std::byte{0x02}, std::byte{0x40}}) {
        SCOPED_TRACE("map pointer at " + std::to_string(field) + ", byte " + std::to_string(byte) + " ^ " +
                     std::to_string(std::to_integer<int>(flip)));
        auto bytes = original;
        bytes[kCatalogTdefPage * 4096 + field + byte] ^= flip;
        povezava::testing::writeFile(path, bytes);
        int exported = 0;
        (void)povezava::testing::mdbExport(path, "MSysObjects", &exported);
        const Status s =
            writeLink(posixFileSystem(), testNotices(), path, path, LinkChange{u"PARTNER", u"D:\\N.MDB", std::nullopt});
        if (exported != 0) {
          EXPECT_FALSE(s.ok()) << "relinked a file the other reader refuses";
          EXPECT_EQ(readFile(path), bytes);
          refusedByBoth += !s.ok();
        }
        EXPECT_FALSE(fs::exists(journalPath(path)));
      }
    }
  }
  EXPECT_GT(refusedByBoth, 0);
}

// Two catalogue rows whose Database points at one long-value row, as a copy
// made inside Access can leave them: relinking either must leave the other's
// path, and the row it reads it from, as they were.
TEST(LinkWriter, Invariant2_ALongValueRowTwoTablesShareIsLeftToTheOther) {
  const std::u16string shared = u"\\\\server\\share\\a folder name long enough for a long-value row\\PARTNER.MDB";
  struct Row {
    const char16_t* relinked;
    const char16_t* other;
    std::u16string path;  // the relinked table's new path
  };
  const Row rows[] = {
      {u"PARTNER", u"KONTI", u"D:\\DATA\\PARTNER.MDB"},  // fits in the row
      {u"KONTI", u"PARTNER", u"D:\\DATA\\QUERNO.MDB"},
      // Longer than before: the shared row may not grow in place.
      {u"PARTNER", u"KONTI", shared + u"\\and an even longer folder name below it\\PARTNER.MDB"},
      {u"KONTI", u"PARTNER", shared + u"\\and an even longer folder name below it\\QUERNO.MDB"},
  };
  // The Database column's bytes in `table`'s row (the long-value header when
  // the path is out of line) and their offset in the file.
  const auto databaseHeader = [](const fs::path& file, std::u16string_view table) {
    std::pair<std::vector<std::byte>, std::size_t> found;
    testing::OpenedCatalog opened = testing::openCatalog(file);
    if (!opened.catalog) return found;
    const auto tables = opened.tables();
    const CatalogTable* row = testing::findTable(tables, table);
    if (row == nullptr) return found;
    const auto value = testing::catalogValue(*opened.file, *opened.catalog, *row, kCatalogColumnDatabase);
    if (!value) return found;
    found.first = value->bytes;
    found.second = testing::locateCatalogRow(readFile(file), table).rowAt + value->offsetInRow;
    return found;
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(toUtf8(row.relinked) + " to " + toUtf8(row.path));
    povezava::testing::TempDir dir;
    const fs::path file = dir.path() / "TQ.mdb";
    povezava::testing::buildFrontEnd(file, shared, shared + u".OTHER");
    // KONTI's Database header is made to point at PARTNER's long-value row.
    const auto [partnerHeader, partnerAt] = databaseHeader(file, u"PARTNER");
    const auto [kontiHeader, kontiAt] = databaseHeader(file, u"KONTI");
    ASSERT_EQ(partnerHeader.size(), kLongValueHeaderSize) << "not out of line";
    ASSERT_EQ(kontiHeader.size(), kLongValueHeaderSize) << "not out of line";
    auto bytes = readFile(file);
    std::copy(partnerHeader.begin(), partnerHeader.end(), bytes.begin() + static_cast<std::ptrdiff_t>(kontiAt));
    povezava::testing::writeFile(file, bytes);
    ASSERT_EQ(storedDatabase(file.string(), u"KONTI"), shared);

    const Status written = writeLink(posixFileSystem(), testNotices(), file.string(), file.string(),
                                     LinkChange{row.relinked, row.path, std::nullopt});
    ASSERT_TRUE(written.ok()) << written.toString();
    EXPECT_EQ(storedDatabase(file.string(), row.relinked), row.path);
    EXPECT_EQ(storedDatabase(file.string(), row.other), shared);
    EXPECT_EQ(storedDatabase(file.string(), u"NALOGI"), shared + u".OTHER");
    // The other table still points at the very same row.
    EXPECT_EQ(databaseHeader(file, row.other).first, partnerHeader);
  }

  // The same relinks one after another in one process, which keeps the
  // catalogue and its long-value counts between them: each table ends with
  // its own path, and every other value reads as before.
  povezava::testing::TempDir dir;
  const fs::path file = dir.path() / "TQ.mdb";
  povezava::testing::buildFrontEnd(file, shared, shared + u".OTHER");
  const auto [partnerHeader, partnerAt] = databaseHeader(file, u"PARTNER");
  const auto [kontiHeader, kontiAt] = databaseHeader(file, u"KONTI");
  auto bytes = readFile(file);
  std::copy(partnerHeader.begin(), partnerHeader.end(), bytes.begin() + static_cast<std::ptrdiff_t>(kontiAt));
  povezava::testing::writeFile(file, bytes);
  fs::create_directories(dir.path() / "data");
  povezava::testing::buildBackEnds(dir.path() / "data");
  JetEngine engine(povezava::testing::testSetup());
  auto db = engine.openDatabase(fromUtf8(file.string()));
  ASSERT_TRUE(db.ok());
  std::map<std::u16string, std::u16string> expected = {
      {u"PARTNER", shared}, {u"KONTI", shared}, {u"NALOGI", shared + u".OTHER"}};
  const std::u16string data = fromUtf8((dir.path() / "data").string());
  const std::u16string deep = u"\\a folder name long enough to be kept in a long-value row of its own";
  fs::create_directories(dir.path() / "data" / "a folder name long enough to be kept in a long-value row of its own");
  int relinked = 0;
  for (const Row& row : rows) {
    const std::u16string backEnd = std::u16string(row.relinked) == u"PARTNER" ? u"PARTNER.MDB" : u"QUERNO.MDB";
    for (const std::u16string& path : {data + deep + u"\\..\\" + backEnd, data + u"\\" + backEnd}) {
      SCOPED_TRACE(toUtf8(row.relinked) + " to " + toUtf8(path));
      auto table = (*(*db)->tableDefs())->item(row.relinked);
      ASSERT_TRUE(table.ok());
      ASSERT_TRUE((*table)->setConnect(u";DATABASE=" + path).ok());
      const Status s = (*table)->refreshLink();
      ASSERT_TRUE(s.ok()) << s.toString();
      ++relinked;
      expected[row.relinked] = path;
      for (const auto& [name, value] : expected) EXPECT_EQ(storedDatabase(file.string(), name), value) << toUtf8(name);
      POVEZAVA_WITH_MDBTOOLS(int exported = -1;
                             (void)povezava::testing::mdbExport(file.string(), "MSysObjects", &exported);
                             EXPECT_EQ(exported, 0));
    }
  }
  EXPECT_EQ(relinked, 8);
}

INSTANTIATE_TEST_SUITE_P(FrontEnds, LinkWriterTest, ::testing::ValuesIn(kFrontEnds),
                         [](const auto& p) { return povezava::testing::testNameOf(p.param.file); });

}  // namespace
}  // namespace povezava::engine::jet
