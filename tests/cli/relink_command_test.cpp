#include "cli/relink_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/test_support.h"

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
  Console console{out, err, false};
  const int status = runRelink(args, console);
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
  EXPECT_EQ(run.out,
            "PARTNER: relinked\n"
            "NALOGI: error 3024: Could not find file '" + at("NOSUCH.MDB") + "'.\n"
            "KONTI: relinked\n"  // the table's own spelling
            "LOCAL1: error 3251: Operation is not supported for this type of object. (the local table "
            "'LOCAL1' has no link string)\n");
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
