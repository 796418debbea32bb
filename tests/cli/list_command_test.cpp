#include "cli/list_command.h"

#include <gtest/gtest.h>

#include "suite.h"

namespace povezava::cli {
namespace {

using povezava::testing::fixturesDir;
using testing::CommandResult;

CommandResult list(const std::vector<std::string>& args) { return testing::runInProcess(runList, args); }

TEST(ListCommand, PrintsUserTablesWithKindAndConnect) {
  POVEZAVA_REQUIRE_FIXTURES();
  const CommandResult run = list({(fixturesDir() / "ace-v2010/LOCALPARTNER.accdb").string()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "PARTNER\tlocal\t\n"
            "KONTI\tlinked\t;DATABASE=C:\\APP\\QUERNO.accdb\n"
            "NALOGI\tlinked\t;DATABASE=C:\\APP\\QUERNO.accdb\n"
            "OTHER\tlinked\t;DATABASE=C:\\ELSEWHERE\\OTHER.accdb\n"
            "LOCAL1\tlocal\t\n");
  EXPECT_EQ(run.err, "");
}

TEST(ListCommand, AllAddsSystemTablesInCatalogueOrder) {
  POVEZAVA_REQUIRE_FIXTURES();
  const CommandResult run = list({"--all", (fixturesDir() / "jet4-v2000/TQ.mdb").string()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "MSysObjects\tlocal\t\n"
            "MSysACEs\tlocal\t\n"
            "MSysQueries\tlocal\t\n"
            "MSysRelationships\tlocal\t\n"
            "MSysAccessObjects\tlocal\t\n"
            "PARTNER\tlinked\t;DATABASE=C:\\APP\\PARTNER.MDB\n"
            "KONTI\tlinked\t;DATABASE=C:\\APP\\QUERNO.MDB\n"
            "NALOGI\tlinked\t;DATABASE=C:\\APP\\QUERNO.MDB\n"
            "OTHER\tlinked\t;DATABASE=C:\\ELSEWHERE\\OTHER.MDB\n"
            "LOCAL1\tlocal\t\n");
}

TEST(ListCommand, ErrorsGoToStderrWithNumberAndDescription) {
  POVEZAVA_REQUIRE_FIXTURES();
  povezava::testing::TempDir dir;
  const auto missing = (dir.path() / "NOPE.mdb").string();
  CommandResult run = list({missing});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "error 3024: Could not find file '" + missing + "'.\n");

  run = list({(fixturesDir() / "encrypted/db2013-enc.accdb").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.rfind("error 3031: ", 0), 0u) << run.err;
}

TEST(ListCommand, WrongArgumentsPrintUsage) {
  for (const auto& args : std::vector<std::vector<std::string>>{{}, {"a.mdb", "b.mdb"}, {"--bogus", "a.mdb"}}) {
    const CommandResult run = list(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "usage: povezava-cli list FILE [--all]\n");
  }
}

TEST(ListCommand, ProgramPrintsUtf8AndExitsNonZeroOnErrors) {
  POVEZAVA_REQUIRE_FIXTURES();
  POVEZAVA_REQUIRE_POSIX("the Linux povezava-cli run from a POSIX shell");
  const std::string cli = std::string(POVEZAVA_BINARY_DIR) + "/src/cli/povezava-cli";
  int status = 0;
  const std::string out = povezava::testing::runCommand(
      cli + " list " + povezava::testing::shellQuote((fixturesDir() / "access-made/V2007/linkerTestV2007.accdb").string()),
      &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(out, "Table1\tlocal\t\nTable2\tlinked\t;DATABASE=Z:\\jackcess_test\\linkeeTest.accdb\n");
  const std::string err = povezava::testing::runCommand(cli + " list /nonexistent/x.mdb 2>&1 >/dev/null", &status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(err, "error 3044: '/nonexistent/x.mdb' is not a valid path. Make sure that the path name is "
                 "spelled correctly and that you are connected to the server on which the file resides.\n");
  povezava::testing::runCommand(cli + " frobnicate 2>/dev/null", &status);
  EXPECT_EQ(status, 2);
}

}  // namespace
}  // namespace povezava::cli
