// A front-end whose relink was cut short: the reading commands show it as it
// was and write nothing, whatever else lies beside it; relink and recover
// undo the rest on disk, never while Access has the file open.
#include <gtest/gtest.h>

#include <fstream>

#include "cli/check_command.h"
#include "cli/list_command.h"
#include "cli/recover_command.h"
#include "cli/relink_command.h"
#include "engine/jet/write/journal_writer.h"
#include "engine/jet/write/link_writer.h"
#include "engine/notices.h"
#include "engine/recovery.h"
#include "links/program.h"
#include "suite.h"
#include "platform/file_system.h"
#include "support/test_engine.h"

namespace povezava::cli {
namespace {

using povezava::testing::testNotices;
namespace fs = std::filesystem;
using Bytes = std::vector<std::byte>;
using povezava::testing::readFile;

constexpr std::uint32_t kPageSize = 4096;  // the builder's Jet 4 files

class PendingJournalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::buildBackEnds(data_);
    testing::buildFrontEnd(frontEnd_, u"C:\\OLD\\PARTNER.MDB", u"C:\\OLD\\QUERNO.MDB");
    original_ = readFile(frontEnd_);
    // What the relink would have written, made on a copy.
    const fs::path copy = dir_.path() / "copy.mdb";
    fs::copy_file(frontEnd_, copy);
    const engine::jet::LinkChange change{u"PARTNER", testing::u16(data_ / "PARTNER.MDB"), std::nullopt};
    ASSERT_TRUE(
        engine::jet::writeLink(engine::posixFileSystem(), testNotices(), copy.string(), copy.string(), change).ok());
    const Bytes changed = readFile(copy);
    fs::remove(copy);
    // Killed after its journal and the first changed page.
    std::vector<engine::jet::PageImage> olds;
    std::vector<engine::jet::PageImage> news;
    for (std::uint32_t p = 0; p < changed.size() / kPageSize; ++p) {
      const auto at = static_cast<std::ptrdiff_t>(p * kPageSize);
      if (at >= static_cast<std::ptrdiff_t>(original_.size())) {  // a page the relink adds
        news.push_back({p, Bytes(changed.begin() + at, changed.begin() + at + kPageSize)});
        continue;
      }
      if (std::equal(original_.begin() + at, original_.begin() + at + kPageSize, changed.begin() + at)) continue;
      olds.push_back({p, Bytes(original_.begin() + at, original_.begin() + at + kPageSize)});
      news.push_back({p, Bytes(changed.begin() + at, changed.begin() + at + kPageSize)});
    }
    ASSERT_FALSE(news.empty());
    auto file = engine::posixFileSystem().open(frontEnd_.string(), engine::OpenMode::readWrite);
    ASSERT_TRUE(file.ok());
    ASSERT_TRUE(engine::jet::writeJournal(engine::posixFileSystem(), **file, kPageSize, olds, news).ok());
    ASSERT_TRUE((*file)->writeAt(std::uint64_t{news[0].page} * kPageSize, news[0].bytes).ok());
    interrupted_ = readFile(frontEnd_);
    ASSERT_NE(interrupted_, original_);
    (void)povezava::testing::takeNotices();
  }

  std::string fe() const { return frontEnd_.string(); }
  bool journalThere() const { return fs::exists(engine::jet::journalPath(fs::canonical(frontEnd_).string())); }

  povezava::testing::TempDir dir_;
  fs::path data_ = dir_.path() / "data";
  fs::path frontEnd_ = dir_.path() / "TQ.mdb";
  Bytes original_;
  Bytes interrupted_;
};

// What an engine finds goes to its own program's notices only.
TEST_F(PendingJournalTest, EachProgramHearsOnlyWhatItsOwnEngineFound) {
  links::Program reading(engine::posixFileSystem());
  links::Program other(engine::posixFileSystem());
  ASSERT_TRUE(reading.engine().openDatabase(testing::u16(frontEnd_)).ok());
  const auto heard = reading.notices().takeRecords();
  ASSERT_EQ(heard.size(), 1u);
  EXPECT_EQ(heard[0].what, engine::NoticeCase::relinkPending);
  EXPECT_TRUE(other.notices().takeRecords().empty());
  EXPECT_TRUE(povezava::testing::takeNotices().empty());
  // The other's recovery puts the old pages back and says so to it alone.
  auto recovered = engine::recoverInterruptedRelink(other.setup(), testing::u16(frontEnd_));
  ASSERT_TRUE(recovered.ok()) << recovered.status().toString();
  EXPECT_EQ(*recovered, engine::Recovery::replayed);
  const auto undone = other.notices().takeRecords();
  ASSERT_EQ(undone.size(), 1u);
  EXPECT_EQ(undone[0].what, engine::NoticeCase::relinkUndone);
  EXPECT_TRUE(reading.notices().takeRecords().empty());
  EXPECT_TRUE(povezava::testing::takeNotices().empty());
  EXPECT_EQ(readFile(frontEnd_), original_);
}

TEST_F(PendingJournalTest, ReadingCommandsShowTheOldFileWriteNothingAndSaySo) {
  for (bool accessOpen : {true, false}) {
    SCOPED_TRACE(accessOpen ? "Access has it open" : "nobody has it open");
    if (accessOpen) std::ofstream(dir_.path() / "tq.LDB") << "PC-ANA";
    const auto list = testing::runInProcess(runList, {fe()});
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find("PARTNER\tlinked\t;DATABASE=C:\\OLD\\PARTNER.MDB"), std::string::npos) << list.out;
    EXPECT_NE(list.err.find("interrupted"), std::string::npos) << list.err;

    testing::Captured check;
    (void)runCheck(std::vector<std::string>{fe()}, check.console);
    EXPECT_NE(check.err.str().find("interrupted"), std::string::npos) << check.err.str();

    testing::Captured dry;
    (void)runRelink(testing::withLocalPaths({fe(), "--backend", data_.string(), "--dry-run"}), dry.console);
    EXPECT_EQ(readFile(frontEnd_), interrupted_);
    EXPECT_TRUE(journalThere());

    // A relink under Access's feet is refused before anything is undone.
    testing::Captured relink;
    const int status = runRelink(testing::withLocalPaths({fe(), "--backend", data_.string()}), relink.console);
    if (accessOpen) {
      EXPECT_EQ(status, 1);
      EXPECT_NE((relink.out.str() + relink.err.str()).find("3045"), std::string::npos);
      EXPECT_EQ(readFile(frontEnd_), interrupted_);
      EXPECT_TRUE(journalThere());
      fs::remove(dir_.path() / "tq.LDB");
    } else {
      EXPECT_EQ(status, 0) << relink.err.str();
      EXPECT_FALSE(journalThere());
      EXPECT_EQ(testing::storedConnect(frontEnd_, u"PARTNER"), u";DATABASE=" + testing::u16(data_) + u"\\PARTNER.MDB");
    }
  }
}

TEST_F(PendingJournalTest, RecoverUndoesItOnDiskOnce) {
  testing::Captured first;
  EXPECT_EQ(runRecover(std::vector<std::string>{fe()}, first.console), 0) << first.err.str();
  EXPECT_EQ(first.out.str(), fe() + "\tundone\n");
  EXPECT_EQ(readFile(frontEnd_), original_);
  EXPECT_FALSE(journalThere());
  testing::Captured again;
  EXPECT_EQ(runRecover(std::vector<std::string>{fe()}, again.console), 0);
  EXPECT_EQ(again.out.str(), fe() + "\tnothing to recover\n");
}

// The copy undoes the relink only if it holds a whole front-end: the
// interrupted relink is undone first, and the copy keeps the file's mode.
TEST_F(PendingJournalTest, ABackupIsMadeOfTheFileAsItWasWithItsMode) {
#ifndef _WIN32
  fs::permissions(frontEnd_, fs::perms(0600));
#endif
  testing::Captured io;
  EXPECT_EQ(runRelink(testing::withLocalPaths({fe(), "--backend", data_.string(), "--backup"}), io.console), 0)
      << io.err.str();
  std::vector<fs::path> copies;
  for (const auto& entry : fs::directory_iterator(dir_.path())) {
    if (entry.path().string().ends_with(".bak")) copies.push_back(entry.path());
  }
  ASSERT_EQ(copies.size(), 1U);
  EXPECT_EQ(readFile(copies[0]), original_);
#ifndef _WIN32
  EXPECT_EQ(fs::status(copies[0]).permissions() & fs::perms::all, fs::perms(0600));
#endif
  EXPECT_FALSE(journalThere());
}

TEST_F(PendingJournalTest, RecoverExitsOneWhenItSetAJournalAside) {
  std::ofstream(engine::jet::journalPath(fs::canonical(frontEnd_).string()), std::ios::binary | std::ios::trunc)
      << "not a journal at all";
  testing::Captured io;
  EXPECT_EQ(runRecover(std::vector<std::string>{fe()}, io.console), 1);
  EXPECT_EQ(io.out.str(), fe() + "\tjournal moved aside\n");
  EXPECT_EQ(readFile(frontEnd_), interrupted_);
}

// A symbolic link that leads nowhere under the journal's name: the dry run,
// the relink and recover all see it, and it is moved aside.
TEST_F(PendingJournalTest, ADanglingLinkOnTheJournalsNameIsMovedAsideByRelinkAndRecoverAlike) {
  POVEZAVA_REQUIRE_POSIX("symbolic links");
  const std::string journal = engine::jet::journalPath(fs::canonical(frontEnd_).string());
  testing::Captured undo;
  ASSERT_EQ(runRecover(std::vector<std::string>{fe()}, undo.console), 0);
  fs::create_symlink(dir_.path() / "nowhere", journal);
  testing::Captured dry;
  EXPECT_EQ(runRelink(testing::withLocalPaths({fe(), "--backend", data_.string(), "--dry-run"}), dry.console), 0)
      << dry.out.str() << dry.err.str();
  testing::Captured recover;
  EXPECT_EQ(runRecover(std::vector<std::string>{fe()}, recover.console), 1);
  EXPECT_EQ(recover.out.str(), fe() + "\tjournal moved aside\n");
  fs::create_symlink(dir_.path() / "nowhere", journal);
  testing::Captured relink;
  EXPECT_EQ(runRelink(testing::withLocalPaths({fe(), "--backend", data_.string()}), relink.console), 0)
      << relink.out.str() << relink.err.str();
  EXPECT_EQ(testing::storedConnect(frontEnd_, u"PARTNER"), u";DATABASE=" + testing::u16(data_) + u"\\PARTNER.MDB");
}

TEST(RelinkCommand, AFrontEndIsCheckedForAccessUnderItsRealNameAndRefusedWithTwoNames) {
  POVEZAVA_REQUIRE_POSIX("symbolic links");
  povezava::testing::TempDir dir;
  testing::buildBackEnds(dir.path() / "data");
  const fs::path real = dir.path() / "app" / "TQ.mdb";
  fs::create_directories(real.parent_path());
  testing::buildFrontEnd(real, u"C:\\OLD\\PARTNER.MDB", u"C:\\OLD\\QUERNO.MDB");
  const fs::path link = dir.path() / "Front.mdb";
  fs::create_symlink(real, link);
  const Bytes before = readFile(real);
  auto relink = [&] {
    testing::Captured io;
    const int status = runRelink(testing::withLocalPaths({link.string(), "--backend", (dir.path() / "data").string()}),
                                 io.console);
    return std::make_pair(status, io.out.str() + io.err.str());
  };
  std::ofstream(real.parent_path() / "TQ.ldb") << "PC-ANA";
  auto [status, text] = relink();
  EXPECT_EQ(status, 1);
  EXPECT_NE(text.find("3045"), std::string::npos) << text;
  EXPECT_EQ(readFile(real), before);
  fs::remove(real.parent_path() / "TQ.ldb");

  fs::create_hard_link(real, dir.path() / "app" / "TQ-copy.mdb");
  std::tie(status, text) = relink();
  EXPECT_EQ(status, 1);
  EXPECT_NE(text.find("hard links"), std::string::npos) << text;
  EXPECT_EQ(readFile(real), before);
  fs::remove(dir.path() / "app" / "TQ-copy.mdb");

  std::tie(status, text) = relink();
  EXPECT_EQ(status, 0) << text;
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_FALSE(fs::exists(dir.path() / "Front.mdb.povezava-journal"));
}

TEST(ListCommand, ControlCharactersInNamesCannotForgeLines) {
  povezava::testing::TempDir dir;
  const fs::path file = dir.path() / "evil.mdb";
  testing::build(file, testing::spec(engine::jet::Version::jet4,
                                     {testing::localTable(u"A\nFORGED\tlinked\t;DATABASE=X\r")}));
  const auto run = testing::runInProcess(runList, {file.string()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "A?FORGED?linked?;DATABASE=X?\tlocal\t\n");
}

}  // namespace
}  // namespace povezava::cli
