#include "cli/check_command.h"

#include <gtest/gtest.h>

#include <fstream>

#include "suite.h"

namespace povezava::cli {
namespace {

using povezava::testing::TempDir;
using namespace povezava::cli::testing;

class CheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    buildBackEnds(data());
    std::ofstream(dir_.path() / "notes.txt") << "not a database, just some text that is long enough";
    buildFrontEnd(good(), u16(data() / "PARTNER.MDB"), u16(data() / "QUERNO.MDB"));
    // PARTNER: no such file; KONTI: a database without KONTI; NALOGI: not a
    // database; an ODBC link with a password and one without.
    buildFrontEnd(broken(), u16(data() / "MISSING.MDB"), u16(data() / "PARTNER.MDB"),
                  {jet::OdbcTableSpec{u"SALES", u"ODBC;DSN=sales;UID=ana;PWD=skrivnost;"},
                   jet::OdbcTableSpec{u"STOCK", u"ODBC;DSN=stock;Trusted_Connection=Yes"}});
    build(broken2(), spec(jet::Version::jet3,
                      {jet::LinkedTableSpec{u"NALOGI", u16(dir_.path() / "notes.txt")}}));
  }

  std::filesystem::path data() const { return dir_.path() / "data"; }
  std::filesystem::path good() const { return dir_.path() / "GOOD.mdb"; }
  std::filesystem::path broken() const { return dir_.path() / "BROKEN.mdb"; }
  std::filesystem::path broken2() const { return dir_.path() / "BROKEN97.mdb"; }

  int check(std::vector<std::string> args) { return runCheck(args, io_.console); }

  TempDir dir_;
  Captured io_;
};

TEST_F(CheckTest, EveryLinkOfAGoodFrontEndIsOk) {
  EXPECT_EQ(check({good().string()}), 0) << io_.err.str();
  const std::string f = good().string();
  EXPECT_EQ(lines(io_.out.str()),
            (std::vector<std::string>{f + "\tPARTNER\tok", f + "\tKONTI\tok", f + "\tNALOGI\tok"}));
  EXPECT_EQ(io_.err.str(), "povezava-cli: 1 file checked, 3 links ok, 0 broken\n");
}

TEST_F(CheckTest, EachBrokenLinkGetsTheErrorARelinkWouldGive) {
  const auto before = povezava::testing::readFile(broken());
  EXPECT_EQ(check({broken().string(), broken2().string()}), 1);
  const auto out = lines(io_.out.str());
  ASSERT_EQ(out.size(), 5u) << io_.out.str();
  const std::string f = broken().string();
  EXPECT_TRUE(out[0].starts_with(f + "\tPARTNER\terror 3024: ")) << out[0];
  EXPECT_TRUE(out[1].starts_with(f + "\tKONTI\terror 3011: ")) << out[1];
  EXPECT_TRUE(out[2].starts_with(f + "\tNALOGI\terror 3011: ")) << out[2];
  EXPECT_EQ(out[3], f + "\tSALES\twarning: the ODBC connect text holds a password in plain text (PWD=...)");
  EXPECT_TRUE(out[4].starts_with(broken2().string() + "\tNALOGI\terror 3343: ")) << out[4];
  EXPECT_EQ(io_.err.str(),
            "povezava-cli: 2 files checked, 0 links ok, 4 broken, 1 with a password in plain text\n");
  // check never writes, and never prints the password.
  EXPECT_EQ(povezava::testing::readFile(broken()), before);
  EXPECT_EQ(io_.out.str().find("skrivnost"), std::string::npos);
}

TEST_F(CheckTest, FilesThatCannotBeOpenedDoNotStopTheOthers) {
  const std::string missing = (dir_.path() / "NOPE.mdb").string();
  const std::string text = (dir_.path() / "notes.txt").string();
  EXPECT_EQ(check({missing, text, good().string()}), 1);
  const auto out = lines(io_.out.str());
  ASSERT_EQ(out.size(), 5u) << io_.out.str();
  EXPECT_TRUE(out[0].starts_with(missing + "\t\terror 3024: ")) << out[0];
  EXPECT_TRUE(out[1].starts_with(text + "\t\terror 3343: ")) << out[1];
  EXPECT_EQ(out[4], good().string() + "\tNALOGI\tok");
  EXPECT_EQ(io_.err.str(), "povezava-cli: 3 files checked, 3 links ok, 0 broken, 2 not opened\n");
}

TEST_F(CheckTest, JsonIsOneObjectPerFileWithThePasswordMasked) {
  EXPECT_EQ(check({"--json", broken().string(), (dir_.path() / "NOPE.mdb").string()}), 1);
  const auto out = lines(io_.out.str());
  ASSERT_EQ(out.size(), 2u);
  EXPECT_TRUE(out[0].starts_with(R"({"file":")" + inJson(broken().string()) + R"(","error":null,"tables":[)"));
  EXPECT_NE(out[0].find(R"({"table":"SALES","kind":"odbc","connect":"ODBC;DSN=sales;UID=ana;PWD=***;",)"
                        R"("status":"not checked","plainPassword":true})"),
            std::string::npos)
      << out[0];
  EXPECT_NE(out[0].find(R"("table":"PARTNER","kind":"linked",)"), std::string::npos);
  EXPECT_NE(out[0].find(R"("status":"error","error":{"number":3024,)"), std::string::npos);
  EXPECT_EQ(out[0].find("skrivnost"), std::string::npos);
  EXPECT_EQ(out[0].find("STOCK"), std::string::npos);  // no password, nothing to check
  EXPECT_TRUE(out[1].ends_with(R"(","error":{"number":3024,"description":"Could not find file ')" +
                               inJson((dir_.path() / "NOPE.mdb").string()) + R"('."},"tables":[]})"))
      << out[1];
}

struct UsageCase {
  const char* name;
  std::vector<std::string> args;
};

class CheckUsageTest : public ::testing::TestWithParam<UsageCase> {};

TEST_P(CheckUsageTest, WrongArgumentsExitTwoAndTouchNothing) {
  Captured io;
  EXPECT_EQ(runCheck(GetParam().args, io.console), 2);
  EXPECT_EQ(io.out.str(), "");
  EXPECT_NE(io.err.str().find("usage: povezava-cli check"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Cases, CheckUsageTest,
                         ::testing::Values(UsageCase{"NoFiles", {}}, UsageCase{"OnlyJson", {"--json"}},
                                           UsageCase{"UnknownOption", {"--fix", "a.mdb"}}),
                         povezava::testing::RowName());

TEST_F(CheckTest, DoubleDashLetsAFileNameStartWithDashes) {
  std::filesystem::copy_file(good(), dir_.path() / "--json");
  const povezava::testing::CurrentFolder here(dir_.path());
  const int status = check({"--", "--json"});
  EXPECT_EQ(status, 0) << io_.err.str();
  EXPECT_EQ(lines(io_.out.str()).front(), "--json\tPARTNER\tok");
}

}  // namespace
}  // namespace povezava::cli
