#include "engine/named_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/errors.h"
#include "base/unicode.h"
#include "platform/file_system.h"
#include "support/fault_io.h"
#include "support/test_engine.h"
#include "support/test_support.h"

namespace povezava::engine {
namespace {

// On a share each question is a round trip: a name that leads to its file as
// written is opened at once; one that differs in case costs the listing of
// its folder and no second question about the name as written.
TEST(OpenNamed, ANameAsWrittenIsOpenedBeforeAnythingIsAsked) {
  povezava::testing::TempDir dir;
  std::filesystem::create_directories(dir.path() / "Data");
  std::ofstream(dir.path() / "Data" / "TQ.mdb") << "x";
  const std::string root = dir.path().string();
  const std::string file = (dir.path() / "Data" / "TQ.mdb").string();
  struct Case {
    std::string name;
    bool posixOnly;  // names that differ only in case
    int opensOfTheFile;  // under its own name, with the system's separators
    int questions;
    int error;
  } cases[] = {
      {root + "/Data/TQ.mdb", false, 1, 0, 0},
      {root + "\\Data\\TQ.mdb", false, 1, 0, 0},
      {root + "/Data/tq.MDB", true, 1, 1, 0},
      {root + "/Data/NOPE.mdb", true, 0, 1, kErrFileNotFound},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
#ifdef _WIN32
    if (c.posixOnly) continue;
#endif
    povezava::testing::FaultFileSystem counted(posixFileSystem());
    const povezava::testing::TestPaths paths;
    auto named = openNamed(counted, paths, fromUtf8(c.name),
                           [&](const std::string& path) { return counted.open(path, OpenMode::readOnly); });
    EXPECT_EQ(counted.questions(), c.questions);
    EXPECT_EQ(counted.opens(file), c.opensOfTheFile);
    if (c.error != 0) {
      EXPECT_EQ(named.status().number(), c.error) << named.status().toString();
      continue;
    }
    ASSERT_TRUE(named.ok()) << named.status().toString();
    EXPECT_EQ(std::filesystem::path(named->path), std::filesystem::path(file));
    EXPECT_NE(named->file, nullptr);
  }
}

}  // namespace
}  // namespace povezava::engine
