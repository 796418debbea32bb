// Crash and fault tests of the page commit and its journal: whatever fails,
// and wherever the power goes, the next writer finds the old pages or the new
// ones, never a mix.
#include "engine/jet/write/page_commit.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "base/errors.h"
#include "engine/jet/format/journal_format.h"
#include "engine/jet/write/journal_replay.h"
#include "engine/notices.h"
#include "support/test_engine.h"
#include "support/fault_io.h"
#include "support/test_support.h"
#include "platform/file_system.h"

namespace povezava::engine::jet {
namespace {

using povezava::testing::testNotices;
using testing::FaultFileSystem;

constexpr std::uint32_t kPageSize = 4096;

class PageCommitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    POVEZAVA_REQUIRE_FIXTURES();
    path_ = dir_.copy(povezava::testing::fixturesDir() / "jet4-v2000" / "TQ.mdb").string();
    original_ = povezava::testing::readFile(path_);
    // Two pages get new contents: the change is "all of them or none".
    for (std::uint32_t page : {5U, 9U}) {
      PageWrite w{page, std::vector<std::byte>(kPageSize, static_cast<std::byte>(page))};
      writes_.push_back(w);
    }
    changed_ = original_;
    for (const auto& w : writes_) {
      std::copy(w.bytes.begin(), w.bytes.end(),
                changed_.begin() + static_cast<std::ptrdiff_t>(w.page * kPageSize));
    }
  }

  Status commitThrough(FileSystem& fs) {
    auto file = fs.open(path_, OpenMode::readWrite);
    if (!file.ok()) return file.status();
    auto jet = JetFile::open(std::move(file).value(), path_);
    if (!jet.ok()) return jet.status();
    return commitPages(fs, testNotices(), **jet, writes_);
  }

  // What a later writer sees after recovering.
  std::vector<std::byte> recovered() {
    FaultFileSystem next(posixFileSystem());  // no faults; no real disk syncs
    auto file = next.open(path_, OpenMode::readWrite);
    EXPECT_TRUE(file.ok());
    auto outcome = recoverJournal(next, testNotices(), **file);
    EXPECT_TRUE(outcome.ok()) << outcome.status().toString();
    EXPECT_FALSE(std::filesystem::exists(journalPath(path_)));
    return povezava::testing::readFile(path_);
  }

  void expectOldOrNew(const std::string& situation) {
    const auto now = recovered();
    EXPECT_TRUE(now == original_ || now == changed_) << situation;
  }

  povezava::testing::TempDir dir_;
  std::string path_;
  std::vector<std::byte> original_;
  std::vector<std::byte> changed_;
  std::vector<PageWrite> writes_;
};

TEST_F(PageCommitTest, SuccessLeavesTheNewPagesAndNoJournal) {
  const auto inode = std::filesystem::status(path_);
  ASSERT_TRUE(commitThrough(posixFileSystem()).ok());
  EXPECT_EQ(povezava::testing::readFile(path_), changed_);
  EXPECT_FALSE(std::filesystem::exists(journalPath(path_)));
  EXPECT_EQ(std::filesystem::status(path_).permissions(), inode.permissions());
}

TEST_F(PageCommitTest, EachFailingWriteOrSyncLeavesTheOldPages) {
  FaultFileSystem probe(posixFileSystem());
  ASSERT_TRUE(commitThrough(probe).ok());
  const int writes = probe.writes();
  const int syncs = probe.syncs();
  ASSERT_GE(writes, 3);  // journal, two pages
  povezava::testing::restoreFile(path_, original_);
  for (int n = 1; n <= writes + syncs; ++n) {
    FaultFileSystem fs(posixFileSystem());
    if (n <= writes) fs.failWrite(n); else fs.failSync(n - writes);
    const Status s = commitThrough(fs);
    EXPECT_FALSE(s.ok()) << "fault " << n;
    EXPECT_EQ(s.number(), kErrDiskOrNetwork) << "fault " << n;
    // The failed commit rolled itself back.
    EXPECT_EQ(povezava::testing::readFile(path_), original_) << "fault " << n;
    EXPECT_FALSE(std::filesystem::exists(journalPath(path_))) << "fault " << n;
  }
}

TEST_F(PageCommitTest, PowerLossAtEveryStepRecoversToOldOrNew) {
  FaultFileSystem probe(posixFileSystem());
  ASSERT_TRUE(commitThrough(probe).ok());
  const int changes = probe.changes();
  bool sawNew = false;
  bool sawOld = false;
  for (int n = 0; n <= changes; ++n) {
    povezava::testing::restoreFile(path_, original_);
    FaultFileSystem fs(posixFileSystem());
    fs.crashAfter(n);
    (void)commitThrough(fs);
    fs.powerCycle();
    const auto now = recovered();
    sawNew = sawNew || now == changed_;
    sawOld = sawOld || now == original_;
    EXPECT_TRUE(now == original_ || now == changed_) << "power lost after " << n << " changes";
  }
  EXPECT_TRUE(sawNew);
  EXPECT_TRUE(sawOld);
}

TEST_F(PageCommitTest, TornPageWritesAreUndoneByTheJournal) {
  FaultFileSystem probe(posixFileSystem());
  ASSERT_TRUE(commitThrough(probe).ok());
  for (int n = 1; n <= probe.writes(); ++n) {
    povezava::testing::restoreFile(path_, original_);
    FaultFileSystem fs(posixFileSystem());
    fs.tearWrite(n);
    EXPECT_FALSE(commitThrough(fs).ok());
    fs.powerCycle();
    expectOldOrNew("write " + std::to_string(n) + " torn");
  }
}

TEST_F(PageCommitTest, AFullDiskRefusesBeforeTheDatabaseChanges) {
  FaultFileSystem fs(posixFileSystem());
  fs.diskFullAfter(100);  // the journal cannot be written
  const Status s = commitThrough(fs);
  EXPECT_EQ(s.number(), kErrNotEnoughSpace);
  EXPECT_EQ(povezava::testing::readFile(path_), original_);
  EXPECT_FALSE(std::filesystem::exists(journalPath(path_)));
}

TEST_F(PageCommitTest, AReadOnlyFolderRefusesBeforeTheDatabaseChanges) {
  FaultFileSystem fs(posixFileSystem());
  fs.readOnlyFolders();
  EXPECT_EQ(commitThrough(fs).number(), kErrNoPermission);
  EXPECT_EQ(povezava::testing::readFile(path_), original_);
}

// The new pages are on disk but the journal cannot be removed: success cannot
// be reported (the next open would roll back), so the commit puts the old
// pages back itself; the journal that stays undoes nothing new.
// The commit point is the journal's commit mark, synced: before it a failure
// is rolled back while the journal is on disk; after it the change is done,
// and a journal that stays, or comes back after a power loss, never undoes it.
TEST_F(PageCommitTest, TheCommitMarkDecidesWhatAFailureOrAPowerLossLeaves) {
  // Changing calls: journal created 1, written 2, synced 3, folder 4; pages
  // 5, 6; file synced 7; mark written 8, synced 9; journal removed 10,
  // folder 11. Writes: journal 1, pages 2 3, mark 4. Syncs: journal 1,
  // file 2, mark 3. Folder syncs: 1 after the journal, 2 after its removal.
  struct Case {
    const char* what;
    std::function<void(FaultFileSystem&)> plan;
    bool reported;      // commitPages() succeeds
    bool powerLoss;     // the power goes after the commit
    bool changed;       // what the next writer finds
  } cases[] = {
      {"the journal cannot be removed", [](FaultFileSystem& f) { f.failRemoves(); }, true, false, true},
      {"the folder sync after the removal fails, then the power goes",
       [](FaultFileSystem& f) { f.failFolderSync(2); }, true, true, true},
      {"the power goes as the journal is removed", [](FaultFileSystem& f) { f.crashAfter(9); }, true, true, true},
      {"the file's sync fails, and the power goes during the rollback",
       [](FaultFileSystem& f) { f.failSync(2); f.crashAfter(7); }, false, true, false},
      {"the file's sync fails, and so does the rollback's first write",
       [](FaultFileSystem& f) { f.failSync(2); f.failWrite(4); }, false, false, false},
      {"the commit mark cannot be written", [](FaultFileSystem& f) { f.failWrite(4); }, false, false, false},
      {"the commit mark cannot be synced", [](FaultFileSystem& f) { f.failSync(3); }, false, false, false},
      {"the commit mark is torn", [](FaultFileSystem& f) { f.tearWrite(4); }, false, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    povezava::testing::restoreFile(path_, original_);
    std::filesystem::remove(journalPath(path_));
    (void)povezava::testing::takeNotices();
    FaultFileSystem fs(posixFileSystem());
    c.plan(fs);
    const Status s = commitThrough(fs);
    EXPECT_EQ(s.ok(), c.reported) << s.toString();
    if (s.ok()) {
      const auto notices = povezava::testing::takeNotices();
      ASSERT_FALSE(notices.empty());
      EXPECT_NE(notices.back().find("is relinked"), std::string::npos) << notices.back();
    }
    if (c.powerLoss) fs.powerCycle();
    EXPECT_EQ(recovered(), c.changed ? changed_ : original_);
  }
}

// The pages a change read are checked a run of adjacent pages at a time: a
// change to any page of a run, first, inside or last, or to a page on its
// own, is found, and so is a page that no longer lies within the file.
TEST_F(PageCommitTest, EveryPageReadIsCheckedWhereverItLiesInARun) {
  auto file = posixFileSystem().open(path_, OpenMode::readOnly);
  ASSERT_TRUE(file.ok());
  PageSums read;
  for (std::uint32_t page : {3U, 4U, 5U, 6U, 9U}) {
    read.emplace(page, journalChecksum(std::span(original_).subspan(page * kPageSize, kPageSize)));
  }
  std::map<std::uint32_t, std::vector<std::byte>> pages;
  ASSERT_TRUE(checkPagesUnchanged(**file, kPageSize, original_.size(), read, &pages).ok());
  ASSERT_EQ(pages.size(), read.size());
  for (const auto& [page, bytes] : pages) {
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), original_.begin() + page * kPageSize)) << "page " << page;
  }
  for (const std::uint32_t changed : {3U, 5U, 6U, 9U}) {
    SCOPED_TRACE("page " + std::to_string(changed));
    PageSums other = read;
    other[changed] ^= 1;  // as if the page held something else when read
    EXPECT_EQ(checkPagesUnchanged(**file, kPageSize, original_.size(), other).number(), kErrFileInUse);
  }
  EXPECT_EQ(checkPagesUnchanged(**file, kPageSize, 9 * kPageSize, read).number(), kErrFileInUse);
}

}  // namespace
}  // namespace povezava::engine::jet
