#include "links/startup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/unicode.h"
#include "fake_engine.h"
#include "front_ends.h"
#include "links/relinking.h"
#include "support/test_support.h"
#include "support/test_engine.h"

namespace povezava::links {
namespace {

using testing::FakeEngine;

constexpr std::u16string_view kAppPath = u"C:\\APP";
const std::u16string kProposedPartner = u";DATABASE=C:\\APP\\PARTNER.MDB";
const std::u16string kProposedCodes = u";DATABASE=C:\\APP\\QUERNO.MDB";

// One start of the program: its command text and what Load leaves behind.
struct StartCase {
  const char* name;
  std::u16string commandText;
  std::u16string opened;  // ImeBaze, the name inspection hands to the engine
  std::u16string text2Partner;
  std::u16string text2Codes;
  std::u16string autoLink;
};

class StartupLoad : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartupLoad, FillsBoxesAndFlag) {
  const StartCase& c = GetParam();
  if (c.text2Partner.find(u"{here}") != std::u16string::npos) {
    POVEZAVA_REQUIRE_POSIX("a current folder written with \"/\", as the expected links spell it");
  }
  FakeEngine engine;
  engine.addFrontEnd(c.opened);
  WindowState state;
  WindowTexts texts;
  const LoadOutcome outcome =
      startupLoad(engine, {}, kAppPath, c.commandText, state, texts, text::kWindowsSeparators);
  ASSERT_TRUE(outcome.status.ok()) << outcome.status.toString();
  EXPECT_EQ(outcome.arguments, c.autoLink == kTrue);
  EXPECT_EQ(texts.ImeBaze, c.opened);
  ASSERT_FALSE(engine.log.empty());
  EXPECT_EQ(engine.log[0], "open " + testing::utf8(c.opened));
  EXPECT_EQ(texts.Text2[0], povezava::testing::withCurrentFolder(c.text2Partner));
  EXPECT_EQ(texts.Text2[1], povezava::testing::withCurrentFolder(c.text2Codes));
  EXPECT_EQ(state.AutoLinkFlag, c.autoLink);
  EXPECT_TRUE(state.LinkedTables[kSlotNalogi]);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StartupLoad,
    ::testing::Values(
        StartCase{"NoArguments", u"", u"TQ.mdB", kProposedPartner, kProposedCodes, u"False"},
        StartCase{"SpacesOnly", u"    ", u"TQ.mdB", kProposedPartner, kProposedCodes, u"False"},
        StartCase{"LeadingTabCountsAsAbsent", u"\tC:\\APP\\TQ.mdb", u"TQ.mdB", kProposedPartner,
                  kProposedCodes, u"False"},
        StartCase{"SpacesThenTabCountsAsAbsent", u"  \tC:\\APP\\TQ.mdb", u"TQ.mdB",
                  kProposedPartner, kProposedCodes, u"False"},
        StartCase{"FrontEndOnly", u"C:\\APP\\TQ.mdb", u"C:\\APP\\TQ.mdb", kProposedPartner,
                  kProposedCodes, u"True"},
        StartCase{"SemicolonIgnoresRest", u"C:\\APP\\TQ.mdb;D:\\DATA", u"C:\\APP\\TQ.mdb",
                  kProposedPartner, kProposedCodes, u"True"},
        StartCase{"FinalComma", u"C:\\APP\\TQ.mdb,", u"C:\\APP\\TQ.mdb", kProposedPartner,
                  kProposedCodes, u"True"},
        StartCase{"BackendFolder", u"C:\\APP\\TQ.mdb, D:\\DATA", u"C:\\APP\\TQ.mdb",
                  u";DATABASE=D:\\DATA\\PARTNER.MDB", u";DATABASE=D:\\DATA\\querno.MDB", u"True"},
        StartCase{"SurroundingSpacesTrimmed", u"   C:\\APP\\TQ.mdb,D:\\DATA   ",
                  u"C:\\APP\\TQ.mdb", u";DATABASE=D:\\DATA\\PARTNER.MDB",
                  u";DATABASE=D:\\DATA\\querno.MDB", u"True"},
        StartCase{"PartnerFile", u"C:\\APP\\TQ.mdb,D:\\DATA\\PARTNER.MDB", u"C:\\APP\\TQ.mdb",
                  u";DATABASE=D:\\DATA\\PARTNER.MDB", u";DATABASE=D:\\DATA\\querno.MDB", u"True"},
        StartCase{"PartnerFileSuffixIgnoresCase", u"C:\\APP\\TQ.mdb,D:\\DATA\\p.mdb",
                  u"C:\\APP\\TQ.mdb", u";DATABASE=D:\\DATA\\p.mdb",
                  u";DATABASE=D:\\DATA\\querno.MDB", u"True"},
        StartCase{"PartnerFileInDriveRoot", u"C:\\APP\\TQ.mdb,D:\\P.MDB", u"C:\\APP\\TQ.mdb",
                  u";DATABASE=D:\\P.MDB", u";DATABASE=D:\\\\querno.MDB", u"True"},
        // A relative location is made absolute; with "\" as the only separator
        // the absolute Linux folder has no folder part.
        StartCase{"PartnerFileWithoutFolder", u"C:\\APP\\TQ.mdb,PARTNER.MDB", u"C:\\APP\\TQ.mdb",
                  u";DATABASE={here}/PARTNER.MDB", u";DATABASE=\\querno.MDB", u"True"},
        StartCase{"FolderWithFinalBackslash", u"C:\\APP\\TQ.mdb,D:\\DATA\\", u"C:\\APP\\TQ.mdb",
                  u";DATABASE=D:\\DATA\\\\PARTNER.MDB", u";DATABASE=D:\\DATA\\\\querno.MDB",
                  u"True"},
        StartCase{"QuotedFrontEndWithSpace", u"\"C:\\My Files\\TQ.mdb\",D:\\DATA",
                  u"C:\\My Files\\TQ.mdb", u";DATABASE=D:\\DATA\\PARTNER.MDB",
                  u";DATABASE=D:\\DATA\\querno.MDB", u"True"},
        // Quotes stay; a quoted location is no drive path, so it is relative.
        StartCase{"QuotesAroundBackendStay", u"C:\\APP\\TQ.mdb,\"D:\\My Data\"",
                  u"C:\\APP\\TQ.mdb", u";DATABASE={here}/\"D:/My Data\"\\PARTNER.MDB",
                  u";DATABASE={here}/\"D:/My Data\"\\querno.MDB", u"True"},
        StartCase{"EmptyFirstWord", u",D:\\DATA", u"", u";DATABASE=D:\\DATA\\PARTNER.MDB",
                  u";DATABASE=D:\\DATA\\querno.MDB", u"True"},
        StartCase{"BackendStartingWithTabKeepsProposals", u"C:\\APP\\TQ.mdb,\tD:\\DATA",
                  u"C:\\APP\\TQ.mdb", kProposedPartner, kProposedCodes, u"True"},
        StartCase{"SemicolonInsideQuotesBelongsToFrontEnd", u"'a;b',D:\\DATA", u"a;b",
                  u";DATABASE=D:\\DATA\\PARTNER.MDB", u";DATABASE=D:\\DATA\\querno.MDB",
                  u"True"}),
    povezava::testing::RowName());

TEST(StartupLoadFailure, WithArgumentsTheOpenErrorIsReturnedAndNothingRelinks) {
  FakeEngine engine;
  WindowState state;
  WindowTexts texts;
  const LoadOutcome outcome =
      startupLoad(engine, {}, kAppPath, u"C:\\APP\\missing.mdb,D:\\DATA", state, texts);
  EXPECT_TRUE(outcome.arguments);
  EXPECT_EQ(outcome.status.number(), engine::kErrFileNotFound);
  EXPECT_EQ(texts.ImeBaze, u"C:\\APP\\missing.mdb");
  EXPECT_TRUE(texts.Text2[0].empty());  // the back-end location was not applied
  EXPECT_TRUE(texts.Text2[1].empty());
  EXPECT_EQ(state.AutoLinkFlag, u"False");
  EXPECT_FALSE(takeAutoLink(state));
}

TEST(StartupLoadFailure, WithoutArgumentsTheDefaultNameFailsAndTheFlagIsFalse) {
  FakeEngine engine;
  WindowState state;
  WindowTexts texts;
  const LoadOutcome outcome = startupLoad(engine, {}, kAppPath, u"", state, texts);
  EXPECT_FALSE(outcome.arguments);
  EXPECT_EQ(outcome.status.number(), engine::kErrFileNotFound);
  EXPECT_NE(outcome.status.description().find("TQ.mdB"), std::string::npos);
  EXPECT_EQ(texts.ImeBaze, u"TQ.mdB");
  EXPECT_EQ(state.AutoLinkFlag, u"False");
}

TEST(StartupRun, AutomaticRunRelinksOnceToTheCommandLineLocation) {
  FakeEngine engine;
  auto tq = engine.addFrontEnd(u"C:\\APP\\TQ.mdb");
  engine.backends = {u"D:\\DATA\\PARTNER.MDB", u"D:\\DATA\\querno.MDB"};
  WindowState state;
  WindowTexts texts;
  ASSERT_TRUE(startupLoad(engine, {}, kAppPath, u"C:\\APP\\TQ.mdb, D:\\DATA", state, texts).status.ok());
  ASSERT_TRUE(takeAutoLink(state));
  EXPECT_EQ(state.AutoLinkFlag, u"False");
  EXPECT_FALSE(takeAutoLink(state));  // a later activation does nothing
  EXPECT_TRUE(relinkTables(state, texts).empty());
  EXPECT_EQ(tq->tables[0].connect, u";DATABASE=D:\\DATA\\PARTNER.MDB");
  EXPECT_EQ(tq->tables[1].connect, u";DATABASE=D:\\DATA\\querno.MDB");
  EXPECT_EQ(tq->tables[2].connect, u";DATABASE=D:\\DATA\\querno.MDB");
}

TEST(TakeAutoLink, OnlyTrueRelinks) {
  WindowState state;
  EXPECT_FALSE(takeAutoLink(state));
  EXPECT_TRUE(state.AutoLinkFlag.empty());
  state.AutoLinkFlag = u"False";
  EXPECT_FALSE(takeAutoLink(state));
  state.AutoLinkFlag = u"True";
  EXPECT_TRUE(takeAutoLink(state));
  EXPECT_EQ(state.AutoLinkFlag, u"False");
}

// The back-end rule on its own, with each set of folder separators.
struct BackendCase {
  const char* name;
  std::u16string location;
  std::u16string separators;
  bool replaced;
  std::u16string partner;
  std::u16string codes;
};

class BackendLinks : public ::testing::TestWithParam<BackendCase> {};

TEST_P(BackendLinks, BuildsBothLinkStrings) {
  const BackendCase& c = GetParam();
  if (c.partner.find(u"{here}") != std::u16string::npos) {
    POVEZAVA_REQUIRE_POSIX("a current folder written with \"/\", as the expected links spell it");
  }
  const auto links = backendLinkStrings(c.location, {}, c.separators);
  ASSERT_EQ(links.has_value(), c.replaced);
  if (!links) return;
  EXPECT_EQ(links->partner, povezava::testing::withCurrentFolder(c.partner));
  EXPECT_EQ(links->codeTables, povezava::testing::withCurrentFolder(c.codes));
}

INSTANTIATE_TEST_SUITE_P(
    Table, BackendLinks,
    ::testing::Values(
        BackendCase{"Empty", u"", u"\\", false, u"", u""},
        BackendCase{"OneSpace", u" ", u"\\/", false, u"", u""},
        BackendCase{"LeadingTab", u"\tD:\\DATA", u"\\", false, u"", u""},
        BackendCase{"WindowsFolder", u"D:\\DATA", u"\\", true, u";DATABASE=D:\\DATA\\PARTNER.MDB",
                    u";DATABASE=D:\\DATA\\querno.MDB"},
        BackendCase{"SuffixOnlyIsAFile", u".mdb", u"\\", true, u";DATABASE={here}/.mdb",
                    u";DATABASE=\\querno.MDB"},
        BackendCase{"ShorterThanSuffix", u"MDB", u"\\", true, u";DATABASE={here}/MDB\\PARTNER.MDB",
                    u";DATABASE={here}/MDB\\querno.MDB"},
        BackendCase{"RelativeFolder", u".\\old\\..\\data", u"\\/", true,
                    u";DATABASE={here}/data\\PARTNER.MDB", u";DATABASE={here}/data\\querno.MDB"},
        BackendCase{"AccdbIsAFolder", u"D:\\DATA\\P.accdb", u"\\", true,
                    u";DATABASE=D:\\DATA\\P.accdb\\PARTNER.MDB",
                    u";DATABASE=D:\\DATA\\P.accdb\\querno.MDB"},
        BackendCase{"PosixFolder", u"/srv/data", u"\\/", true, u";DATABASE=/srv/data\\PARTNER.MDB",
                    u";DATABASE=/srv/data\\querno.MDB"},
        BackendCase{"PosixPartnerFileNative", u"/srv/data/PARTNER.MDB", u"\\/", true,
                    u";DATABASE=/srv/data/PARTNER.MDB", u";DATABASE=/srv/data\\querno.MDB"},
        BackendCase{"PosixPartnerFileWindows", u"/srv/data/PARTNER.MDB", u"\\", true,
                    u";DATABASE=/srv/data/PARTNER.MDB", u";DATABASE=\\querno.MDB"},
        BackendCase{"UncPartnerFile", u"\\\\srv\\share\\Partner.Mdb", u"\\", true,
                    u";DATABASE=\\\\srv\\share\\Partner.Mdb",
                    u";DATABASE=\\\\srv\\share\\querno.MDB"}),
    povezava::testing::RowName());

TEST(BackendLocation, ReplacesBothBoxesOrNeither) {
  WindowTexts texts;
  texts.Text2 = {u"kept 0", u"kept 1"};
  EXPECT_FALSE(applyBackendLocation(u"", texts, {}));
  EXPECT_EQ(texts.Text2[0], u"kept 0");
  EXPECT_EQ(texts.Text2[1], u"kept 1");
  EXPECT_TRUE(applyBackendLocation(u"D:\\DATA\\PARTNER.MDB", texts, {}, text::kWindowsSeparators));
  EXPECT_EQ(texts.Text2[0], u";DATABASE=D:\\DATA\\PARTNER.MDB");
  EXPECT_EQ(texts.Text2[1], u";DATABASE=D:\\DATA\\querno.MDB");
}

TEST(CommandLineRules, SortsAfterSpaceComparesCodeUnits) {
  EXPECT_FALSE(sortsAfterSpace(u""));
  EXPECT_FALSE(sortsAfterSpace(u" "));
  EXPECT_TRUE(sortsAfterSpace(u"  "));  // longer with the same start sorts after
  EXPECT_FALSE(sortsAfterSpace(u"\t"));
  EXPECT_FALSE(sortsAfterSpace(u"\x1Fz"));
  EXPECT_TRUE(sortsAfterSpace(u"!"));
  EXPECT_TRUE(sortsAfterSpace(u"\u010C"));
  EXPECT_TRUE(sortsAfterSpace(u"\uFFFF"));
}

TEST(CommandLineRules, MdbSuffixIgnoresAsciiCaseOnly) {
  EXPECT_TRUE(hasMdbSuffix(u"x.MDB"));
  EXPECT_TRUE(hasMdbSuffix(u"x.mDb"));
  EXPECT_TRUE(hasMdbSuffix(u".mdb"));
  EXPECT_FALSE(hasMdbSuffix(u"mdb"));
  EXPECT_FALSE(hasMdbSuffix(u"x.mdb "));
  EXPECT_FALSE(hasMdbSuffix(u"x.accdb"));
  EXPECT_FALSE(hasMdbSuffix(u"x\uFF0EMDB"));  // full-width stop
}

TEST(CommandLineRules, ParseSplitsOnlyAPresentCommandLine) {
  CommandLine line = parseCommandLine(u"  a b , c d ");
  EXPECT_TRUE(line.present);
  EXPECT_EQ(line.frontEnd, u"a b ");
  EXPECT_EQ(line.backEnd, u"c d");
  line = parseCommandLine(u"\ta,b");
  EXPECT_FALSE(line.present);
  EXPECT_TRUE(line.frontEnd.empty());
  EXPECT_TRUE(line.backEnd.empty());
}

TEST(CommandLineRules, ArgumentsJoinWithSingleSpaces) {
  EXPECT_EQ(joinArguments({}), u"");
  const std::vector<std::u16string> one = {u"TQ.mdb"};
  EXPECT_EQ(joinArguments(one), u"TQ.mdb");
  const std::vector<std::u16string> split = {u"C:\\My", u"Files\\TQ.mdb,", u"D:\\DATA"};
  EXPECT_EQ(joinArguments(split), u"C:\\My Files\\TQ.mdb, D:\\DATA");
  const std::vector<std::u16string> empties = {u"", u""};
  EXPECT_EQ(joinArguments(empties), u" ");
  EXPECT_FALSE(parseCommandLine(joinArguments(empties)).present);
}

// ---- Start-up on real files, from the folder the program is started in.

class StartupInFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testing::prepareFrontEnds(testing::kFrontEndSets[4], dir_));  // built Jet 4
    here_.emplace(dir_.path());
  }

  povezava::testing::TempDir dir_;
  std::optional<povezava::testing::CurrentFolder> here_;
  WindowState state_;
  WindowTexts texts_;
};

TEST_F(StartupInFolder, DefaultNameFindsTqInTheCurrentFolderWhateverItsCase) {
  const LoadOutcome outcome = startupLoad(povezava::testing::testEngine(), {}, u"/opt/app", u"", state_, texts_);
  ASSERT_TRUE(outcome.status.ok()) << outcome.status.toString();
  EXPECT_EQ(texts_.ImeBaze, u"TQ.mdB");
  EXPECT_EQ(state_.LinkDb->name(), u"TQ.mdB");
  for (const auto& slot : state_.LinkedTables) EXPECT_TRUE(slot);
  EXPECT_EQ(texts_.Text2[0], u";DATABASE=/opt/app\\PARTNER.MDB");
  EXPECT_EQ(state_.AutoLinkFlag, u"False");
}

TEST_F(StartupInFolder, RelativeFrontEndAndPartnerFileGiveLinksBesideIt) {
  const std::u16string folder = engine::fromUtf8(dir_.path().string());
  const std::u16string partner = engine::fromUtf8((dir_.path() / "PARTNER.mdb").string());
  const std::u16string command = u"NONALOGI.mdb, " + partner;
  const LoadOutcome outcome = startupLoad(povezava::testing::testEngine(), {}, u"/opt/app", command, state_, texts_);
  ASSERT_TRUE(outcome.status.ok()) << outcome.status.toString();
  EXPECT_TRUE(outcome.arguments);
  EXPECT_FALSE(state_.LinkedTables[kSlotNalogi]);
  EXPECT_EQ(texts_.Text2[0], u";DATABASE=" + partner);
  EXPECT_EQ(texts_.Text2[1], u";DATABASE=" + folder + u"\\querno.MDB");
  EXPECT_EQ(state_.AutoLinkFlag, u"True");
}

}  // namespace
}  // namespace povezava::links
