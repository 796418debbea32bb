#include "cli/paths_command.h"

#include <gtest/gtest.h>

#include <fstream>

#include "cli/check_command.h"
#include "cli/relink_command.h"
#include "suite.h"

namespace povezava::cli {
namespace {

using namespace povezava::cli::testing;
using povezava::testing::TempDir;

TEST(MapOptions, TakenOutWhereverTheyStandUpToDoubleDash) {
  MapOptions options;
  const std::vector<std::string> args{"a.mdb", "--map", "S:=/x", "--json", "--map=T:=/y", "--", "--map", "b"};
  EXPECT_FALSE(takeMapOptions(args, options));
  EXPECT_EQ(options.maps, (std::vector<std::string>{"S:=/x", "T:=/y"}));
  EXPECT_EQ(options.rest, (std::vector<std::string>{"a.mdb", "--json", "--", "--map", "b"}));
  MapOptions missing;
  EXPECT_TRUE(takeMapOptions(std::vector<std::string>{"a.mdb", "--map"}, missing));
}

class PathsCommand : public ::testing::Test {
 protected:
  std::string write(const std::string& name, const std::string& text) {
    const auto path = dir_.path() / name;
    std::ofstream(path) << text;
    return path.string();
  }
  TempDir dir_;
  Captured io_;
};

TEST_F(PathsCommand, PrintsTheMergedMapWithWhereEachPairComesFrom) {
  engine::PathMapSources sources;
  sources.options = {"S:=/opt/s"};
  sources.files = {write("paths", "S: = /ignored\n\\\\SERVER\\share = /mnt/my share\n")};
  sources.mountTable = write("mountinfo", "40 22 0:35 / /mnt/nas rw - cifs //nas/data rw\n");
  EXPECT_EQ(runPaths({}, sources, io_.console), 0) << io_.err.str();
  EXPECT_EQ(io_.out.str(), "S:\t/opt/s\t--map\n"
                           "\\\\SERVER\\share\t/mnt/my share\t" + sources.files[0] + ":2\n"
                           "\\\\nas\\data\t/mnt/nas\tmount\n");
  // The pair --map overrides and the folders missing here are said on stderr.
  const std::string file = sources.files[0];
  EXPECT_EQ(io_.err.str(), "povezava-cli: " + file + ", line 1: the folder '/ignored' does not exist here.\n"
                           "povezava-cli: " + file + ", line 1: S: is mapped already, by a line or option "
                           "before it; '/ignored' is not used.\n"
                           "povezava-cli: " + file + ", line 2: the folder '/mnt/my share' does not exist here.\n");
}

TEST_F(PathsCommand, AnEmptyMapAndAWrongLineAreReported) {
  engine::PathMapSources empty;
  empty.files = {(dir_.path() / "none").string()};
  EXPECT_EQ(runPaths({}, empty, io_.console), 0);
  EXPECT_EQ(io_.out.str(), "");
  EXPECT_NE(io_.err.str().find("empty"), std::string::npos) << io_.err.str();

  engine::PathMapSources wrong;
  wrong.files = {write("paths", "S: /srv\n")};
  Captured run;
  EXPECT_EQ(runPaths({}, wrong, run.console), 2);
  EXPECT_NE(run.err.str().find(wrong.files[0] + ", line 1:"), std::string::npos) << run.err.str();
  // The same load, as every other command makes it, refuses to go on.
  Captured use;
  EXPECT_EQ(usePathMap(wrong, use.console), 2);
  EXPECT_NE(use.err.str().find("nothing was done"), std::string::npos) << use.err.str();
}

// Front-ends whose links read as Windows PCs see them, checked and relinked
// through a map onto a temporary folder, and read back with mdbtools.
class WindowsLinks : public ::testing::Test {
 protected:
  void SetUp() override {
    POVEZAVA_REQUIRE_POSIX("Windows paths mapped onto a Linux host's folders");
    buildBackEnds(dir_.path() / "app");
    buildBackEnds(dir_.path() / "s" / "Data");
    buildFrontEnd(file("c.mdb"), u"C:\\APP\\PARTNER.MDB", u"C:\\app\\querno.mdb");
    buildFrontEnd(file("s.mdb"), u"S:\\DATA\\PARTNER.MDB", u"s:\\data\\QUERNO.MDB", {}, jet::Version::jet3);
    buildFrontEnd(file("unc.mdb"), u"\\\\SERVER\\share\\DATA\\PARTNER.MDB", u"\\\\server\\SHARE\\Data\\QUERNO.MDB");
    sources_.files = {(dir_.path() / "paths").string()};
    std::ofstream(sources_.files[0]) << "# the office's drives\n"
                                     << "C:\\APP = " << (dir_.path() / "app").string() << "\n"
                                     << "\\\\SERVER\\share = " << (dir_.path() / "s").string() << "\n";
  }
  std::filesystem::path file(const std::string& name) const { return dir_.path() / name; }
  std::vector<std::string> frontEnds() const {
    return {file("c.mdb").string(), file("s.mdb").string(), file("unc.mdb").string()};
  }
  std::string check(const std::vector<std::string>& extraMaps) {
    engine::PathMapSources sources = sources_;
    sources.options = extraMaps;
    Captured io;
    EXPECT_FALSE(usePathMap(sources, io.console)) << io.err.str();
    std::vector<std::string> args = frontEnds();
    runCheck(args, io.console);
    return io.out.str();
  }

  TempDir dir_;
  engine::PathMapSources sources_;
};

TEST_F(WindowsLinks, CheckResolvesThroughTheMapAndNamesWhatIsNotCovered) {
  const std::string without = check({});
  // S: is in no source yet.
  EXPECT_NE(without.find("c.mdb\tPARTNER\tok\n"), std::string::npos) << without;
  EXPECT_NE(without.find("unc.mdb\tNALOGI\tok\n"), std::string::npos) << without;
  EXPECT_NE(without.find("s.mdb\tPARTNER\terror 3044: 'S:\\DATA\\PARTNER.MDB' is not a valid path here"),
            std::string::npos)
      << without;
  EXPECT_NE(without.find("the drive S:"), std::string::npos) << without;

  const std::string with = check({"S:=" + (dir_.path() / "s").string()});
  EXPECT_EQ(with.find("error"), std::string::npos) << with;
  EXPECT_EQ(lines(with).size(), 9u) << with;
}

TEST_F(WindowsLinks, RelinkWritesTheWindowsFormThatResolvesHere) {
  POVEZAVA_REQUIRE_MDBTOOLS();
  const std::string s = (dir_.path() / "s").string();
  {
    // A Windows location is written as given; it must resolve through the map.
    const engine::PathMap map = povezava::testing::pathMapOf({"S:=" + s});
    std::vector<std::string> args = frontEnds();
    args.insert(args.end(), {"--backend", "S:\\DATA"});
    Captured io(map);
    EXPECT_EQ(runRelink(args, io.console), 0) << io.out.str() << io.err.str();
  }
  for (const char* name : {"c.mdb", "s.mdb", "unc.mdb"}) {
    EXPECT_EQ(storedConnect(file(name), u"PARTNER"), u";DATABASE=S:\\DATA\\PARTNER.MDB") << name;
    EXPECT_TRUE(povezava::testing::mdbCatalogueHas(file(name), "S:\\DATA\\querno.MDB")) << name;
  }
  EXPECT_EQ(check({"S:=" + s}).find("error"), std::string::npos);

  {
    // A local location inside a mapped folder is written in its Windows form.
    const engine::PathMap map = povezava::testing::pathMapOf({"\\\\SERVER\\share=" + s});
    std::vector<std::string> args = frontEnds();
    args.insert(args.end(), {"--backend", s + "/Data/partner.mdb"});
    Captured io(map);
    EXPECT_EQ(runRelink(args, io.console), 0) << io.out.str() << io.err.str();
  }
  for (const char* name : {"c.mdb", "s.mdb", "unc.mdb"}) {
    EXPECT_EQ(storedConnect(file(name), u"PARTNER"), u";DATABASE=\\\\SERVER\\share\\Data\\partner.mdb") << name;
    EXPECT_TRUE(povezava::testing::mdbCatalogueHas(file(name), "\\\\SERVER\\share\\Data\\querno.MDB")) << name;
  }
  const std::string checked = check({});
  EXPECT_EQ(checked.find("error"), std::string::npos) << checked;
}

TEST_F(WindowsLinks, BesideAndRelativeLocationsAreWrittenInWindowsForm) {
  const std::string s = (dir_.path() / "s").string();
  std::filesystem::copy_file(file("c.mdb"), dir_.path() / "s" / "Data" / "TQ.mdb");
  const engine::PathMap map = povezava::testing::pathMapOf({"S:=" + s});
  {
    Captured io(map);
    EXPECT_EQ(runRelink(withLocalPaths({s + "/Data/TQ.mdb", "--beside"}), io.console), 0) << io.out.str();
  }
  EXPECT_EQ(storedConnect(dir_.path() / "s" / "Data" / "TQ.mdb", u"KONTI"), u";DATABASE=S:\\Data\\querno.MDB");
  {
    const povezava::testing::CurrentFolder here(dir_.path() / "s");
    Captured io(map);
    EXPECT_EQ(runRelink(withLocalPaths({file("c.mdb").string(), "--backend", "Data"}), io.console), 0)
        << io.out.str();
  }
  EXPECT_EQ(storedConnect(file("c.mdb"), u"PARTNER"), u";DATABASE=S:\\Data\\PARTNER.MDB");
}

TEST_F(WindowsLinks, ErrorsShowThePathAsTheLinkGivesIt) {
  std::filesystem::create_directories(dir_.path() / "s" / "Folder" / "PARTNER.MDB");
  buildFrontEnd(file("odd.mdb"), u"\\\\SERVER\\share\\Folder\\PARTNER.MDB", u"Data\\NOPE.MDB");
  const povezava::testing::CurrentFolder here(dir_.path() / "s");
  Captured io;
  EXPECT_FALSE(usePathMap(sources_, io.console));
  runCheck(std::vector<std::string>{file("odd.mdb").string()}, io.console);
  const std::string out = io.out.str();
  EXPECT_NE(out.find("PARTNER\terror 3044: '\\\\SERVER\\share\\Folder\\PARTNER.MDB' ('" +
                     (dir_.path() / "s" / "Folder" / "PARTNER.MDB").string() + "' here) is a folder, not a database file."),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("KONTI\terror 3024: Could not find file 'Data\\NOPE.MDB'."), std::string::npos) << out;
  EXPECT_EQ(out.find("Data/NOPE.MDB"), std::string::npos) << out;
}

// relink --folder: the data folder moved.
class RelinkFolder : public ::testing::TestWithParam<jet::Version> {
 protected:
  void SetUp() override {
    const jet::Version version = GetParam();
    buildBackEnds(dir_.path() / "moved", version);
    // Letter case of the files in the new folder differs from the links'.
    std::filesystem::rename(dir_.path() / "moved" / "PARTNER.MDB", dir_.path() / "moved" / "partner.mdb");
    buildFrontEnd(fe(), u"C:\\OLD\\PARTNER.MDB", u"C:\\OLD\\QUERNO.MDB",
                  {jet::LinkedTableSpec{u"ARHIV", u"C:\\OLD\\ARHIV.MDB"},
                   jet::OdbcTableSpec{u"SALES", u"ODBC;DSN=sales;"}},
                  version);
  }
  std::filesystem::path fe() const { return dir_.path() / "TQ.mdb"; }
  std::string moved() const { return (dir_.path() / "moved").string(); }

  TempDir dir_;
};

TEST_P(RelinkFolder, TablesWhoseFileIsInTheNewFolderMoveTheOthersStay) {
  Captured io;
  EXPECT_EQ(runRelink(withLocalPaths({fe().string(), "--folder", moved() + "/"}), io.console), 0)
      << io.out.str() << io.err.str();
  EXPECT_EQ(storedConnect(fe(), u"PARTNER"), u";DATABASE=" + u16(moved()) + u"\\PARTNER.MDB");
  EXPECT_EQ(storedConnect(fe(), u"NALOGI"), u";DATABASE=" + u16(moved()) + u"\\QUERNO.MDB");
  EXPECT_EQ(storedConnect(fe(), u"ARHIV"), u";DATABASE=C:\\OLD\\ARHIV.MDB");
  EXPECT_NE(io.out.str().find("\tARHIV\tleft alone\t"), std::string::npos) << io.out.str();
  EXPECT_EQ(io.out.str().find("SALES"), std::string::npos) << io.out.str();
  EXPECT_EQ(io.err.str(), "povezava-cli: 1 file, 1 changed, 3 tables relinked, 0 failures\n");
}

TEST_P(RelinkFolder, AWindowsFolderIsWrittenAsGivenAndAMappedLocalOneInWindowsForm) {
  POVEZAVA_REQUIRE_POSIX("Windows paths mapped onto a Linux host's folders");
  const engine::PathMap map = povezava::testing::pathMapOf({"\\\\NAS\\podatki=" + dir_.path().string()});
  for (const std::string& folder : {std::string("\\\\nas\\PODATKI\\moved"), moved()}) {
    Captured io(map);
    EXPECT_EQ(runRelink(withLocalPaths({fe().string(), "--folder", folder}), io.console), 0)
        << folder << io.out.str() << io.err.str();
  }
  EXPECT_EQ(storedConnect(fe(), u"KONTI"), u";DATABASE=\\\\NAS\\podatki\\moved\\QUERNO.MDB");
  EXPECT_EQ(storedConnect(fe(), u"PARTNER"), u";DATABASE=\\\\NAS\\podatki\\moved\\PARTNER.MDB");
}

TEST_P(RelinkFolder, AFolderThatIsNotThereIsRefusedBeforeAnythingIsWritten) {
  const auto before = povezava::testing::readFile(fe());
  for (const std::string& folder : {moved() + "/nope", moved() + "/partner.mdb", std::string("Q:\\x")}) {
    Captured io;
    EXPECT_EQ(runRelink(withLocalPaths({fe().string(), "--folder", folder}), io.console), 2) << folder;
    EXPECT_NE(io.err.str().find("--folder: error 30"), std::string::npos) << io.err.str();
  }
  EXPECT_EQ(povezava::testing::readFile(fe()), before);
}

INSTANTIATE_TEST_SUITE_P(Versions, RelinkFolder,
                         ::testing::Values(jet::Version::jet3, jet::Version::jet4, jet::Version::ace14),
                         [](const ::testing::TestParamInfo<jet::Version>& row) {
                           return std::string(row.param == jet::Version::jet3   ? "Jet3"
                                              : row.param == jet::Version::jet4 ? "Jet4"
                                                                                 : "Ace14");
                         });

TEST(RelinkPairs, ARelativeLinkIsStoredAsGivenAndSaidSo) {
  TempDir dir;
  buildBackEnds(dir.path() / "data");
  buildFrontEnd(dir.path() / "TQ.mdb", u"C:\\OLD\\PARTNER.MDB", u"C:\\OLD\\QUERNO.MDB");
  const povezava::testing::CurrentFolder here(dir.path());
  Captured io;
  EXPECT_EQ(runRelink(withLocalPaths({"TQ.mdb", "PARTNER=;DATABASE=data\\PARTNER.MDB"}), io.console), 0);
  EXPECT_EQ(storedConnect(dir.path() / "TQ.mdb", u"PARTNER"), u";DATABASE=data\\PARTNER.MDB");
  EXPECT_NE(io.err.str().find("PARTNER: the back-end path 'data\\PARTNER.MDB' is relative"), std::string::npos)
      << io.err.str();
  Captured checked;
  runCheck(std::vector<std::string>{"TQ.mdb"}, checked.console);
  EXPECT_NE(checked.out.str().find("PARTNER\tok (relative back-end path, resolved against " +
                                   std::filesystem::current_path().string() + ")"),
            std::string::npos)
      << checked.out.str();
}

}  // namespace
}  // namespace povezava::cli
