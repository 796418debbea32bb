#include "paths/database_path.h"

#include <gtest/gtest.h>

#include <fstream>

#include "engine/engine.h"
#include "base/errors.h"
#include "base/unicode.h"
#include "support/fault_io.h"
#include "support/test_support.h"
#include "platform/file_system.h"
#include "support/test_engine.h"

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
  // A path below root() with the system's separator, as the resolver gives it.
  static std::string native(std::string relative) {
    for (char& c : relative) {
      if (c == '/') c = static_cast<char>(std::filesystem::path::preferred_separator);
    }
    return relative;
  }

  Result<std::string> resolve(const std::string& name) {
    return resolveDatabasePath(posixFileSystem(), fromUtf8(name), PathMap{});
  }

  povezava::testing::TempDir dir_;
};

TEST_F(PathResolver, ExactAndBackslashNamesAreTakenAsTheyAre) {
  EXPECT_EQ(*resolve(root() + "/Data/TQ.mdb"), root() + native("/Data/TQ.mdb"));
  EXPECT_EQ(*resolve(root() + "\\Data\\TQ.mdb"), root() + native("/Data/TQ.mdb"));
}

TEST_F(PathResolver, EachComponentIsMatchedWithoutRegardToCase) {
  POVEZAVA_REQUIRE_POSIX("names that differ only in case");
  EXPECT_EQ(*resolve(root() + "\\data\\tq.MDB"), root() + native("/Data/TQ.mdb"));
  EXPECT_EQ(*resolve(root() + "/DATA/RAČUNI/števILKE.MDB"), root() + native("/Data/Računi/ŠTEVILKE.mdb"));
}

// On a share each question is a round trip. A name whose folders are there
// as written and whose file's own name differs in case costs one listing of
// that folder (and the question about the exact name, unless the caller has
// just found it missing); a folder that differs in case is matched in turn.
TEST_F(PathResolver, AFileNameInAnotherCaseListsOnlyItsFolder) {
  POVEZAVA_REQUIRE_POSIX("names that differ only in case");
  struct Case {
    const char* name;         // below root()
    bool exactMissing;        // the caller has just found the exact name missing
    const char* resolved;     // below root(); empty: fileNotFound
    int questions;            // -1: not counted (each folder on the way is asked)
  } cases[] = {
      {"/Data/tq.MDB", false, "/Data/TQ.mdb", 2},
      {"/Data/tq.MDB", true, "/Data/TQ.mdb", 1},
      {"/Data/Računi/števILKE.MDB", true, "/Data/Računi/ŠTEVILKE.mdb", 1},
      {"/Data/nope.mdb", true, "", 1},
      {"/DATA/RAČUNI/števILKE.MDB", true, "/Data/Računi/ŠTEVILKE.mdb", -1},
      {"/Data/TQ.mdb", false, "/Data/TQ.mdb", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + (c.exactMissing ? " (exact name missing)" : ""));
    povezava::testing::FaultFileSystem counted(posixFileSystem());
    auto r = resolveDatabasePath(counted, fromUtf8(root() + c.name), PathMap{}, nullptr, c.exactMissing);
    if (*c.resolved == '\0') {
      EXPECT_EQ(r.status().number(), kErrFileNotFound) << r.status().toString();
    } else {
      ASSERT_TRUE(r.ok()) << r.status().toString();
      EXPECT_EQ(*r, root() + c.resolved);
    }
    if (c.questions >= 0) {
      EXPECT_EQ(counted.questions(), c.questions);
    }
  }
}

TEST_F(PathResolver, RelativeNamesAreRelativeToTheCurrentFolder) {
  const povezava::testing::CurrentFolder here(root());
  const auto exact = resolve("Data\\TQ.mdb");
  const auto folded = resolve("data\\tq.mdb");
  EXPECT_EQ(*exact, native("Data/TQ.mdb"));
#ifdef _WIN32
  EXPECT_EQ(*folded, "data\\tq.mdb");  // Windows itself ignores case: the name as typed opens the file
#else
  EXPECT_EQ(*folded, "Data/TQ.mdb");
#endif
}

TEST_F(PathResolver, MissingAndAmbiguousNamesAreErrors) {
  POVEZAVA_REQUIRE_POSIX("names that differ only in case");
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
  EXPECT_EQ(*resolve(root() + "/Data/DUP.mdb"), root() + native("/Data/DUP.mdb"));
}

TEST_F(PathResolver, FolderOrMissingFileGivesAClearOpenError) {
  auto folder = povezava::testing::testEngine().openDatabase(fromUtf8(root() + "/Data"));
  ASSERT_FALSE(folder.ok());
  EXPECT_EQ(folder.status().number(), kErrNotValidPath);
  EXPECT_NE(folder.status().description().find("is a folder, not a database file"), std::string::npos);
  auto missing = povezava::testing::testEngine().openDatabase(fromUtf8(root() + "/Data/TQ2.mdb"));
  EXPECT_EQ(missing.status().number(), kErrFileNotFound);
  auto notJet = povezava::testing::testEngine().openDatabase(fromUtf8(root() + "/data/tq.mdb"));  // one byte "x"
  EXPECT_EQ(notJet.status().number(), kErrUnrecognizedFormat);
#ifndef _WIN32
  EXPECT_NE(notJet.status().description().find("Data/TQ.mdb"), std::string::npos);
#endif
}

// A server that does not answer is 3044 on both systems, whichever separator
// the name uses; on Windows "\\server\share" is a network path, on Linux a
// folder that does not exist.
TEST_F(PathResolver, AnUnreachableServerIsNotAValidPath) {
  for (const char* name : {"\\\\povezava-no-such-server\\skupno\\TQ.mdb", "//povezava-no-such-server/skupno/TQ.mdb"}) {
    auto r = resolve(name);
    ASSERT_FALSE(r.ok()) << name;
    EXPECT_EQ(r.status().number(), kErrNotValidPath) << r.status().description();
  }
}

// A drive letter and "\" resolve natively on Windows.
TEST_F(PathResolver, DriveLetterPathsResolveOnWindows) {
#ifndef _WIN32
  GTEST_SKIP() << "drive letters are Windows's";
#else
  const std::string folder = root();  // "C:\\users\\...": ASCII, so the ANSI form is it
  ASSERT_EQ(folder.substr(1, 2), ":\\");
  auto r = resolve(folder + "/Data/TQ.mdb");
  ASSERT_TRUE(r.ok()) << r.status().toString();
  EXPECT_EQ(*r, folder + "\\Data\\TQ.mdb");
  EXPECT_EQ(resolve("C:\\povezava-nowhere\\TQ.mdb").status().number(), kErrNotValidPath);
#endif
}

}  // namespace
}  // namespace povezava::engine

// Windows paths through the path map.
namespace povezava::engine {
namespace {

class MappedPathResolver : public ::testing::Test {
 protected:
  void SetUp() override {
    // On Windows drive letters and shares are the system's own: no map.
    POVEZAVA_REQUIRE_POSIX("Windows paths mapped onto a Linux host's folders");
    std::filesystem::create_directories(dir_.path() / "samba" / "Data");
    std::filesystem::create_directories(dir_.path() / "apps");
    std::ofstream(dir_.path() / "samba" / "Data" / "PARTNER.MDB") << "x";
    std::ofstream(dir_.path() / "apps" / "TQ.mdb") << "x";
    for (const std::string& pair : {"S: = " + root() + "/samba", "S:\\APPS = " + root() + "/apps",
                                   "\\\\SERVER\\share = " + root() + "/samba"}) {
      map_.add(*parseMapping(pair, "test"));
    }
  }
  std::string root() const { return dir_.path().string(); }
  Result<std::string> resolve(std::u16string_view name) { return resolveDatabasePath(posixFileSystem(), name, map_); }

  povezava::testing::TempDir dir_;
  PathMap map_;
};

TEST_F(MappedPathResolver, WindowsPathsResolveThroughTheLongestPrefix) {
  struct Case {
    const char16_t* name;
    std::string path;
    std::string exact;  // where the name leads before any case is matched
  } cases[] = {
      {u"S:\\DATA\\PARTNER.MDB", "/samba/Data/PARTNER.MDB", "/samba/DATA/PARTNER.MDB"},
      {u"s:/data/partner.mdb", "/samba/Data/PARTNER.MDB", "/samba/data/partner.mdb"},
      {u"S:\\apps\\tq.MDB", "/apps/TQ.mdb", "/apps/tq.MDB"},
      {u"\\\\server\\SHARE\\Data\\Partner.mdb", "/samba/Data/PARTNER.MDB", "/samba/Data/Partner.mdb"},
      {u"//SERVER/share/DATA/PARTNER.MDB", "/samba/Data/PARTNER.MDB", "/samba/DATA/PARTNER.MDB"},
  };
  for (const Case& c : cases) {
    auto path = resolve(c.name);
    ASSERT_TRUE(path.ok()) << toUtf8(c.name) << ": " << path.status().toString();
    EXPECT_EQ(*path, root() + c.path) << toUtf8(c.name);
    EXPECT_EQ(exactPathOf(c.name, map_), root() + c.exact) << toUtf8(c.name);
  }
}

TEST_F(MappedPathResolver, UncoveredAndMissingPathsAreErrorsInTheFormGiven) {
  struct Case {
    const char16_t* name;
    int number;
    const char* names;  // a text the description must hold
  } cases[] = {
      {u"C:\\APP\\X.MDB", kErrNotValidPath, "'C:\\APP\\X.MDB' is not a valid path here"},
      {u"C:\\APP\\X.MDB", kErrNotValidPath, "drive C:"},
      {u"\\\\OTHER\\share\\X.MDB", kErrNotValidPath, "share \\\\OTHER\\share"},
      {u"S:\\DATA\\NOPE.MDB", kErrFileNotFound, "'S:\\DATA\\NOPE.MDB'"},
      {u"S:\\NOWHERE\\X.MDB", kErrNotValidPath, "/samba/NOWHERE/X.MDB"},
  };
  for (const Case& c : cases) {
    auto path = resolve(c.name);
    ASSERT_FALSE(path.ok()) << toUtf8(c.name);
    EXPECT_EQ(path.status().number(), c.number) << path.status().toString();
    EXPECT_NE(path.status().description().find(c.names), std::string::npos) << path.status().description();
    EXPECT_EQ(path.status().description().find("C:/APP"), std::string::npos) << path.status().description();
  }
  // A name no pair covers leads nowhere before it is resolved.
  EXPECT_EQ(exactPathOf(u"C:\\APP\\X.MDB", map_), std::nullopt);
  EXPECT_EQ(exactPathOf(u"", map_), std::nullopt);
  // Without a map a drive path is never taken for a relative one.
  auto unmapped = resolveDatabasePath(posixFileSystem(), u"C:\\APP\\X.MDB", PathMap{});
  EXPECT_EQ(unmapped.status().number(), kErrNotValidPath);
  EXPECT_NE(unmapped.status().description().find("--map"), std::string::npos);
}

TEST_F(MappedPathResolver, LocalNamesAreShownAsGivenInErrors) {
  const std::u16string name = fromUtf8(root()) + u"\\Nowhere\\X.MDB";
  auto path = resolve(name);
  ASSERT_FALSE(path.ok());
  EXPECT_NE(path.status().description().find("'" + toUtf8(name) + "'"), std::string::npos)
      << path.status().description();
}

}  // namespace
}  // namespace povezava::engine
