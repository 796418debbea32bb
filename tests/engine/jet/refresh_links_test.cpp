// Several links of one front-end stored together (Database::refreshLinks):
// a fault at any write or sync leaves the file as it was, byte for byte, and
// the table definitions as they were; without a fault all are stored.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/engine.h"
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

using povezava::testing::FaultFileSystem;
using povezava::testing::readFile;
using povezava::testing::storedConnect;
using povezava::testing::TempDir;

class RefreshLinks : public ::testing::Test {
 protected:
  void SetUp() override {
    povezava::testing::buildBackEnds(dir_.path() / "old");
    povezava::testing::buildBackEnds(dir_.path() / "new");
    povezava::testing::buildFrontEnd(frontEnd(), fromUtf8((dir_.path() / "old" / "PARTNER.MDB").string()),
                                     fromUtf8((dir_.path() / "old" / "QUERNO.MDB").string()));
  }
  std::filesystem::path frontEnd() const { return dir_.path() / "TQ.mdb"; }
  std::u16string newLink(const char* file) const {
    return u";DATABASE=" + fromUtf8((dir_.path() / "new" / file).string());
  }

  // Opens the front-end through `fs` and stores the three new links together.
  Status relinkThrough(FileSystem& fs, std::vector<std::shared_ptr<TableDef>>* kept = nullptr) {
    JetEngine engine(povezava::testing::testSetup(fs));
    auto db = engine.openDatabase(fromUtf8(frontEnd().string()));
    if (!db) return db.status();
    auto tables = (*db)->tableDefs();
    if (!tables) return tables.status();
    std::vector<std::shared_ptr<TableDef>> three;
    for (const char16_t* name : {u"PARTNER", u"KONTI", u"NALOGI"}) {
      auto table = (*tables)->item(name);
      if (!table) return table.status();
      if (Status s = (*table)->setConnect(newLink(name[0] == u'P' ? "PARTNER.MDB" : "QUERNO.MDB")); !s.ok()) return s;
      three.push_back(*table);
    }
    Status stored = (*db)->refreshLinks(three);
    if (kept != nullptr) *kept = three;
    return stored;
  }

  TempDir dir_;
};

TEST_F(RefreshLinks, AFaultAtAnyWriteOrSyncLeavesTheFileAsItWas) {
  const auto before = readFile(frontEnd());
  struct Plan {
    const char* name;
    void (*arm)(FaultFileSystem& fs, int n);
  };
  const Plan plans[] = {
      {"write fails", [](FaultFileSystem& fs, int n) { fs.failWrite(n); }},
      {"sync fails", [](FaultFileSystem& fs, int n) { fs.failSync(n); }},
  };
  for (const Plan& plan : plans) {
    SCOPED_TRACE(plan.name);
    int n = 1;
    for (; n < 100; ++n) {
      FaultFileSystem fs(posixFileSystem());
      plan.arm(fs, n);
      std::vector<std::shared_ptr<TableDef>> tables;
      const Status stored = relinkThrough(fs, &tables);
      if (stored.ok()) break;  // the fault lies past the last write or sync
      EXPECT_EQ(readFile(frontEnd()), before) << "fault at " << n << ": " << stored.toString();
      // The definitions still hold what they were given, not stored.
      for (const auto& table : tables) {
        EXPECT_EQ(table->backendPath().value_or(u"").find(fromUtf8((dir_.path() / "old").string())), 0u);
      }
    }
    ASSERT_LT(n, 100);
    ASSERT_GT(n, 1) << "no write or sync was made";
    EXPECT_EQ(storedConnect(frontEnd(), u"PARTNER"), newLink("PARTNER.MDB"));
    EXPECT_EQ(storedConnect(frontEnd(), u"NALOGI"), newLink("QUERNO.MDB"));
    // Back to the old links for the next plan.
    povezava::testing::restoreFile(frontEnd().string(), before);
  }
}

TEST_F(RefreshLinks, ABackEndThatFailsItsCheckStoresNone) {
  const auto before = readFile(frontEnd());
  std::filesystem::remove(dir_.path() / "new" / "QUERNO.MDB");
  const Status stored = relinkThrough(posixFileSystem());
  EXPECT_EQ(stored.number(), kErrFileNotFound) << stored.toString();
  EXPECT_EQ(readFile(frontEnd()), before);
}

}  // namespace
}  // namespace povezava::engine::jet
