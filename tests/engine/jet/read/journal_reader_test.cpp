// The journal is applied only to the state it was made for: whatever else
// lies beside a database under its name (another file's journal, one from
// before another program wrote the file, one planted or damaged) leaves the
// database byte for byte as it is. Reading never writes.
#include "engine/jet/read/journal_reader.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <functional>

#include "base/errors.h"
#include "engine/jet/format/page_view.h"
#include "engine/jet/jet_database.h"
#include "engine/jet/write/journal_writer.h"
#include "engine/jet/write/link_writer.h"
#include "engine/jet/write/page_commit.h"
#include "engine/notices.h"
#include "base/unicode.h"
#include "support/fault_io.h"
#include "support/test_support.h"
#include "platform/file_system.h"
#include "support/test_engine.h"

namespace povezava::engine::jet {
namespace {

using povezava::testing::testNotices;
namespace fs = std::filesystem;
using Bytes = std::vector<std::byte>;
using povezava::testing::FaultFileSystem;
using povezava::testing::readFile;
using povezava::testing::writeFile;

constexpr std::uint32_t kPageSize = 4096;

// Journal header fields (the layout journal_format.h documents).
constexpr std::size_t kVersionAt = 16;
constexpr std::size_t kOldSizeAt = 24;
constexpr std::size_t kNewSizeAt = 32;
constexpr std::size_t kContextCountAt = 60;
constexpr std::size_t kContextAt = 80;
constexpr std::size_t kFirstPageAt = 80;  // with no context pages

// Flips one bit of the journal, leaving its checksums as they are: damage.
void flipJournalBit(const std::string& journal, std::size_t at) {
  Bytes bytes = readFile(journal);
  bytes.at(at) ^= std::byte{0x10};
  writeFile(journal, bytes);
}

// Overwrites one byte of the database in place.
void scribble(const std::string& path, std::size_t at) {
  Bytes now = readFile(path);
  now.at(at) ^= std::byte{0x5A};
  povezava::testing::restoreFile(path, now);
}

void putU64(Bytes& bytes, std::size_t at, std::uint64_t value) {
  for (std::size_t i = 0; i < 8; ++i) bytes[at + i] = static_cast<std::byte>(value >> (8 * i));
}

// A journal with one field changed and its checksum made right again: what
// someone crafting one would write.
void patchJournal(const std::string& journal, std::size_t at, std::uint64_t value, std::size_t width) {
  Bytes bytes = readFile(journal);
  for (std::size_t i = 0; i < width; ++i) bytes[at + i] = static_cast<std::byte>(value >> (8 * i));
  putU64(bytes, bytes.size() - 8, journalChecksum(std::span(bytes).first(bytes.size() - 8)));
  writeFile(journal, bytes);
}

std::size_t staleJournals(const fs::path& folder) {
  std::size_t n = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    n += entry.path().filename().string().find(".povezava-journal.stale-") != std::string::npos;
  }
  return n;
}

class JournalTrustTest : public ::testing::Test {
 public:
  void SetUp() override {
    POVEZAVA_REQUIRE_FIXTURES();
    path_ = dir_.copy(povezava::testing::fixturesDir() / "jet4-v2000" / "TQ.mdb").string();
    journal_ = journalPath(path_);
    original_ = readFile(path_);
    // Two pages change and one is added: the change is "all of it or none".
    const auto pages = static_cast<std::uint32_t>(original_.size() / kPageSize);
    for (std::uint32_t page : {5U, 9U, pages}) {
      writes_.push_back({page, Bytes(kPageSize, static_cast<std::byte>(page & 0xFF))});
    }
    changed_ = original_;
    changed_.resize(original_.size() + kPageSize);
    for (const auto& w : writes_) {
      std::copy(w.bytes.begin(), w.bytes.end(), changed_.begin() + static_cast<std::ptrdiff_t>(w.page * kPageSize));
    }
    (void)povezava::testing::takeNotices();
  }

  // A commit stopped by a power loss after `changes` changing calls (4: the
  // journal is durable, no page written yet), torn at write `tear` if not 0.
  void crash(int changes, int tear = 0) {
    FaultFileSystem faulty(posixFileSystem());
    if (tear > 0) faulty.tearWrite(tear); else faulty.crashAfter(changes);
    auto file = faulty.open(path_, OpenMode::readWrite);
    ASSERT_TRUE(file.ok());
    auto jet = JetFile::open(std::move(*file), path_);
    ASSERT_TRUE(jet.ok());
    EXPECT_FALSE(commitPages(faulty, testNotices(), **jet, writes_).ok());
    faulty.powerCycle();
  }

  // Opens the database for reading as every command does; checks that this
  // writes nothing and returns PARTNER's link as shown.
  std::u16string readWithoutWriting() {
    const Bytes before = readFile(path_);
    const bool journal = fs::exists(journal_);
    JetEngine engine(povezava::testing::testSetup());
    auto db = engine.openDatabase(fromUtf8(path_));
    EXPECT_TRUE(db.ok()) << db.status().toString();
    std::u16string link;
    if (db.ok()) {
      auto table = (*(*db)->tableDefs())->item(u"PARTNER");
      if (table.ok()) link = *(*table)->connect();
    }
    EXPECT_EQ(readFile(path_), before) << "reading wrote into the database";
    EXPECT_EQ(fs::exists(journal_), journal) << "reading touched the journal";
    return link;
  }

  povezava::testing::TempDir dir_;
  std::string path_;
  std::string journal_;
  Bytes original_;
  Bytes changed_;
  std::vector<PageWrite> writes_;
};

TEST_F(JournalTrustTest, AnInterruptedCommitIsShownOldToReadersAndUndoneByTheNextWriter) {
  std::u16string oldLink;
  {
    JetEngine engine(povezava::testing::testSetup());
    oldLink = *(*(*(*engine.openDatabase(fromUtf8(path_)))->tableDefs())->item(u"PARTNER"))->connect();
  }
  // After the journal alone, after each page write, torn in each page write,
  // after the database's sync.
  struct Crash {
    int changes;
    int tear;
  } crashes[] = {{4, 0}, {5, 0}, {6, 0}, {7, 0}, {8, 0}, {0, 2}, {0, 3}, {0, 4}};
  for (const Crash& c : crashes) {
    SCOPED_TRACE("crash after " + std::to_string(c.changes) + ", torn write " + std::to_string(c.tear));
    povezava::testing::restoreFile(path_, original_);
    (void)povezava::testing::takeNotices();
    crash(c.changes, c.tear);
    ASSERT_TRUE(fs::exists(journal_));
    EXPECT_EQ(readWithoutWriting(), oldLink);
    const auto notices = povezava::testing::takeNotices();
    ASSERT_EQ(notices.size(), 1U);
    EXPECT_NE(notices[0].find("interrupted"), std::string::npos) << notices[0];

    auto recovered = recoverInterruptedRelink(posixFileSystem(), testNotices(), path_);
    ASSERT_TRUE(recovered.ok()) << recovered.status().toString();
    EXPECT_EQ(*recovered, Recovery::replayed);
    EXPECT_EQ(readFile(path_), original_);
    EXPECT_FALSE(fs::exists(journal_));
    EXPECT_EQ(staleJournals(dir_.path()), 0U);
  }
}

// What may happen between a crash and the next run, and what the journal
// must then do to the database: nothing.
TEST_F(JournalTrustTest, AJournalThatDoesNotFitTheFileIsSetAsideAndTheFileLeftAlone) {
  struct Case {
    const char* what;
    int changes;  // where the relink was killed (0: no relink, only what `meanwhile` does)
    std::function<void(JournalTrustTest&)> meanwhile;
  } cases[] = {
      {"another program grew the file before any page was written", 4,
       [](JournalTrustTest& t) {
         Bytes grown = readFile(t.path_);
         grown.insert(grown.end(), 2 * kPageSize, std::byte{0x01});
         povezava::testing::restoreFile(t.path_, grown);
       }},
      {"another program grew the file after the pages were written", 8,
       [](JournalTrustTest& t) {
         Bytes grown = readFile(t.path_);
         grown.insert(grown.end(), kPageSize, std::byte{0x02});
         povezava::testing::restoreFile(t.path_, grown);
       }},
      {"another program rewrote a page the relink had not reached", 4,
       [](JournalTrustTest& t) {
         Bytes now = readFile(t.path_);
         now[9 * kPageSize + 3000] ^= std::byte{0x5A};
         povezava::testing::restoreFile(t.path_, now);
       }},
      {"another program wrote a page the relink had written", 8,
       [](JournalTrustTest& t) { scribble(t.path_, 5 * kPageSize + 100); }},
      // Every 512-byte sector of a page is checked, the first and last byte too.
      {"another program wrote the first byte of a written page", 8,
       [](JournalTrustTest& t) { scribble(t.path_, 5 * kPageSize); }},
      {"another program wrote a middle sector of a written page", 8,
       [](JournalTrustTest& t) { scribble(t.path_, 5 * kPageSize + 2048 + 7); }},
      {"another program wrote the last sector of a written page", 8,
       [](JournalTrustTest& t) { scribble(t.path_, 9 * kPageSize + kPageSize - 512); }},
      {"another program wrote the last byte of a written page", 8,
       [](JournalTrustTest& t) { scribble(t.path_, 9 * kPageSize + kPageSize - 1); }},
      {"another program wrote the last byte of a page half written", 6,
       [](JournalTrustTest& t) { scribble(t.path_, 9 * kPageSize + kPageSize - 1); }},
      {"a bit of the journal's old image flipped after a page was written", 6,
       [](JournalTrustTest& t) { flipJournalBit(t.journal_, kFirstPageAt + 8 + 8 * 8 + 1000); }},
      {"a bit of the journal's header flipped", 6, [](JournalTrustTest& t) { flipJournalBit(t.journal_, 50); }},
#ifndef _WIN32
      {"the journal's name is a symbolic link that leads nowhere", 0,
       [](JournalTrustTest& t) { fs::create_symlink(t.path_ + ".nowhere", t.journal_); }},
#endif
      {"a new version of the front-end was copied over it", 4,
       [](JournalTrustTest& t) {
         Bytes other = t.original_;
         other[9 * kPageSize + 200] ^= std::byte{0x33};
         povezava::testing::restoreFile(t.path_, other);
       }},
      {"the front-end was replaced by another file of the same bytes", 4,
       [](JournalTrustTest& t) {
         const std::string fresh = t.path_ + ".new";
         writeFile(fresh, readFile(t.path_));
         fs::rename(fresh, t.path_);
       }},
      {"the journal is not a journal", 0,
       [](JournalTrustTest& t) { writeFile(t.journal_, Bytes(5000, std::byte{0x07})); }},
      {"the journal names another page size", 0,
       [](JournalTrustTest& t) {
         auto file = posixFileSystem().open(t.path_, OpenMode::readOnly);
         const PageImage old{3, Bytes(t.original_.begin() + 3 * 2048, t.original_.begin() + 4 * 2048)};
         const PageImage next{3, Bytes(2048, std::byte{0x44})};
         auto journal = encodeJournal(**file, 2048, std::span(&old, 1), std::span(&next, 1));
         ASSERT_TRUE(journal.ok());
         writeFile(t.journal_, *journal);
       }},
      {"the journal names page 0", 4, [](JournalTrustTest& t) { patchJournal(t.journal_, kFirstPageAt, 0, 4); }},
      {"the journal names a page far past the end", 4,
       [](JournalTrustTest& t) { patchJournal(t.journal_, kFirstPageAt, 0xFFFFFF, 4); }},
      {"the journal says the file was empty", 4, [](JournalTrustTest& t) { patchJournal(t.journal_, kOldSizeAt, 0, 8); }},
      {"the journal says the file grows to terabytes", 4,
       [](JournalTrustTest& t) { patchJournal(t.journal_, kNewSizeAt, std::uint64_t{1} << 42, 8); }},
      {"the journal is of an older format", 4, [](JournalTrustTest& t) { patchJournal(t.journal_, kVersionAt, 1, 4); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    povezava::testing::restoreFile(path_, original_);
    fs::remove(journal_);
    for (const auto& entry : fs::directory_iterator(dir_.path())) {
      if (entry.path().string().find(".stale-") != std::string::npos) fs::remove(entry.path());
    }
    if (c.changes > 0) crash(c.changes);
    c.meanwhile(*this);
    const Bytes state = readFile(path_);

    (void)readWithoutWriting();
    const auto notices = povezava::testing::takeNotices();
    ASSERT_FALSE(notices.empty());
    EXPECT_NE(notices.back().find("does not belong"), std::string::npos) << notices.back();

    auto recovered = recoverInterruptedRelink(posixFileSystem(), testNotices(), path_);
    ASSERT_TRUE(recovered.ok()) << recovered.status().toString();
    EXPECT_EQ(*recovered, Recovery::setAside);
    EXPECT_EQ(readFile(path_), state) << "the database was written";
    EXPECT_FALSE(fs::exists(journal_));
    EXPECT_EQ(staleJournals(dir_.path()), 1U) << "the journal is kept for a person to look at";
    const auto moved = povezava::testing::takeNotices();
    ASSERT_FALSE(moved.empty());
    EXPECT_NE(moved.back().find(".stale-"), std::string::npos);
    // And the next relink goes ahead on the file as it is.
    EXPECT_TRUE(
        writeLink(posixFileSystem(), testNotices(), path_, path_, LinkChange{u"LOCAL1", u"X", std::nullopt}).number() !=
        kErrFileInUse);
  }
}

TEST_F(JournalTrustTest, AJournalCutShortIsRemovedAndTheFileLeftAlone) {
  for (std::size_t keep : {std::size_t{0}, std::size_t{10}, std::size_t{100}, std::size_t{kPageSize}}) {
    SCOPED_TRACE(std::to_string(keep) + " bytes of the journal");
    povezava::testing::restoreFile(path_, original_);
    crash(4);
    Bytes journal = readFile(journal_);
    journal.resize(keep);
    writeFile(journal_, journal);
    EXPECT_EQ(readWithoutWriting(), readWithoutWriting());
    auto recovered = recoverInterruptedRelink(posixFileSystem(), testNotices(), path_);
    ASSERT_TRUE(recovered.ok());
    EXPECT_EQ(*recovered, Recovery::discarded);
    EXPECT_EQ(readFile(path_), original_);
    EXPECT_FALSE(fs::exists(journal_));
  }
}

// Damaged before a page of the database was written: the database holds
// every old page the journal names, and the journal goes.
TEST_F(JournalTrustTest, ADamagedJournalOverAnUntouchedFileIsRemoved) {
  crash(4);
  // In a checksum of the new image: the old images still match the file.
  flipJournalBit(journal_, kFirstPageAt + 8 + 5);
  auto recovered = recoverInterruptedRelink(posixFileSystem(), testNotices(), path_);
  ASSERT_TRUE(recovered.ok()) << recovered.status().toString();
  EXPECT_EQ(*recovered, Recovery::discarded);
  EXPECT_EQ(readFile(path_), original_);
  EXPECT_FALSE(fs::exists(journal_));
  EXPECT_EQ(staleJournals(dir_.path()), 0U);
}

// A new version copied over the front-end (same inode) after the relink's
// pages were written: the pages the relink wrote hold their new bytes, but a
// page it only read differs. The journal is not this file's any more.
TEST_F(JournalTrustTest, ANewVersionCopiedOverThePendingFileIsLeftAsItIs) {
  // A real relink, so that the journal knows the pages it read; the power
  // goes once its pages are synced, before the commit mark.
  FaultFileSystem probe(posixFileSystem());
  ASSERT_TRUE(writeLink(probe, testNotices(), path_, path_, LinkChange{u"PARTNER", u"X:\\NEW.MDB", std::nullopt}).ok());
  const int changes = probe.changes();
  povezava::testing::restoreFile(path_, original_);
  FaultFileSystem faulty(posixFileSystem());
  faulty.crashAfter(changes - 4);  // the commit mark (write, sync) and the removal (remove, folder) never come
  EXPECT_FALSE(
      writeLink(faulty, testNotices(), path_, path_, LinkChange{u"PARTNER", u"X:\\NEW.MDB", std::nullopt}).ok());
  faulty.powerCycle();
  ASSERT_TRUE(fs::exists(journal_));
  const Bytes journal = readFile(journal_);
  const PageView view(journal);
  ASSERT_GT(view.u32(kContextCountAt).value_or(0), 0U) << "the journal names no page the relink read";
  const std::uint32_t readOnly = view.u32(kContextAt).value_or(0);

  // The other version: the relinked pages, and its own change in a page the
  // relink only read.
  scribble(path_, std::size_t{readOnly} * kPageSize + 123);
  const Bytes copied = readFile(path_);
  auto recovered = recoverInterruptedRelink(posixFileSystem(), testNotices(), path_);
  ASSERT_TRUE(recovered.ok()) << recovered.status().toString();
  EXPECT_EQ(*recovered, Recovery::setAside);
  EXPECT_EQ(readFile(path_), copied) << "the copied version was written";

  // Without the other version's change the same journal is replayed.
  const Bytes newOnly = [&] {
    Bytes b = copied;
    b[std::size_t{readOnly} * kPageSize + 123] ^= std::byte{0x5A};
    return b;
  }();
  povezava::testing::restoreFile(path_, newOnly);
  writeFile(journal_, journal);
  recovered = recoverInterruptedRelink(posixFileSystem(), testNotices(), path_);
  ASSERT_TRUE(recovered.ok());
  EXPECT_EQ(*recovered, Recovery::replayed);
  EXPECT_EQ(readFile(path_), original_);
}

// While the writer that made the journal still holds the write lock, the
// relink is going on: readers say so, and recovery waits for it.
TEST_F(JournalTrustTest, AJournalWhoseWriterStillHoldsTheLockIsInProgress) {
  crash(6);
  auto writer = posixFileSystem().open(path_, OpenMode::readWrite);
  ASSERT_TRUE(writer.ok());
  ASSERT_TRUE((*writer)->tryLock(kWriteLockOffset).ok());
  (void)povezava::testing::takeNotices();
  (void)readWithoutWriting();
  auto notices = povezava::testing::takeNotices();
  ASSERT_EQ(notices.size(), 1U);
  EXPECT_NE(notices[0].find("in progress"), std::string::npos) << notices[0];
  EXPECT_EQ(recoverInterruptedRelink(posixFileSystem(), testNotices(), path_).status().number(), kErrFileInUse);
  writer->reset();
  (void)readWithoutWriting();
  notices = povezava::testing::takeNotices();
  ASSERT_EQ(notices.size(), 1U);
  EXPECT_NE(notices[0].find("interrupted"), std::string::npos) << notices[0];
}

TEST_F(JournalTrustTest, AJournalIsNeverReplayedWhileAccessHasTheFileOpen) {
  crash(6);
  const Bytes state = readFile(path_);
  writeFile((dir_.path() / "TQ.LDB").string(), Bytes(64, std::byte{'A'}));
  auto recovered = recoverInterruptedRelink(posixFileSystem(), testNotices(), path_);
  EXPECT_EQ(recovered.status().number(), kErrFileInUse);
  EXPECT_EQ(
      writeLink(posixFileSystem(), testNotices(), path_, path_, LinkChange{u"PARTNER", u"X", std::nullopt}).number(),
      kErrFileInUse);
  EXPECT_EQ(readFile(path_), state);
  EXPECT_TRUE(fs::exists(journal_));
}

#ifndef _WIN32  // owners and FIFOs are POSIX's
TEST_F(JournalTrustTest, AJournalPlantedByAnotherUserIsNotReplayed) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give the journal another owner";
  crash(6);
  const Bytes state = readFile(path_);
  ASSERT_EQ(::chmod(path_.c_str(), 0644), 0);
  ASSERT_EQ(::chown(journal_.c_str(), 54321, 54321), 0);
  auto recovered = recoverInterruptedRelink(posixFileSystem(), testNotices(), path_);
  ASSERT_TRUE(recovered.ok());
  EXPECT_EQ(*recovered, Recovery::setAside);
  EXPECT_EQ(readFile(path_), state);
}

#endif

TEST_F(JournalTrustTest, TheJournalHasTheFrontEndsPermissions) {
  POVEZAVA_REQUIRE_POSIX("file modes");
  for (fs::perms mode : {fs::perms(0600), fs::perms(0640), fs::perms(0664)}) {
    povezava::testing::restoreFile(path_, original_);
    fs::permissions(path_, mode);
    crash(4);
    ASSERT_TRUE(fs::exists(journal_));
    EXPECT_EQ(fs::status(journal_).permissions(), mode);
    fs::remove(journal_);
  }
}

#ifndef _WIN32  // owners and FIFOs are POSIX's
TEST_F(JournalTrustTest, NothingButARegularFileIsReadOrWritten) {
  // A FIFO where the front-end is expected: an error at once, never a wait.
  const std::string pipe = (dir_.path() / "PIPE.mdb").string();
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  JetEngine engine(povezava::testing::testSetup());
  auto db = engine.openDatabase(fromUtf8(pipe));
  EXPECT_EQ(db.status().number(), kErrNotValidPath);
  EXPECT_NE(db.status().description().find("FIFO"), std::string::npos) << db.status().description();
  EXPECT_EQ(
      writeLink(posixFileSystem(), testNotices(), pipe, pipe, LinkChange{u"PARTNER", u"X", std::nullopt}).number(),
      kErrNotValidPath);

  // A FIFO where the journal is expected: not a journal; reading ignores it,
  // the next writer moves it aside.
  ASSERT_EQ(::mkfifo(journal_.c_str(), 0600), 0);
  (void)readWithoutWriting();
  auto recovered = recoverInterruptedRelink(posixFileSystem(), testNotices(), path_);
  ASSERT_TRUE(recovered.ok()) << recovered.status().toString();
  EXPECT_EQ(*recovered, Recovery::setAside);
  EXPECT_EQ(readFile(path_), original_);
}

#endif

TEST_F(JournalTrustTest, AFrontEndIsWrittenUnderItsRealName) {
  POVEZAVA_REQUIRE_POSIX("symbolic links");
  const std::string link = (dir_.path() / "Link.mdb").string();
  fs::create_symlink(path_, link);
  // Access has the real file open: the symbolic link does not hide that.
  writeFile((dir_.path() / "TQ.ldb").string(), Bytes(64, std::byte{'A'}));
  const LinkChange change{u"PARTNER", u"X:\\N.MDB", std::nullopt};
  auto real = posixFileSystem().realPath(link);
  ASSERT_TRUE(real.ok());
  EXPECT_EQ(fs::path(*real), fs::canonical(path_));
  EXPECT_EQ(writeLink(posixFileSystem(), testNotices(), *real, link, change).number(), kErrFileInUse);
  fs::remove(dir_.path() / "TQ.ldb");
  // Access opened it through the link: its lock file lies beside the link.
  writeFile((dir_.path() / "Link.ldb").string(), Bytes(64, std::byte{'A'}));
  EXPECT_EQ(writeLink(posixFileSystem(), testNotices(), *real, link, change).number(), kErrFileInUse);
  fs::remove(dir_.path() / "Link.ldb");
  EXPECT_EQ(readFile(path_), original_);

  // A link of the same stem in another folder has a lock file of its own;
  // a name through a linked folder shares the real file's.
  fs::create_directory(dir_.path() / "other");
  const std::string sameStem = (dir_.path() / "other" / fs::path(path_).filename()).string();
  fs::create_symlink(path_, sameStem);
  writeFile((dir_.path() / "other" / "TQ.ldb").string(), Bytes(64, std::byte{'A'}));
  EXPECT_EQ(writeLink(posixFileSystem(), testNotices(), *real, sameStem, change).number(), kErrFileInUse);
  fs::remove(dir_.path() / "other" / "TQ.ldb");
  fs::create_directory_symlink(dir_.path(), dir_.path() / "alias");
  const std::string throughFolder = (dir_.path() / "alias" / fs::path(path_).filename()).string();
  writeFile((dir_.path() / "TQ.ldb").string(), Bytes(64, std::byte{'A'}));
  EXPECT_EQ(writeLink(posixFileSystem(), testNotices(), *real, throughFolder, change).number(), kErrFileInUse);
  fs::remove(dir_.path() / "TQ.ldb");
  EXPECT_EQ(readFile(path_), original_);

  // A file with two names may have a lock file beside the other: refused.
  const std::string second = (dir_.path() / "Second.mdb").string();
  fs::create_hard_link(path_, second);
  const Status s = writeLink(posixFileSystem(), testNotices(), *real, link, change);
  EXPECT_EQ(s.number(), kErrNoPermission);
  EXPECT_NE(s.description().find("hard links"), std::string::npos) << s.description();
  EXPECT_EQ(readFile(path_), original_);
  EXPECT_FALSE(fs::exists(journal_));
}

}  // namespace
}  // namespace povezava::engine::jet
