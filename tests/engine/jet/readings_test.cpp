// Round trips on a share, counted through the fault file system: within one
// run (KeptReadings) a front-end's catalogue and each back-end are read once,
// and read again when they change; without one every reading goes to the file.
#include "engine/readings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "base/errors.h"
#include "engine/jet/jet_database.h"
#include "base/unicode.h"
#include "support/databases.h"
#include "support/fault_io.h"
#include "support/test_support.h"
#include "platform/file_system.h"
#include "support/test_engine.h"

namespace povezava::engine::jet {
namespace {

namespace fs = std::filesystem;
using povezava::testing::FaultFileSystem;

constexpr const char16_t* kLinked[] = {u"PARTNER", u"KONTI", u"NALOGI"};

class ReadingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    data_ = dir_.path() / "DATA";
    ASSERT_NO_FATAL_FAILURE(povezava::testing::buildBackEnds(data_));
    frontEnd_ = (dir_.path() / "TQ.mdb").string();
    ASSERT_NO_FATAL_FAILURE(povezava::testing::buildFrontEnd(frontEnd_, fromUtf8(backEnd("PARTNER.MDB")),
                                                             fromUtf8(backEnd("QUERNO.MDB"))));
  }

  std::string backEnd(const char* name) const { return (data_ / name).string(); }

  // Opens the front-end through `fs` and checks its three links, `rounds`
  // times over (as a run over front-ends that share back-ends does), keeping
  // `readings` when given.
  void checkLinks(FileSystem& fs, int rounds, KeptReadings* readings) const {
    JetEngine engine(povezava::testing::testSetup(fs, readings));
    for (int round = 0; round < rounds; ++round) {
      auto db = engine.openDatabase(fromUtf8(frontEnd_));
      ASSERT_TRUE(db.ok()) << db.status().toString();
      auto defs = (*db)->tableDefs();
      ASSERT_TRUE(defs.ok()) << defs.status().toString();
      for (const char16_t* name : kLinked) {
        auto table = (*defs)->item(name);
        ASSERT_TRUE(table.ok()) << table.status().toString();
        EXPECT_TRUE((*table)->checkLink().ok()) << toUtf8(name);
      }
      ASSERT_TRUE((*db)->close().ok());
    }
  }

  povezava::testing::TempDir dir_;
  fs::path data_;
  std::string frontEnd_;
};

TEST_F(ReadingsTest, EachBackEndIsOpenedOncePerRun) {
  struct Case {
    bool keep;
    int partnerOpens;  // PARTNER: one table, three rounds
    int quernoOpens;   // QUERNO: two tables, three rounds
  } cases[] = {{false, 3, 6}, {true, 1, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keep ? "readings kept" : "without");
    std::optional<KeptReadings> run;
    if (c.keep) run.emplace();
    FaultFileSystem counted(posixFileSystem());
    ASSERT_NO_FATAL_FAILURE(checkLinks(counted, 3, run ? &*run : nullptr));
    EXPECT_EQ(counted.opens(backEnd("PARTNER.MDB")), c.partnerOpens);
    EXPECT_EQ(counted.opens(backEnd("QUERNO.MDB")), c.quernoOpens);
    EXPECT_EQ(counted.opens(frontEnd_), 3);
  }
}

// Within one database (a front-end's check and the relink that follows), a
// back-end found to hold its tables is not asked about again; a change this
// process makes to any file ends that.
TEST_F(ReadingsTest, ABackEndConfirmedThroughADatabaseIsNotAskedAboutAgain) {
  KeptReadings run;
  FaultFileSystem counted(posixFileSystem());
  ASSERT_NO_FATAL_FAILURE(checkLinks(counted, 1, &run));  // the back-ends read once
  JetEngine engine(povezava::testing::testSetup(counted, &run));
  auto db = engine.openDatabase(fromUtf8(frontEnd_));
  ASSERT_TRUE(db.ok()) << db.status().toString();
  auto defs = (*db)->tableDefs();
  ASSERT_TRUE(defs.ok());
  const auto checkAll = [&] {
    const int before = counted.questions();
    for (const char16_t* name : kLinked) EXPECT_TRUE((*(*defs)->item(name))->checkLink().ok()) << toUtf8(name);
    return counted.questions() - before;
  };
  EXPECT_EQ(checkAll(), 2);  // PARTNER and QUERNO, each once for this database
  EXPECT_EQ(checkAll(), 0);
  EXPECT_EQ(counted.opens(backEnd("QUERNO.MDB")), 1);
  // After a change made here every reading is taken again.
  noteChangeMadeHere();
  EXPECT_GT(checkAll(), 0);
  EXPECT_EQ(counted.opens(backEnd("QUERNO.MDB")), 2);
  ASSERT_TRUE((*db)->close().ok());
}

TEST_F(ReadingsTest, ABackEndChangedWithinTheRunIsReadAgain) {
  KeptReadings run;
  FaultFileSystem counted(posixFileSystem());
  ASSERT_NO_FATAL_FAILURE(checkLinks(counted, 1, &run));
  ASSERT_EQ(counted.opens(backEnd("QUERNO.MDB")), 1);
  // Another program puts a database without KONTI and NALOGI in its place
  // (the same file, rewritten).
  const auto partner = povezava::testing::readFile(backEnd("PARTNER.MDB"));
  povezava::testing::restoreFile(backEnd("QUERNO.MDB"), partner);

  JetEngine engine(povezava::testing::testSetup(counted, &run));
  auto db = engine.openDatabase(fromUtf8(frontEnd_));
  ASSERT_TRUE(db.ok()) << db.status().toString();
  auto defs = (*db)->tableDefs();
  ASSERT_TRUE(defs.ok());
  auto konti = (*defs)->item(u"KONTI");
  ASSERT_TRUE(konti.ok());
  EXPECT_EQ((*konti)->checkLink().number(), kErrObjectNotFound);
  EXPECT_EQ(counted.opens(backEnd("QUERNO.MDB")), 2);
  ASSERT_TRUE((*db)->close().ok());
}

TEST_F(ReadingsTest, TheCatalogueIsReadOncePerRunUntilThisProcessWrites) {
  const auto original = povezava::testing::readFile(frontEnd_);
  for (const bool keep : {false, true}) {
    SCOPED_TRACE(keep ? "readings kept" : "without");
    std::optional<KeptReadings> run;
    if (keep) run.emplace();
    FaultFileSystem counted(posixFileSystem());
    JetEngine engine(povezava::testing::testSetup(counted, run ? &*run : nullptr));
    auto db = engine.openDatabase(fromUtf8(frontEnd_));
    ASSERT_TRUE(db.ok()) << db.status().toString();
    const int reads = counted.reads(frontEnd_);
    const int questions = counted.questions();
    for (int i = 0; i < 5; ++i) ASSERT_TRUE((*db)->tableDefs().ok());
    if (keep) {
      EXPECT_EQ(counted.reads(frontEnd_), reads);
      EXPECT_EQ(counted.questions(), questions);
    } else {
      EXPECT_GT(counted.reads(frontEnd_), reads);  // each reading checks the pages again
    }

    // Another database of this process relinks PARTNER: the first one's
    // next reading shows it, kept readings or not.
    const std::u16string moved = u";DATABASE=" + fromUtf8((dir_.path() / "PARTNER.MDB").string());
    // (MinGW's copy_file does not overwrite, whatever the options say.)
    fs::remove(dir_.path() / "PARTNER.MDB");
    fs::copy_file(backEnd("PARTNER.MDB"), dir_.path() / "PARTNER.MDB");
    {
      auto other = engine.openDatabase(fromUtf8(frontEnd_));
      ASSERT_TRUE(other.ok());
      auto defs = (*other)->tableDefs();
      ASSERT_TRUE(defs.ok());
      auto partner = (*defs)->item(u"PARTNER");
      ASSERT_TRUE(partner.ok());
      ASSERT_TRUE((*partner)->setConnect(moved).ok());
      ASSERT_TRUE((*partner)->refreshLink().ok());
      ASSERT_TRUE((*other)->close().ok());
    }
    auto defs = (*db)->tableDefs();
    ASSERT_TRUE(defs.ok());
    auto partner = (*defs)->item(u"PARTNER");
    ASSERT_TRUE(partner.ok());
    auto connect = (*partner)->connect();
    ASSERT_TRUE(connect.ok());
    EXPECT_EQ(*connect, moved);
    ASSERT_TRUE((*db)->close().ok());
    // Back as it was for the next case.
    povezava::testing::restoreFile(frontEnd_, original);
  }
}

// On a share each read is a round trip: a file Access made keeps its
// catalogue (definition, usage maps, rows, long values) within its first
// pages, which the opening read brings in at once.
TEST(OpeningRead, TheCatalogueOfAFileAccessMadeComesInFewReads) {
  POVEZAVA_REQUIRE_FIXTURES();
  struct Case {
    const char* fixture;
    int reads;  // opening the database and reading its tables
  } cases[] = {
      {"access-made/V1997/testV1997.mdb", 1},
      {"access-made/V2000/testV2000.mdb", 1},
      {"access-made/V2003/testV2003.mdb", 1},
      {"jet4-v2000/TQ.mdb", 1},
      {"jet4-v2003/TQ.mdb", 1},
      {"access-made/V2007/linkerTestV2007.accdb", 3},  // its long values lie at pages 17 and 99
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fixture);
    const std::string path = (povezava::testing::fixturesDir() / c.fixture).string();
    FaultFileSystem counted(posixFileSystem());
    KeptReadings run;  // as povezava-cli keeps them
    JetEngine engine(povezava::testing::testSetup(counted, &run));
    auto db = engine.openDatabase(fromUtf8(path));
    ASSERT_TRUE(db.ok()) << db.status().toString();
    auto defs = (*db)->tableDefs();
    ASSERT_TRUE(defs.ok()) << defs.status().toString();
    EXPECT_GT((*defs)->count(), 0u);
    // (Counted over every path: the engine may open the name in its own
    // form, with Windows' separators.)
    EXPECT_EQ(counted.reads(), c.reads);
    ASSERT_TRUE((*db)->close().ok());
  }
}

}  // namespace
}  // namespace povezava::engine::jet
