#include "cli/relink_command.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include <unistd.h>

#include <functional>
#include <memory>

#include "cli/backup.h"
#include "base/io.h"
#include "engine/jet/write/link_writer.h"
#include "base/native_text.h"
#include "links/startup.h"
#include "suite.h"
#include "support/test_support.h"
#include "platform/file_system.h"
#include "support/test_engine.h"

// The TABLE=LINK form on copies of the real front-ends.
namespace povezava::cli {
namespace {

namespace fs = std::filesystem;
using povezava::testing::fixturesDir;
using povezava::testing::readFile;

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome relink(std::vector<std::string> args) {
  std::ostringstream out;
  std::ostringstream err;
  links::Program program(engine::posixFileSystem());
  Console console{out, err, false, &program};
  const int status = runRelink(testing::withLocalPaths(std::move(args)), console);
  return {status, out.str(), err.str()};
}

class RelinkCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    POVEZAVA_REQUIRE_FIXTURES();
    for (const char* name : {"TQ.mdb", "PARTNER.MDB", "QUERNO.MDB"}) dir_.copy(fixturesDir() / "jet4-v2000" / name);
  }
  std::string at(const std::string& name) const { return (dir_.path() / name).string(); }
  povezava::testing::TempDir dir_;
};

TEST_F(RelinkCommandTest, EveryPairIsTriedInOrderAndEachGetsItsLine) {
  const Outcome run = relink({at("TQ.mdb"), "PARTNER=;DATABASE=" + at("PARTNER.MDB"),
                              "NALOGI=;DATABASE=" + at("NOSUCH.MDB"), "konti=;DATABASE=" + at("querno.mdb"),
                              "LOCAL1=;DATABASE=" + at("QUERNO.MDB")});
  EXPECT_EQ(run.status, 1);
  // All or none: NALOGI's missing back-end holds PARTNER and KONTI back.
  EXPECT_EQ(run.out,
            "PARTNER: held back\n"
            "NALOGI: error 3024: Could not find file '" + at("NOSUCH.MDB") + "'.\n"
            "KONTI: held back\n"  // the table's own spelling
            "LOCAL1: error 3251: Operation is not supported for this type of object. (the local table "
            "'LOCAL1' has no link string)\n");
  EXPECT_NE(testing::storedConnect(at("TQ.mdb"), u"PARTNER"), engine::fromUtf8(";DATABASE=" + at("PARTNER.MDB")));
  // Table by table, as asked: each pair is tried on its own.
  const Outcome each = relink({at("TQ.mdb"), "--each-table", "PARTNER=;DATABASE=" + at("PARTNER.MDB"),
                               "NALOGI=;DATABASE=" + at("NOSUCH.MDB"), "konti=;DATABASE=" + at("querno.mdb")});
  EXPECT_EQ(each.status, 1);
  EXPECT_EQ(each.out,
            "PARTNER: relinked\n"
            "NALOGI: error 3024: Could not find file '" + at("NOSUCH.MDB") + "'.\n"
            "KONTI: relinked\n");
  const Outcome list = relink({at("TQ.mdb"), "PARTNER=;DATABASE=" + at("PARTNER.MDB")});
  EXPECT_EQ(list.status, 0) << list.err;
  EXPECT_EQ(list.out, "PARTNER: relinked\n");
}

TEST_F(RelinkCommandTest, ExitsZeroOnlyWhenEveryTableWasRelinkedAndLeavesAFailedTableAlone) {
  const auto before = readFile(at("TQ.mdb"));
  const Outcome failed = relink({at("TQ.mdb"), "PARTNER=;DATABASE=" + at("QUERNO.MDB")});
  EXPECT_EQ(failed.status, 1);
  EXPECT_NE(failed.out.find("PARTNER: error 3011: "), std::string::npos) << failed.out;
  EXPECT_EQ(readFile(at("TQ.mdb")), before);
  const Outcome ok = relink({at("TQ.mdb"), "PARTNER=;DATABASE=" + at("PARTNER.MDB"),
                             "KONTI=;DATABASE=" + at("QUERNO.MDB"), "NALOGI=;DATABASE=" + at("QUERNO.MDB")});
  EXPECT_EQ(ok.status, 0) << ok.out << ok.err;
  if (!povezava::testing::haveProgram("mdb-export")) return;  // read back by mdbtools on Linux
  int status = -1;
  const std::string catalog = povezava::testing::runCommand(
      "mdb-export " + povezava::testing::shellQuote(at("TQ.mdb")) + " MSysObjects", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(catalog.find("\"" + at("QUERNO.MDB") + "\",,\"NALOGI\""), std::string::npos) << catalog;
}

TEST_F(RelinkCommandTest, AFrontEndThatCannotBeOpenedIsAnErrorOnStderr) {
  const Outcome run = relink({at("NONE.mdb"), "PARTNER=;DATABASE=x"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("3024"), std::string::npos) << run.err << run.out;
}

}  // namespace
}  // namespace povezava::cli

// The many-file forms on builder-made suites.
namespace povezava::cli {
namespace {

using povezava::testing::readFile;
using povezava::testing::TempDir;
using namespace povezava::cli::testing;

// Long enough to be kept on a long-value page, as real back-end paths are.
constexpr char16_t kOldPartner[] = u"C:\\Program Files\\Racunovodstvo\\PARTNER.MDB";
constexpr char16_t kOldCodes[] = u"C:\\Program Files\\Racunovodstvo\\QUERNO.MDB";

class RelinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    buildBackEnds(data());
    buildFrontEnd(file("TQ.mdb"), kOldPartner, kOldCodes);
    buildFrontEnd(file("MV.mdb"), kOldPartner, kOldCodes, {}, jet::Version::jet3);
    build(file("RZ.mdb"), spec(jet::Version::jet4,
                           {jet::LinkedTableSpec{u"PARTNER", kOldPartner}, jet::LinkedTableSpec{u"KONTI", kOldCodes}}));
    std::ofstream(file("notes.txt")) << "not a database, but long enough to be looked at";
  }

  std::filesystem::path data() const { return dir_.path() / "data"; }
  std::filesystem::path file(const std::string& name) const { return dir_.path() / name; }
  std::string s(const std::string& name) const { return file(name).string(); }

  int relink(std::vector<std::string> args) { return runRelink(withLocalPaths(std::move(args)), io_.console); }

  TempDir dir_;
  Captured io_;
};

TEST_F(RelinkTest, BackendFolderRelinksTheThreeTablesOfEveryFileThatOpens) {
  const std::string location = data().string();
  const std::u16string partner = u";DATABASE=" + u16(data()) + u"\\PARTNER.MDB";
  const std::u16string codes = u";DATABASE=" + u16(data()) + u"\\querno.MDB";
  EXPECT_EQ(relink({s("TQ.mdb"), s("NOPE.mdb"), s("notes.txt"), s("MV.mdb"), s("RZ.mdb"), "--backend", location}), 1);

  for (const char* name : {"TQ.mdb", "MV.mdb"}) {
    EXPECT_EQ(storedConnect(file(name), u"PARTNER"), partner) << name;
    EXPECT_EQ(storedConnect(file(name), u"KONTI"), codes) << name;
    EXPECT_EQ(storedConnect(file(name), u"NALOGI"), codes) << name;
  }
  const auto out = lines(io_.out.str());
  ASSERT_EQ(out.size(), 11u) << io_.out.str();
  EXPECT_EQ(out[0], s("TQ.mdb") + "\tPARTNER\trelinked\t;DATABASE=C:\\Program Files\\Racunovodstvo\\PARTNER.MDB\t;DATABASE=" + location +
                        "\\PARTNER.MDB");
  EXPECT_TRUE(out[3].starts_with(s("NOPE.mdb") + "\t\terror 3024: ")) << out[3];
  EXPECT_TRUE(out[4].starts_with(s("notes.txt") + "\t\terror 3343: ")) << out[4];
  // A front-end without NALOGI: the program's relinking skips it, so does this.
  EXPECT_EQ(out[10], s("RZ.mdb") + "\tNALOGI\tabsent\t\t;DATABASE=" + location + "\\querno.MDB");
  EXPECT_EQ(io_.err.str(), "povezava-cli: 5 files, 3 changed, 8 tables relinked, 2 failures\n");
}

TEST_F(RelinkTest, BackendPartnerFileUsesTheProgramsOwnRule) {
  const std::string location = (data() / "partner.mdb").string();  // any letter case
  EXPECT_EQ(relink({s("TQ.mdb"), "--backend", location}), 0) << io_.out.str();
  const auto expected = links::backendLinkStrings(engine::fromUtf8(location), {});
  ASSERT_TRUE(expected.has_value());
  EXPECT_EQ(storedConnect(file("TQ.mdb"), u"PARTNER"), expected->partner);
  EXPECT_EQ(storedConnect(file("TQ.mdb"), u"NALOGI"), expected->codeTables);
  EXPECT_EQ(expected->codeTables, u";DATABASE=" + u16(data()) + u"\\querno.MDB");
}

TEST_F(RelinkTest, RunningTheSameRelinkAgainChangesNoFile) {
  ASSERT_EQ(relink({s("TQ.mdb"), s("MV.mdb"), "--backend", data().string()}), 0) << io_.out.str();
  const auto tq = readFile(file("TQ.mdb"));
  Captured again;
  EXPECT_EQ(runRelink(withLocalPaths({s("TQ.mdb"), s("MV.mdb"), "--backend", data().string(), "--json"}),
                      again.console),
            0);
  EXPECT_EQ(readFile(file("TQ.mdb")), tq);
  EXPECT_EQ(again.err.str(), "povezava-cli: 2 files, 0 changed, 6 tables relinked, 0 failures\n");
  EXPECT_NE(again.out.str().find(R"("changed":false)"), std::string::npos) << again.out.str();
}

TEST_F(RelinkTest, BesideUsesEachFrontEndsOwnAbsoluteFolder) {
  const auto app = data();
  std::filesystem::copy_file(file("TQ.mdb"), app / "FH.mdb");
  const auto home = std::filesystem::current_path();
  std::filesystem::current_path(dir_.path());
  const int status = relink({"data/FH.mdb", "--beside"});
  std::filesystem::current_path(home);
  EXPECT_EQ(status, 0) << io_.out.str();
  EXPECT_EQ(storedConnect(app / "FH.mdb", u"PARTNER"), u";DATABASE=" + u16(app) + u"\\PARTNER.MDB");
  EXPECT_EQ(storedConnect(app / "FH.mdb", u"KONTI"), u";DATABASE=" + u16(app) + u"\\querno.MDB");
}

TEST_F(RelinkTest, BesideWithoutBackEndsBesideFailsAndLeavesTheFileAlone) {
  const auto before = readFile(file("TQ.mdb"));
  EXPECT_EQ(relink({s("TQ.mdb"), "--beside"}), 1);
  EXPECT_EQ(readFile(file("TQ.mdb")), before);
  EXPECT_EQ(io_.err.str(), "povezava-cli: 1 file, 0 changed, 0 tables relinked, 3 failures\n");
}

TEST_F(RelinkTest, ReplaceChangesTheMatchingBeginningOfEveryLinkedTable) {
  build(file("XAN.mdb"),
        spec(jet::Version::jet4,
         {jet::LinkedTableSpec{u"PARTNER", u"X:\\Skupni podatki\\Racunovodstvo\\PARTNER.MDB"},
          jet::LinkedTableSpec{u"KONTI", u"x:\\SKUPNI PODATKI\\racunovodstvo\\querno.mdb"},
          jet::LinkedTableSpec{u"ARHIV", u"x:\\skupni podatki\\RACUNOVODSTVO\\QUERNO.MDB", u"NALOGI"},
          jet::LinkedTableSpec{u"OTHER", u"Y:\\x:\\shared\\OTHER.MDB"},
          jet::OdbcTableSpec{u"SALES", u"ODBC;DSN=x:\\shared;"}, localTable(u"LOCAL1")}));
  const std::string newPrefix = data().string();
  EXPECT_EQ(relink({s("XAN.mdb"), "--replace", "X:\\Skupni Podatki\\Racunovodstvo=" + newPrefix}), 0) << io_.out.str();
  EXPECT_EQ(storedConnect(file("XAN.mdb"), u"PARTNER"), u";DATABASE=" + u16(data()) + u"\\PARTNER.MDB");
  EXPECT_EQ(storedConnect(file("XAN.mdb"), u"KONTI"), u";DATABASE=" + u16(data()) + u"\\querno.mdb");
  EXPECT_EQ(storedConnect(file("XAN.mdb"), u"ARHIV"), u";DATABASE=" + u16(data()) + u"\\QUERNO.MDB");
  EXPECT_EQ(storedConnect(file("XAN.mdb"), u"OTHER"), u";DATABASE=Y:\\x:\\shared\\OTHER.MDB");
  EXPECT_EQ(storedConnect(file("XAN.mdb"), u"SALES"), u"ODBC;DSN=x:\\shared;");
  // The link that OLD does not cover is listed as left alone.
  EXPECT_EQ(lines(io_.out.str()).size(), 4u) << io_.out.str();
  EXPECT_NE(io_.out.str().find("\tOTHER\tleft alone\t"), std::string::npos) << io_.out.str();
  EXPECT_EQ(io_.err.str(), "povezava-cli: 1 file, 1 changed, 3 tables relinked, 0 failures\n");
}

// OLD names whole folders: "S:\DATA" is not the beginning of "S:\DATA2".
TEST_F(RelinkTest, ReplaceMatchesWholeFoldersEitherSeparatorAnyCase) {
  build(file("ZZ.mdb"), spec(jet::Version::jet4, {jet::LinkedTableSpec{u"PARTNER", u"S:\\DATA2\\PARTNER.MDB"},
                                                  jet::LinkedTableSpec{u"KONTI", u"s:/data/QUERNO.MDB"}}));
  struct Case {
    const char* replace;
    const char16_t* partner;  // the link asked for; empty: left alone
    const char16_t* konti;
  };
  const Case cases[] = {
      {"S:\\DATA=S:\\DATA2X", u"", u"S:\\DATA2X/QUERNO.MDB"},
      {"S:\\DATA\\=T:\\", u"", u"T:/QUERNO.MDB"},
      {"s:/DATA2=T:\\NEW\\", u"T:\\NEW\\PARTNER.MDB", u""},
      {"S:=T:", u"T:\\DATA2\\PARTNER.MDB", u"T:/data/QUERNO.MDB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.replace);
    Captured io;
    runRelink(testing::withLocalPaths({s("ZZ.mdb"), std::string("--replace=") + c.replace, "--dry-run"}), io.console);
    const std::string out = io.out.str();
    for (const auto& [table, to] : {std::pair{"PARTNER", c.partner}, std::pair{"KONTI", c.konti}}) {
      const std::u16string want(to);
      if (want.empty()) {
        EXPECT_NE(out.find(std::string("\t") + table + "\tleft alone\t"), std::string::npos) << out;
      } else {
        EXPECT_NE(out.find("\t;DATABASE=" + engine::toUtf8(want) + "\n"), std::string::npos) << out;
      }
    }
  }
}

TEST_F(RelinkTest, ReplaceKeepsTheConnectPrefixOfOtherFileTypes) {
  build(file("YU.mdb"), spec(jet::Version::jet4,
                         {jet::LinkedTableSpec{u"CENIK", u"X:\\Shared\\cenik.xls", u"List1$", u"Excel 8.0;HDR=YES;"}}));
  EXPECT_EQ(relink({s("YU.mdb"), "--replace=x:\\shared\\=Z:\\", "--dry-run"}), 1);
  const auto out = lines(io_.out.str());
  ASSERT_EQ(out.size(), 1u);
  EXPECT_TRUE(out[0].ends_with("\tExcel 8.0;HDR=YES;DATABASE=X:\\Shared\\cenik.xls\t"
                               "Excel 8.0;HDR=YES;DATABASE=Z:\\cenik.xls"))
      << out[0];
}

TEST_F(RelinkTest, APasswordInALinkIsNeverPrinted) {
  build(file("YU.mdb"), spec(jet::Version::jet4, {jet::LinkedTableSpec{u"PARTNER", u"X:\\Skupni podatki\\PARTNER.MDB",
                                                                       u"PARTNER", u"MS Access;PWD=skrivnost;"}}));
  for (const char* format : {"--dry-run", "--json"}) {
    Captured io;
    runRelink(withLocalPaths({s("YU.mdb"), "--replace=X:\\=Y:\\", "--dry-run", format}), io.console);
    EXPECT_EQ(io.out.str().find("skrivnost"), std::string::npos) << io.out.str();
    EXPECT_NE(io.out.str().find("MS Access;PWD=***;DATABASE=Y:"), std::string::npos) << io.out.str();
  }
}

TEST_F(RelinkTest, DryRunWritesNothingAndTellsWhatWouldFail) {
  buildFrontEnd(file("FH.mdb"), kOldPartner, kOldCodes);
  const auto tq = readFile(file("TQ.mdb"));
  const auto fh = readFile(file("FH.mdb"));
  std::filesystem::remove(data() / "QUERNO.MDB");
  EXPECT_EQ(relink({s("TQ.mdb"), s("FH.mdb"), "--backend", data().string(), "--dry-run"}), 1);
  EXPECT_EQ(readFile(file("TQ.mdb")), tq);
  EXPECT_EQ(readFile(file("FH.mdb")), fh);
  const auto out = lines(io_.out.str());
  ASSERT_EQ(out.size(), 6u);
  // PARTNER would relink on its own, and is held back as the real run would.
  EXPECT_TRUE(out[0].starts_with(s("TQ.mdb") + "\tPARTNER\theld back\t")) << out[0];
  EXPECT_TRUE(out[1].starts_with(s("TQ.mdb") + "\tKONTI\terror 3024: ")) << out[1];
  EXPECT_EQ(io_.err.str(),
            "povezava-cli: dry run, nothing written: 2 files, 0 would change, 0 tables would be relinked, "
            "2 held back, 4 failures\n");
}

// What keeps a real run from writing, and the error a dry run must report
// for it: the dry run and the real run after it agree, table by table.
struct Obstacle {
  const char* name;
  // Puts the obstacle in place for `frontEnd`; what it returns holds it.
  std::function<std::shared_ptr<void>(const std::filesystem::path& frontEnd)> place;
  int number;
};

TEST_F(RelinkTest, DryRunReportsWhatKeepsTheRealRunFromWriting) {
  const Obstacle obstacles[] = {
      {"an Access lock file beside it",
       [](const std::filesystem::path& fe) {
         std::ofstream(std::filesystem::path(fe).replace_extension(".LDB")) << "WORKSTATION1";
         return std::shared_ptr<void>();
       },
       engine::kErrFileInUse},
      {"another povezava writing it",
       [](const std::filesystem::path& fe) {
         auto file = engine::posixFileSystem().open(fe.string(), engine::OpenMode::readWrite);
         EXPECT_TRUE(file.ok());
         if (!file.ok()) return std::shared_ptr<void>();
         EXPECT_TRUE((*file)->tryLock(engine::jet::kWriteLockOffset).ok());
         return std::shared_ptr<void>(std::move(*file));
       },
       engine::kErrFileInUse},
  };
  for (const Obstacle& obstacle : obstacles) {
    SCOPED_TRACE(obstacle.name);
    TempDir dir;
    const auto fe = dir.path() / "FH.mdb";
    buildFrontEnd(fe, kOldPartner, kOldCodes);
    const auto before = readFile(fe);
    const std::shared_ptr<void> held = obstacle.place(fe);
    for (const bool dryRun : {true, false}) {
      SCOPED_TRACE(dryRun ? "dry run" : "real run");
      Captured io;
      std::vector<std::string> args{fe.string(), "--backend", data().string(), "--local-paths"};
      if (dryRun) args.push_back("--dry-run");
      EXPECT_EQ(runRelink(args, io.console), 1);
      const std::string out = io.out.str();
      // The front-end's failure once, and every table held back by it.
      EXPECT_NE(out.find(fe.string() + "\t\terror " + std::to_string(obstacle.number)), std::string::npos) << out;
      for (const char* table : {"PARTNER", "KONTI", "NALOGI"}) {
        EXPECT_NE(out.find(fe.string() + "\t" + table + "\theld back\t"), std::string::npos) << out;
      }
      EXPECT_EQ(readFile(fe), before);
    }
  }
}

TEST_F(RelinkTest, DryRunJsonSaysWhatWouldChangeAndClaimsNoChange) {
  // PARTNER already points where it is asked to; KONTI and NALOGI do not.
  ASSERT_EQ(relink({s("TQ.mdb"), "PARTNER=;DATABASE=" + data().string() + "\\PARTNER.MDB"}), 0);
  const auto before = readFile(file("TQ.mdb"));
  Captured io;
  EXPECT_EQ(runRelink(withLocalPaths({s("TQ.mdb"), "--backend", data().string(), "--dry-run", "--json"}),
                      io.console),
            0);
  const std::string out = io.out.str();
  EXPECT_NE(out.find(R"("dryRun":true,"error":null,"changed":false,"wouldChange":true,)"), std::string::npos) << out;
  EXPECT_NE(out.find(R"("table":"PARTNER",)"), std::string::npos) << out;
  EXPECT_NE(out.find(R"("status":"would relink","wouldChange":false})"), std::string::npos) << out;
  EXPECT_NE(out.find(R"(querno.MDB","status":"would relink","wouldChange":true})"), std::string::npos) << out;
  EXPECT_EQ(out.find(R"("changed":true)"), std::string::npos) << out;
  EXPECT_EQ(readFile(file("TQ.mdb")), before);
}

TEST_F(RelinkTest, BackupCopiesEachFrontEndBeforeItIsWrittenAndOneWithoutACopyIsLeftAlone) {
  buildFrontEnd(file("FH.mdb"), kOldPartner, kOldCodes);
  const auto tq = readFile(file("TQ.mdb"));
  const auto fh = readFile(file("FH.mdb"));
  // FH's copy cannot be made: every name it may take is taken (by a
  // folder) for every second the run may start in.
  const std::time_t now = std::time(nullptr);
  for (std::time_t t = now; t < now + 5; ++t) {
    for (const std::string n : {"", "-2", "-3", "-4", "-5", "-6", "-7", "-8", "-9"}) {
      std::filesystem::create_directory(s("FH.mdb") + "." + backupStamp(t) + n + ".bak");
    }
  }
  EXPECT_EQ(relink({s("TQ.mdb"), s("FH.mdb"), s("MV.mdb"), "--backend", data().string(), "--backup", "--json"}), 1);
  const auto out = lines(io_.out.str());
  ASSERT_EQ(out.size(), 3u) << io_.out.str();

  // TQ: relinked, its copy holds the bytes from before.
  const std::string prefix = s("TQ.mdb") + ".";
  std::vector<std::filesystem::path> copies;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
    const std::string name = entry.path().string();
    if (name.starts_with(prefix) && name.ends_with(".bak")) copies.push_back(entry.path());
  }
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(readFile(copies[0]), tq);
  EXPECT_NE(readFile(file("TQ.mdb")), tq);
  std::string inJson;  // the path as a JSON string holds it
  for (char c : engine::utf8Of(copies[0])) {
    if (c == '\\') inJson += '\\';
    inJson += c;
  }
  EXPECT_NE(out[0].find(R"("backup":")" + inJson + "\""), std::string::npos) << out[0];
  EXPECT_EQ(copies[0].filename().string().size(), std::string("TQ.mdb.YYYYMMDD-HHMMSS.bak").size());

  // FH: not written, the file's error says why.
  EXPECT_EQ(readFile(file("FH.mdb")), fh);
  EXPECT_NE(out[1].find(R"("error":{"number":)" + std::to_string(engine::kErrDatabaseExists)), std::string::npos)
      << out[1];
  // MV still went on.
  EXPECT_EQ(storedConnect(file("MV.mdb"), u"NALOGI"), u";DATABASE=" + u16(data()) + u"\\querno.MDB");
}

// Two runs in the same second: each copy gets a name of its own, and the
// mode of the front-end (it holds the same data).
TEST_F(RelinkTest, BackupsInTheSameSecondGetDistinctNamesAndTheFrontEndsMode) {
#ifndef _WIN32
  std::filesystem::permissions(file("TQ.mdb"), std::filesystem::perms(0600));
#endif
  std::vector<std::string> copies;
  for (int run = 0; run < 3; ++run) {
    auto copy = backUp(povezava::testing::testSetup(), engine::posixFileSystem(), engine::fromUtf8(s("TQ.mdb")),
                       "20261208-105400");
    ASSERT_TRUE(copy.ok()) << copy.status().toString();
    copies.push_back(*copy);
    EXPECT_EQ(readFile(std::filesystem::path(*copy)), readFile(file("TQ.mdb")));
#ifndef _WIN32
    EXPECT_EQ(std::filesystem::status(*copy).permissions() & std::filesystem::perms::all,
              std::filesystem::perms(0600));
#endif
  }
  EXPECT_EQ(copies[0], s("TQ.mdb") + ".20261208-105400.bak");
  EXPECT_EQ(copies[1], s("TQ.mdb") + ".20261208-105400-2.bak");
  EXPECT_EQ(copies[2], s("TQ.mdb") + ".20261208-105400-3.bak");
}

TEST_F(RelinkTest, DryRunMakesNoBackup) {
  EXPECT_EQ(relink({s("TQ.mdb"), "--backend", data().string(), "--backup", "--dry-run"}), 0);
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
    EXPECT_FALSE(entry.path().string().ends_with(".bak")) << entry.path();
  }
}

TEST_F(RelinkTest, AFileInUseFailsAloneAndIsLeftAsItWas) {
  buildFrontEnd(file("FH.mdb"), kOldPartner, kOldCodes);
  std::ofstream(file("FH.ldb")) << "WORKSTATION1";  // Access has it open
  const auto before = readFile(file("FH.mdb"));
  EXPECT_EQ(relink({s("TQ.mdb"), s("FH.mdb"), s("MV.mdb"), "--backend", data().string()}), 1);
  EXPECT_EQ(readFile(file("FH.mdb")), before);
  const auto out = lines(io_.out.str());
  // The front-end's failure is listed once; its tables are held back.
  ASSERT_EQ(out.size(), 10u);
  EXPECT_TRUE(out[3].starts_with(s("FH.mdb") + "\tPARTNER\theld back\t")) << out[3];
  EXPECT_TRUE(out[6].starts_with(s("FH.mdb") + "\t\terror 3045: ")) << out[6];
  EXPECT_EQ(storedConnect(file("MV.mdb"), u"NALOGI"), u";DATABASE=" + u16(data()) + u"\\querno.MDB");
  EXPECT_EQ(io_.err.str(), "povezava-cli: 3 files, 2 changed, 6 tables relinked, 3 held back, 1 failure\n");
}

// Front-ends are stored in groups; results come in the order of the files
// given, whichever group a file fell into, and a file named twice is relinked
// once.
TEST_F(RelinkTest, ManyFilesAreStoredInGroupsAndReportedInOrder) {
  std::vector<std::string> args;
  for (int i = 0; i < 70; ++i) {
    const std::string name = "FE" + std::to_string(i) + ".mdb";
    std::filesystem::copy_file(file(i % 2 == 0 ? "TQ.mdb" : "MV.mdb"), file(name));
    args.push_back(s(name));
    if (i == 40) args.push_back(s("notes.txt"));
  }
  args.push_back(s("FE3.mdb"));
  args.insert(args.end(), {"--backend", data().string()});
  EXPECT_EQ(relink(args), 1);

  const auto out = lines(io_.out.str());
  ASSERT_EQ(out.size(), std::size_t{71} * 3 + 1) << io_.out.str();
  for (std::size_t i = 0, line = 0; i + 2 < args.size(); ++i) {
    const std::string& name = args[i];
    EXPECT_TRUE(out[line].starts_with(name + "\t")) << i << ": " << out[line];
    line += name == s("notes.txt") ? 1U : 3U;
  }
  for (int i = 0; i < 70; ++i) {
    EXPECT_EQ(storedConnect(file("FE" + std::to_string(i) + ".mdb"), u"NALOGI"),
              u";DATABASE=" + u16(data()) + u"\\querno.MDB") << i;
  }
  EXPECT_TRUE(out.back().starts_with(s("FE3.mdb") + "\tNALOGI\trelinked\t;DATABASE=" + data().string()))
      << out.back();
  EXPECT_EQ(io_.err.str(), "povezava-cli: 72 files, 70 changed, 213 tables relinked, 1 failure\n");
}

TEST_F(RelinkTest, JsonEscapesEveryPathAndName) {
  POVEZAVA_REQUIRE_POSIX("file names with '\"' and tabs");
  const std::string odd = "we\"ird Šiška\ttab.mdb";
  std::filesystem::copy_file(file("RZ.mdb"), file(odd));
  EXPECT_EQ(relink({s(odd), "--json", "--backend", data().string()}), 0) << io_.out.str();
  const auto out = lines(io_.out.str());
  ASSERT_EQ(out.size(), 1u) << io_.out.str();
  const std::string folder = dir_.path().string();
  EXPECT_TRUE(out[0].starts_with(R"({"file":")" + folder + R"(/we\"ird Šiška\ttab.mdb","dryRun":false,)"
                                 R"("error":null,"changed":true,"tables":[{"table":"PARTNER","from":";DATABASE=C:\\Program Files\\Racunovodstvo\\PARTNER.MDB",)"))
      << out[0];
  EXPECT_TRUE(out[0].ends_with(R"({"table":"NALOGI","from":"","to":";DATABASE=)" + data().string() +
                               R"(\\querno.MDB","status":"absent"}]})"))
      << out[0];
}

// Linux: a front-end linked through a Windows drive is not relinked to paths
// of this computer unless asked for; every form reports it as the real run does.
TEST_F(RelinkTest, AWindowsLinkIsNotReplacedByALocalPathWithoutLocalPaths) {
  POVEZAVA_REQUIRE_POSIX("paths of this computer in Linux form");
  const auto before = readFile(file("TQ.mdb"));
  for (const char* form : {"--json", "--dry-run"}) {
    SCOPED_TRACE(form);
    Captured io;
    EXPECT_EQ(runRelink(std::vector<std::string>{s("TQ.mdb"), "--backend", data().string(), form}, io.console), 1);
    const std::string out = io.out.str();
    std::size_t refusals = 0;
    for (std::size_t at = out.find("9003"); at != std::string::npos; at = out.find("9003", at + 1)) ++refusals;
    EXPECT_EQ(refusals, 3u) << out;
    EXPECT_NE(out.find("'C: = FOLDER'"), std::string::npos) << out;
  }
  EXPECT_EQ(readFile(file("TQ.mdb")), before);
}

// A final separator on the location is not doubled before the file name.
TEST_F(RelinkTest, AFinalSeparatorOnTheLocationIsNotDoubled) {
  ASSERT_EQ(relink({s("TQ.mdb"), "--backend", data().string() + "/"}), 0) << io_.err.str();
  EXPECT_EQ(testing::storedConnect(file("TQ.mdb"), u"PARTNER"), u";DATABASE=" + u16(data()) + u"\\PARTNER.MDB");
  ASSERT_EQ(relink({s("MV.mdb"), "--backend", data().string() + "\\", "--dry-run"}), 0) << io_.out.str();
  EXPECT_NE(io_.out.str().find(";DATABASE=" + data().string() + "\\querno.MDB"), std::string::npos) << io_.out.str();
}

// The JSON report gives a table held back its own status and the reason.
TEST_F(RelinkTest, JsonGivesAHeldBackTableItsStatusAndReason) {
  std::filesystem::remove(data() / "QUERNO.MDB");
  for (const bool dryRun : {true, false}) {
    Captured io;
    std::vector<std::string> args{s("TQ.mdb"), "--backend", data().string(), "--json", "--local-paths"};
    if (dryRun) args.push_back("--dry-run");
    EXPECT_EQ(runRelink(args, io.console), 1);
    EXPECT_NE(io.out.str().find(R"("table":"PARTNER",)"), std::string::npos) << io.out.str();
    EXPECT_NE(io.out.str().find(R"("status":"held back",)"), std::string::npos) << io.out.str();
    EXPECT_NE(io.out.str().find(R"("error":{"number":9001,"description":"Held back: not written because KONTI, NALOGI failed)"),
              std::string::npos)
        << io.out.str();
  }
}

TEST_F(RelinkTest, PairsFormRelinksTheNamedTablesInOrder) {
  const std::string partner = ";DATABASE=" + (data() / "PARTNER.MDB").string();
  EXPECT_EQ(relink({s("TQ.mdb"), "partner=" + partner, "NOSUCH=" + partner, "KONTI=;DATABASE=" + s("nope.mdb")}), 1);
  EXPECT_EQ(lines(io_.out.str()),
            (std::vector<std::string>{"PARTNER: held back", "NOSUCH: error 3265: Item not found in this collection: 'NOSUCH'.",
                                      "KONTI: error 3024: Could not find file '" + s("nope.mdb") + "'."}))
      << io_.out.str();
  EXPECT_EQ(storedConnect(file("TQ.mdb"), u"PARTNER"), std::u16string(u";DATABASE=") + kOldPartner);
  EXPECT_EQ(storedConnect(file("TQ.mdb"), u"KONTI"), std::u16string(u";DATABASE=") + kOldCodes);
}

TEST_F(RelinkTest, PairsFormDryRunAndJson) {
  const auto before = readFile(file("TQ.mdb"));
  const std::string partner = ";DATABASE=" + (data() / "PARTNER.MDB").string();
  EXPECT_EQ(relink({s("TQ.mdb"), "PARTNER=" + partner, "--dry-run"}), 0);
  EXPECT_EQ(io_.out.str(), "PARTNER: would relink\n");
  EXPECT_EQ(readFile(file("TQ.mdb")), before);
  Captured json;
  EXPECT_EQ(runRelink(withLocalPaths({s("NOPE.mdb"), "PARTNER=" + partner, "--json"}), json.console), 1);
  EXPECT_TRUE(json.out.str().starts_with(R"({"file":")" + inJson(s("NOPE.mdb")) +
                                         R"(","dryRun":false,"error":{"number":3024,)"))
      << json.out.str();
}

struct UsageCase {
  const char* name;
  std::vector<std::string> args;
  const char* why;
};

class RelinkUsageTest : public ::testing::TestWithParam<UsageCase> {};

TEST_P(RelinkUsageTest, WrongArgumentsExitTwoAndOpenNothing) {
  Captured io;
  EXPECT_EQ(runRelink(GetParam().args, io.console), 2);
  EXPECT_EQ(io.out.str(), "");
  EXPECT_TRUE(io.err.str().starts_with(std::string("povezava-cli relink: ") + GetParam().why)) << io.err.str();
  EXPECT_NE(io.err.str().find("usage: povezava-cli relink FILE TABLE=LINK"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RelinkUsageTest,
    ::testing::Values(
        UsageCase{"Nothing", {}, "give --backend LOCATION"},
        UsageCase{"FileOnly", {"TQ.mdb"}, "give --backend LOCATION"},
        UsageCase{"SecondIsNotAPair", {"TQ.mdb", "MV.mdb"}, "give --backend LOCATION"},
        UsageCase{"LaterIsNotAPair", {"TQ.mdb", "PARTNER=x", "MV.mdb"}, "'MV.mdb' is not TABLE=LINK"},
        UsageCase{"EmptyTableName", {"TQ.mdb", "=;DATABASE=x"}, "give --backend LOCATION"},
        UsageCase{"BackendWithoutValue", {"TQ.mdb", "--backend"}, "--backend needs a LOCATION"},
        UsageCase{"EmptyBackend", {"TQ.mdb", "--backend", ""}, "the back-end location is empty"},
        UsageCase{"BackendOfSpaces", {"TQ.mdb", "--backend= "}, "the back-end location is empty"},
        UsageCase{"TwoModes", {"TQ.mdb", "--beside", "--backend", "D:\\DATA"}, "give only one of"},
        UsageCase{"ReplaceWithoutEquals", {"TQ.mdb", "--replace", "C:\\"}, "--replace needs OLD=NEW"},
        UsageCase{"ReplaceEmptyOld", {"TQ.mdb", "--replace", "=D:\\"}, "the OLD of --replace"},
        UsageCase{"NoFiles", {"--beside"}, "no front-end files given"},
        UsageCase{"UnknownOption", {"TQ.mdb", "--besides"}, "unknown option '--besides'"}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace povezava::cli
