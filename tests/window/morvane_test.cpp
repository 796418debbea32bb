// The window's handlers and wiring over the call-logging fake engine: start-up
// paths, what each control runs, how errors are reported, relinking's report
// and the window's end. (Real databases: fixtures_test.cpp.)
#include "window/morvane.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextCursor>
#include <QWheelEvent>
#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "links/fake_engine.h"
#include "links/startup.h"
#include "support/test_support.h"
#include "window_harness.h"
#include "support/test_engine.h"

namespace povezava::window {
namespace {

using links::testing::FakeEngine;
using links::testing::FakeFile;
using testing::Harness;

const QString kAppPath = QStringLiteral("/home/clerk/app");

QString q(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

bool contains(const std::vector<std::string>& log, const std::string& entry) {
  return std::find(log.begin(), log.end(), entry) != log.end();
}

std::size_t countOf(const std::vector<std::string>& log, const std::string& prefix) {
  return static_cast<std::size_t>(std::count_if(
      log.begin(), log.end(), [&](const std::string& e) { return e.rfind(prefix, 0) == 0; }));
}

// ---- start-up ----------------------------------------------------------------

struct StartupRow {
  const char* name;
  const char16_t* commandText;
  bool loads;                // the first inspection succeeds
  const char16_t* imeBaze;   // ImeBaze after Load
  const char16_t* text2_0;   // Text2(0) after Load
  const char16_t* text2_1;   // Text2(1) after Load
  const char16_t* flag;      // AutoLinkFlag after Load
};

void PrintTo(const StartupRow& row, std::ostream* out) { *out << row.name; }

constexpr char16_t kAppPartner[] = u";DATABASE=/home/clerk/app\\PARTNER.MDB";
constexpr char16_t kAppQuerno[] = u";DATABASE=/home/clerk/app\\QUERNO.MDB";

const StartupRow kStartupRows[] = {
    {"NoArguments", u"", true, u"TQ.mdB", kAppPartner, kAppQuerno, u"False"},
    {"SpacesOnly", u"   ", true, u"TQ.mdB", kAppPartner, kAppQuerno, u"False"},
    {"TabFirst", u"\tC:\\APP\\TQ.mdb,D:\\DATA", true, u"TQ.mdB", kAppPartner, kAppQuerno, u"False"},
    {"FrontEndOnly", u"C:\\APP\\TQ.mdb", true, u"C:\\APP\\TQ.mdb", kAppPartner, kAppQuerno, u"True"},
    {"SemicolonDropsTheRest", u"C:\\APP\\TQ.mdb;D:\\DATA", true, u"C:\\APP\\TQ.mdb", kAppPartner,
     kAppQuerno, u"True"},
    {"TrailingComma", u"C:\\APP\\TQ.mdb,", true, u"C:\\APP\\TQ.mdb", kAppPartner, kAppQuerno, u"True"},
    {"Folder", u"  C:\\APP\\TQ.mdb, D:\\DATA  ", true, u"C:\\APP\\TQ.mdb",
     u";DATABASE=D:\\DATA\\PARTNER.MDB", u";DATABASE=D:\\DATA\\querno.MDB", u"True"},
    {"PartnerFileAnyCase", u"C:\\APP\\TQ.mdb,D:\\DATA\\p.mdb", true, u"C:\\APP\\TQ.mdb",
     u";DATABASE=D:\\DATA\\p.mdb", u";DATABASE=D:\\DATA\\querno.MDB", u"True"},
    {"PartnerFileInDriveRoot", u"C:\\APP\\TQ.mdb,D:\\P.MDB", true, u"C:\\APP\\TQ.mdb",
     u";DATABASE=D:\\P.MDB", u";DATABASE=D:\\\\querno.MDB", u"True"},
    // Relative locations are made absolute against the current folder.
    {"PartnerFileWithoutFolder", u"C:\\APP\\TQ.mdb,PARTNER.MDB", true, u"C:\\APP\\TQ.mdb",
     u";DATABASE={here}/PARTNER.MDB", u";DATABASE={here}\\querno.MDB", u"True"},
    {"FolderWithFinalBackslash", u"C:\\APP\\TQ.mdb,D:\\DATA\\", true, u"C:\\APP\\TQ.mdb",
     u";DATABASE=D:\\DATA\\\\PARTNER.MDB", u";DATABASE=D:\\DATA\\\\querno.MDB", u"True"},
    {"QuotedFrontEndWithBlank", u"\"C:\\My Files\\TQ.mdb\",D:\\DATA", true, u"C:\\My Files\\TQ.mdb",
     u";DATABASE=D:\\DATA\\PARTNER.MDB", u";DATABASE=D:\\DATA\\querno.MDB", u"True"},
    {"QuotesAroundBackEndStay", u"C:\\APP\\TQ.mdb,'D:\\DATA'", true, u"C:\\APP\\TQ.mdb",
     u";DATABASE={here}/'D:/DATA'\\PARTNER.MDB", u";DATABASE={here}/'D:/DATA'\\querno.MDB", u"True"},
    {"LinuxPartnerFile", u"/srv/app/TQ.mdb,/srv/data/PARTNER.MDB", true, u"/srv/app/TQ.mdb",
     u";DATABASE=/srv/data/PARTNER.MDB", u";DATABASE=/srv/data\\querno.MDB", u"True"},
    {"EmptyFirstWord", u",D:\\DATA", false, u"", u"", u"", u"False"},
    {"MissingFrontEnd", u"C:\\NOPE\\TQ.mdb,D:\\DATA", false, u"C:\\NOPE\\TQ.mdb", u"", u"", u"False"},
};

class Startup : public ::testing::TestWithParam<StartupRow> {
 protected:
  static void addFrontEnds(FakeEngine& engine) {
    for (const char16_t* name : {u"TQ.mdB", u"C:\\APP\\TQ.mdb", u"C:\\My Files\\TQ.mdb", u"/srv/app/TQ.mdb"}) {
      engine.addFrontEnd(name);
    }
  }
};

TEST_P(Startup, LoadFillsTheWindowAsTheCommandLineSays) {
  const StartupRow& row = GetParam();
  FakeEngine engine;
  addFrontEnds(engine);
  Harness h(engine, kAppPath, q(row.commandText));
  const std::optional<int> exit = h.window->formLoad();
  // A command line whose front-end does not open ends the run (exit 1).
  EXPECT_EQ(exit, row.loads ? std::nullopt : std::optional<int>(1));
  EXPECT_EQ(h.imeBaze()->currentText(), q(row.imeBaze));
  EXPECT_EQ(h.text("Text2(0)"), q(povezava::testing::withCurrentFolder(row.text2_0)));
  EXPECT_EQ(h.text("Text2(1)"), q(povezava::testing::withCurrentFolder(row.text2_1)));
  EXPECT_EQ(h.window->state().AutoLinkFlag, row.flag);
  // Load writes nothing; a command-line run's failure goes to stderr only.
  EXPECT_EQ(countOf(engine.log, "set "), 0u);
  EXPECT_TRUE(h.boxes.texts.isEmpty());
  EXPECT_EQ(h.errors.str().empty(), row.loads) << h.errors.str();

  // The window's Load and the start-up rule of links/ agree on every row.
  FakeEngine other;
  addFrontEnds(other);
  links::WindowState state;
  links::WindowTexts texts;
  const links::LoadOutcome outcome =
      links::startupLoad(other, {}, kAppPath.toStdU16String(), row.commandText, state, texts);
  EXPECT_EQ(outcome.status.ok(), row.loads);
  EXPECT_EQ(outcome.arguments, h.window->commandLineRun());
  EXPECT_EQ(q(texts.ImeBaze), h.imeBaze()->currentText());
  EXPECT_EQ(q(texts.Text2[0]), h.text("Text2(0)"));
  EXPECT_EQ(q(texts.Text2[1]), h.text("Text2(1)"));
  EXPECT_EQ(state.AutoLinkFlag, h.window->state().AutoLinkFlag);
  EXPECT_EQ(other.log, engine.log);
}

INSTANTIATE_TEST_SUITE_P(Rows, Startup, ::testing::ValuesIn(kStartupRows), povezava::testing::RowName());

// ---- the fixture for the handlers ----------------------------------------------

class Handlers : public ::testing::Test {
 protected:
  void SetUp() override {
    // Linked into a Linux folder: these tests are about the handlers, and a
    // local path may replace such a link (C:\APP links are WIN.mdb's).
    tq_ = engine_.addFrontEnd(u"TQ.mdB", u"/app/");
    other_ = engine_.addFrontEnd(u"MV.MDB", u"/app/");
    windows_ = engine_.addFrontEnd(u"WIN.mdb");
    engine_.backends = {u"/data/PARTNER.MDB", u"/data\\querno.MDB", u"/home/clerk/app\\PARTNER.MDB",
                        u"/home/clerk/app\\QUERNO.MDB"};
  }

  Harness& make(const QString& commandText = {}, bool display = true) {
    harness_ = std::make_unique<Harness>(engine_, kAppPath, commandText, display);
    return *harness_;
  }

  std::u16string stored(const FakeFile& file, std::u16string_view table) const {
    for (const auto& t : file.tables) {
      if (t.name == table) return t.connect;
    }
    return u"<none>";
  }

  FakeEngine engine_;
  std::shared_ptr<FakeFile> tq_;
  std::shared_ptr<FakeFile> other_;
  std::shared_ptr<FakeFile> windows_;
  std::unique_ptr<Harness> harness_;
};

TEST_F(Handlers, Command4InspectsTheNameTypedInImeBaze) {
  Harness& h = make();
  ASSERT_EQ(h.window->formLoad(), std::nullopt);
  h.imeBaze()->setEditText(QStringLiteral("MV.MDB"));
  engine_.log.clear();
  h.click("Command4");
  EXPECT_EQ(engine_.log.front(), "open MV.MDB");
  EXPECT_EQ(h.window->state().LinkDb->name(), u"MV.MDB");
  EXPECT_EQ(h.imetab(), QStringLiteral("PARTNER, KONTI, NALOGI"));
  EXPECT_EQ(h.text("Text1(0)"), QStringLiteral(";DATABASE=/app/PARTNER.MDB"));
  EXPECT_EQ(h.text("Text1(1)"), QStringLiteral(";DATABASE=/app/QUERNO.MDB"));
  EXPECT_TRUE(h.errors.str().empty());
}

TEST_F(Handlers, TypingInImeBazeRunsNothingNotEvenEnter) {
  Harness& h = make();
  ASSERT_EQ(h.window->formLoad(), std::nullopt);
  h.window->show();
  h.window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(h.window.get()));
  h.imeBaze()->setEditText(QString());
  engine_.log.clear();
  QTest::keyClicks(h.imeBaze()->lineEdit(), QStringLiteral("MV.MDB"));
  QTest::keyClick(h.imeBaze()->lineEdit(), Qt::Key_Return);
  QTest::keyClick(h.imeBaze()->lineEdit(), Qt::Key_Enter);
  // The wheel does not step through the list either.
  QWheelEvent wheel(QPointF(5, 5), h.imeBaze()->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(h.imeBaze(), &wheel);
  EXPECT_TRUE(engine_.log.empty());
  EXPECT_EQ(h.imeBaze()->currentText(), QStringLiteral("MV.MDB"));  // not completed, not replaced
  EXPECT_EQ(h.window->state().LinkDb->name(), u"TQ.mdB");
}

TEST_F(Handlers, PickingAListEntryRunsInspectionOfThatName) {
  Harness& h = make();
  ASSERT_EQ(h.window->formLoad(), std::nullopt);
  h.window->show();
  h.window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(h.window.get()));
  h.setText("Text2(0)", QStringLiteral("typed"));
  engine_.log.clear();
  QComboBox* combo = h.imeBaze();
  combo->showPopup();
  QAbstractItemView* view = combo->view();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
  const QRect entry = view->visualRect(view->model()->index(1, 0));  // "MV.MDB"
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, entry.center());
  EXPECT_EQ(combo->currentText(), QStringLiteral("MV.MDB"));
  ASSERT_FALSE(engine_.log.empty());
  EXPECT_EQ(engine_.log.front(), "open MV.MDB");
  EXPECT_EQ(h.window->state().LinkDb->name(), u"MV.MDB");
  // Inspection renews the proposals, overwriting what was typed.
  EXPECT_EQ(h.text("Text2(0)"), q(kAppPartner));
}

TEST_F(Handlers, InspectionProposingTheLinkABoxShowsKeepsItsCursor) {
  Harness& h = make();
  ASSERT_EQ(h.window->formLoad(), std::nullopt);
  ASSERT_EQ(h.text("Text2(0)"), q(kAppPartner));
  QPlainTextEdit* box = h.control<QPlainTextEdit>("Text2(0)");
  QTextCursor cursor = box->textCursor();
  cursor.setPosition(3);
  box->setTextCursor(cursor);
  h.click("Command4");
  EXPECT_EQ(h.text("Text2(0)"), q(kAppPartner));
  EXPECT_EQ(box->textCursor().position(), 3);
}

TEST_F(Handlers, AFailedInspectionIsReportedAndLetsGoOfTheEarlierFrontEnd) {
  Harness& h = make();
  ASSERT_EQ(h.window->formLoad(), std::nullopt);
  h.window->show();
  h.setText("Text2(1)", QStringLiteral("kept"));
  h.imeBaze()->setEditText(QStringLiteral("NO SUCH.MDB"));
  h.click("Command4");
  // Slovenian in the box, English on stderr, the number in both.
  ASSERT_EQ(h.boxes.texts.size(), 1);
  EXPECT_EQ(h.boxes.texts[0], QStringLiteral("Datoteke »NO SUCH.MDB« ni mogoče najti. Preverite ime ali jo "
                                             "izberite z gumbom »Prebrskaj«. (napaka 3024)"));
  EXPECT_EQ(h.boxes.kinds[0], links::MessageKind::error);
  EXPECT_EQ(h.errors.str(), "povezava: error 3024: Could not find file 'NO SUCH.MDB'.\n");
  EXPECT_TRUE(h.window->isVisible());
  EXPECT_FALSE(h.window->state().LinkDb);
  EXPECT_EQ(h.text("Text2(1)"), QStringLiteral("kept"));
  EXPECT_EQ(h.text("Text1(0)"), QString());
  // "Nova povezava" now has nothing to write to.
  engine_.log.clear();
  h.click("Command1");
  EXPECT_TRUE(engine_.log.empty());
  EXPECT_TRUE(h.window->isVisible());
  EXPECT_EQ(h.boxes.texts.size(), 2);
  EXPECT_TRUE(h.boxes.texts[1].startsWith(QStringLiteral("Nobena baza ni odprta"))) << h.boxes.texts[1].toStdString();
  // The user types a good name and goes on.
  h.imeBaze()->setEditText(QStringLiteral("MV.MDB"));
  h.click("Command4");
  EXPECT_EQ(h.boxes.texts.size(), 2);
  EXPECT_EQ(h.window->state().LinkDb->name(), u"MV.MDB");
}

TEST_F(Handlers, ImeBazeClickReportsTheInspectionsError) {
  Harness& h = make();
  h.imeBaze()->setEditText(QStringLiteral("missing.mdb"));
  h.window->imeBazeClick();
  EXPECT_EQ(engine_.log, std::vector<std::string>{"open missing.mdb"});
  ASSERT_EQ(h.boxes.texts.size(), 1);
  EXPECT_TRUE(h.boxes.texts[0].endsWith(QStringLiteral("(napaka 3024)"))) << h.boxes.texts[0].toStdString();
}

TEST_F(Handlers, RelinkingWritesTheText2BoxesAndClosesTheWindow) {
  Harness& h = make();
  ASSERT_EQ(h.window->formLoad(), std::nullopt);
  h.window->show();
  h.setText("Text2(0)", QStringLiteral(";DATABASE=/data/PARTNER.MDB"));
  h.setText("Text2(1)", QStringLiteral(";DATABASE=/data\\querno.MDB"));
  // What is typed into Text1 and imetab is never read back.
  h.setText("Text1(0)", QStringLiteral(";DATABASE=/elsewhere"));
  h.control<QLineEdit>("imetab")->setText(QStringLiteral("KONTI"));
  h.click("Command1");
  EXPECT_EQ(stored(*tq_, u"PARTNER"), u";DATABASE=/data/PARTNER.MDB");
  EXPECT_EQ(stored(*tq_, u"KONTI"), u";DATABASE=/data\\querno.MDB");
  EXPECT_EQ(stored(*tq_, u"NALOGI"), u";DATABASE=/data\\querno.MDB");
  EXPECT_FALSE(h.window->isVisible());
  EXPECT_EQ(engine_.closes, 1);
  EXPECT_TRUE(h.boxes.texts.isEmpty());
  EXPECT_TRUE(h.errors.str().empty());
  EXPECT_EQ(h.window->exitStatus(), 0);
}

TEST_F(Handlers, InteractiveRelinkFailuresAreListedAndTheWindowStays) {
  Harness& h = make();
  ASSERT_EQ(h.window->formLoad(), std::nullopt);
  h.window->show();
  h.setText("Text2(0)", QStringLiteral(";DATABASE=/nowhere/PARTNER.MDB"));
  h.setText("Text2(1)", QStringLiteral(";DATABASE=/data\\querno.MDB"));
  h.click("Command1");
  // PARTNER failed; KONTI and NALOGI were held back with it.
  EXPECT_EQ(stored(*tq_, u"PARTNER"), u";DATABASE=/app/PARTNER.MDB");
  EXPECT_EQ(stored(*tq_, u"KONTI"), u";DATABASE=/app/QUERNO.MDB");
  ASSERT_EQ(h.boxes.texts.size(), 1);
  EXPECT_TRUE(h.boxes.texts[0].contains(QStringLiteral(
      "PARTNER (;DATABASE=/nowhere/PARTNER.MDB): Datoteke »/nowhere/PARTNER.MDB« ni mogoče najti.")))
      << h.boxes.texts[0].toStdString();
  EXPECT_EQ(h.boxes.kinds[0], links::MessageKind::error);
  // All or none: KONTI and NALOGI keep their links too, and the list says why.
  EXPECT_TRUE(h.boxes.texts[0].contains(QStringLiteral("KONTI ("))) << h.boxes.texts[0].toStdString();
  EXPECT_NE(h.errors.str().find("povezava: PARTNER: refreshing ;DATABASE=/nowhere/PARTNER.MDB: error 3024"),
            std::string::npos)
      << h.errors.str();
  // Nothing closes: the clerk mends the path and presses again.
  EXPECT_TRUE(h.window->isVisible());
  EXPECT_EQ(engine_.closes, 0);
  EXPECT_EQ(h.window->exitStatus(), 1);
}

TEST_F(Handlers, CommandLineRelinkFailuresGoToStderrOnlyAndTheExitStatus) {
  Harness& h = make(QStringLiteral("TQ.mdB,/nowhere"));
  ASSERT_EQ(h.window->formLoad(), std::nullopt);
  h.window->show();
  h.window->formActivate();
  EXPECT_TRUE(h.boxes.texts.isEmpty());
  EXPECT_EQ(countOf(engine_.log, "check "), 3u);  // each checked; none stored
  EXPECT_EQ(countOf(engine_.log, "store"), 0u);
  const std::string errors = h.errors.str();
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 3) << errors;
  for (const char* table : {"PARTNER", "KONTI", "NALOGI"}) {
    EXPECT_NE(errors.find(std::string("povezava: ") + table + ": refreshing ;DATABASE=/nowhere"),
              std::string::npos)
        << errors;
  }
  EXPECT_FALSE(h.window->isVisible());
  EXPECT_EQ(h.window->exitStatus(), 1);
}

TEST_F(Handlers, TheAutomaticRelinkRunsOnceHoweverOftenTheWindowIsActivated) {
  Harness& h = make(QStringLiteral("TQ.mdB,/data\\PARTNER.MDB"));
  ASSERT_EQ(h.window->formLoad(), std::nullopt);
  engine_.backends.insert(u"/data\\PARTNER.MDB");
  h.window->show();
  // The platform's own activation event runs it.
  h.window->activateWindow();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !h.window->isVisible(); }));
  EXPECT_EQ(h.window->state().AutoLinkFlag, u"False");
  EXPECT_EQ(countOf(engine_.log, "set "), 3u);
  EXPECT_EQ(stored(*tq_, u"PARTNER"), u";DATABASE=/data\\PARTNER.MDB");
  EXPECT_EQ(stored(*tq_, u"NALOGI"), u";DATABASE=/data\\querno.MDB");
  EXPECT_FALSE(h.window->isVisible());
  // A late activation, or the program's fallback call, finds nothing to do.
  h.window->formActivate();
  h.window->show();
  QApplication::processEvents();
  h.window->formActivate();
  EXPECT_EQ(countOf(engine_.log, "set "), 3u);
  EXPECT_EQ(engine_.closes, 1);
  EXPECT_EQ(h.window->exitStatus(), 0);
}

// Links through C: are not replaced by folders of this computer when no path
// map says where C: is: nothing is stored, and the clerk is told which drive
// and what to ask for; a command-line run ends with exit status 1.
TEST_F(Handlers, AWindowsLinkIsNotReplacedByALocalPathWithoutAMap) {
  for (const bool commandLine : {false, true}) {
    SCOPED_TRACE(commandLine ? "command line" : "interactive");
    engine_.log.clear();
    Harness& h = make(commandLine ? QStringLiteral("WIN.mdb,/data") : QString());
    ASSERT_EQ(h.window->formLoad(), std::nullopt);
    h.window->show();
    if (commandLine) {
      h.window->formActivate();
    } else {
      h.imeBaze()->setEditText(QStringLiteral("WIN.mdb"));
      h.click("Command4");
      h.setText("Text2(0)", QStringLiteral(";DATABASE=/data/PARTNER.MDB"));
      h.setText("Text2(1)", QStringLiteral(";DATABASE=/data\\querno.MDB"));
      h.click("Command1");
    }
    EXPECT_EQ(countOf(engine_.log, "store"), 0u);
    EXPECT_EQ(stored(*windows_, u"PARTNER"), u";DATABASE=C:\\APP\\PARTNER.MDB");
    EXPECT_EQ(stored(*windows_, u"KONTI"), u";DATABASE=C:\\APP\\QUERNO.MDB");
    EXPECT_EQ(stored(*windows_, u"NALOGI"), u";DATABASE=C:\\APP\\QUERNO.MDB");
    EXPECT_NE(h.errors.str().find("error 9003: PARTNER is linked through C:"), std::string::npos) << h.errors.str();
    EXPECT_EQ(h.window->exitStatus(), 1);
    if (commandLine) {
      EXPECT_TRUE(h.boxes.texts.isEmpty());
      EXPECT_FALSE(h.window->isVisible());
    } else {
      ASSERT_EQ(h.boxes.texts.size(), 1);
      EXPECT_EQ(h.boxes.kinds[0], links::MessageKind::error);
      EXPECT_TRUE(h.boxes.texts[0].contains(QStringLiteral("pogon »C:« sistema Windows"))) << h.boxes.texts[0].toStdString();
      EXPECT_TRUE(h.boxes.texts[0].contains(QStringLiteral("vrstico »C: = MAPA«"))) << h.boxes.texts[0].toStdString();
      EXPECT_TRUE(h.boxes.texts[0].contains(QStringLiteral("(napaka 9003)"))) << h.boxes.texts[0].toStdString();
      EXPECT_TRUE(h.window->isVisible());
      EXPECT_EQ(engine_.closes, 0);
    }
  }
}

TEST_F(Handlers, WithoutArgumentsActivationRunsNothing) {
  Harness& h = make();
  ASSERT_EQ(h.window->formLoad(), std::nullopt);
  engine_.log.clear();
  h.window->show();
  h.window->activateWindow();
  EXPECT_TRUE(QTest::qWaitForWindowActive(h.window.get()));
  h.window->formActivate();
  EXPECT_TRUE(engine_.log.empty());
  EXPECT_TRUE(h.window->isVisible());
}

TEST_F(Handlers, ANewInspectionLeavesNoTableOfTheEarlierDatabaseToRelink) {
  std::erase_if(other_->tables, [](const auto& t) { return t.name == u"NALOGI"; });
  Harness& h = make();
  ASSERT_EQ(h.window->formLoad(), std::nullopt);
  h.setText("Text1(1)", QStringLiteral("typed"));
  h.imeBaze()->setEditText(QStringLiteral("MV.MDB"));
  h.click("Command4");
  h.click("Command1");
  EXPECT_EQ(stored(*tq_, u"NALOGI"), u";DATABASE=/app/QUERNO.MDB");  // TQ untouched
  EXPECT_EQ(countOf(engine_.log, "set NALOGI"), 0u);
  EXPECT_EQ(stored(*other_, u"PARTNER"), u";DATABASE=/home/clerk/app\\PARTNER.MDB");
}

TEST_F(Handlers, ClosingClosesTheDatabaseOnceAndIsNeverRefused) {
  Harness& h = make();
  ASSERT_EQ(h.window->formLoad(), std::nullopt);
  h.window->show();
  EXPECT_TRUE(h.window->close());
  EXPECT_FALSE(h.window->isVisible());
  EXPECT_TRUE(contains(engine_.log, "close TQ.mdB"));
  h.window->close();
  EXPECT_EQ(engine_.closes, 1);
  EXPECT_EQ(h.window->exitStatus(), 0);
}

TEST_F(Handlers, AFailingCloseIsReportedAndStillCloses) {
  tq_->failClose = true;
  Harness& h = make();
  ASSERT_EQ(h.window->formLoad(), std::nullopt);
  h.window->show();
  EXPECT_TRUE(h.window->close());
  EXPECT_FALSE(h.window->isVisible());
  ASSERT_EQ(h.boxes.texts.size(), 1);
  EXPECT_TRUE(h.boxes.texts[0].endsWith(QStringLiteral("(napaka 3043)"))) << h.boxes.texts[0].toStdString();
  EXPECT_EQ(h.window->exitStatus(), 1);
}

TEST_F(Handlers, WithoutADisplayErrorsGoToStderrOnly) {
  Harness& h = make({}, /*display=*/false);
  h.imeBaze()->setEditText(QStringLiteral("missing.mdb"));
  h.click("Command4");
  EXPECT_EQ(h.errors.str().rfind("povezava: error 3024: ", 0), 0u) << h.errors.str();
  EXPECT_TRUE(h.boxes.texts.isEmpty());
}

}  // namespace
}  // namespace povezava::window
