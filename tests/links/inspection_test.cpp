#include "links/inspection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/unicode.h"
#include "fake_engine.h"
#include "front_ends.h"
#include "links/relinking.h"
#include "support/test_engine.h"

namespace povezava::links {
namespace {

using testing::FakeEngine;
using testing::utf8;

constexpr std::u16string_view kAppPath = u"/opt/povezava/bin";

class Inspection : public ::testing::Test {
 protected:
  void SetUp() override {
    tq_ = engine_.addFrontEnd(u"TQ.mdb");
    texts_.ImeBaze = u"TQ.mdb";
  }

  engine::Status inspect(InspectionSteps* steps = nullptr) {
    return inspectLinks(engine_, {}, kAppPath, state_, texts_, steps);
  }

  void removeTable(testing::FakeFile& file, std::u16string_view name) {
    std::erase_if(file.tables, [&](const testing::FakeTable& t) { return t.name == name; });
  }

  FakeEngine engine_;
  std::shared_ptr<testing::FakeFile> tq_;
  WindowState state_;
  WindowTexts texts_;
};

TEST_F(Inspection, EachLookupReadsTheCollectionAfreshInOrder) {
  ASSERT_TRUE(inspect().ok());
  const std::vector<std::string> expected = {
      "open TQ.mdb",     "tabledefs",      "item Partner", "tabledefs", "item KONTI",
      "tabledefs",       "item NALOGI",    "tabledefs",    "item Partner", "connect PARTNER",
      "tabledefs",       "item KONTI",     "connect KONTI"};
  EXPECT_EQ(engine_.log, expected);
}

TEST_F(Inspection, NameIsHandedToTheEngineExactlyAsTyped) {
  texts_.ImeBaze = u" TQ.mdb ";
  const engine::Status status = inspect();
  EXPECT_EQ(status.number(), engine::kErrFileNotFound);
  EXPECT_EQ(engine_.log, std::vector<std::string>{"open  TQ.mdb "});
}

TEST_F(Inspection, AFailedOpenLetsGoOfTheFrontEndShownBefore) {
  ASSERT_TRUE(inspect().ok());
  texts_.Text2 = {u"typed 0", u"typed 1"};
  texts_.ImeBaze = u"MV.MDB";
  EXPECT_EQ(inspect().number(), engine::kErrFileNotFound);
  EXPECT_FALSE(state_.LinkDb);
  for (const auto& slot : state_.LinkedTables) EXPECT_FALSE(slot);
  EXPECT_EQ(texts_.imetab, u"");
  EXPECT_EQ(texts_.Text1, (std::array<std::u16string, 2>{}));
  EXPECT_EQ(texts_.Text2, (std::array<std::u16string, 2>{u"typed 0", u"typed 1"}));
  EXPECT_FALSE(hasFrontEnd(state_));

  // Relinking now writes nothing, to TQ.mdb least of all: it has nothing
  // to relink.
  engine_.backends = {u"typed 0", u"typed 1"};
  engine_.log.clear();
  const auto failures = relinkTables(state_, texts_);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].step, RelinkStep::noTables);
  EXPECT_TRUE(engine_.log.empty());
  EXPECT_EQ(tq_->tables[0].connect, u";DATABASE=C:\\APP\\PARTNER.MDB");
}

TEST_F(Inspection, NewInspectionClearsSlotsTheNewDatabaseLacks) {
  ASSERT_TRUE(inspect().ok());
  auto other = engine_.addFrontEnd(u"MV.mdb");
  removeTable(*other, u"KONTI");
  removeTable(*other, u"NALOGI");
  texts_.ImeBaze = u"MV.mdb";
  ASSERT_TRUE(inspect().ok());
  EXPECT_EQ(state_.LinkDb->name(), u"MV.mdb");
  EXPECT_TRUE(state_.LinkedTables[kSlotPartner]);
  EXPECT_FALSE(state_.LinkedTables[kSlotKonti]);
  EXPECT_FALSE(state_.LinkedTables[kSlotNalogi]);
  EXPECT_EQ(texts_.Text1[0], u";DATABASE=C:\\APP\\PARTNER.MDB");
  EXPECT_EQ(texts_.Text1[1], u"");

  // Relinking now touches only the database on show.
  engine_.backends = {u"D:\\P.MDB", u"D:\\Q.MDB"};
  texts_.Text2 = {u";DATABASE=D:\\P.MDB", u";DATABASE=D:\\Q.MDB"};
  EXPECT_TRUE(relinkTables(state_, texts_).empty());
  EXPECT_EQ(other->tables[0].connect, u";DATABASE=D:\\P.MDB");
  EXPECT_EQ(tq_->tables[1].connect, u";DATABASE=C:\\APP\\QUERNO.MDB");
  EXPECT_EQ(tq_->tables[2].connect, u";DATABASE=C:\\APP\\QUERNO.MDB");
}

TEST_F(Inspection, ReinspectionReleasesTheEarlierDatabaseWithoutClosingIt) {
  ASSERT_TRUE(inspect().ok());
  ASSERT_TRUE(inspect().ok());
  ASSERT_EQ(engine_.opened.size(), 2u);
  EXPECT_TRUE(engine_.opened[0].expired());
  EXPECT_FALSE(engine_.opened[1].expired());
  EXPECT_EQ(engine_.closes, 0);
}

TEST_F(Inspection, UnreadableLinkKeepsTheBoxText) {
  texts_.Text1[1] = u"earlier";
  tq_->tables[1].failConnectRead = true;
  InspectionSteps steps;
  ASSERT_TRUE(inspect(&steps).ok());
  EXPECT_TRUE(state_.LinkedTables[kSlotKonti]);
  EXPECT_EQ(texts_.Text1[1], u"earlier");
  EXPECT_EQ(steps.show[1].number(), engine::kErrDiskOrNetwork);
  EXPECT_TRUE(steps.show[0].ok());
}

TEST_F(Inspection, UnreadableCatalogueIsAbsorbedAndUnbindsEverySlot) {
  ASSERT_TRUE(inspect().ok());
  tq_->failTableDefs = true;
  texts_.Text2 = {u"typed 0", u"typed 1"};
  InspectionSteps steps;
  ASSERT_TRUE(inspect(&steps).ok());
  for (const auto& slot : state_.LinkedTables) EXPECT_FALSE(slot);
  for (const auto& bind : steps.bind) EXPECT_EQ(bind.number(), engine::kErrCannotOpen);
  EXPECT_EQ(texts_.Text1[0], u"");
  EXPECT_EQ(texts_.Text1[1], u"");
  EXPECT_EQ(texts_.Text2[0], u";DATABASE=/opt/povezava/bin\\PARTNER.MDB");
  EXPECT_EQ(texts_.Text2[1], u";DATABASE=/opt/povezava/bin\\QUERNO.MDB");
}

TEST(Unload, NothingOpenedIsNothingToClose) {
  WindowState state;
  EXPECT_TRUE(unloadLinks(state).ok());
}

TEST(Unload, FailingCloseIsReported) {
  FakeEngine engine;
  engine.addFrontEnd(u"TQ.mdb")->failClose = true;
  WindowState state;
  WindowTexts texts;
  texts.ImeBaze = u"TQ.mdb";
  ASSERT_TRUE(inspectLinks(engine, {}, u"/app", state, texts).ok());
  EXPECT_EQ(unloadLinks(state).number(), engine::kErrDiskOrNetwork);
}

// ---- Real front-ends through the real engine.

class InspectionOnFiles : public testing::FrontEndSetTest {
 protected:
  std::u16string frontEnd(const std::string& stem) const { return engine::fromUtf8(file(stem)); }
  // What the files store: every back-end in C:\APP under the set's extension
  // (the Jet 4 fixtures spell it ".MDB").
  std::u16string storedLink(const std::string& backEnd) const {
    const std::string ext = std::string(GetParam().extension) == ".accdb" ? ".accdb" : ".MDB";
    return engine::fromUtf8(";DATABASE=C:\\APP\\" + backEnd + ext);
  }
  engine::Status inspect(const std::string& stem) {
    texts_.ImeBaze = frontEnd(stem);
    return inspectLinks(povezava::testing::testEngine(), {}, kAppPath, state_, texts_);
  }

  WindowState state_;
  WindowTexts texts_;
};

TEST_P(InspectionOnFiles, ThreeLinkedTablesAreBoundShownAndProposed) {
  ASSERT_TRUE(inspect("TQ").ok());
  ASSERT_TRUE(state_.LinkedTables[kSlotPartner] && state_.LinkedTables[kSlotKonti] &&
              state_.LinkedTables[kSlotNalogi]);
  EXPECT_EQ(state_.LinkedTables[kSlotPartner]->name(), u"PARTNER");
  EXPECT_EQ(state_.LinkedTables[kSlotNalogi]->name(), u"NALOGI");
  EXPECT_EQ(texts_.imetab, u"PARTNER, KONTI, NALOGI");
  EXPECT_EQ(texts_.Text1[0], storedLink("PARTNER"));
  EXPECT_EQ(texts_.Text1[1], storedLink("QUERNO"));
  EXPECT_EQ(texts_.Text2[0], u";DATABASE=/opt/povezava/bin\\PARTNER.MDB");
  EXPECT_EQ(texts_.Text2[1], u";DATABASE=/opt/povezava/bin\\QUERNO.MDB");
}

TEST_P(InspectionOnFiles, FrontEndWithoutNalogiClearsTheSlotAnEarlierOneBound) {
  ASSERT_TRUE(inspect("TQ").ok());
  ASSERT_TRUE(state_.LinkedTables[kSlotNalogi]);
  InspectionSteps steps;
  texts_.ImeBaze = frontEnd("NONALOGI");
  ASSERT_TRUE(inspectLinks(povezava::testing::testEngine(), {}, kAppPath, state_, texts_, &steps).ok());
  EXPECT_TRUE(state_.LinkedTables[kSlotPartner]);
  EXPECT_TRUE(state_.LinkedTables[kSlotKonti]);
  EXPECT_FALSE(state_.LinkedTables[kSlotNalogi]);
  EXPECT_EQ(steps.bind[kSlotNalogi].number(), engine::kErrItemNotFound);
  EXPECT_EQ(texts_.Text1[1], storedLink("QUERNO"));
}

TEST_P(InspectionOnFiles, LocalPartnerIsBoundAndShowsAnEmptyLink) {
  texts_.Text1[0] = u"earlier";
  ASSERT_TRUE(inspect("LOCALPARTNER").ok());
  ASSERT_TRUE(state_.LinkedTables[kSlotPartner]);
  EXPECT_EQ(state_.LinkedTables[kSlotPartner]->kind(), engine::TableKind::local);
  EXPECT_EQ(texts_.Text1[0], u"");
  EXPECT_EQ(texts_.Text1[1], storedLink("QUERNO"));
}

TEST_P(InspectionOnFiles, UnloadClosesTheDatabase) {
  ASSERT_TRUE(inspect("TQ").ok());
  EXPECT_TRUE(unloadLinks(state_).ok());
  EXPECT_EQ(state_.LinkedTables[kSlotKonti]->connect().status().number(), engine::kErrObjectInvalid);
}

INSTANTIATE_TEST_SUITE_P(Formats, InspectionOnFiles, ::testing::ValuesIn(testing::kFrontEndSets),
                         povezava::testing::RowName());

// Files that are not usable front-ends: the open fails with an error that
// names the file, and the front-end inspected before is let go (the boxes the
// user typed into keep their text).
struct BadFile {
  const char* name;
  std::string bytes;  // empty: the file does not exist
  int number;
};

class InspectionOfBadFiles : public ::testing::TestWithParam<BadFile> {};

TEST_P(InspectionOfBadFiles, OpenFailsNamingTheFileAndLetsGoOfTheEarlierOne) {
  povezava::testing::TempDir dir;
  ASSERT_TRUE(testing::prepareFrontEnds(testing::kFrontEndSets[4], dir));
  WindowState state;
  WindowTexts texts;
  texts.ImeBaze = engine::fromUtf8((dir.path() / "TQ.mdb").string());
  ASSERT_TRUE(inspectLinks(povezava::testing::testEngine(), {}, u"/app", state, texts).ok());
  const WindowState before = state;
  const WindowTexts textsBefore = texts;

  const auto path = dir.path() / "BAD.mdb";
  if (!GetParam().bytes.empty()) {
    const auto* data = reinterpret_cast<const std::byte*>(GetParam().bytes.data());
    povezava::testing::writeFile(path, {data, data + GetParam().bytes.size()});
  }
  texts.ImeBaze = engine::fromUtf8(path.string());
  const engine::Status status = inspectLinks(povezava::testing::testEngine(), {}, u"/app", state, texts);
  EXPECT_EQ(status.number(), GetParam().number) << status.toString();
  EXPECT_NE(status.description().find("BAD.mdb"), std::string::npos) << status.toString();
  EXPECT_FALSE(state.LinkDb);
  EXPECT_EQ(state.LinkedTables, (std::array<std::shared_ptr<engine::TableDef>, kSlotCount>{}));
  EXPECT_EQ(texts.Text1, (std::array<std::u16string, 2>{}));
  EXPECT_EQ(texts.Text2, textsBefore.Text2);
  EXPECT_EQ(texts.imetab, u"");
  EXPECT_EQ(state.FirstTableName, before.FirstTableName);
}

INSTANTIATE_TEST_SUITE_P(
    Files, InspectionOfBadFiles,
    ::testing::Values(BadFile{"Missing", "", engine::kErrFileNotFound},
                      BadFile{"OneByte", "x", engine::kErrUnrecognizedFormat},
                      BadFile{"Text", std::string(8192, 'a'), engine::kErrUnrecognizedFormat}),
    povezava::testing::RowName());

// Inspects a copy of an encrypted fixture.
engine::Status inspectEncrypted(const char* file, WindowState& state, WindowTexts& texts) {
  povezava::testing::TempDir dir;
  texts.ImeBaze = engine::fromUtf8(
      dir.copy(povezava::testing::fixturesDir() / "encrypted" / file).string());
  return inspectLinks(povezava::testing::testEngine(), {}, u"/app", state, texts);
}

TEST(InspectionOfEncryptedFiles, PasswordProtectedFileIsRefused) {
  POVEZAVA_REQUIRE_FIXTURES();
  WindowState state;
  WindowTexts texts;
  const engine::Status status = inspectEncrypted("db2007-enc.accdb", state, texts);
  EXPECT_EQ(status.number(), engine::kErrNotValidPassword) << status.toString();
  EXPECT_FALSE(state.LinkDb);
  EXPECT_TRUE(texts.imetab.empty());
}

TEST(InspectionOfEncryptedFiles, EncodedFileWithoutTheTablesBindsNothing) {
  POVEZAVA_REQUIRE_FIXTURES();
  WindowState state;
  WindowTexts texts;
  ASSERT_TRUE(inspectEncrypted("db-enc.mdb", state, texts).ok());
  for (const auto& slot : state.LinkedTables) EXPECT_FALSE(slot);
  EXPECT_EQ(texts.Text1[0], u"");
  EXPECT_EQ(texts.Text2[0], u";DATABASE=/app\\PARTNER.MDB");
}

// Without the fixtures their tests are skipped on a developer's machine and
// fail on CI, where a skip would hide that nothing was tested. Runs one such
// test of this program in a child process with the fixtures out of reach.
TEST(MissingFixtures, AreSkippedLocallyAndFailTheRunOnCi) {
  POVEZAVA_REQUIRE_POSIX("/proc/self/exe, to run this test program again");
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  struct Row {
    const char* ci;  // the CI variable; nullptr: unset
    int status;
    const char* says;
  };
  for (const Row& row : {Row{nullptr, 0, "[  SKIPPED ]"}, Row{"false", 0, "[  SKIPPED ]"},
                         Row{"true", 1, "CI=true requires them"}}) {
    SCOPED_TRACE(row.ci == nullptr ? "CI unset" : row.ci);
    const std::string ci = row.ci == nullptr ? "-u CI" : std::string("CI=") + row.ci;
    int status = -1;
    const std::string out = povezava::testing::runCommand(
        "env " + ci + " POVEZAVA_FIXTURES=/nonexistent " + povezava::testing::shellQuote(self) +
            " --gtest_filter=InspectionOfEncryptedFiles.PasswordProtectedFileIsRefused 2>&1",
        &status);
    EXPECT_EQ(status, row.status) << out;
    EXPECT_NE(out.find(row.says), std::string::npos) << out;
  }
}

}  // namespace
}  // namespace povezava::links
