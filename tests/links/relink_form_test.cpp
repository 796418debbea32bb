// The window's rules against a fake view: Load and its exit statuses, which
// front-end "Nova povezava" may write, what it says when it writes nothing,
// where proposals and browsing start, the Slovenian the clerk reads.
#include "links/relink_form.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "engine/front_end_file.h"
#include "engine/notices.h"
#include "links/clerk_texts.h"
#include "links/fake_engine.h"
#include "links/link_location.h"
#include "support/test_support.h"
#include "support/test_engine.h"

namespace povezava::links {
namespace {

using testing::FakeEngine;

// Controls as plain texts; dialog answers scripted; messages and closes recorded.
class FakeView final : public FormView {
 public:
  std::map<Control, std::u16string> texts;
  std::deque<std::optional<std::u16string>> answers;
  std::vector<std::u16string> folders;  // where each dialog started
  struct Message {
    MessageKind kind;
    std::u16string text;
  };
  std::vector<Message> messages;
  int closes = 0;

  std::u16string text(Control control) const override {
    const auto found = texts.find(control);
    return found == texts.end() ? std::u16string() : found->second;
  }
  void setText(Control control, std::u16string_view text) override { texts[control] = text; }
  std::optional<std::u16string> chooseDatabase(std::u16string_view folder) override {
    folders.emplace_back(folder);
    if (answers.empty()) return std::nullopt;
    auto answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void showMessage(MessageKind kind, std::u16string_view text) override { messages.push_back({kind, std::u16string(text)}); }
  void closeWindow() override { ++closes; }
};

bool has(std::u16string_view text, std::u16string_view part) { return text.find(part) != std::u16string_view::npos; }
bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
std::string utf8(std::u16string_view text) { return engine::toUtf8(text); }

// A form over a fake engine and view.
// Where the fake front-ends' links lead when a test is about the relink, not
// the form of its paths: a Linux folder, which a local path may replace.
constexpr std::u16string_view kLinuxApp = u"/app/";

struct Rig {
  FakeEngine engine;
  // The program's path map and notices; its own engine stays unused.
  Program program{engine::posixFileSystem()};
  FakeView view;
  std::ostringstream errors;
  std::unique_ptr<RelinkForm> form;

  explicit Rig(std::u16string commandText = {}, bool display = true,
               std::u16string programFolder = u"/home/clerk/app") {
    engine.backends = {u"/home/clerk/app\\PARTNER.MDB", u"/home/clerk/app\\QUERNO.MDB",
                       u"/data\\PARTNER.MDB", u"/data\\querno.MDB"};
    FormEnvironment env;
    env.engine = &engine;
    env.program = &program;
    env.programFolder = std::move(programFolder);
    env.commandText = std::move(commandText);
    env.display = display;
    env.errors = &errors;
    form = std::make_unique<RelinkForm>(view, std::move(env));
  }
  std::size_t writes() const {
    std::size_t n = 0;
    for (const std::string& call : engine.log) if (call.rfind("set ", 0) == 0) ++n;
    return n;
  }
};

// ---- Load ---------------------------------------------------------------------

TEST(FormLoad, WhetherTheWindowShowsAndWhatItSays) {
  struct Row {
    const char* name;
    const char16_t* commandText;
    bool display;
    bool frontEndThere;  // TQ.mdB and /srv/TQ.mdb exist
    bool openInAccess;
    std::optional<int> exit;  // nothing: the window shows
    std::size_t boxes;
    std::optional<MessageKind> kind;  // of the box, when one
    const char16_t* says;             // part of the box's text
    const char* stderrHas;            // part of stderr ("" for nothing at all)
  };
  const Row rows[] = {
      {"menu start, default here", u"", true, true, false, std::nullopt, 0, {}, u"", ""},
      {"menu start, default not here: Slovenian, points to Prebrskaj", u"", true, false, false, std::nullopt, 1,
       MessageKind::information, u"Izberite bazo z gumbom »Prebrskaj«", "error 3024"},
      {"menu start, Access has it open: warned at once", u"", true, true, true, std::nullopt, 1,
       MessageKind::warning, u"ima odprto Access (računalnik PISARNA-2)", "error 3045"},
      {"no display, no arguments", u"", false, true, false, 2, 0, {}, u"", "no display"},
      {"command line, front-end missing, display: no box", u"/srv/TQ.mdb,/data", true, false, false, 1, 0, {},
       u"", "error 3024"},
      {"command line, front-end missing, no display", u"/srv/TQ.mdb,/data", false, false, false, 1, 0, {}, u"",
       "error 3024"},
      {"command line, front-end there", u"/srv/TQ.mdb,/data", false, true, false, std::nullopt, 0, {}, u"", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Rig rig(row.commandText, row.display);
    if (row.frontEndThere) {
      rig.engine.addFrontEnd(u"TQ.mdB");
      rig.engine.addFrontEnd(u"/srv/TQ.mdb");
    }
    if (row.openInAccess) rig.engine.openInAccess.insert(u"TQ.mdB");
    EXPECT_EQ(rig.form->formLoad(), row.exit);
    ASSERT_EQ(rig.view.messages.size(), row.boxes);
    if (row.boxes > 0) {
      EXPECT_EQ(rig.view.messages[0].kind, *row.kind);
      EXPECT_TRUE(has(rig.view.messages[0].text, row.says)) << utf8(rig.view.messages[0].text);
      EXPECT_FALSE(has(rig.view.messages[0].text, u"Could not")) << "English in the box";
    }
    if (*row.stderrHas == '\0') {
      EXPECT_EQ(rig.errors.str(), "");
    } else {
      EXPECT_TRUE(has(rig.errors.str(), row.stderrHas)) << rig.errors.str();
    }
    EXPECT_EQ(rig.writes(), 0u);
    EXPECT_EQ(rig.form->commandLineRun(), *row.commandText != u'\0');
  }
}

TEST(FormLoad, AWrongPathsFileEndsTheRunBeforeAnythingIsOpened) {
  for (const bool arguments : {false, true}) {
    SCOPED_TRACE(arguments ? "command line" : "menu start");
    engine::PathMapSources sources;
    sources.options = {"no equals sign here"};
    Rig rig(arguments ? u"TQ.mdB,/data" : u"");
    FormEnvironment env;
    env.engine = &rig.engine;
    env.program = &rig.program;
    env.programFolder = u"/home/clerk/app";
    env.commandText = arguments ? u"TQ.mdB,/data" : u"";
    env.errors = &rig.errors;
    env.pathMapSources = &sources;
    RelinkForm form(rig.view, env);
    EXPECT_EQ(form.formLoad(), 2);
    EXPECT_TRUE(rig.engine.log.empty());
    EXPECT_EQ(rig.view.messages.size(), arguments ? 0u : 1u);
    EXPECT_TRUE(has(rig.errors.str(), "povezava: error 3001")) << rig.errors.str();
  }
}

// ---- Nova povezava ----------------------------------------------------------------

TEST(FormRelink, WritesOnlyTheFrontEndItNamesAndSaysWhyWhenItWritesNothing) {
  // windowsLinks: TQ.mdB's links say C:\APP and the new ones are folders of
  // this computer, with no path map; every other row's links are Linux paths.
  enum class Then { nothing, retype, loseTables, missingBackEnd, skipInspection, windowsLinks };
  struct Row {
    const char* name;
    const char16_t* commandText;  // "" interactive
    Then then;
    const char16_t* imeBaze;  // typed before the press (retype)
    std::size_t writes;       // set calls
    int closes;
    int exit;
    std::optional<MessageKind> kind;
    const char16_t* says;
  };
  const Row rows[] = {
      {"the file inspected", u"", Then::nothing, u"", 3, 1, 0, {}, u""},
      {"the same file spelt otherwise", u"", Then::retype, u"./tq.mdb", 3, 1, 0, {}, u""},
      {"another file named in Baza", u"", Then::retype, u"RZ.mdb", 0, 0, 1, MessageKind::warning,
       u"Pritisnite »Osveži«"},
      {"a name that leads nowhere", u"", Then::retype, u"NI.mdb", 0, 0, 1, MessageKind::warning,
       u"Pritisnite »Osveži«"},
      {"nothing inspected", u"", Then::skipInspection, u"", 0, 0, 1, MessageKind::warning,
       u"Nobena baza ni odprta"},
      {"none of the three tables", u"", Then::loseTables, u"", 0, 0, 1, MessageKind::warning,
       u"nima nobene od tabel PARTNER, KONTI in NALOGI"},
      {"a back-end missing: listed in Slovenian, the window stays", u"", Then::missingBackEnd, u"", 3, 0, 1,
       MessageKind::error, u"PARTNER (;DATABASE=/nowhere\\PARTNER.MDB): Datoteke »/nowhere\\PARTNER.MDB« ni "
                           u"mogoče najti"},
      {"command line: relinked and closed", u"TQ.mdB,/data", Then::nothing, u"", 3, 1, 0, {}, u""},
      {"command line, a back-end missing: stderr, closed, exit 1", u"TQ.mdB,/nowhere", Then::nothing, u"", 3, 1,
       1, {}, u""},
      {"C: links to local folders without a map: refused naming the drive, the window stays", u"",
       Then::windowsLinks, u"", 3, 0, 1, MessageKind::error,
       u"PARTNER (;DATABASE=/home/clerk/app\\PARTNER.MDB): Povezava kaže na pogon »C:« sistema Windows"},
      {"command line, C: links to local folders without a map: stderr, closed, exit 1", u"TQ.mdB,/data",
       Then::windowsLinks, u"", 3, 1, 1, {}, u""},
  };
  for (const Row& row : rows) {
#ifdef _WIN32
    if (row.then == Then::windowsLinks) continue;  // on Windows every form of path is one the PCs follow
#endif
    SCOPED_TRACE(row.name);
    Rig rig(row.commandText);
    rig.engine.addFrontEnd(u"TQ.mdB", row.then == Then::windowsLinks ? u"C:\\APP\\" : kLinuxApp);
    rig.engine.files[u"./tq.mdb"] = rig.engine.files[u"TQ.mdB"];
    rig.engine.addFrontEnd(u"RZ.mdb", kLinuxApp);
    if (row.then == Then::loseTables) rig.engine.files[u"TQ.mdB"]->tables.resize(0);
    if (row.then != Then::skipInspection) {
      ASSERT_EQ(rig.form->formLoad(), std::nullopt);
    } else {
      rig.view.texts[Control::ImeBaze] = u"TQ.mdB";
    }
    if (row.then == Then::retype) rig.view.texts[Control::ImeBaze] = row.imeBaze;
    if (row.then == Then::missingBackEnd) rig.view.texts[Control::Text2_0] = u";DATABASE=/nowhere\\PARTNER.MDB";
    rig.engine.log.clear();
    if (*row.commandText != u'\0') {
      rig.form->formActivate();
    } else {
      rig.form->command1Click();
    }
    EXPECT_EQ(rig.writes(), row.writes);
    EXPECT_EQ(rig.view.closes, row.closes);
    EXPECT_EQ(rig.form->unloaded(), row.closes > 0);
    EXPECT_EQ(rig.form->exitStatus(), row.exit);
    if (row.kind) {
      ASSERT_EQ(rig.view.messages.size(), 1u);
      EXPECT_EQ(rig.view.messages[0].kind, *row.kind);
      EXPECT_TRUE(has(rig.view.messages[0].text, row.says)) << utf8(rig.view.messages[0].text);
      EXPECT_TRUE(has(rig.errors.str(), "povezava: ")) << "stderr says it too, in English";
    } else {
      EXPECT_TRUE(rig.view.messages.empty()) << utf8(rig.view.messages[0].text);
    }
    // RZ.mdb is never written: only TQ.mdB was inspected.
    for (const std::string& call : rig.engine.log) EXPECT_EQ(call.find("RZ"), std::string::npos) << call;
    // A refused front-end keeps every link; a written one has none left in /app.
    const bool written = row.writes > 0 && row.exit == 0;
    for (const testing::FakeTable& table : rig.engine.files[u"TQ.mdB"]->tables) {
      if (table.kind != engine::TableKind::linked) continue;
      EXPECT_EQ(table.connect.starts_with(u";DATABASE=/app/"), !written && row.then != Then::windowsLinks)
          << utf8(table.connect);
    }
    if (row.then == Then::windowsLinks) {
      EXPECT_TRUE(has(rig.errors.str(), "error 9003: PARTNER is linked through C:")) << rig.errors.str();
    }
  }
}

TEST(FormRelink, ARefusedPressCanBePutRightWithOsveziAndThenWrites) {
  Rig rig;
  rig.engine.addFrontEnd(u"TQ.mdB", kLinuxApp);
  rig.engine.addFrontEnd(u"RZ.mdb", kLinuxApp);
  rig.engine.backends.insert(u"/home/clerk/app\\PARTNER.MDB");
  ASSERT_EQ(rig.form->formLoad(), std::nullopt);
  rig.view.texts[Control::ImeBaze] = u"RZ.mdb";
  rig.form->command1Click();
  EXPECT_EQ(rig.writes(), 0u);
  rig.form->command4Click();
  rig.form->command1Click();
  EXPECT_EQ(rig.writes(), 3u);
  EXPECT_EQ(rig.view.closes, 1);
  EXPECT_EQ(rig.form->exitStatus(), 0);
  EXPECT_NE(std::find(rig.engine.log.begin(), rig.engine.log.end(), "open RZ.mdb"), rig.engine.log.end());
}

TEST(FormRelink, ClosingUnloadsOnceHoweverOftenTheViewReportsIt) {
  Rig rig;
  rig.engine.addFrontEnd(u"TQ.mdB");
  rig.engine.backends = {u"/home/clerk/app\\PARTNER.MDB", u"/home/clerk/app\\QUERNO.MDB"};
  ASSERT_EQ(rig.form->formLoad(), std::nullopt);
  rig.form->command1Click();
  rig.form->formUnload();
  rig.form->formUnload();
  EXPECT_EQ(rig.engine.closes, 1);
}

// ---- where the program looks ------------------------------------------------------

TEST(FormFolders, ProposalsAndBrowsingStartBesideTheFrontEndWhenInstalledInASystemFolder) {
#ifdef _WIN32
  // The rows name Linux folders, which a Windows program takes as folders of
  // its current drive; tests/windows/window_under_wine.sh covers Windows.
  GTEST_SKIP() << "Linux folders";
#endif
  const std::u16string here = currentFolder();
  struct Row {
    const char* name;
    const char16_t* programFolder;
    const char16_t* imeBaze;
    std::u16string proposal;  // Text2(0) after Osveži
    std::u16string browse;    // where "Prebrskaj" starts
  };
  const Row rows[] = {
      {"own application folder: the program's folder", u"/home/clerk/app", u"/home/demo/TQ.mdb",
       u";DATABASE=/home/clerk/app\\PARTNER.MDB", u"/home/clerk/app"},
      {"/usr/bin, a front-end with its folder", u"/usr/bin", u"/home/demo/TQ.mdb",
       u";DATABASE=/home/demo\\PARTNER.MDB", u"/home/demo"},
      {"/usr/bin, a bare name: the current folder", u"/usr/bin", u"TQ.mdB", u";DATABASE=" + here + u"\\PARTNER.MDB",
       here},
      {"/opt, a relative folder", u"/opt/povezava/bin", u"sub/TQ.mdb", u";DATABASE=" + here + u"/sub\\PARTNER.MDB",
       here + u"/sub"},
      {"/usr, a mapped drive: browsing in its local folder", u"/usr/bin", u"S:\\DATA\\TQ.mdb",
       u";DATABASE=S:\\DATA\\PARTNER.MDB", u"/srv/DATA"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Rig rig({}, true, row.programFolder);
    rig.program.paths().setMap(povezava::testing::pathMapOf({"S: = /srv"}));
    rig.engine.addFrontEnd(row.imeBaze);
    rig.view.texts[Control::ImeBaze] = row.imeBaze;
    rig.form->command4Click();
    EXPECT_EQ(utf8(rig.view.texts[Control::Text2_0]), utf8(row.proposal));
    rig.view.answers = {u"/x/PARTNER.MDB", u"/x/TQ.mdb"};
    rig.form->command2Click(0);
    rig.form->command3Click();
    ASSERT_EQ(rig.view.folders.size(), 2u);
    EXPECT_EQ(utf8(rig.view.folders[0]), utf8(row.browse));
    EXPECT_EQ(utf8(rig.view.folders[1]), utf8(row.browse));
    EXPECT_EQ(rig.view.texts[Control::Text2_0], u";DATABASE=/x/PARTNER.MDB");
    EXPECT_EQ(rig.view.texts[Control::ImeBaze], u"/x/TQ.mdb");
  }
}

TEST(FormFolders, SystemFoldersOfBothPlatforms) {
  const std::pair<const char16_t*, bool> rows[] = {
      {u"/usr/bin", true},        {u"/usr", true},
      {u"/opt/povezava", true},   {u"/snap/povezava/12/bin", true},
      {u"/usrx/bin", false},      {u"/home/clerk/app", false},
      {u"C:\\Program Files\\Povezava", true},
      {u"c:\\program files (x86)\\Povezava", true},
      {u"C:\\APP", false},        {u"D:\\Programs\\Files", false},
  };
  for (const auto& [folder, system] : rows) EXPECT_EQ(isSystemFolder(folder), system) << utf8(folder);
}

// ---- Slovenian --------------------------------------------------------------------

TEST(ClerkTexts, ErrorsInSlovenianWithTheirNumberAndTheirFile) {
  const std::pair<engine::Status, const char16_t*> rows[] = {
      {engine::errors::fileNotFound("TQ.mdB"), u"Datoteke »TQ.mdB« ni mogoče najti."},
      {engine::errors::notValidPath("/x/TQ.mdb"), u"Pot »/x/TQ.mdb« ne obstaja."},
      {engine::errors::ambiguousPath("tq.mdb", "TQ.mdb", "tq.MDB"), u"»TQ.mdb« in »tq.MDB«"},
      {engine::errors::isAFolder("/x"), u"»/x« je mapa"},
      {engine::errors::corrupt("TQ.mdb", 7, "bad row"), u"poškodovana (stran 7)"},
      {engine::errors::passwordProtected("TQ.mdb"), u"zaščitena z geslom"},
      {engine::errors::objectNotFound("KONTI", "Q.MDB"), u"Baza »Q.MDB« nima tabele »KONTI«."},
      {engine::errors::readOnly("TQ.mdb"), u"samo za branje"},
      {engine::errors::fileInUse("TQ.mdb"), u"ima odprto drug program"},
      {engine::errors::diskOrNetwork("TQ.mdb", 5), u"napake diska ali omrežja"},
      {engine::errors::unrecognizedFormat("x.txt", "short"), u"»x.txt« ni baza Access"},
      {engine::Status{9002, "no linked tables"}, u"nima nobene od tabel"},
      {engine::Status{4321, "Something new."}, u"Prišlo je do napake."},
  };
  for (const auto& [status, says] : rows) {
    SCOPED_TRACE(status.toString());
    const std::u16string text = clerkError(status);
    EXPECT_TRUE(has(text, says)) << utf8(text);
    EXPECT_TRUE(has(text, u"(napaka " + engine::fromUtf8(std::to_string(status.number())) + u")")) << utf8(text);
    // None of the English wording reaches the clerk.
    EXPECT_FALSE(has(utf8(text), status.description().substr(0, 12))) << utf8(text);
  }
#ifndef _WIN32
  // A Windows link that would become a path of this computer: the drive or
  // share it goes through, and the line the paths file needs.
  const std::pair<const char16_t*, const char16_t*> windowsLinks[] = {
      {u";DATABASE=C:\\APP\\PARTNER.MDB", u"pogon »C:« sistema Windows"},
      {u";DATABASE=\\\\S\\x\\PARTNER.MDB", u"vrstico »\\\\S\\x = MAPA«"},
  };
  for (const auto& [from, says] : windowsLinks) {
    SCOPED_TRACE(utf8(from));
    const auto refusal = windowsLinkToLocalPath(u"PARTNER", from, u";DATABASE=/data/PARTNER.MDB");
    ASSERT_TRUE(refusal.has_value());
    const std::u16string text = clerkError(*refusal);
    EXPECT_TRUE(has(text, says)) << utf8(text);
    EXPECT_TRUE(has(text, u"(napaka 9003)")) << utf8(text);
  }
#endif
}

TEST(ClerkTexts, NoticesSayWhatHappenedInSlovenianWithoutTheCommandLine) {
  using engine::NoticeCase;
  const std::pair<engine::Notice, const char16_t*> rows[] = {
      {{NoticeCase::relinkPending, "/srv/TQ.mdb", "/srv/TQ.mdb.povezava-journal", "x"}, u"najprej vrne v prejšnje"},
      {{NoticeCase::relinkInProgress, "/srv/TQ.mdb", "/srv/TQ.mdb.povezava-journal", "x"},
       u"prav zdaj povezuje drug program"},
      {{NoticeCase::relinkUndone, "/srv/TQ.mdb", "", "x"}, u"spet takšna, kot je bila"},
      {{NoticeCase::journalIgnored, "/srv/TQ.mdb", "/srv/TQ.mdb.povezava-journal", "x"},
       u"»/srv/TQ.mdb.povezava-journal«, ki ne spada k njej"},
      {{NoticeCase::journalSetAside, "/srv/TQ.mdb", "/srv/TQ.mdb.stale-1", "x"}, u"umaknjena v »/srv/TQ.mdb.stale-1«"},
      {{NoticeCase::other, "/srv/TQ.mdb", "", "Something new."}, u"pri bazi »/srv/TQ.mdb« opazil"},
  };
  for (const auto& [notice, says] : rows) {
    const std::u16string text = clerkNotice(notice);
    EXPECT_TRUE(has(text, says)) << utf8(text);
    EXPECT_FALSE(has(text, u"povezava-cli")) << utf8(text);
  }
}

TEST(ClerkTexts, AnInterruptedRelinkIsNewsNotAnError) {
  Rig rig;
  rig.engine.addFrontEnd(u"TQ.mdB");
  ASSERT_EQ(rig.form->formLoad(), std::nullopt);
  rig.program.notices().notice({engine::NoticeCase::relinkPending, "/srv/TQ.mdb", "/srv/TQ.mdb.journal",
                                "A relink of '/srv/TQ.mdb' was interrupted"});
  rig.form->command4Click();
  ASSERT_EQ(rig.view.messages.size(), 1u);
  EXPECT_EQ(rig.view.messages[0].kind, MessageKind::information);
  EXPECT_TRUE(has(rig.view.messages[0].text, u"»/srv/TQ.mdb« je bilo prekinjeno")) << utf8(rig.view.messages[0].text);
  EXPECT_TRUE(has(rig.view.messages[0].text, u"»Nova povezava«"));
  EXPECT_FALSE(has(rig.view.messages[0].text, u"povezava-cli"));
  EXPECT_EQ(rig.errors.str(), "povezava: A relink of '/srv/TQ.mdb' was interrupted\n");
}

// ---- the engine's answers on real files --------------------------------------------

TEST(FrontEndFile, SameFileWhateverTheSpellingAndTheLockFileBesideIt) {
  povezava::testing::TempDir dir;
  const std::string folder = dir.path().string();
  povezava::testing::writeFile(dir.path() / "TQ.mdb", std::vector<std::byte>(16));
  povezava::testing::writeFile(dir.path() / "RZ.mdb", std::vector<std::byte>(16));
  const auto u = [](const std::string& text) { return engine::fromUtf8(text); };
  struct Row {
    std::string a, b;
    std::optional<bool> same;  // nothing: an error
  };
  const Row rows[] = {
      {folder + "/TQ.mdb", folder + "/./tq.MDB", true},
      {folder + "/TQ.mdb", folder + "\\TQ.mdb", true},
      {folder + "/TQ.mdb", folder + "/RZ.mdb", false},
      {folder + "/TQ.mdb", folder + "/NI.mdb", std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.b);
    const auto same = engine::sameFile(engine::posixFileSystem(), povezava::testing::sharedTestPaths(), u(row.a), u(row.b));
    EXPECT_EQ(same.ok() ? std::optional<bool>(*same) : std::nullopt, row.same);
  }
  EXPECT_TRUE(engine::accessLockFileBeside(engine::posixFileSystem(), povezava::testing::sharedTestPaths(), u(folder + "/TQ.mdb")).ok());
  std::vector<std::byte> lock(64);
  const std::string computer = "PISARNA-2";
  for (std::size_t i = 0; i < computer.size(); ++i) lock[i] = static_cast<std::byte>(computer[i]);
  povezava::testing::writeFile(dir.path() / "tq.LDB", lock);
  const engine::Status locked = engine::accessLockFileBeside(engine::posixFileSystem(), povezava::testing::sharedTestPaths(), u(folder + "/TQ.mdb"));
  EXPECT_EQ(locked.details().what, engine::ErrorCase::accessLockFile);
  EXPECT_EQ(locked.details().users, "PISARNA-2");
  EXPECT_TRUE(engine::accessLockFileBeside(engine::posixFileSystem(), povezava::testing::sharedTestPaths(), u(folder + "/RZ.mdb")).ok());
}

// The situation a clerk met: a copy of the front-end named in Baza after the
// original was inspected. Real files, the real engine: neither file changes
// while Baza names the copy (or nothing); another spelling of the original is
// the original, and only it is relinked.
TEST(FormOnFiles, ACopyNamedInBazaIsNotWrittenAnotherSpellingOfTheInspectedFileIs) {
  POVEZAVA_REQUIRE_FIXTURES();
  for (const povezava::testing::FixtureSet& set : povezava::testing::kFixtureSets) {
    SCOPED_TRACE(set.folder);
    povezava::testing::TempDir dir;
    dir.copyFiles(povezava::testing::fixturesDir() / set.folder);
    const std::filesystem::path tq = dir.path() / (std::string("TQ") + set.extension);
    const std::filesystem::path rz = dir.path() / (std::string("RZ") + set.extension);
    std::filesystem::copy_file(tq, rz);
    const auto tqBefore = povezava::testing::readFile(tq);
    const auto rzBefore = povezava::testing::readFile(rz);

    FakeView view;
    std::ostringstream errors;
    Program program(engine::posixFileSystem());
    FormEnvironment env;
    env.engine = &program.engine();
    env.program = &program;
    env.programFolder = engine::fromUtf8(dir.path().string());
    env.errors = &errors;
#ifdef _WIN32
    // The copies by their own paths.
    const std::u16string folder = engine::fromUtf8(dir.path().string()) + u"\\";
#else
    // The fixtures link through C:\APP: C: is this folder here, and the new
    // links are typed in Windows form (C:\PARTNER.MDB), as the PCs see them.
    program.paths().setMap(povezava::testing::pathMapOf({"C: = " + dir.path().string()}));
    const std::u16string folder = u"C:\\";
#endif
    RelinkForm form(view, env);
    view.texts[Control::ImeBaze] = engine::fromUtf8(tq.string());
    form.command4Click();
    ASSERT_TRUE(form.state().LinkDb) << errors.str();
    const std::u16string partner = u";DATABASE=" + folder + engine::fromUtf8(set.partner);
    const std::u16string querno = u";DATABASE=" + folder + engine::fromUtf8(set.querno);
    view.texts[Control::Text2_0] = partner;
    view.texts[Control::Text2_1] = querno;

    for (const std::u16string& named : {engine::fromUtf8(rz.string()), std::u16string(u"NI.mdb")}) {
      view.texts[Control::ImeBaze] = named;
      form.command1Click();
      EXPECT_EQ(povezava::testing::readFile(tq), tqBefore);
      EXPECT_EQ(povezava::testing::readFile(rz), rzBefore);
      EXPECT_EQ(view.closes, 0);
    }
    // Another spelling of the inspected file is that file.
    view.texts[Control::ImeBaze] = engine::fromUtf8((dir.path() / "." / ("tq" + std::string(set.extension))).string());
    form.command1Click();
    EXPECT_EQ(view.closes, 1) << errors.str() << (view.messages.empty() ? "" : utf8(view.messages.back().text));
    EXPECT_NE(povezava::testing::readFile(tq), tqBefore);
    EXPECT_EQ(povezava::testing::readFile(rz), rzBefore);
  }
}

}  // namespace
}  // namespace povezava::links
