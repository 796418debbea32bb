// Relinking across processes: a writer killed at random moments, and two
// writers at once. After each, the front-end opens with the engine and with
// mdbtools, and the link is one that some writer stored.
//
// POVEZAVA_SOAK_ROUNDS raises the number of kills (scripts/relink-soak).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>

#include "base/errors.h"
#include "engine/jet/jet_database.h"
#include "engine/jet/write/link_writer.h"
#include "engine/jet_build/sample_databases.h"
#include "base/unicode.h"
#include "support/databases.h"
#include "support/fault_io.h"
#include "support/test_support.h"
#include "platform/file_system.h"
#include "support/test_engine.h"

namespace povezava::engine::jet {
namespace {

using povezava::testing::testNotices;
namespace fs = std::filesystem;

const std::u16string kShort = u"D:\\DATA\\PARTNER.MDB";
const std::u16string kLong =
    u"\\\\streznik\\skupno\\Računovodstvo in finance\\podatki za leto 2024\\PARTNER.MDB";

// Reading shows an interrupted relink as its journal will leave it.
std::u16string storedLink(const std::string& path) { return povezava::testing::storedConnect(path, u"PARTNER"); }

void expectReadableByMdbtools(const std::string& path, const std::string& situation) {
  int status = -1;
  const std::string out = povezava::testing::mdbExport(path, "MSysObjects", &status);
  EXPECT_EQ(status, 0) << situation << "\n" << out;
}

class RelinkProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (dir_.path() / "TQ.mdb").string();
    ASSERT_TRUE(buildDatabase(path_, frontEndSpec({})).ok());
  }
  povezava::testing::TempDir dir_;
  std::string path_;
};

// The child relinks PARTNER back and forth until it is killed, reporting each
// finished relink through the pipe.
[[noreturn]] void relinkForever(const std::string& path, int report) {
  for (std::uint64_t i = 0;; ++i) {
    const Status s = writeLink(posixFileSystem(), testNotices(), path, path,
                               LinkChange{u"PARTNER", i % 2 == 0 ? kLong : kShort, std::nullopt});
    const char byte = s.ok() ? 'o' : 'x';
    if (::write(report, &byte, 1) != 1) ::_exit(3);
  }
}

TEST_F(RelinkProcessTest, AWriterKilledAtRandomMomentsLeavesTheOldLinkOrTheNew) {
  const std::set<std::u16string> allowed = {u";DATABASE=C:\\APP\\PARTNER.MDB", u";DATABASE=" + kShort,
                                            u";DATABASE=" + kLong};
  const char* soak = std::getenv("POVEZAVA_SOAK_ROUNDS");
  const int rounds = soak != nullptr ? std::atoi(soak) : 20;
  std::mt19937 random(12345);
  int failures = 0;
  int interrupted = 0;  // kills that left a journal to recover
  int setAside = 0;     // journals that another writer made no longer fit
  for (int round = 0; round < rounds; ++round) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(fds[0]);
      relinkForever(path_, fds[1]);
    }
    ::close(fds[1]);
    // Let it finish a few relinks, then kill it somewhere inside the next one.
    const int finished = static_cast<int>(random() % 3);
    for (int i = 0; i < finished; ++i) {
      char byte = 0;
      ASSERT_EQ(::read(fds[0], &byte, 1), 1);
      failures += byte == 'x';
    }
    volatile std::uint64_t spin = 0;
    const std::uint64_t spins = random() % 400000;
    for (std::uint64_t i = 0; i < spins; ++i) spin = spin + i;
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(fds[0]);
    const bool journal = fs::exists(path_ + ".povezava-journal");
    interrupted += journal;
    // Every third round another program writes the file before povezava
    // runs again: it adds a page at the end, as Access does for new rows.
    const bool otherWriter = round % 3 == 2;
    std::vector<std::byte> added;
    if (otherWriter) {
      auto bytes = povezava::testing::readFile(path_);
      added.assign(4096, static_cast<std::byte>(round & 0x7F));
      bytes.insert(bytes.end(), added.begin(), added.end());
      povezava::testing::restoreFile(path_, bytes);
    }
    // Reading shows the link the recovery will leave, and writes nothing.
    const auto before = povezava::testing::readFile(path_);
    const auto link = storedLink(path_);
    EXPECT_EQ(povezava::testing::readFile(path_), before) << "round " << round;
    EXPECT_EQ(fs::exists(path_ + ".povezava-journal"), journal) << "round " << round;
    auto recovered = recoverInterruptedRelink(posixFileSystem(), testNotices(), path_);
    ASSERT_TRUE(recovered.ok()) << recovered.status().toString();
    EXPECT_FALSE(fs::exists(path_ + ".povezava-journal")) << "round " << round;
    if (otherWriter && journal && *recovered != Recovery::discarded) {
      // Not the state the journal was made for: the other program's page
      // stays. (A journal cut short is removed: the file was not touched.)
      EXPECT_EQ(*recovered, Recovery::setAside) << "round " << round;
      EXPECT_EQ(povezava::testing::readFile(path_), before) << "round " << round;
      setAside += 1;
      for (const auto& entry : fs::directory_iterator(dir_.path())) {
        if (entry.path().string().find(".stale-") != std::string::npos) fs::remove(entry.path());
      }
    } else {
      EXPECT_NE(*recovered, Recovery::setAside) << "round " << round;
      EXPECT_TRUE(allowed.contains(link)) << "round " << round << ": " << toUtf8(link);
      EXPECT_EQ(storedLink(path_), link) << "round " << round;
      expectReadableByMdbtools(path_, "round " + std::to_string(round));
    }
    if (otherWriter) {
      const auto now = povezava::testing::readFile(path_);
      ASSERT_GE(now.size(), added.size());
      EXPECT_TRUE(std::equal(added.begin(), added.end(), now.end() - static_cast<std::ptrdiff_t>(added.size())))
          << "round " << round << ": the other program's page was lost";
      // Start the next round from a file with the links povezava wrote.
      ASSERT_TRUE(buildDatabase(path_ + ".fresh", frontEndSpec({})).ok());
      fs::rename(path_ + ".fresh", path_);
    }
  }
  EXPECT_EQ(failures, 0);
  RecordProperty("interrupted", interrupted);
  RecordProperty("setAside", setAside);
}

TEST_F(RelinkProcessTest, TwoWritersAtOnceNeverInterleave) {
  constexpr int kRelinks = 40;
  int go[2];
  ASSERT_EQ(::pipe(go), 0);
  pid_t children[2];
  const std::u16string links[2] = {kShort, kLong};
  for (int w = 0; w < 2; ++w) {
    children[w] = ::fork();
    ASSERT_GE(children[w], 0);
    if (children[w] == 0) {
      ::close(go[1]);
      char byte = 0;
      if (::read(go[0], &byte, 1) != 0) ::_exit(3);  // both start when the pipe closes
      int busy = 0;
      for (int i = 0; i < kRelinks; ++i) {
        const Status s =
            writeLink(posixFileSystem(), testNotices(), path_, path_, LinkChange{u"PARTNER", links[w], std::nullopt});
        if (s.number() == kErrFileInUse) {
          ++busy;
        } else if (!s.ok()) {
          ::_exit(4);  // anything but success or "in use" is a fault
        }
      }
      ::_exit(busy == kRelinks ? 5 : 0);
    }
  }
  ::close(go[0]);
  ::close(go[1]);
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 4) << "a writer failed with something other than 'file already in use'";
  }
  const auto link = storedLink(path_);
  EXPECT_TRUE(link == u";DATABASE=" + kShort || link == u";DATABASE=" + kLong) << toUtf8(link);
  expectReadableByMdbtools(path_, "after two writers");
}

}  // namespace
}  // namespace povezava::engine::jet
