#include "links/relinking.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_engine.h"
#include "links/inspection.h"

namespace povezava::links {
namespace {

using testing::FakeEngine;

class Relinking : public ::testing::Test {
 protected:
  void SetUp() override {
    tq_ = engine_.addFrontEnd(u"TQ.mdb");
    texts_.ImeBaze = u"TQ.mdb";
    engine_.backends = {u"D:\\DATA\\PARTNER.MDB", u"D:\\DATA\\querno.MDB"};
  }

  void inspect() {
    ASSERT_TRUE(inspectLinks(engine_, u"/app", state_, texts_).ok());
    texts_.Text2 = {u";DATABASE=D:\\DATA\\PARTNER.MDB", u";DATABASE=D:\\DATA\\querno.MDB"};
    engine_.log.clear();
  }

  FakeEngine engine_;
  std::shared_ptr<testing::FakeFile> tq_;
  WindowState state_;
  WindowTexts texts_;
};

TEST_F(Relinking, PartnerTakesBoxZeroCodeTablesBoxOneEachRefreshedRightAfter) {
  inspect();
  EXPECT_TRUE(relinkTables(state_, texts_).empty());
  const std::vector<std::string> expected = {
      "set PARTNER ;DATABASE=D:\\DATA\\PARTNER.MDB", "refresh PARTNER",
      "set KONTI ;DATABASE=D:\\DATA\\querno.MDB",    "refresh KONTI",
      "set NALOGI ;DATABASE=D:\\DATA\\querno.MDB",   "refresh NALOGI"};
  EXPECT_EQ(engine_.log, expected);
  EXPECT_EQ(tq_->tables[0].connect, u";DATABASE=D:\\DATA\\PARTNER.MDB");
  EXPECT_EQ(tq_->tables[1].connect, u";DATABASE=D:\\DATA\\querno.MDB");
  EXPECT_EQ(tq_->tables[2].connect, u";DATABASE=D:\\DATA\\querno.MDB");
  EXPECT_EQ(tq_->tables[3].connect, u"");  // LOCAL1 untouched
}

TEST_F(Relinking, UnboundSlotsAreSkippedSilently) {
  tq_->tables.clear();
  inspect();
  EXPECT_TRUE(relinkTables(state_, texts_).empty());
  EXPECT_TRUE(engine_.log.empty());
}

TEST_F(Relinking, NothingInspectedWritesNothing) {
  EXPECT_TRUE(relinkTables(state_, texts_).empty());
  EXPECT_TRUE(engine_.log.empty());
}

TEST_F(Relinking, MissingPartnerBackendFailsOnlyItsRefresh) {
  inspect();
  texts_.Text2[0] = u";DATABASE=D:\\NOWHERE\\PARTNER.MDB";
  const auto failures = relinkTables(state_, texts_);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].slot, kSlotPartner);
  EXPECT_EQ(failures[0].table, u"PARTNER");
  EXPECT_EQ(failures[0].link, u";DATABASE=D:\\NOWHERE\\PARTNER.MDB");
  EXPECT_EQ(failures[0].step, RelinkStep::refresh);
  EXPECT_EQ(failures[0].status.number(), engine::kErrFileNotFound);
  EXPECT_EQ(tq_->tables[0].connect, u";DATABASE=C:\\APP\\PARTNER.MDB");  // left as it was
  EXPECT_EQ(tq_->tables[1].connect, u";DATABASE=D:\\DATA\\querno.MDB");
  EXPECT_EQ(tq_->tables[2].connect, u";DATABASE=D:\\DATA\\querno.MDB");
}

TEST_F(Relinking, EmptyCodeTableLinkIsWrittenAsItReadsAndEveryFailureListed) {
  inspect();
  texts_.Text2[1] = u"";
  const auto failures = relinkTables(state_, texts_);
  // KONTI and NALOGI: the write is refused, the refresh still runs (and
  // succeeds here only if the old back-end existed; it does not).
  ASSERT_EQ(failures.size(), 4u);
  EXPECT_EQ(failures[0].table, u"KONTI");
  EXPECT_EQ(failures[0].step, RelinkStep::write);
  EXPECT_EQ(failures[0].link, u"");
  EXPECT_EQ(failures[1].table, u"KONTI");
  EXPECT_EQ(failures[1].step, RelinkStep::refresh);
  EXPECT_EQ(failures[2].table, u"NALOGI");
  EXPECT_EQ(failures[3].table, u"NALOGI");
  EXPECT_EQ(engine_.log[2], "set KONTI ");
  EXPECT_EQ(engine_.log[3], "refresh KONTI");
  EXPECT_EQ(tq_->tables[0].connect, u";DATABASE=D:\\DATA\\PARTNER.MDB");
}

TEST_F(Relinking, RefusedWriteIsAFailureEvenWhenTheRefreshSucceeds) {
  inspect();
  engine_.backends.insert(u"C:\\APP\\QUERNO.MDB");  // the old back-end still resolves
  tq_->tables[1].failSetConnect = true;
  const auto failures = relinkTables(state_, texts_);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].table, u"KONTI");
  EXPECT_EQ(failures[0].step, RelinkStep::write);
  EXPECT_EQ(failures[0].status.number(), engine::kErrNoInstallableIsam);
}

TEST_F(Relinking, BoxTextIsNotTrimmed) {
  inspect();
  texts_.Text2[0] = u" ;DATABASE=D:\\DATA\\PARTNER.MDB ";
  const auto failures = relinkTables(state_, texts_);
  EXPECT_EQ(engine_.log[0], "set PARTNER  ;DATABASE=D:\\DATA\\PARTNER.MDB ");
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].link, u" ;DATABASE=D:\\DATA\\PARTNER.MDB ");
}

TEST_F(Relinking, LocalPartnerFailsBothStepsAndTheOthersGoOn) {
  tq_->tables[0] = {u"PARTNER", engine::TableKind::local, u""};
  inspect();
  const auto failures = relinkTables(state_, texts_);
  ASSERT_EQ(failures.size(), 2u);
  EXPECT_EQ(failures[0].status.number(), engine::kErrNotSupported);
  EXPECT_EQ(failures[1].status.number(), engine::kErrNotSupported);
  EXPECT_EQ(tq_->tables[1].connect, u";DATABASE=D:\\DATA\\querno.MDB");
}

TEST_F(Relinking, AfterUnloadEveryBoundTableFails) {
  inspect();
  ASSERT_TRUE(unloadLinks(state_).ok());
  const auto failures = relinkTables(state_, texts_);
  ASSERT_EQ(failures.size(), 6u);
  for (const auto& failure : failures) EXPECT_EQ(failure.status.number(), engine::kErrObjectInvalid);
}

TEST(RelinkFailure, DescribedOnOneLine) {
  RelinkFailure failure{kSlotKonti, u"KONTI", u";DATABASE=D:\\\u010Cas\\querno.MDB",
                        RelinkStep::refresh, engine::errors::fileNotFound("D:\\Cas\\querno.MDB")};
  const std::string line = describeFailure(failure);
  EXPECT_EQ(line.rfind("KONTI: refreshing ;DATABASE=D:\\\xC4\x8C" "as\\querno.MDB: error 3024: ", 0), 0u)
      << line;
  EXPECT_EQ(line.find('\n'), std::string::npos);
  failure.step = RelinkStep::write;
  EXPECT_EQ(describeFailure(failure).rfind("KONTI: writing ", 0), 0u);
}

}  // namespace
}  // namespace povezava::links
