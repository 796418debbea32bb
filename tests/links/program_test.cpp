#include "links/program.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/errors.h"
#include "base/unicode.h"
#include "platform/file_system.h"
#include "support/databases.h"
#include "support/test_engine.h"
#include "support/test_support.h"

namespace povezava::links {
namespace {

std::u16string u16(const std::filesystem::path& path) { return engine::fromUtf8(path.string()); }

// Each program resolves names through its own map: the same Windows name
// leads each to its own file, and a program without a pair for the drive
// says so, whatever the others hold.
TEST(Program, TwoProgramsShareNoPathMap) {
  povezava::testing::TempDir dir;
  const std::filesystem::path a = dir.path() / "a";
  const std::filesystem::path b = dir.path() / "b";
  povezava::testing::buildFrontEnd(a / "TQ.mdb", u"C:\\A\\PARTNER.MDB", u"C:\\A\\QUERNO.MDB");
  povezava::testing::buildFrontEnd(b / "TQ.mdb", u"C:\\B\\PARTNER.MDB", u"C:\\B\\QUERNO.MDB");
  Program first(engine::posixFileSystem());
  Program second(engine::posixFileSystem());
  Program none(engine::posixFileSystem());
  first.paths().setMap(povezava::testing::pathMapOf({"S: = " + a.string()}));
  second.paths().setMap(povezava::testing::pathMapOf({"S: = " + b.string()}));

  EXPECT_TRUE(*first.engine().sameFile(u"S:\\tq.MDB", u16(a / "TQ.mdb")));
  EXPECT_FALSE(*second.engine().sameFile(u"S:\\tq.MDB", u16(a / "TQ.mdb")));
  EXPECT_TRUE(*second.engine().sameFile(u"S:\\tq.MDB", u16(b / "TQ.mdb")));
  for (Program* program : {&first, &second}) {
    auto db = program->engine().openDatabase(u"S:\\TQ.mdb");
    ASSERT_TRUE(db.ok()) << db.status().toString();
    auto partner = (*(*db)->tableDefs())->item(u"PARTNER");
    ASSERT_TRUE(partner.ok());
    EXPECT_EQ(*(*partner)->connect(), program == &first ? u";DATABASE=C:\\A\\PARTNER.MDB"
                                                        : u";DATABASE=C:\\B\\PARTNER.MDB");
  }
  EXPECT_EQ(none.engine().openDatabase(u"S:\\TQ.mdb").status().number(), engine::kErrNotValidPath);
  EXPECT_TRUE(none.pathMap().empty());
}

}  // namespace
}  // namespace povezava::links
