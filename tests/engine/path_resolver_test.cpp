#include "engine/path_resolver.h"

#include <gtest/gtest.h>

#include <fstream>

#include "engine/engine.h"
#include "engine/errors.h"
#include "engine/unicode.h"
#include "support/test_support.h"

namespace povezava::engine {
namespace {

class PathResolver : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.path() / "Data" / "Računi");
    touch("Data/TQ.mdb");
    touch("Data/Računi/ŠTEVILKE.mdb");
    touch("Data/dup.mdb");
    touch("Data/DUP.mdb");
  }
  void touch(const std::string& relative) { std::ofstream(dir_.path() / relative) << "x"; }
  std::string root() const { return dir_.path().string(); }

  Result<std::string> resolve(const std::string& name) {
    return resolveDatabasePath(posixFileSystem(), fromUtf8(name));
  }

  povezava::testing::TempDir dir_;
};

TEST_F(PathResolver, ExactAndBackslashNamesAreTakenAsTheyAre) {
  EXPECT_EQ(*resolve(root() + "/Data/TQ.mdb"), root() + "/Data/TQ.mdb");
  EXPECT_EQ(*resolve(root() + "\\Data\\TQ.mdb"), root() + "/Data/TQ.mdb");
}

TEST_F(PathResolver, EachComponentIsMatchedWithoutRegardToCase) {
  EXPECT_EQ(*resolve(root() + "\\data\\tq.MDB"), root() + "/Data/TQ.mdb");
  EXPECT_EQ(*resolve(root() + "/DATA/RAČUNI/števILKE.MDB"), root() + "/Data/Računi/ŠTEVILKE.mdb");
}

TEST_F(PathResolver, RelativeNamesAreRelativeToTheCurrentFolder) {
  const povezava::testing::CurrentFolder here(root());
  const auto exact = resolve("Data\\TQ.mdb");
  const auto folded = resolve("data\\tq.mdb");
  EXPECT_EQ(*exact, "Data/TQ.mdb");
  EXPECT_EQ(*folded, "Data/TQ.mdb");
}

TEST_F(PathResolver, MissingAndAmbiguousNamesAreErrors) {
  struct Case {
    std::string name;
    int number;
  } cases[] = {
      {root() + "/Data/NOPE.mdb", kErrFileNotFound},
      {root() + "/Nowhere/TQ.mdb", kErrNotValidPath},
      {root() + "/Data/Dup.mdb", kErrNotValidPath},  // dup.mdb and DUP.mdb
      {"", kErrFileNotFound},
  };
  for (const Case& c : cases) {
    auto r = resolve(c.name);
    ASSERT_FALSE(r.ok()) << c.name;
    EXPECT_EQ(r.status().number(), c.number) << c.name << ": " << r.status().description();
  }
  EXPECT_NE(resolve(root() + "/Data/Dup.mdb").status().description().find("differ only in case"),
            std::string::npos);
  // An exact name wins even where a case-blind match would be ambiguous.
  EXPECT_EQ(*resolve(root() + "/Data/DUP.mdb"), root() + "/Data/DUP.mdb");
}

TEST_F(PathResolver, FolderOrMissingFileGivesAClearOpenError) {
  auto folder = dbEngine().openDatabase(fromUtf8(root() + "/Data"));
  ASSERT_FALSE(folder.ok());
  EXPECT_EQ(folder.status().number(), kErrNotValidPath);
  EXPECT_NE(folder.status().description().find("is a folder, not a database file"), std::string::npos);
  auto missing = dbEngine().openDatabase(fromUtf8(root() + "/Data/TQ2.mdb"));
  EXPECT_EQ(missing.status().number(), kErrFileNotFound);
  auto notJet = dbEngine().openDatabase(fromUtf8(root() + "/data/tq.mdb"));  // one byte "x"
  EXPECT_EQ(notJet.status().number(), kErrUnrecognizedFormat);
  EXPECT_NE(notJet.status().description().find("Data/TQ.mdb"), std::string::npos);
}

}  // namespace
}  // namespace povezava::engine
