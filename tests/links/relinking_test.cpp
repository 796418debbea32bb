#include "links/relinking.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "base/unicode.h"
#include "fake_engine.h"
#include "front_ends.h"
#include "links/startup.h"
#include "links/inspection.h"
#include "support/databases.h"
#include "support/test_engine.h"

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
    ASSERT_TRUE(inspectLinks(engine_, {}, u"/app", state_, texts_).ok());
    texts_.Text2 = {u";DATABASE=D:\\DATA\\PARTNER.MDB", u";DATABASE=D:\\DATA\\querno.MDB"};
    engine_.log.clear();
  }

  FakeEngine engine_;
  std::shared_ptr<testing::FakeFile> tq_;
  WindowState state_;
  WindowTexts texts_;
};

TEST_F(Relinking, EveryTableIsCheckedWithTheFrontEndThenAllAreStoredInOneWrite) {
  inspect();
  EXPECT_TRUE(relinkTables(state_, texts_).empty());
  const std::vector<std::string> expected = {
      "connect PARTNER", "set PARTNER ;DATABASE=D:\\DATA\\PARTNER.MDB", "check PARTNER",
      "connect KONTI",   "set KONTI ;DATABASE=D:\\DATA\\querno.MDB",    "check KONTI",
      "connect NALOGI",  "set NALOGI ;DATABASE=D:\\DATA\\querno.MDB",   "check NALOGI",
      "writable",                                     "store PARTNER KONTI NALOGI"};
  EXPECT_EQ(engine_.log, expected);
  EXPECT_EQ(tq_->tables[0].connect, u";DATABASE=D:\\DATA\\PARTNER.MDB");
  EXPECT_EQ(tq_->tables[1].connect, u";DATABASE=D:\\DATA\\querno.MDB");
  EXPECT_EQ(tq_->tables[2].connect, u";DATABASE=D:\\DATA\\querno.MDB");
  EXPECT_EQ(tq_->tables[3].connect, u"");  // LOCAL1 untouched
}

TEST_F(Relinking, NoLinkedTableToRelinkIsAFailureAndWritesNothing) {
  tq_->tables.clear();
  inspect();
  auto failures = relinkTables(state_, texts_);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].step, RelinkStep::noTables);
  EXPECT_EQ(failures[0].status.number(), engine::kErrNoLinkedTables);
  EXPECT_TRUE(engine_.log.empty());
  // Nothing inspected: the same.
  failures = relinkTables(WindowState{}, texts_);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].step, RelinkStep::noTables);
}

TEST_F(Relinking, RelinkingToTheStoredLinksAgainSucceeds) {
  inspect();
  ASSERT_TRUE(relinkTables(state_, texts_).empty());
  inspect();
  EXPECT_TRUE(relinkTables(state_, texts_).empty());
  EXPECT_EQ(tq_->tables[1].connect, u";DATABASE=D:\\DATA\\querno.MDB");
}

// Any failed check, or a write that fails, leaves every table as it was;
// the failures are listed first, then the tables held back.
TEST_F(Relinking, OneFailureHoldsBackEveryTableAndWritesNothing) {
  struct Case {
    const char* name;
    void (*fault)(testing::FakeFile& file);
    std::vector<RelinkStep> steps;    // of the failures, in order
    std::vector<std::u16string> tables;
  };
  const Case cases[] = {
      {"refused link string", [](testing::FakeFile& f) { f.tables[1].failSetConnect = true; },
       {RelinkStep::write, RelinkStep::heldBack, RelinkStep::heldBack}, {u"KONTI", u"PARTNER", u"NALOGI"}},
      {"back-end missing", [](testing::FakeFile& f) { f.tables[2].failRefresh = true; },
       {RelinkStep::refresh, RelinkStep::heldBack, RelinkStep::heldBack}, {u"NALOGI", u"PARTNER", u"KONTI"}},
      {"front-end locked", [](testing::FakeFile& f) { f.failWritable = true; },
       {RelinkStep::frontEnd, RelinkStep::heldBack, RelinkStep::heldBack, RelinkStep::heldBack},
       {u"", u"PARTNER", u"KONTI", u"NALOGI"}},
      {"store fails", [](testing::FakeFile& f) { f.failStore = true; },
       {RelinkStep::refresh, RelinkStep::refresh, RelinkStep::refresh}, {u"PARTNER", u"KONTI", u"NALOGI"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    tq_ = engine_.addFrontEnd(u"TQ.mdb");
    state_ = WindowState{};
    inspect();
    c.fault(*tq_);
    const auto failures = relinkTables(state_, texts_);
    ASSERT_EQ(failures.size(), c.steps.size());
    for (std::size_t i = 0; i < failures.size(); ++i) {
      EXPECT_EQ(failures[i].step, c.steps[i]) << i;
      EXPECT_EQ(failures[i].table, c.tables[i]) << i;
      if (c.steps[i] == RelinkStep::heldBack) {
        EXPECT_EQ(failures[i].status.number(), engine::kErrHeldBack);
        EXPECT_NE(describeFailure(failures[i]).find("held back"), std::string::npos);
      }
    }
    for (std::size_t t = 0; t < 3; ++t) EXPECT_EQ(tq_->tables[t].connect.find(u";DATABASE=C:\\APP\\"), 0u) << t;
  }
}

TEST_F(Relinking, EachTableOnItsOwnWritesWhatChecksOut) {
  inspect();
  tq_->tables[1].failRefresh = true;
  const auto failures = relinkTables(state_, texts_, RelinkOptions{.eachTable = true});
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].table, u"KONTI");
  EXPECT_EQ(tq_->tables[0].connect, u";DATABASE=D:\\DATA\\PARTNER.MDB");
  EXPECT_EQ(tq_->tables[2].connect, u";DATABASE=D:\\DATA\\querno.MDB");
}

TEST_F(Relinking, ALocalPartnerIsRefusedAloneAndHoldsNothingBack) {
  tq_->tables[0].kind = engine::TableKind::local;
  inspect();
  const auto failures = relinkTables(state_, texts_);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].table, u"PARTNER");
  EXPECT_EQ(failures[0].step, RelinkStep::write);
  EXPECT_EQ(tq_->tables[1].connect, u";DATABASE=D:\\DATA\\querno.MDB");
}

TEST_F(Relinking, BoxTextIsNotTrimmed) {
  inspect();
  texts_.Text2[0] = u" ;DATABASE=D:\\DATA\\PARTNER.MDB ";
  const auto failures = relinkTables(state_, texts_);
  EXPECT_EQ(engine_.log[1], "set PARTNER  ;DATABASE=D:\\DATA\\PARTNER.MDB ");
  ASSERT_EQ(failures.size(), 3u);  // PARTNER's back-end is not found; the others held back
  EXPECT_EQ(failures[0].link, u" ;DATABASE=D:\\DATA\\PARTNER.MDB ");
  EXPECT_EQ(failures[0].step, RelinkStep::refresh);
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

// ---- Real front-ends relinked through the real engine, checked by reading
// the file again with the engine and with mdbtools.

class RelinkingFiles : public testing::FrontEndSetTest {
 protected:
  void SetUp() override {
    FrontEndSetTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    folder_ = engine::fromUtf8(dir_.path().string());
    // The command-line rule names the back-ends PARTNER.MDB and querno.MDB;
    // ACE back-ends get those names too (the engine goes by content).
    for (const char* stem : {"PARTNER", "QUERNO"}) {
      if (!std::filesystem::exists(dir_.path() / (std::string(stem) + ".MDB"))) {
        std::filesystem::rename(file(stem), dir_.path() / (std::string(stem) + ".MDB"));
      }
    }
  }
  // Inspects a front-end, applies a back-end location and relinks.
  // The fixtures link into C:\APP: relinking them to folders of this
  // computer takes localPaths (or a path map, see below).
  std::vector<RelinkFailure> relink(const std::string& stem, std::u16string_view location,
                                    std::u16string_view separators = text::kNativeSeparators,
                                    const RelinkOptions& options = RelinkOptions{.localPaths = true}) {
    WindowState state;
    WindowTexts texts;
    texts.ImeBaze = engine::fromUtf8(file(stem));
    EXPECT_TRUE(inspectLinks(*engine_, engine_.paths.map, u"/nowhere", state, texts).ok());
    EXPECT_TRUE(applyBackendLocation(location, texts, engine_.paths.map, separators));
    auto failures = relinkTables(state, texts, options);
    EXPECT_TRUE(unloadLinks(state).ok());
    return failures;
  }
  // The link string a fresh open of the front-end reads for a table.
  std::u16string storedLink(const std::string& stem, std::u16string_view table) const {
    return povezava::testing::storedConnect(file(stem), table);
  }
  std::filesystem::path backEndPath(const std::string& stem) const {
    return dir_.path() / (stem + ".MDB");
  }
  // The engine the front-ends are relinked with, and its path map.
  povezava::testing::TestEngine engine_;
  std::u16string backEnd(const std::string& stem) const {
    return engine::fromUtf8(backEndPath(stem).string());
  }
  std::u16string folder_;
};

TEST_P(RelinkingFiles, FolderLocationRelinksAllThreeBesideTheFrontEnd) {
  auto expected = povezava::testing::listTables(file("TQ"));
  const auto failures = relink("TQ", folder_);
  for (const auto& f : failures) ADD_FAILURE() << describeFailure(f);
  // The code-table link names "querno.MDB" after a "\": the engine finds the
  // file whatever its case and separators.
  EXPECT_EQ(storedLink("TQ", u"PARTNER"), u";DATABASE=" + folder_ + u"\\PARTNER.MDB");
  EXPECT_EQ(storedLink("TQ", u"KONTI"), u";DATABASE=" + folder_ + u"\\querno.MDB");
  EXPECT_EQ(storedLink("TQ", u"NALOGI"), u";DATABASE=" + folder_ + u"\\querno.MDB");
  // Only the three tables changed.
  const std::string folder = dir_.path().string();
  for (auto& t : expected) {
    if (t.name == "PARTNER") t.connect = ";DATABASE=" + folder + "\\PARTNER.MDB";
    if (t.name == "KONTI" || t.name == "NALOGI") t.connect = ";DATABASE=" + folder + "\\querno.MDB";
  }
  EXPECT_EQ(povezava::testing::listTables(file("TQ")), expected);

  if (!povezava::testing::haveProgram("mdb-export")) return;
  int status = 0;
  const std::string catalogue = povezava::testing::mdbExport(file("TQ"), "MSysObjects", &status);
  ASSERT_EQ(status, 0) << catalogue;
  EXPECT_NE(catalogue.find(dir_.path().string() + "\\querno.MDB"), std::string::npos) << catalogue;
  EXPECT_EQ(catalogue.find("C:\\APP"), std::string::npos) << catalogue;
}

TEST_P(RelinkingFiles, PartnerFileLocationFindsTheCodeTablesInItsFolder) {
  const auto failures = relink("TQ", backEnd("PARTNER"));
  for (const auto& f : failures) ADD_FAILURE() << describeFailure(f);
  EXPECT_EQ(storedLink("TQ", u"PARTNER"), u";DATABASE=" + backEnd("PARTNER"));
  EXPECT_EQ(storedLink("TQ", u"NALOGI"), u";DATABASE=" + folder_ + u"\\querno.MDB");
}

TEST_P(RelinkingFiles, WithBackslashOnlyTheCodeTablesAreLookedForInTheWrongPlace) {
  // Splitting a POSIX path at "\" only finds no folder: the code-table link
  // becomes "\querno.MDB", which no refresh can resolve; PARTNER waits.
  POVEZAVA_REQUIRE_POSIX("paths with \"/\" between folders");
  const auto before = povezava::testing::readFile(file("TQ"));
  const auto failures = relink("TQ", backEnd("PARTNER"), text::kWindowsSeparators);
  ASSERT_EQ(failures.size(), 3u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(failures[i].link, u";DATABASE=\\querno.MDB");
    EXPECT_EQ(failures[i].step, RelinkStep::refresh);
  }
  EXPECT_EQ(failures[0].table, u"KONTI");
  EXPECT_EQ(failures[1].table, u"NALOGI");
  EXPECT_EQ(failures[2].table, u"PARTNER");
  EXPECT_EQ(failures[2].step, RelinkStep::heldBack);
  EXPECT_EQ(povezava::testing::readFile(file("TQ")), before);
}

// A front-end is never left pointing at two places: one back-end that is
// missing holds back the tables of the other, and the file stays byte for byte.
TEST_P(RelinkingFiles, AMissingBackEndHoldsBackTheOtherTablesAndTheFileIsUnchanged) {
  struct Row {
    const char* removed;
    std::array<const char16_t*, 3> tables;  // failed first, held back last
    std::size_t firstHeldBack;
    const char* heldBackBecause;            // in a held-back table's description
  };
  const Row rows[] = {
      {"PARTNER", {u"PARTNER", u"KONTI", u"NALOGI"}, 1, "PARTNER failed"},
      {"QUERNO", {u"KONTI", u"NALOGI", u"PARTNER"}, 2, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.removed);
    const std::filesystem::path backEnd = backEndPath(row.removed);
    const std::filesystem::path aside = backEnd.string() + ".aside";
    std::filesystem::rename(backEnd, aside);
    const auto before = povezava::testing::readFile(file("TQ"));
    const auto failures = relink("TQ", folder_);
    ASSERT_EQ(failures.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(failures[i].table, row.tables[i]);
      if (i >= row.firstHeldBack) {
        EXPECT_EQ(failures[i].step, RelinkStep::heldBack);
        EXPECT_NE(failures[i].status.description().find(row.heldBackBecause), std::string::npos);
      }
    }
    if (row.firstHeldBack == 1) {
      EXPECT_EQ(failures[0].status.number(), engine::kErrFileNotFound) << failures[0].status.toString();
    }
    EXPECT_EQ(povezava::testing::readFile(file("TQ")), before);
    std::filesystem::rename(aside, backEnd);
  }
}

TEST_P(RelinkingFiles, BackEndWithoutTheTableIsRefused) {
  // Both link strings name the code-table database: it holds no PARTNER.
  const auto failures = relink("TQ", backEnd("QUERNO"));
  ASSERT_EQ(failures.size(), 3u);
  EXPECT_EQ(failures[0].table, u"PARTNER");
  EXPECT_EQ(failures[0].status.number(), engine::kErrObjectNotFound) << failures[0].status.toString();
  EXPECT_EQ(failures[1].step, RelinkStep::heldBack);
}

// Linux: links into C:\APP are not replaced by paths of this computer, which
// no Windows PC can follow, unless asked for; a path map gives Windows links.
TEST_P(RelinkingFiles, AWindowsLinkIsNotReplacedByALocalPathUnlessAskedOrMapped) {
  POVEZAVA_REQUIRE_POSIX("paths of this computer in Linux form");
  const auto before = povezava::testing::readFile(file("TQ"));
  const auto failures = relink("TQ", folder_, text::kNativeSeparators, RelinkOptions{});
  ASSERT_EQ(failures.size(), 3u);
  for (const auto& f : failures) {
    EXPECT_EQ(f.step, RelinkStep::localPath);
    EXPECT_EQ(f.status.number(), engine::kErrWindowsLinkToLocalPath);
    EXPECT_NE(f.status.description().find("'C: = FOLDER'"), std::string::npos) << f.status.description();
  }
  EXPECT_EQ(povezava::testing::readFile(file("TQ")), before);

  engine_.paths.map = povezava::testing::pathMapOf({"S:=" + dir_.path().string()});
  EXPECT_TRUE(relink("TQ", folder_, text::kNativeSeparators, RelinkOptions{}).empty());
  EXPECT_EQ(storedLink("TQ", u"PARTNER"), u";DATABASE=S:\\PARTNER.MDB");
  EXPECT_EQ(storedLink("TQ", u"NALOGI"), u";DATABASE=S:\\querno.MDB");
}

TEST_P(RelinkingFiles, FrontEndWithoutNalogiRelinksTheOtherTwo) {
  EXPECT_TRUE(relink("NONALOGI", folder_).empty());
  EXPECT_EQ(storedLink("NONALOGI", u"KONTI"), u";DATABASE=" + folder_ + u"\\querno.MDB");
}

TEST_P(RelinkingFiles, LocalPartnerCannotBeRelinkedTheCodeTablesAre) {
  const auto failures = relink("LOCALPARTNER", folder_);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].step, RelinkStep::write);
  EXPECT_EQ(failures[0].table, u"PARTNER");
  EXPECT_EQ(storedLink("LOCALPARTNER", u"PARTNER"), u"");
  EXPECT_EQ(storedLink("LOCALPARTNER", u"NALOGI"), u";DATABASE=" + folder_ + u"\\querno.MDB");
}

INSTANTIATE_TEST_SUITE_P(Formats, RelinkingFiles, ::testing::ValuesIn(testing::kFrontEndSets),
                         povezava::testing::RowName());

TEST(RelinkingFile, EmptyCodeTableLinkIsRefusedAndTheFileIsUnchanged) {
  povezava::testing::TempDir dir;
  ASSERT_TRUE(testing::prepareFrontEnds(testing::kFrontEndSets[4], dir));
  const auto path = dir.path() / "TQ.mdb";
  const auto before = povezava::testing::readFile(path);
  WindowState state;
  WindowTexts texts;
  texts.ImeBaze = engine::fromUtf8(path.string());
  ASSERT_TRUE(inspectLinks(povezava::testing::testEngine(), {}, u"/nowhere", state, texts).ok());
  texts.Text2 = {u";DATABASE=/nowhere/PARTNER.MDB", u""};
  const auto failures = relinkTables(state, texts, RelinkOptions{.localPaths = true});
  ASSERT_TRUE(unloadLinks(state).ok());
  // PARTNER's back-end folder is missing; KONTI and NALOGI refuse the empty
  // text.
  struct Expected {
    std::u16string table;
    RelinkStep step;
    int number;
  };
  const std::vector<Expected> expected = {
      {u"PARTNER", RelinkStep::refresh, engine::kErrNotValidPath},
      {u"KONTI", RelinkStep::write, engine::kErrNoInstallableIsam},
      {u"NALOGI", RelinkStep::write, engine::kErrNoInstallableIsam}};
  ASSERT_EQ(failures.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(failures[i].table, expected[i].table) << i;
    EXPECT_EQ(failures[i].step, expected[i].step) << i;
    EXPECT_EQ(failures[i].status.number(), expected[i].number) << describeFailure(failures[i]);
  }
  EXPECT_EQ(failures[1].link, u"");
  EXPECT_EQ(povezava::testing::readFile(path), before);
}

}  // namespace
}  // namespace povezava::links
