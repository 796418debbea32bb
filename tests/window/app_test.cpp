// The program as users start it: which platform it picks, the command text,
// and end-to-end runs of the real povezava binary on builder-made front-ends
// and copies of the fixtures, checked with our engine and with mdbtools.
#include "window/app.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <ostream>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/jet_build/builder.h"
#include "engine/jet_build/sample_databases.h"
#include "base/unicode.h"
#include "links/fake_engine.h"
#include "support/databases.h"
#include "support/test_support.h"
#include "window_harness.h"

namespace povezava::window {
namespace {

namespace fs = std::filesystem;
using povezava::testing::fixturesDir;
using povezava::testing::haveProgram;
using povezava::testing::readFile;
using povezava::testing::runCommand;
using povezava::testing::shellQuote;
using povezava::testing::TempDir;

// ---- the platform and the command text ------------------------------------------

TEST(PlatformChoice, OffscreenWithoutADisplayAndAfterTheDisplaysPlatform) {
  struct Row {
    bool platformArgument;
    const char* qpa;
    const char* display;
    const char* wayland;
    const char* choice;
  };
  const Row rows[] = {
      {false, "", "", "", "offscreen"},                          // a server: no display at all
      {false, "", ":0", "", "xcb;offscreen"},                    // X11, perhaps unreachable
      {false, "", "", "wayland-0", "wayland;offscreen"},         // Wayland
      {false, "", ":0", "wayland-0", "wayland;xcb;offscreen"},   // Wayland with XWayland
      {false, "xcb", "", "", ""},                                // the user chose a platform
      {true, "", "", "", ""},                                    // -platform on the command line
      {false, "offscreen", ":0", "", ""},                        // chosen already
  };
  for (const Row& row : rows) {
    EXPECT_EQ(platformChoice(row.platformArgument, row.qpa, row.display, row.wayland), row.choice)
        << row.platformArgument << " '" << row.qpa << "' '" << row.display << "' '" << row.wayland << "'";
  }
}

TEST(HeadlessPlatform, OffscreenAndMinimalShowNothing) {
  EXPECT_TRUE(isHeadlessPlatform(QStringLiteral("offscreen")));
  EXPECT_TRUE(isHeadlessPlatform(QStringLiteral("minimal")));
  EXPECT_FALSE(isHeadlessPlatform(QStringLiteral("xcb")));
  EXPECT_FALSE(isHeadlessPlatform(QStringLiteral("wayland")));
}

TEST(CommandText, TheArgumentsAfterTheProgramJoinedWithSingleSpaces) {
  EXPECT_EQ(commandTextOf({"/usr/bin/povezava"}), QString());
  EXPECT_EQ(commandTextOf({"povezava", "C:\\APP\\TQ.mdb,", "D:\\DATA"}),
            QStringLiteral("C:\\APP\\TQ.mdb, D:\\DATA"));
  // Blanks inside one argument stay as they are; nothing is trimmed here.
  EXPECT_EQ(commandTextOf({"povezava", "/my  files/TQ.mdb", ""}), QStringLiteral("/my  files/TQ.mdb "));
  EXPECT_EQ(commandTextOf({"povezava", "\"a b\",c"}), QStringLiteral("\"a b\",c"));
}

TEST(QtTranslations, SlovenianDialogTextsWhenTheTranslationsAreInstalled) {
  const QDir folder(QLibraryInfo::path(QLibraryInfo::TranslationsPath));
  if (!folder.exists(QStringLiteral("qt_sl.qm")) && !folder.exists(QStringLiteral("qtbase_sl.qm"))) {
    GTEST_SKIP() << "Qt's Slovenian translations are not installed (Debian package qt6-translations-l10n)";
  }
  const QString english = QStringLiteral("Look in:");
  QTranslator translator;
  ASSERT_TRUE(installQtTranslations(translator, QLocale(QLocale::Slovenian, QLocale::Slovenia)));
  const QString translated = QCoreApplication::translate("QFileDialog", "Look in:");
  QCoreApplication::removeTranslator(&translator);
  EXPECT_NE(translated, english);
  EXPECT_FALSE(translated.isEmpty());
}

// ---- after Load: show the window or end --------------------------------------------

TEST(ProgramRequest, HelpAndVersionAnswerAtOnceAnythingElseRuns) {
  struct Row {
    QStringList arguments;
    std::optional<int> status;
    const char* printed;  // the start of what goes to stdout
  };
  const Row rows[] = {
      {{"povezava", "--help"}, 0, "usage: povezava"},
      {{"povezava", "-h"}, 0, "usage: povezava"},
      {{"povezava", "--version"}, 0, "povezava " POVEZAVA_VERSION "\n"},
      {{"povezava"}, std::nullopt, ""},
      {{"povezava", "--help.mdb"}, std::nullopt, ""},
      {{"povezava", "TQ.mdb,--help"}, std::nullopt, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.arguments.join(QLatin1Char(' ')).toStdString());
    std::ostringstream out;
    EXPECT_EQ(answerRequest(row.arguments, out), row.status);
    EXPECT_EQ(out.str().rfind(row.printed, 0), 0u) << out.str();
    if (!row.status) {
      EXPECT_TRUE(out.str().empty());
    }
  }
}

// ---- end to end -------------------------------------------------------------------

// What a front-end's three links point at, by table name (the catalogue's
// Database column as mdbtools exports it).
std::map<std::string, std::string> mdbtoolsLinks(const fs::path& file) {
  std::map<std::string, std::string> links;
  for (auto& row : povezava::testing::csvRecords(povezava::testing::runMdbTool("mdb-export -b strip", file, "MSysObjects"))) {
    if (row["Name"] == "PARTNER" || row["Name"] == "KONTI" || row["Name"] == "NALOGI") {
      links[row["Name"]] = row["Database"];
    }
  }
  return links;
}

// The same through our engine: the link string without ";DATABASE=".
std::map<std::string, std::string> engineLinks(const fs::path& file) {
  std::map<std::string, std::string> links;
  for (const auto& t : povezava::testing::listTables(file)) {
    if (t.name != "PARTNER" && t.name != "KONTI" && t.name != "NALOGI") continue;
    links[t.name] = t.connect.starts_with(";DATABASE=") ? t.connect.substr(10) : t.connect;
  }
  return links;
}

struct RunResult {
  int status = -1;
  std::string output;  // stdout and stderr
};

// Runs the binary in `cwd` with `arguments` and no display: the way an
// install script on a server runs it. `prefix` goes before the program.
RunResult runBinary(const std::string& binary, const std::vector<std::string>& arguments, const fs::path& cwd,
              const std::string& prefix = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM") {
  std::string command = "cd " + shellQuote(cwd.string()) + " && " + prefix + " timeout 120 " +
                        shellQuote(binary);
  for (const std::string& argument : arguments) command += " " + shellQuote(argument);
  RunResult run;
  run.output = runCommand(command + " 2>&1", &run.status);
  return run;
}

// "@" in a row's texts stands for the test's folder.
std::string expand(std::string text, const fs::path& dir) {
  for (std::size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at)) {
    text.replace(at, 1, dir.string());
    at += dir.string().size();
  }
  return text;
}

struct EndToEndRow {
  const char* name;
  const char* frontEndFolder;           // where TQ.mdb is built, under the test folder
  std::vector<const char*> arguments;   // as the shell hands them over
  const char* cwd;                      // under the test folder
  int status;
  const char* partner;                  // PARTNER's Database afterwards
  const char* codeTables;               // KONTI's and NALOGI's
  const char* output;                   // a text the output contains, or ""
};

void PrintTo(const EndToEndRow& row, std::ostream* out) { *out << row.name; }

// The builder's front-ends are linked into a Linux folder, which the local
// paths these rows relink to may replace (a C: link needs a path map: see
// EndToEndFormats.AWindowsLinkNeedsAPathMapForCToBeRelinkedHere).
constexpr char kOld[] = "/old/PARTNER.MDB";
constexpr char kOldCode[] = "/old/QUERNO.MDB";

const EndToEndRow kEndToEndRows[] = {
    {"Folder", "fe", {"@/fe/TQ.mdb,@/data"}, "", 0, "@/data\\PARTNER.MDB", "@/data\\querno.MDB", ""},
    {"PartnerFile", "fe", {"@/fe/TQ.mdb,@/data/PARTNER.MDB"}, "", 0, "@/data/PARTNER.MDB",
     "@/data\\querno.MDB", ""},
    {"PartnerFileLowerCase", "fe", {"@/fe/TQ.mdb,@/data/partner.mdb"}, "", 0, "@/data/partner.mdb",
     "@/data\\querno.MDB", ""},
    {"RelativeFrontEnd", "fe", {"TQ.mdb,@/data"}, "fe", 0, "@/data\\PARTNER.MDB", "@/data\\querno.MDB", ""},
    {"CommaAndBlankAsTwoWords", "fe", {"@/fe/TQ.mdb,", "@/data"}, "", 0, "@/data\\PARTNER.MDB",
     "@/data\\querno.MDB", ""},
    {"BlankInPathAsTwoWords", "my fe", {"@/my", "fe/TQ.mdb,@/data"}, "", 0, "@/data\\PARTNER.MDB",
     "@/data\\querno.MDB", ""},
    {"QuotedPathWithBlank", "my fe", {"\"@/my fe/TQ.mdb\",@/data"}, "", 0, "@/data\\PARTNER.MDB",
     "@/data\\querno.MDB", ""},
    {"SemicolonInsideQuotes", "a;b", {"'@/a;b/TQ.mdb',@/data"}, "", 0, "@/data\\PARTNER.MDB",
     "@/data\\querno.MDB", ""},
    {"CommaInsideDoubleQuotes", "a,b", {"\"@/a,b/TQ.mdb\",@/data"}, "", 0, "@/data\\PARTNER.MDB",
     "@/data\\querno.MDB", ""},
    {"TwoBlanksInOneWord", "my  fe", {"@/my  fe/TQ.mdb,@/data"}, "", 0, "@/data\\PARTNER.MDB",
     "@/data\\querno.MDB", ""},
    {"SemicolonEndsTheList", "fe", {"@/fe/TQ.mdb;@/data"}, "", 0, "@/app\\PARTNER.MDB", "@/app\\QUERNO.MDB",
     ""},
    {"FrontEndOnly", "fe", {"@/fe/TQ.mdb"}, "", 0, "@/app\\PARTNER.MDB", "@/app\\QUERNO.MDB", ""},
    {"QtOptionsAreNotPartOfTheCommandText", "fe", {"-platform", "offscreen", "@/fe/TQ.mdb,@/data"}, "", 0,
     "@/data\\PARTNER.MDB", "@/data\\querno.MDB", ""},
    {"MissingFrontEnd", "fe", {"@/fe/NO.mdb,@/data"}, "", 1, kOld, kOldCode, "povezava: error 3024: "},
    {"EmptyFirstWord", "fe", {",@/data"}, "", 1, kOld, kOldCode, "povezava: error "},
    {"BackEndFolderWithoutTheFiles", "fe", {"@/fe/TQ.mdb,@/fe"}, "", 1, kOld, kOldCode,
     "povezava: NALOGI: refreshing ;DATABASE=@/fe\\querno.MDB: error 3024"},
    {"NoArgumentsAndNoDisplay", "fe", {}, "fe", 2, kOld, kOldCode, "no display"},
    // Asked for its usage or version, it opens nothing (not even TQ.mdB here).
    {"Help", "fe", {"--help"}, "fe", 0, kOld, kOldCode, "usage: povezava"},
    {"Version", "fe", {"--version"}, "fe", 0, kOld, kOldCode, "povezava " POVEZAVA_VERSION},
    {"BlanksOnlyAndNoDisplay", "fe", {"  "}, "fe", 2, kOld, kOldCode, "no display"},
};

class EndToEnd : public ::testing::TestWithParam<EndToEndRow> {
 protected:
  void SetUp() override {
    POVEZAVA_REQUIRE_MDBTOOLS();
    const fs::path dir = dir_.path();
    // The program's own folder, with back-ends beside it for the rows that
    // relink to App.Path.
    fs::create_directories(dir / "app");
    binary_ = dir / "app" / "povezava";
    fs::copy_file(POVEZAVA_WINDOW_BINARY, binary_);
    build(dir / "app", engine::jet::Version::jet4);
    build(dir / "data", engine::jet::Version::jet4);
  }

  // Jet 3 stores text in one code page; the partner names need the Central
  // European one.
  static std::uint16_t codePage(engine::jet::Version version) {
    return version == engine::jet::Version::jet3 ? 1250 : 1252;
  }

  // PARTNER.MDB and QUERNO.MDB in `folder`.
  static void build(const fs::path& folder, engine::jet::Version version) {
    povezava::testing::buildBackEnds(folder, version, codePage(version));
  }

  // A front-end TQ.mdb in `folder`, linked into `old` (/old or C:\OLD).
  static fs::path buildFrontEnd(const fs::path& folder, engine::jet::Version version,
                                const std::u16string& old = u"/old/") {
    povezava::testing::buildFrontEnd(folder / "TQ.mdb", old + u"PARTNER.MDB", old + u"QUERNO.MDB", {}, version,
                                     codePage(version));
    return folder / "TQ.mdb";
  }

  // The prefix of runBinary() with POVEZAVA_PATHS naming a paths file that
  // says "C: = <the test's folder>".
  std::string withDriveC() const {
    const fs::path paths = dir_.path() / "paths";
    std::ofstream(paths) << "C: = " << dir_.path().string() << '\n';
    return "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM POVEZAVA_PATHS=" + shellQuote(paths.string());
  }

  void expectLinks(const fs::path& frontEnd, const std::string& partner, const std::string& codeTables) {
    const std::map<std::string, std::string> expected{
        {"PARTNER", partner}, {"KONTI", codeTables}, {"NALOGI", codeTables}};
    EXPECT_EQ(engineLinks(frontEnd), expected) << "our engine";
    EXPECT_EQ(mdbtoolsLinks(frontEnd), expected) << "mdbtools";
  }

  // PARTNER linked to <folder>\PARTNER.MDB, the code tables to <folder>\querno.MDB.
  void expectLinksInto(const fs::path& frontEnd, const fs::path& folder) {
    expectLinks(frontEnd, folder.string() + "\\PARTNER.MDB", folder.string() + "\\querno.MDB");
  }

  TempDir dir_;
  fs::path binary_;
};

TEST_P(EndToEnd, RunsAsTheCommandLineSays) {
  const EndToEndRow& row = GetParam();
  const fs::path dir = dir_.path();
  const fs::path frontEnd = buildFrontEnd(dir / row.frontEndFolder, engine::jet::Version::jet4);
  const auto before = readFile(frontEnd);
  std::vector<std::string> arguments;
  for (const char* argument : row.arguments) arguments.push_back(expand(argument, dir));

  const RunResult run = runBinary(binary_.string(), arguments, dir / row.cwd);
  EXPECT_EQ(run.status, row.status) << run.output;
  if (*row.output != '\0') {
    EXPECT_NE(run.output.find(expand(row.output, dir)), std::string::npos) << run.output;
  }
  expectLinks(frontEnd, expand(row.partner, dir), expand(row.codeTables, dir));
  if (row.status != 0 || *row.output != '\0') {
    EXPECT_EQ(readFile(frontEnd), before) << "the front-end was written";
  } else {
    EXPECT_EQ(run.output, "") << "a successful run says nothing";
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, EndToEnd, ::testing::ValuesIn(kEndToEndRows), povezava::testing::RowName());

class EndToEndFormats : public EndToEnd {};

TEST_F(EndToEndFormats, AnAccess97FrontEndMadeByTheBuilder) {
  const fs::path dir = dir_.path();
  build(dir / "jet3", engine::jet::Version::jet3);
  const fs::path frontEnd = buildFrontEnd(dir / "jet3fe", engine::jet::Version::jet3);
  const RunResult run = runBinary(binary_.string(), {frontEnd.string() + "," + (dir / "jet3").string()}, dir);
  EXPECT_EQ(run.status, 0) << run.output;
  expectLinksInto(frontEnd, dir / "jet3");
}

TEST_F(EndToEndFormats, FixtureFrontEndsRelinkOnlyWhatTheyHave) {
  POVEZAVA_REQUIRE_FIXTURES();
  const fs::path dir = dir_.path();
  const fs::path tq = dir_.copy(fixturesDir() / "jet4-v2000" / "TQ.mdb");
  const fs::path nonalogi = dir_.copy(fixturesDir() / "jet4-v2000" / "NONALOGI.mdb");
  const std::string data = (dir / "data").string();
  // The fixtures link through C:\APP: C: is the test's folder, and the new
  // links are written as the PCs see them.
  const std::string driveC = withDriveC();

  RunResult run = runBinary(binary_.string(), {tq.string() + "," + data}, dir, driveC);
  EXPECT_EQ(run.status, 0) << run.output;
  expectLinksInto(tq, "C:\\data");

  // Without NALOGI: two tables relinked, nothing reported, success.
  run = runBinary(binary_.string(), {nonalogi.string() + "," + data}, dir, driveC);
  EXPECT_EQ(run.status, 0) << run.output;
  const std::map<std::string, std::string> expected{{"PARTNER", "C:\\data\\PARTNER.MDB"},
                                                    {"KONTI", "C:\\data\\querno.MDB"}};
  EXPECT_EQ(engineLinks(nonalogi), expected);
  EXPECT_EQ(mdbtoolsLinks(nonalogi), expected);
}

// A front-end linked through C: is relinked to a folder of this computer only
// when a paths file says where C: is, and then in Windows form; without one
// the run refuses (9003 on stderr, exit status 1) and the file is untouched.
TEST_F(EndToEndFormats, AWindowsLinkNeedsAPathMapForCToBeRelinkedHere) {
  const fs::path dir = dir_.path();
  const fs::path frontEnd = buildFrontEnd(dir / "fe", engine::jet::Version::jet4, u"C:\\OLD\\");
  const std::vector<std::string> arguments{frontEnd.string() + "," + (dir / "data").string()};
  const auto before = readFile(frontEnd);

  const RunResult refused = runBinary(binary_.string(), arguments, dir);
  EXPECT_EQ(refused.status, 1) << refused.output;
  EXPECT_NE(refused.output.find("povezava: PARTNER: refreshing ;DATABASE=" + (dir / "data").string() +
                                "\\PARTNER.MDB: error 9003: PARTNER is linked through C:"),
            std::string::npos)
      << refused.output;
  EXPECT_EQ(readFile(frontEnd), before) << "the front-end was written";
  expectLinks(frontEnd, "C:\\OLD\\PARTNER.MDB", "C:\\OLD\\QUERNO.MDB");

  const RunResult mapped = runBinary(binary_.string(), arguments, dir, withDriveC());
  EXPECT_EQ(mapped.status, 0) << mapped.output;
  EXPECT_EQ(mapped.output, "");
  expectLinksInto(frontEnd, "C:\\data");
}

TEST_F(EndToEndFormats, ADisplayThatCannotBeReachedIsNoDisplay) {
  const fs::path dir = dir_.path();
  const fs::path frontEnd = buildFrontEnd(dir / "fe", engine::jet::Version::jet4);
  const std::string stale = "env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY=:4242";
  const RunResult run = runBinary(binary_.string(), {frontEnd.string() + "," + (dir / "data").string()}, dir, stale);
  EXPECT_EQ(run.status, 0) << run.output;
  expectLinksInto(frontEnd, dir / "data");
  // Without arguments: the clear message, not a crash.
  const RunResult bare = runBinary(binary_.string(), {}, dir, stale);
  EXPECT_EQ(bare.status, 2) << bare.output;
  EXPECT_NE(bare.output.find("no display"), std::string::npos) << bare.output;
}

TEST_F(EndToEndFormats, UnderARealXServer) {
  if (!haveProgram("xvfb-run")) GTEST_SKIP() << "xvfb-run is not installed";
  const fs::path dir = dir_.path();
  const fs::path frontEnd = buildFrontEnd(dir / "fe", engine::jet::Version::jet4);
  const RunResult run = runBinary(binary_.string(), {frontEnd.string() + "," + (dir / "data").string()}, dir,
                            "env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY "
                            "LSAN_OPTIONS=suppressions=" POVEZAVA_LSAN_SUPPRESSIONS " xvfb-run -a");
  EXPECT_EQ(run.status, 0) << run.output;
  expectLinksInto(frontEnd, dir / "data");
}

TEST_F(EndToEndFormats, UnderARealXServerAFailedStartEndsByItself) {
  if (!haveProgram("xvfb-run")) GTEST_SKIP() << "xvfb-run is not installed";
  const fs::path dir = dir_.path();
  const fs::path notADatabase = dir / "fe" / "TEXT.mdb";
  fs::create_directories(notADatabase.parent_path());
  povezava::testing::writeFile(notADatabase, std::vector<std::byte>(4096, std::byte{'x'}));
  // A message box would wait for OK until `timeout` ends the run with 124.
  for (const fs::path& frontEnd : {dir / "fe" / "MISSING.mdb", notADatabase}) {
    SCOPED_TRACE(frontEnd.string());
    const RunResult run = runBinary(binary_.string(), {frontEnd.string() + "," + (dir / "data").string()}, dir,
                                    "env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY "
                                    "LSAN_OPTIONS=suppressions=" POVEZAVA_LSAN_SUPPRESSIONS " xvfb-run -a");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("povezava: error "), std::string::npos) << run.output;
  }
}

}  // namespace
}  // namespace povezava::window
