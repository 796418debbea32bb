#include "cli/make_demo_command.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/list_command.h"
#include "base/errors.h"
#include "suite.h"

namespace povezava::cli {
namespace {

using povezava::testing::TempDir;
using Outcome = testing::CommandResult;
template <typename Command>
Outcome run(Command command, const std::vector<std::string>& args) {
  return testing::runInProcess(command, args);
}

TEST(MakeDemo, MakesAFrontEndLinkedToTheOldLocationAndTwoBackEnds) {
  TempDir dir;
  const auto folder = dir.path() / "demo";
  const Outcome made = run(runMakeDemo, {folder.string()});
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_EQ(made.out, (folder / "data" / "PARTNER.MDB").string() + "\n" + (folder / "data" / "QUERNO.MDB").string() +
                          "\n" + (folder / "TQ.mdb").string() + "\n");

  const Outcome listed = run(runList, {(folder / "TQ.mdb").string()});
  ASSERT_EQ(listed.status, 0) << listed.err;
  const std::string partner = (folder / "old-location" / "PARTNER.MDB").string();
  const std::string querno = (folder / "old-location" / "QUERNO.MDB").string();
  EXPECT_EQ(listed.out, "LOCAL1\tlocal\t\n"
                        "PARTNER\tlinked\t;DATABASE=" + partner + "\n"
                        "KONTI\tlinked\t;DATABASE=" + querno + "\n"
                        "NALOGI\tlinked\t;DATABASE=" + querno + "\n");
  EXPECT_EQ(run(runList, {(folder / "data" / "QUERNO.MDB").string()}).out, "KONTI\tlocal\t\nNALOGI\tlocal\t\n");
  EXPECT_FALSE(std::filesystem::exists(folder / "old-location"));
}

TEST(MakeDemo, OptionsShapeTheFiles) {
  TempDir dir;
  const auto folder = dir.path() / "demo97";
  const Outcome made = run(runMakeDemo, {"--jet3", folder.string(), "--queries", "500", "--data-bytes", "100000"});
  ASSERT_EQ(made.status, 0) << made.err;
  const auto front = povezava::testing::readFile(folder / "TQ.mdb");
  ASSERT_GT(front.size(), 0x14u);
  EXPECT_EQ(std::to_integer<int>(front[0x14]), 0) << "Jet 3 version byte";
  EXPECT_EQ(front.size() % 2048, 0u);
  EXPECT_GT(front.size(), 100000u + 500u * 40u);
  const Outcome listed = run(runList, {(folder / "TQ.mdb").string()});
  EXPECT_NE(listed.out.find("PODATKI\tlocal\t\n"), std::string::npos) << listed.out;
}

TEST(MakeDemo, NeverOverwritesAndRejectsBadArguments) {
  TempDir dir;
  const auto folder = dir.path() / "demo";
  ASSERT_EQ(run(runMakeDemo, {folder.string()}).status, 0);
  const auto before = povezava::testing::readFile(folder / "TQ.mdb");
  const Outcome again = run(runMakeDemo, {folder.string()});
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(again.err.rfind("error " + std::to_string(engine::kErrDatabaseExists) + ": ", 0), 0u) << again.err;
  EXPECT_EQ(povezava::testing::readFile(folder / "TQ.mdb"), before);

  const std::vector<std::vector<std::string>> bad = {
      {}, {"a", "b"}, {"--queries"}, {"a", "--queries", "x"}, {"a", "--data-bytes", "-5"}, {"--what", "a"}};
  for (const auto& args : bad) {
    const Outcome r = run(runMakeDemo, args);
    EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args);
    EXPECT_EQ(r.err.rfind("usage: povezava-cli make-demo", 0), 0u) << r.err;
  }
}

TEST(MakeDemo, RefusesSizesNoDemoNeedsBeforeWritingAnything) {
  const std::vector<std::vector<std::string>> huge = {
      {"--data-bytes", "99999999999"},
      {"--data-bytes", "1073741825"},  // 1 GiB and a byte
      {"--queries", "100001"},
      {"--data-bytes", "18446744073709551615"},
  };
  for (const auto& sizes : huge) {
    SCOPED_TRACE(::testing::PrintToString(sizes));
    TempDir dir;
    const auto folder = dir.path() / "demo";
    std::vector<std::string> args{folder.string()};
    args.insert(args.end(), sizes.begin(), sizes.end());
    const Outcome r = run(runMakeDemo, args);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("more than a demo needs"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(folder));
  }
}

}  // namespace
}  // namespace povezava::cli
