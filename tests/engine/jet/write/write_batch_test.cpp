// The write batch: relinks held in memory, then stored together. Whatever
// fails and wherever the power goes, each front-end ends up as it was or
// exactly as relinking it on its own would have left it.
#include "engine/jet/write/write_batch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <fstream>
#include <functional>
#include <optional>

#include "base/errors.h"
#include "engine/jet/jet_database.h"
#include "engine/jet/write/journal_writer.h"
#include "engine/jet/write/link_writer.h"
#include "engine/jet_build/sample_databases.h"
#include "engine/readings.h"
#include "base/unicode.h"
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
using povezava::testing::restoreFile;
using Bytes = std::vector<std::byte>;

constexpr const char16_t* kTables[] = {u"PARTNER", u"KONTI", u"NALOGI"};

class WriteBatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A long folder name: the new paths go to long-value rows, so a relink
    // changes more than the catalogue row.
    backEnds_ = dir_.path() / "Skupni podatki - racunovodstvo in knjigovodstvo 2025";
    ASSERT_NO_FATAL_FAILURE(povezava::testing::buildBackEnds(backEnds_, Version::jet4, 1252));
    fs::create_directories(dir_.path() / "alone");
    const Version versions[] = {Version::jet4, Version::jet3, Version::ace12};
    for (std::size_t i = 0; i < std::size(versions); ++i) {
      FrontEndOptions options;
      options.version = versions[i];
      const std::string name = "FE" + std::to_string(i) + ".mdb";
      paths_.push_back((dir_.path() / name).string());
      ASSERT_TRUE(buildDatabase(paths_.back(), frontEndSpec(options)).ok());
      originals_.push_back(readFile(paths_.back()));
      // The same relink made table by table on a copy: what the batch must store.
      const std::string alone = (dir_.path() / "alone" / name).string();
      povezava::testing::writeFile(alone, originals_.back());
      ASSERT_TRUE(relink(povezava::testing::testEngine(), alone).ok());
      expected_.push_back(readFile(alone));
      ASSERT_NE(expected_.back(), originals_.back());
    }
  }

  std::u16string linkFor(const std::u16string& table) const {
    const char* file = table == u"PARTNER" ? "PARTNER.MDB" : "QUERNO.MDB";
    return u";DATABASE=" + fromUtf8((backEnds_ / file).string());
  }

  // PARTNER, KONTI and NALOGI of `path` to the new back-ends, through `engine`.
  Status relink(DBEngine& engine, const std::string& path,
                std::span<const char16_t* const> tables = kTables) const {
    auto db = engine.openDatabase(fromUtf8(path));
    if (!db) return db.status();
    for (const char16_t* name : tables) {
      auto defs = (*db)->tableDefs();
      if (!defs) return defs.status();
      auto table = (*defs)->item(name);
      if (!table) return table.status();
      if (Status s = (*table)->setConnect(linkFor(name)); !s.ok()) return s;
      if (Status s = (*table)->refreshLink(); !s.ok()) return s;
    }
    return (*db)->close();
  }

  // Each front-end relinked through `batch` as a unit of its own.
  void stageAll(WriteBatch& batch) const {
    for (const std::string& path : paths_) {
      batch.beginUnit();
      ASSERT_TRUE(relink(batch.engine(), path).ok()) << path;
    }
  }

  void restoreAll() const {
    for (std::size_t i = 0; i < paths_.size(); ++i) restoreFile(paths_[i], originals_[i]);
  }

  // What the next program to open file i finds, once it has replayed any
  // journal: 0 = the old file, 1 = the relinked one, -1 = anything else.
  int outcome(std::size_t i) const {
    EXPECT_TRUE(recoverInterruptedRelink(posixFileSystem(), testNotices(), paths_[i]).ok());
    EXPECT_FALSE(fs::exists(journalPath(paths_[i]))) << paths_[i];
    const Bytes now = readFile(paths_[i]);
    return now == originals_[i] ? 0 : now == expected_[i] ? 1 : -1;
  }

  povezava::testing::TempDir dir_;
  fs::path backEnds_;
  std::vector<std::string> paths_;
  std::vector<Bytes> originals_;
  std::vector<Bytes> expected_;
};

TEST_F(WriteBatchTest, HoldsEverythingUntilCommitThenStoresWhatOneByOneWould) {
  WriteBatch batch(povezava::testing::testSetup());
  stageAll(batch);
  EXPECT_EQ(batch.heldFiles(), paths_.size());
  for (std::size_t i = 0; i < paths_.size(); ++i) {
    EXPECT_EQ(readFile(paths_[i]), originals_[i]) << "written before commit: " << paths_[i];
    // Through the batch the new links are there already.
    auto db = batch.engine().openDatabase(fromUtf8(paths_[i]));
    ASSERT_TRUE(db.ok());
    auto kontiLink = (*(*(*db)->tableDefs())->item(u"KONTI"))->connect();
    ASSERT_TRUE(kontiLink.ok());
    EXPECT_EQ(*kontiLink, linkFor(u"KONTI"));
  }
  const std::vector<Status> stored = batch.commit();
  ASSERT_EQ(stored.size(), paths_.size());
  for (std::size_t i = 0; i < paths_.size(); ++i) {
    EXPECT_TRUE(stored[i].ok()) << stored[i].toString();
    EXPECT_EQ(readFile(paths_[i]), expected_[i]) << paths_[i];
    EXPECT_FALSE(fs::exists(journalPath(paths_[i])));
  }
  EXPECT_EQ(batch.heldFiles(), 0U);
  // A second round finds nothing to do.
  EXPECT_TRUE(batch.commit().empty());
}

TEST_F(WriteBatchTest, EndingWithoutCommitWritesNothingAndReleasesTheLocks) {
  {
    WriteBatch batch(povezava::testing::testSetup());
    stageAll(batch);
  }
  for (std::size_t i = 0; i < paths_.size(); ++i) {
    EXPECT_EQ(readFile(paths_[i]), originals_[i]);
    EXPECT_TRUE(relink(povezava::testing::testEngine(), paths_[i]).ok()) << "lock still held on " << paths_[i];
  }
}

// Also when the database relinked through the batch is still open at the
// commit (the file it reads is the file the writer locked).
TEST_F(WriteBatchTest, LocksAreHeldFromTheRelinkToTheCommit) {
  for (const bool keptOpen : {false, true}) {
    SCOPED_TRACE(keptOpen ? "database still open" : "database closed");
    restoreAll();
    WriteBatch batch(povezava::testing::testSetup());
    batch.beginUnit();
    std::shared_ptr<Database> open;
    if (keptOpen) {
      auto db = batch.engine().openDatabase(fromUtf8(paths_[0]));
      ASSERT_TRUE(db.ok()) << db.status().toString();
      open = *db;
      for (const char16_t* name : kTables) {
        auto table = (*open->tableDefs())->item(name);
        ASSERT_TRUE(table.ok());
        ASSERT_TRUE((*table)->setConnect(linkFor(name)).ok());
        ASSERT_TRUE((*table)->refreshLink().ok());
      }
    } else {
      ASSERT_TRUE(relink(batch.engine(), paths_[0]).ok());
    }
    EXPECT_EQ(relink(povezava::testing::testEngine(), paths_[0]).number(), kErrFileInUse);
    ASSERT_TRUE(batch.commit().front().ok());
    EXPECT_TRUE(relink(povezava::testing::testEngine(), paths_[0]).ok()) << "the lock outlived the commit";
    EXPECT_EQ(readFile(paths_[0]), expected_[0]);
    if (open) {
      EXPECT_TRUE(open->close().ok());
    }
  }
}

TEST_F(WriteBatchTest, PowerLostAtAnyStepLeavesEachFileOldOrNew) {
  FaultFileSystem probe(posixFileSystem());
  {
    WriteBatch batch(povezava::testing::testSetup(probe));
    stageAll(batch);
    for (const Status& s : batch.commit()) ASSERT_TRUE(s.ok()) << s.toString();
  }
  const int changes = probe.changes();
  // Per file three syncs (journal, file, commit mark); folders once per round.
  EXPECT_EQ(probe.syncs(), 3 * static_cast<int>(paths_.size()));

  for (int n = 0; n <= changes; ++n) {
    for (const bool tear : {false, true}) {
      SCOPED_TRACE("power lost after change " + std::to_string(n) + (tear ? ", a write torn" : ""));
      restoreAll();
      FaultFileSystem faulty(posixFileSystem());
      if (tear) {
        faulty.tearWrite(n);
      } else {
        faulty.crashAfter(n);
      }
      std::vector<Status> stored;
      {
        WriteBatch batch(povezava::testing::testSetup(faulty));
        stageAll(batch);
        stored = batch.commit();
      }
      faulty.powerCycle();
      for (std::size_t i = 0; i < paths_.size(); ++i) {
        const int found = outcome(i);
        EXPECT_NE(found, -1) << paths_[i] << " is neither old nor new";
        if (stored[i].ok()) {
          EXPECT_EQ(found, 1) << paths_[i] << " reported stored";
        }
      }
    }
  }
}

TEST_F(WriteBatchTest, AFailedWriteOrSyncFailsOnlyItsOwnFile) {
  FaultFileSystem probe(posixFileSystem());
  {
    WriteBatch batch(povezava::testing::testSetup(probe));
    stageAll(batch);
    (void)batch.commit();
  }
  const int writes = probe.writes();
  const int syncs = probe.syncs();
  for (const bool sync : {false, true}) {
    for (int n = 1; n <= (sync ? syncs : writes); ++n) {
      SCOPED_TRACE((sync ? "sync " : "write ") + std::to_string(n) + " fails");
      restoreAll();
      FaultFileSystem faulty(posixFileSystem());
      sync ? faulty.failSync(n) : faulty.failWrite(n);
      WriteBatch batch(povezava::testing::testSetup(faulty));
      stageAll(batch);
      const std::vector<Status> stored = batch.commit();
      int failed = 0;
      for (std::size_t i = 0; i < paths_.size(); ++i) {
        if (!stored[i].ok()) ++failed;
        EXPECT_EQ(outcome(i), stored[i].ok() ? 1 : 0) << paths_[i] << ": " << stored[i].toString();
      }
      EXPECT_EQ(failed, 1);
    }
  }
}

TEST_F(WriteBatchTest, AFileChangedBehindTheBatchIsLeftAsTheOtherProgramLeftIt) {
  WriteBatch batch(povezava::testing::testSetup());
  stageAll(batch);
  // Another program (one that ignores our lock) changes a byte on a page the
  // relink rewrites, after the relink read it.
  Bytes changed = originals_[1];
  std::size_t page = 0;
  const std::size_t pageSize = 2048;  // FE1 is Jet 3
  for (std::size_t at = 0; at < changed.size(); ++at) {
    if (changed[at] != expected_[1][at]) {
      page = at / pageSize;
      break;
    }
  }
  ASSERT_NE(page, 0U);
  std::size_t untouched = page * pageSize;
  while (changed[untouched] != expected_[1][untouched]) ++untouched;
  changed[untouched] ^= std::byte{0x5A};
  restoreFile(paths_[1], changed);

  const std::vector<Status> stored = batch.commit();
  EXPECT_TRUE(stored[0].ok());
  EXPECT_EQ(stored[1].number(), kErrFileInUse);
  EXPECT_NE(stored[1].description().find("another program changed it"), std::string::npos)
      << stored[1].toString();
  EXPECT_TRUE(stored[2].ok());
  EXPECT_EQ(readFile(paths_[1]), changed);
  EXPECT_FALSE(fs::exists(journalPath(paths_[1])));
  EXPECT_EQ(readFile(paths_[0]), expected_[0]);
}

// One file from start to commit: whatever another program does to FE0
// between the relink's first read and the commit, the batch stores into the
// file the relink read, or stores nothing and says so. The same with the
// readings of a run kept (a page the batch has read is served from its
// copy, the catalogue is decoded once): the commit still finds the change.
TEST_F(WriteBatchTest, AFrontEndReplacedOrChangedMeanwhileIsNotWritten) {
  const fs::path other = dir_.path() / "new version.mdb";
  [[maybe_unused]] const auto renameOver = [&] { fs::rename(other, paths_[0]); };
  const auto scribble = [&](std::size_t at) {
    Bytes now = readFile(paths_[0]);
    now.at(at) ^= std::byte{0x5A};
    restoreFile(paths_[0], now);
  };
  // Does `action` as the first back-end is opened: after the front-end is
  // read, before its lock.
  [[maybe_unused]] const auto betweenReadAndLock = [](std::function<void()> action) {
    return [action](FaultFileSystem& f) {
      f.beforeOpen([action, done = false](const std::string& path, OpenMode) mutable {
        if (!done && fs::path(path).filename() == "PARTNER.MDB") {
          done = true;
          action();
        }
      });
    };
  };
  // A journal of the new version's own, cut off as its writer wrote it:
  // whoever finds it beside the name it belongs to removes it.
  const Bytes othersJournal = [] {
    Bytes bytes(40, std::byte{0});
    const std::string magic = "povezava-journal";
    std::transform(magic.begin(), magic.end(), bytes.begin(), [](char c) { return static_cast<std::byte>(c); });
    return bytes;
  }();
  struct Case {
    const char* what;
    std::function<void(FaultFileSystem&)> during;  // hooks into the relink and the commit
    std::function<void()> beforeCommit;
    int error;
    bool othersJournalStays = false;  // the new version's journal is left as it was
  } cases[] = {
  // Windows does not let another program rename over a file that is open.
#ifndef _WIN32
      {"a new version renamed over it between the relink's read and its lock", betweenReadAndLock(renameOver),
       [] {}, kErrFileInUse},
      {"a new version renamed over it with its own journal beside it, before the relink's lock",
       betweenReadAndLock([&] {
         renameOver();
         povezava::testing::writeFile(journalPath(paths_[0]), othersJournal);
       }),
       [] {}, kErrFileInUse, true},
      {"a new version renamed over it before the commit", [](FaultFileSystem&) {}, renameOver, kErrFileInUse},
#endif
      {"a new version copied over it (same inode) before the commit", [](FaultFileSystem&) {},
       [&] { scribble(2 * 4096 + 4000); }, kErrFileInUse},
      {"a second name made before the commit, Access's lock file beside it", [](FaultFileSystem&) {},
       [&] {
         fs::create_hard_link(paths_[0], dir_.path() / "Second.mdb");
         std::ofstream(dir_.path() / "Second.ldb") << std::string(64, 'A');
       },
       kErrNoPermission},
      {"a page the first table's relink read changed before the next table's",
       // The second table's back-end is opened after the first relink is held.
       [&](FaultFileSystem& f) {
         f.beforeOpen([&, done = false](const std::string& path, OpenMode) mutable {
           if (!done && fs::path(path).filename() == "QUERNO.MDB") {
             done = true;
             scribble(2 * 4096 + 4000);
           }
         });
       },
       [] {}, kErrFileInUse},
      {"a page the relink read rewritten as its journal became durable",
       // Changing calls of the commit: journal created 1, written 2, synced 3,
       // its folder synced 4; then the checks again, then the pages.
       [&](FaultFileSystem& f) { f.beforeChange(4, [&] { scribble(2 * 4096 + 4000); }); }, [] {}, kErrFileInUse},
      {"Access opened it as its journal became durable",
       // Its lock file is looked for just before the pages are written.
       [&](FaultFileSystem& f) {
         f.beforeChange(4, [&] { std::ofstream(dir_.path() / "FE0.ldb") << std::string(64, 'A'); });
       },
       [] {}, kErrFileInUse},
  };
  for (const bool keep : {false, true})
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.what) + (keep ? " (readings kept)" : ""));
    std::optional<KeptReadings> run;
    if (keep) run.emplace();
    restoreAll();
    fs::remove(dir_.path() / "Second.mdb");
    fs::remove(dir_.path() / "Second.ldb");
    fs::remove(dir_.path() / "FE0.ldb");
    povezava::testing::writeFile(other.string(), originals_[0]);
    FaultFileSystem faulty(posixFileSystem());
    Status status;
    {
      WriteBatch batch(povezava::testing::testSetup(faulty, run ? &*run : nullptr));
      batch.beginUnit();
      c.during(faulty);
      status = relink(batch.engine(), paths_[0]);
      if (status.ok()) {
        c.beforeCommit();
        status = batch.commit().front();
      }
    }
    EXPECT_EQ(status.number(), c.error) << status.toString();
    // What the other program left is what the file holds.
    const Bytes now = readFile(paths_[0]);
    Bytes scribbled = originals_[0];
    scribbled[2 * 4096 + 4000] ^= std::byte{0x5A};
    EXPECT_TRUE(now == originals_[0] || now == scribbled) << "the file holds neither what it held nor the change";
    if (c.othersJournalStays) {
      ASSERT_TRUE(fs::exists(journalPath(paths_[0])));
      EXPECT_EQ(readFile(journalPath(paths_[0])), othersJournal);
      fs::remove(journalPath(paths_[0]));
    }
    EXPECT_FALSE(fs::exists(journalPath(paths_[0])));
    if (fs::exists(other)) {
      EXPECT_EQ(readFile(other.string()), originals_[0]);
    }
  }
}

// On a share each open is a round trip: the batch opens a front-end once,
// read-write, to read, lock and relink it, however many tables its relinks
// change (later relinks read through the file already open, and the pages
// already read).
TEST_F(WriteBatchTest, AFrontEndsOpensDoNotGrowWithItsTables) {
  auto real = posixFileSystem().realPath(paths_[0]);
  ASSERT_TRUE(real.ok());
  for (const std::size_t tables : {std::size_t{1}, std::size(kTables)}) {
    SCOPED_TRACE(std::to_string(tables) + " tables");
    restoreAll();
    FaultFileSystem counted(posixFileSystem());
    WriteBatch batch(povezava::testing::testSetup(counted));
    batch.beginUnit();
    ASSERT_TRUE(relink(batch.engine(), paths_[0], std::span(kTables).first(tables)).ok());
    const int opens = counted.opens(paths_[0]) + (*real != paths_[0] ? counted.opens(*real) : 0);
    EXPECT_EQ(opens, 1);
    ASSERT_TRUE(batch.commit().front().ok());
  }
  EXPECT_EQ(readFile(paths_[0]), expected_[0]);
}

// The soak of the races and double faults (scripts/relink-soak raises the
// rounds through POVEZAVA_SOAK_ROUNDS): at a random moment of a relink and
// its commit, either a new version is renamed over the front-end, or one
// call fails and the power goes a little later. The new version is never
// written; after the power loss the front-end is old or new, and new when
// it was reported stored.
TEST_F(WriteBatchTest, SoakRenameRacesAndDoubleFaults) {
  const char* soak = std::getenv("POVEZAVA_SOAK_ROUNDS");
  const int rounds = soak != nullptr ? std::max(1, std::atoi(soak)) : 16;
  FaultFileSystem probe(posixFileSystem());
  {
    WriteBatch batch(povezava::testing::testSetup(probe));
    batch.beginUnit();
    ASSERT_TRUE(relink(batch.engine(), paths_[0]).ok());
    ASSERT_TRUE(batch.commit().front().ok());
  }
  const int changes = probe.changes();
  const int writes = probe.writes();
  const int syncs = probe.syncs();
  const fs::path other = dir_.path() / "new version.mdb";
  std::mt19937 random(20261208);
  int renames = 0, renamesRefused = 0, doubleFaults = 0, reportedStored = 0;
  for (int round = 0; round < rounds; ++round) {
#ifdef _WIN32
    const bool race = false;  // Windows does not let another program rename over an open file
#else
    const bool race = round % 2 == 0;
#endif
    const int at = std::uniform_int_distribution<int>(1, changes)(random);
    SCOPED_TRACE("round " + std::to_string(round) + (race ? ": renamed over before change " : ": power lost after ") +
                 std::to_string(at));
    restoreAll();
    povezava::testing::writeFile(other.string(), originals_[0]);
    FaultFileSystem faulty(posixFileSystem());
    if (race) {
      faulty.beforeChange(at, [&] { fs::rename(other, paths_[0]); });
    } else {
      // The first fault anywhere before the power goes: a write, a sync or a
      // folder sync that fails; in one round of three none (the power alone).
      const int faults = writes + syncs + 2;
      const int first = std::uniform_int_distribution<int>(1, faults + faults / 2)(random);
      if (first <= writes) {
        faulty.failWrite(first);
      } else if (first <= writes + syncs) {
        faulty.failSync(first - writes);
      } else if (first <= faults) {
        faulty.failFolderSync(first - writes - syncs);
      }
      faulty.crashAfter(at);
    }
    Status stored;
    {
      WriteBatch batch(povezava::testing::testSetup(faulty));
      batch.beginUnit();
      stored = relink(batch.engine(), paths_[0]);
      if (stored.ok()) stored = batch.commit().front();
    }
    if (race) {
      ++renames;
      if (!stored.ok()) ++renamesRefused;
      EXPECT_EQ(readFile(paths_[0]), originals_[0]) << "the new version was written";
      (void)recoverInterruptedRelink(posixFileSystem(), testNotices(), paths_[0]);
      EXPECT_EQ(readFile(paths_[0]), originals_[0]) << "recovery wrote the new version";
      continue;
    }
    ++doubleFaults;
    faulty.powerCycle();
    const int found = outcome(0);
    EXPECT_NE(found, -1) << "neither old nor new";
    if (stored.ok()) {
      ++reportedStored;
      EXPECT_EQ(found, 1) << "reported stored, found old";
    }
  }
  RecordProperty("renames", renames);
  RecordProperty("renamesRefused", renamesRefused);
  RecordProperty("doubleFaults", doubleFaults);
  RecordProperty("reportedStored", reportedStored);
}

// The same without a batch, as the window relinks: the file opened for
// writing must be the one the database was read from.
TEST_F(WriteBatchTest, WithoutABatchTooOnlyTheFileReadIsWritten) {
  POVEZAVA_REQUIRE_POSIX("renaming over an open file");
  const fs::path other = dir_.path() / "new version.mdb";
  povezava::testing::writeFile(other.string(), originals_[0]);
  FaultFileSystem faulty(posixFileSystem());
  faulty.beforeOpen([&, done = false](const std::string& path, OpenMode mode) mutable {
    if (!done && mode == OpenMode::readWrite && fs::path(path).filename() == "FE0.mdb") {
      done = true;
      fs::rename(other, paths_[0]);
    }
  });
  JetEngine engine(povezava::testing::testSetup(faulty));
  const Status s = relink(engine, paths_[0]);
  EXPECT_EQ(s.number(), kErrFileInUse) << s.toString();
  EXPECT_NE(s.description().find("another file was put under its name"), std::string::npos) << s.description();
  EXPECT_EQ(readFile(paths_[0]), originals_[0]);
  EXPECT_FALSE(fs::exists(journalPath(paths_[0])));
}

TEST_F(WriteBatchTest, AccessOpeningAFileBeforeTheCommitKeepsThatFileOut) {
  WriteBatch batch(povezava::testing::testSetup());
  stageAll(batch);
  // One entry: computer name and user name, 32 bytes each.
  std::string entry = "WORKSTATION7";
  entry.resize(64, '\0');
  std::ofstream(dir_.path() / "fe2.LACCDB") << entry;
  const std::vector<Status> stored = batch.commit();
  EXPECT_TRUE(stored[0].ok());
  EXPECT_TRUE(stored[1].ok());
  EXPECT_EQ(stored[2].number(), kErrFileInUse);
  EXPECT_NE(stored[2].description().find("WORKSTATION7"), std::string::npos) << stored[2].toString();
  EXPECT_EQ(readFile(paths_[2]), originals_[2]);
  EXPECT_EQ(readFile(paths_[1]), expected_[1]);
}

TEST_F(WriteBatchTest, UnitsSharingAFileAnswerTogether) {
  const char16_t* partner[] = {u"PARTNER"};
  const char16_t* codeTables[] = {u"KONTI", u"NALOGI"};
  for (const bool accessOpens : {false, true}) {
    SCOPED_TRACE(accessOpens ? "Access opens it" : "stored");
    restoreAll();
    WriteBatch batch(povezava::testing::testSetup());
    batch.beginUnit();
    ASSERT_TRUE(relink(batch.engine(), paths_[0], partner).ok());
    batch.beginUnit();
    ASSERT_TRUE(relink(batch.engine(), paths_[0], codeTables).ok());
    batch.beginUnit();  // writes nothing
    EXPECT_EQ(batch.heldFiles(), 1U);
    const fs::path lockFile = dir_.path() / "FE0.ldb";
    if (accessOpens) std::ofstream(lockFile) << "PC1";
    const std::vector<Status> stored = batch.commit();
    ASSERT_EQ(stored.size(), 3U);
    EXPECT_EQ(stored[0].ok(), !accessOpens);
    EXPECT_EQ(stored[1].ok(), !accessOpens);
    EXPECT_TRUE(stored[2].ok());
    EXPECT_EQ(readFile(paths_[0]), accessOpens ? originals_[0] : expected_[0]);
    fs::remove(lockFile);
  }
}

TEST_F(WriteBatchTest, AnInterruptedRelinkIsUndoneOnTheDiskBeforeTheBatchReads) {
  // What a relink killed after its journal and a first page write leaves.
  const std::uint32_t pageSize = 4096;  // FE0 is Jet 4
  {
    auto file = posixFileSystem().open(paths_[0], OpenMode::readWrite);
    ASSERT_TRUE(file.ok());
    const PageImage old{1, Bytes(originals_[0].begin() + pageSize, originals_[0].begin() + 2 * pageSize)};
    const PageImage next{1, Bytes(pageSize, std::byte{0xEE})};
    ASSERT_TRUE(writeJournal(posixFileSystem(), **file, pageSize, std::span(&old, 1), std::span(&next, 1)).ok());
    ASSERT_TRUE((*file)->writeAt(pageSize, next.bytes).ok());
  }
  WriteBatch batch(povezava::testing::testSetup());
  batch.beginUnit();
  ASSERT_TRUE(relink(batch.engine(), paths_[0]).ok());
  // The replay is on the disk already; the relink itself is still held.
  EXPECT_EQ(readFile(paths_[0]), originals_[0]);
  EXPECT_FALSE(fs::exists(journalPath(paths_[0])));
  ASSERT_TRUE(batch.commit().front().ok());
  EXPECT_EQ(readFile(paths_[0]), expected_[0]);
}

}  // namespace
}  // namespace povezava::engine::jet
