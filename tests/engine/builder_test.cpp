#include "engine/jet/builder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/errors.h"
#include "engine/jet/page_view.h"
#include "engine/jet/row_pack.h"
#include "engine/unicode.h"
#include "support/test_support.h"

namespace povezava::engine::jet {
namespace {

using povezava::testing::TempDir;

#define POVEZAVA_REQUIRE_MDBTOOLS()                                                       \
  do {                                                                                    \
    if (!::povezava::testing::haveProgram("mdb-export"))                                  \
      GTEST_SKIP() << "mdbtools is not installed (Debian package mdbtools); the files "   \
                      "are checked with our own reader only";                             \
  } while (0)

// Runs an mdbtools program on `file`; fails the test on a non-zero exit.
std::string mdb(const std::string& program, const std::filesystem::path& file, const std::string& args = {},
                const std::string& env = {}) {
  int status = 0;
  const std::string command = env + " " + program + " " + povezava::testing::shellQuote(file.string()) +
                              (args.empty() ? "" : " " + args) + " 2>&1";
  std::string out = povezava::testing::runCommand(command, &status);
  EXPECT_EQ(status, 0) << command << "\n" << out;
  return out;
}

LocalTableSpec nalogi() {
  LocalTableSpec t;
  t.name = u"NALOGI";
  t.columns = {{u"ID", ColumnType::longInteger},
               {u"DATUM", ColumnType::dateTime},
               {u"KONTO", ColumnType::text, 10},
               {u"ZNESEK", ColumnType::money},
               {u"OPOMBA", ColumnType::memo}};
  t.rows = {{std::int32_t{1}, DateTime{dateSerial(2024, 1, 15)}, u"1000", Money{1500000}, u"kratko"},
            {std::int32_t{2}, DateTime{dateSerial(2024, 2, 3)}, u"1200", Money{12345600}, std::monostate{}}};
  return t;
}

TEST(Builder, SmallJet4FrontEndReadsWithMdbtools) {
  POVEZAVA_REQUIRE_MDBTOOLS();
  TempDir dir;
  const auto file = dir.path() / "TQ.mdb";
  DatabaseSpec spec;
  spec.entries = {nalogi(),
                  LinkedTableSpec{u"PARTNER", u"C:\\APP\\PARTNER.MDB"},
                  LinkedTableSpec{u"KONTI", u"D:\\a very long folder name\\and another one\\QUERNO.MDB", u"KONTI"}};
  ASSERT_TRUE(buildDatabase(file.string(), spec).ok());
  EXPECT_EQ(mdb("mdb-ver", file), "JET4\n");
  EXPECT_EQ(mdb("mdb-tables", file, "-1"), "NALOGI\n");
  std::cout << mdb("mdb-export", file, "MSysObjects");
  std::cout << mdb("mdb-export", file, "NALOGI");
}

}  // namespace
}  // namespace povezava::engine::jet
