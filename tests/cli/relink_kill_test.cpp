// povezava-cli killed while it relinks many front-ends: each front-end must
// come back with all three links old or all three new, never a mix, and
// readable by another reader. Rounds: POVEZAVA_SOAK_ROUNDS (default 6).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <random>

#include "engine/jet/format/journal_format.h"
#include "engine/jet/write/link_writer.h"
#include "suite.h"
#include "platform/file_system.h"

namespace povezava::cli {
namespace {

namespace fs = std::filesystem;
using namespace povezava::cli::testing;

constexpr int kFrontEnds = 20;
constexpr const char16_t* kTables[] = {u"PARTNER", u"KONTI", u"NALOGI"};

class RelinkKillTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"A", "B"}) {
      ASSERT_NO_FATAL_FAILURE(buildBackEnds(dir_.path() / name));
    }
    for (int i = 0; i < kFrontEnds; ++i) {
      files_.push_back((dir_.path() / ("FE" + std::to_string(i) + ".mdb")).string());
      ASSERT_NO_FATAL_FAILURE(buildFrontEnd(files_.back(), links(0)[0].substr(10), links(0)[1].substr(10), {},
                                            i % 2 == 0 ? jet::Version::jet4 : jet::Version::jet3));
    }
  }

  // PARTNER's link, then KONTI's and NALOGI's, for back-end folder A (0) or B (1).
  std::array<std::u16string, 3> links(int to) const {
    const std::u16string folder = u16(dir_.path() / (to == 0 ? "A" : "B"));
    const std::u16string codes = u";DATABASE=" + folder + u"\\querno.MDB";
    return {u";DATABASE=" + folder + u"\\PARTNER.MDB", codes, codes};
  }

  // Starts `povezava-cli relink FE... --backend <folder of `to`>`.
  pid_t start(int to) const {
    const std::string location = (dir_.path() / (to == 0 ? "A" : "B")).string();
    const pid_t child = ::fork();
    if (child != 0) return child;
    std::vector<std::string> args = {POVEZAVA_CLI_PATH, "relink", "--local-paths"};
    args.insert(args.end(), files_.begin(), files_.end());
    args.insert(args.end(), {"--backend", location});
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (std::freopen("/dev/null", "w", stdout) == nullptr || std::freopen("/dev/null", "w", stderr) == nullptr) {
      ::_exit(126);
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }

  bool anyJournal() const {
    for (const std::string& file : files_) {
      if (fs::exists(engine::jet::journalPath(file))) return true;
    }
    return false;
  }

  povezava::testing::TempDir dir_;
  std::vector<std::string> files_;
};

TEST_F(RelinkKillTest, EveryFrontEndHasAllItsLinksOldOrAllNew) {
  const char* soak = std::getenv("POVEZAVA_SOAK_ROUNDS");
  const int rounds = soak != nullptr ? std::atoi(soak) : 6;
  std::mt19937 random(2026);
  int interrupted = 0;  // rounds killed while journals were there
  for (int round = 0; round < rounds; ++round) {
    const int to = 1 - round % 2;
    const pid_t child = start(to);
    ASSERT_GT(child, 0);
    // Most rounds wait for the commit to begin (the first journal), then kill
    // a little later; the others kill while the relinks are being made.
    int status = 0;
    if (round % 3 != 0) {
      while (!anyJournal() && ::waitpid(child, &status, WNOHANG) == 0) {
      }
    }
    volatile std::uint64_t spin = 0;
    const std::uint64_t spins = random() % 200000;
    for (std::uint64_t i = 0; i < spins; ++i) spin = spin + i;
    interrupted += anyJournal();
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);

    for (const std::string& file : files_) {
      SCOPED_TRACE("round " + std::to_string(round) + ", " + file);
      // Reading shows what recovery will leave; recovery leaves exactly that.
      std::array<std::u16string, 3> found;
      for (std::size_t t = 0; t < 3; ++t) found[t] = storedConnect(file, kTables[t]);
      EXPECT_TRUE(found == links(0) || found == links(1)) << engine::toUtf8(found[0]) << " | "
                                                          << engine::toUtf8(found[1]);
      auto recovered = engine::jet::recoverInterruptedRelink(engine::posixFileSystem(), engine::droppedNotices(), file);
      ASSERT_TRUE(recovered.ok()) << recovered.status().toString();
      EXPECT_NE(*recovered, engine::Recovery::setAside);
      EXPECT_FALSE(fs::exists(engine::jet::journalPath(file)));
      for (std::size_t t = 0; t < 3; ++t) EXPECT_EQ(storedConnect(file, kTables[t]), found[t]);
    }
    EXPECT_TRUE(povezava::testing::mdbCatalogueHas(files_[static_cast<std::size_t>(round) % files_.size()],
                                                   "PARTNER"));
  }
  RecordProperty("interrupted", interrupted);

  // Left alone, the same command finishes the job.
  const pid_t child = start(1);
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  for (const std::string& file : files_) {
    EXPECT_EQ(storedConnect(file, u"NALOGI"), links(1)[2]) << file;
  }
}

}  // namespace
}  // namespace povezava::cli
