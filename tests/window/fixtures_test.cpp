// The window on real front-ends (copies of the shared fixtures) through the
// real engine: what inspection shows, and what relinking does to the file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "engine/engine.h"
#include "support/databases.h"
#include "support/test_support.h"
#include "window_harness.h"
#include "support/test_engine.h"

namespace povezava::window {
namespace {

using povezava::testing::fixturesDir;
using povezava::testing::readFile;
using povezava::testing::TempDir;
using testing::Harness;

QString qpath(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

class Fixtures : public ::testing::TestWithParam<povezava::testing::FixtureSet> {
 protected:
  void SetUp() override {
    POVEZAVA_REQUIRE_FIXTURES();
    dir_.copyFiles(fixturesDir() / GetParam().folder);
  }
  std::filesystem::path frontEnd(const std::string& stem) const {
    return dir_.path() / (stem + GetParam().extension);
  }
  // The link string the fixtures store for a back-end: ";DATABASE=C:\APP\<file>".
  QString storedLink(const char* backEnd) const {
    return QStringLiteral(";DATABASE=C:\\APP\\") + QString::fromLatin1(backEnd);
  }

  // A new link as the Windows PCs see it while C: is mapped to the copies'
  // folder: ";DATABASE=C:\<file>".
  QString mappedLink(const char* backEnd) const {
    return QStringLiteral(";DATABASE=C:\\") + QString::fromLatin1(backEnd);
  }
  std::string driveC() const { return "C: = " + dir_.path().string(); }

  // Types the front-end's path into ImeBaze and inspects it ("Osveži").
  static ::testing::AssertionResult inspect(const Harness& h, const std::filesystem::path& frontEnd) {
    h.imeBaze()->setEditText(qpath(frontEnd));
    h.window->command4Click();
    if (h.window->state().LinkDb) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << h.errors.str();
  }

  TempDir dir_;
  const QString appPath_ = QStringLiteral("/home/clerk/app");
};

// A file under the journal's name that is not the front-end's: inspection
// reads the front-end as it is, writes nothing, and says so.
TEST_P(Fixtures, AJournalThatIsNotTheFrontEndsIsReportedAndLeftAlone) {
  const std::filesystem::path fe = frontEnd("TQ");
  const std::filesystem::path journal = fe.string() + ".povezava-journal";
  povezava::testing::writeFile(journal.string(), std::vector<std::byte>(200, std::byte{'?'}));
  const auto before = povezava::testing::readFile(fe.string());
  Harness h(appPath_);
  h.boxes.texts.clear();
  ASSERT_TRUE(inspect(h, fe));
  EXPECT_EQ(h.text("Text1(0)"), storedLink(GetParam().partner));
  ASSERT_EQ(h.boxes.texts.size(), 1);
  EXPECT_TRUE(h.boxes.texts[0].contains(QStringLiteral("ne spada k njej"))) << h.boxes.texts[0].toStdString();
  EXPECT_EQ(h.boxes.kinds[0], links::MessageKind::information);
  EXPECT_NE(h.errors.str().find("does not belong"), std::string::npos);
  EXPECT_EQ(povezava::testing::readFile(fe.string()), before);
  EXPECT_TRUE(std::filesystem::exists(journal));
}

TEST_P(Fixtures, AllThreeLinkedTablesAreBoundAndShown) {
  Harness h(appPath_);
  ASSERT_TRUE(inspect(h, frontEnd("TQ")));
  const links::WindowState& state = h.window->state();
  for (const auto& table : state.LinkedTables) EXPECT_TRUE(table);
  EXPECT_EQ(h.imetab(), QStringLiteral("PARTNER, KONTI, NALOGI"));
  EXPECT_EQ(h.text("Text1(0)"), storedLink(GetParam().partner));
  EXPECT_EQ(h.text("Text1(1)"), storedLink(GetParam().querno));
  EXPECT_EQ(h.text("Text2(0)"), QStringLiteral(";DATABASE=/home/clerk/app\\PARTNER.MDB"));
  EXPECT_EQ(h.text("Text2(1)"), QStringLiteral(";DATABASE=/home/clerk/app\\QUERNO.MDB"));
}

TEST_P(Fixtures, AFrontEndWithoutNalogiLeavesSlot2EmptyAndSaysNothing) {
  Harness h(appPath_);
  ASSERT_TRUE(inspect(h, frontEnd("NONALOGI")));
  EXPECT_TRUE(h.window->state().LinkedTables[0]);
  EXPECT_TRUE(h.window->state().LinkedTables[1]);
  EXPECT_FALSE(h.window->state().LinkedTables[2]);
  EXPECT_EQ(h.text("Text1(1)"), storedLink(GetParam().querno));
  EXPECT_TRUE(h.boxes.texts.isEmpty());
  EXPECT_TRUE(h.errors.str().empty());
}

TEST_P(Fixtures, ALocalPartnerShowsWhatTheEngineGivesAsItsLinkString) {
  Harness h(appPath_);
  ASSERT_TRUE(inspect(h, frontEnd("LOCALPARTNER")));
  ASSERT_TRUE(h.window->state().LinkedTables[0]);
  EXPECT_EQ(h.window->state().LinkedTables[0]->kind(), engine::TableKind::local);
  EXPECT_EQ(h.text("Text1(0)"), QString());
  EXPECT_EQ(h.text("Text1(1)"), storedLink(GetParam().querno));
}

TEST_P(Fixtures, TheDefaultNameIsLookedUpInTheCurrentFolderWithoutRegardToCase) {
  Harness h(appPath_);
  const std::optional<int> loaded = [&] {
    const povezava::testing::CurrentFolder here(dir_.path());
    return h.window->formLoad();
  }();
  EXPECT_EQ(loaded, std::nullopt);  // a menu start: the window shows either way
  if (std::string_view(GetParam().extension) == ".accdb") {
    // "TQ.mdB" names an .mdb: the clerk is pointed to "Prebrskaj".
    EXPECT_NE(h.errors.str().find("error 3024"), std::string::npos) << h.errors.str();
    ASSERT_EQ(h.boxes.texts.size(), 1);
    EXPECT_TRUE(h.boxes.texts[0].contains(QStringLiteral("»Prebrskaj«"))) << h.boxes.texts[0].toStdString();
    return;
  }
  ASSERT_TRUE(h.window->state().LinkDb) << h.errors.str();
  EXPECT_EQ(h.imeBaze()->currentText(), QStringLiteral("TQ.mdB"));
  EXPECT_EQ(h.text("Text1(0)"), storedLink(GetParam().partner));
}

TEST_P(Fixtures, RelinkingPointsTheThreeTablesAtTheBackEndsBesideTheFrontEnd) {
  // The stored links go through C:, which is the copies' folder here; the
  // new links are typed in Windows form and checked through the map.
  const auto tq = frontEnd("TQ");
  Harness h(appPath_, povezava::testing::pathMapOf({driveC()}));
  ASSERT_TRUE(inspect(h, tq));
  h.setText("Text2(0)", mappedLink(GetParam().partner));
  h.setText("Text2(1)", mappedLink(GetParam().querno));
  const auto before = readFile(tq);
  h.window->show();
  h.click("Command1");
  EXPECT_FALSE(h.window->isVisible());

  const auto linkOf = [&](std::u16string_view name) { return povezava::testing::storedConnect(tq, name); };
  EXPECT_EQ(h.window->exitStatus(), 0);
  EXPECT_TRUE(h.boxes.texts.isEmpty()) << h.boxes.texts.join('\n').toStdString();
  EXPECT_TRUE(h.errors.str().empty()) << h.errors.str();
  EXPECT_EQ(QString::fromStdU16String(linkOf(u"PARTNER")), mappedLink(GetParam().partner));
  EXPECT_EQ(QString::fromStdU16String(linkOf(u"KONTI")), mappedLink(GetParam().querno));
  EXPECT_EQ(QString::fromStdU16String(linkOf(u"NALOGI")), mappedLink(GetParam().querno));
  // The other link of the front-end is left alone.
  EXPECT_NE(before, readFile(tq));
  EXPECT_TRUE(QString::fromStdU16String(linkOf(u"OTHER")).startsWith(QStringLiteral(";DATABASE=C:\\ELSEWHERE\\OTHER.")));
}

TEST_P(Fixtures, AMissingBackEndIsListedAndLeavesItsTableAsItWas) {
  const auto tq = frontEnd("TQ");
  Harness h(appPath_);
  ASSERT_TRUE(inspect(h, tq));
  const QString missing = QStringLiteral(";DATABASE=") + qpath(dir_.path() / "gone" / "PARTNER.MDB");
  h.setText("Text2(0)", missing);
  h.setText("Text2(1)", QStringLiteral(";DATABASE=") + qpath(dir_.path() / GetParam().querno));
  h.window->show();
  h.click("Command1");
  EXPECT_TRUE(h.window->isVisible());  // the clerk can mend the path and press again
  EXPECT_EQ(h.window->exitStatus(), 1);
  ASSERT_EQ(h.boxes.texts.size(), 1);
  EXPECT_TRUE(h.boxes.texts[0].contains(QStringLiteral("PARTNER (") + missing + QStringLiteral("): ")))
      << h.boxes.texts[0].toStdString();
  EXPECT_NE(h.errors.str().find("PARTNER: refreshing " + missing.toStdString()), std::string::npos) << h.errors.str();
  // All or none: KONTI and NALOGI are held back and keep their links too.
  EXPECT_TRUE(h.boxes.texts[0].contains(QStringLiteral("KONTI ("))) << h.boxes.texts[0].toStdString();

  EXPECT_EQ(QString::fromStdU16String(povezava::testing::storedConnect(tq, u"PARTNER")), storedLink(GetParam().partner));
  EXPECT_NE(povezava::testing::storedConnect(tq, u"KONTI"), u";DATABASE=" + (dir_.path() / GetParam().querno).u16string());
}

// The front-end shown before a failed open is let go: "Nova povezava" then
// writes nothing anywhere, says so, and the window stays for another try.
TEST_P(Fixtures, AfterAFailedOpenNovaPovezavaWritesNothingAndTheWindowStays) {
  const auto tq = frontEnd("TQ");
  struct Way {
    const char* name;
    void (*open)(const Harness& h);
  };
  const Way ways[] = {
      {"typed and Osveži", [](const Harness& h) {
         h.imeBaze()->setEditText(QStringLiteral("MV.MDB"));
         h.click("Command4");
       }},
      {"a list entry picked", [](const Harness& h) {
         h.imeBaze()->setCurrentIndex(1);  // "MV.MDB"
         emit h.imeBaze()->activated(1);
       }},
  };
  const povezava::testing::CurrentFolder here(dir_.path());  // holds no MV.MDB
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    Harness h(appPath_, povezava::testing::pathMapOf({driveC()}));
    ASSERT_TRUE(inspect(h, tq));
    const QString typed = mappedLink(GetParam().partner);
    h.setText("Text2(0)", typed);
    h.setText("Text2(1)", mappedLink(GetParam().querno));
    h.window->show();
    const auto before = readFile(tq);

    way.open(h);
    ASSERT_EQ(h.boxes.texts.size(), 1);
    EXPECT_TRUE(h.boxes.texts[0].startsWith(QStringLiteral("Datoteke »MV.MDB« ni mogoče najti.")))
        << h.boxes.texts[0].toStdString();
    EXPECT_FALSE(h.window->state().LinkDb);
    for (const auto& slot : h.window->state().LinkedTables) EXPECT_FALSE(slot);
    EXPECT_EQ(h.imetab(), QString());
    EXPECT_EQ(h.text("Text1(0)"), QString());
    EXPECT_EQ(h.text("Text1(1)"), QString());
    EXPECT_EQ(h.text("Text2(0)"), typed);  // what the user typed stays

    h.click("Command1");
    EXPECT_EQ(readFile(tq), before);
    EXPECT_TRUE(h.window->isVisible());
    ASSERT_EQ(h.boxes.texts.size(), 2);
    EXPECT_TRUE(h.boxes.texts[1].startsWith(QStringLiteral("Nobena baza ni odprta"))) << h.boxes.texts[1].toStdString();
    EXPECT_EQ(h.window->exitStatus(), 1);

    // Opened again, it relinks as usual.
    ASSERT_TRUE(inspect(h, tq));
    h.setText("Text2(0)", typed);
    h.setText("Text2(1)", mappedLink(GetParam().querno));
    h.click("Command1");
    EXPECT_FALSE(h.window->isVisible());
    EXPECT_EQ(h.window->exitStatus(), 0);
    EXPECT_EQ(QString::fromStdU16String(povezava::testing::storedConnect(tq, u"PARTNER")), typed);
  }
}

// Links through C: with no path map for C:, and back-ends of this computer
// typed: the window refuses (the PCs could not follow such links), leaves
// the file byte for byte as it was, stays open, and says in Slovenian which
// drive the paths file lacks.
TEST_P(Fixtures, AWindowsLinkIsNotReplacedByALocalPathWithoutAMap) {
  const auto tq = frontEnd("TQ");
  Harness h(appPath_);
  ASSERT_TRUE(inspect(h, tq));
  h.setText("Text2(0)", QStringLiteral(";DATABASE=") + qpath(dir_.path() / GetParam().partner));
  h.setText("Text2(1)", QStringLiteral(";DATABASE=") + qpath(dir_.path() / GetParam().querno));
  const auto before = readFile(tq);
  h.window->show();
  h.click("Command1");
  EXPECT_EQ(readFile(tq), before);
  EXPECT_TRUE(h.window->isVisible());
  EXPECT_EQ(h.window->exitStatus(), 1);
  ASSERT_EQ(h.boxes.texts.size(), 1);
  const QString& text = h.boxes.texts[0];
  EXPECT_TRUE(text.contains(QStringLiteral("pogon »C:« sistema Windows"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("vrstico »C: = MAPA«"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("(napaka 9003)"))) << text.toStdString();
  EXPECT_NE(h.errors.str().find("error 9003"), std::string::npos) << h.errors.str();
  EXPECT_EQ(QString::fromStdU16String(povezava::testing::storedConnect(tq, u"PARTNER")), storedLink(GetParam().partner));
}

INSTANTIATE_TEST_SUITE_P(Formats, Fixtures, ::testing::ValuesIn(povezava::testing::kFixtureSets),
                         povezava::testing::RowName());

}  // namespace
}  // namespace povezava::window
