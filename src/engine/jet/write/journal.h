// The rollback journal: old page images kept beside a database while its
// pages are rewritten in place.
//
// "<database>.povezava-journal" beside the database's real file (symbolic
// links resolved), written whole and synced (file and folder) before the
// first page of the database changes, removed (and the folder synced) once
// every new page is synced. It has the database's permissions (and owner,
// when povezava runs as root): it holds the database's old pages.
//
// A journal is applied only to the state it was made for. It records the
// database's identity (device, inode), its size before and after the change,
// checksums of the pages the change read but does not write, and for every
// page the change writes the old image and a checksum of each 512-byte sector
// of the new image. Recovery replays it only when the file is the same inode,
// its size lies between the old and the new size (an append cut short lies
// between), every page the change only read is as it was (a new version
// copied over the file, same inode, differs there), and every sector of every
// covered page holds its old or its new bytes (a torn page write leaves a mix
// of both, sector by sector). Then the old images go back, the pages the
// change added are cut off, and the journal is removed. Anything else
// (another file copied over it, a program that wrote the file since, a
// journal planted or left by an older povezava) is not this journal's to
// repair: the database is left alone and the journal moved aside to
// "<journal>.stale-YYYYMMDD-HHMMSS" for a person to look at.
//
// The commit point: once the new pages are synced the journal is marked
// committed in place and synced, and only then removed. A committed journal
// whose every page holds its new bytes is the trace of a change reported
// done (its removal did not last through a power loss): it is removed and
// the database left as it is. A committed journal over pages that are not
// all new was being rolled back when its writer stopped: it is replayed.
//
// A journal shorter than its header says was cut off while it was written,
// before the database was touched (it is synced before the first page is
// written): it is removed. One of its full length whose checksum fails was
// damaged later, perhaps after the database was written: it is removed only
// when the database still holds every old page it names, else moved aside.
//
// Readers never replay: they see a database with a valid journal as the
// journal would leave it (old pages over the new, the old size), and say so;
// while the writer that made it still holds the database's write lock, the
// change is said to be in progress, not interrupted.
//
// Format 3 (written; format 2, the same without the context pages, the
// header checksum and the state, header 64 bytes, is still read):
//
//   OFFSET      SIZE       MEANING
//   0           16         "povezava-journal" (magic)
//   16          4          format version (3)
//   20          4          page size
//   24          8          size of the database before the change
//   32          8          size of the database after the change
//   40          8          device of the database
//   48          8          inode of the database
//   56          4          number of pages k
//   60          4          number of context pages c
//   64          8          checksum of bytes 0..63
//   72          8          state: 0 pending, "COMMITD\0" committed
//   80          c entries  page number (4), zero (4), checksum of the page as
//                          the change read it (8)
//   ...         k entries  page number (4), 1 when the change adds the page
//                          else 0 (4), a checksum per 512-byte sector of the
//                          new image (page size / 512 x 8), the old image
//                          (page size; zeros for an added page)
//   end - 8     8          checksum of everything before it, the state
//                          counted as zero
//
// Checksums are 64-bit FNV-1a. Page images are stored as the disk holds them
// (still encoded in an encoded Jet 3/4 file).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/io.h"
#include "engine/recovery.h"
#include "base/status.h"

namespace povezava::engine::jet {

// The byte locked by writers (1 TiB + "POV"): past the largest Jet file and
// Jet's 0x10000000.. user and page locks, so no reader is ever blocked.
inline constexpr std::uint64_t kWriteLockOffset = 0x100'0050'4F56ULL;

// A journal holds at most this many pages (4 MiB); one claiming more is not
// ours. A relink changes a handful, a batch of relinks of one file a few dozen.
inline constexpr std::uint32_t kMaxJournalPages = 1024;

// It names at most this many pages the change only read.
inline constexpr std::uint32_t kMaxContextPages = 4096;

// The unit a disk writes whole, as far as recovery relies on it.
inline constexpr std::size_t kJournalSector = 512;

struct PageImage {
  std::uint32_t page = 0;
  std::vector<std::byte> bytes;
};

// A page's checksum (journalChecksum) as the disk held it.
struct PageSum {
  std::uint32_t page = 0;
  std::uint64_t checksum = 0;
};

// "<database>.povezava-journal"
std::string journalPath(const std::string& databasePath);
// Whether `path` is a journal's name: "<something>.povezava-journal".
bool isJournalPath(std::string_view path);

// The folder that holds `path` ("" for the current folder).
std::string folderOf(const std::string& path);

// The 64-bit checksum the journal uses (FNV-1a).
std::uint64_t journalChecksum(std::span<const std::byte> bytes);

// The page size the database's header names; 0 when it names none.
std::uint32_t databasePageSize(File& database);

// The journal of a change of `database` (its identity and size as they are
// now): `oldPages` as the disk holds them now, `newPages` as they will be
// written (pages past the end included), `context` the pages the change read
// as the disk held them (those it writes are left out). For writers that
// write and sync many journals together.
Result<std::vector<std::byte>> encodeJournal(File& database, std::uint32_t pageSize,
                                             std::span<const PageImage> oldPages,
                                             std::span<const PageImage> newPages,
                                             std::span<const PageSum> context = {});

// The commit point: marks the journal (open read-write) committed in place
// and syncs it. Called once the new pages are synced; from then on the
// change is done, whatever becomes of the journal.
Status markJournalCommitted(File& journal);
// The same for the journal of the database at `databasePath`.
Status markJournalCommitted(FileSystem& fs, const std::string& databasePath);

// Removes a committed journal and syncs its folder. Never fails: the change
// is done; a journal that stays (or comes back after a power loss) is
// removed by the next run without touching the database. Says so through the
// engine's notices when it could not be done.
Status finishJournal(FileSystem& fs, const std::string& databasePath);
// The notice finishJournal() gives when the removal failed with `why`.
void noticeFinishedJournalLeft(const std::string& databasePath, const Status& why);

// Creates the journal of `database` (named after database.path()), empty,
// with the database's permissions. fileInUse when one is there already (an
// unfinished change: recover first).
Result<std::unique_ptr<File>> createJournalFile(FileSystem& fs, File& database);

// Removes a journal that was never made durable (its database was not
// touched), as far as that can be done.
void discardJournal(FileSystem& fs, const std::string& databasePath);

// Writes the journal of a change of `database` (open read-write, locked) and
// makes it durable. Fails with fileInUse when a journal already exists
// (recover first), readOnly / notEnoughSpace / diskOrNetwork as the file
// system reports; a journal left half-written is removed again.
Status writeJournal(FileSystem& fs, File& database, std::uint32_t pageSize,
                    std::span<const PageImage> oldPages, std::span<const PageImage> newPages,
                    std::span<const PageSum> context = {});

// Removes the journal and syncs its folder: the new pages are committed.
Status removeJournal(FileSystem& fs, const std::string& databasePath);

// What lies beside a database under its journal's name.
struct JournalFinding {
  enum class State {
    none,        // no journal
    incomplete,  // cut short or damaged while written: the database was not touched
    pending,     // this database's, and it fits: a change was interrupted
    committed,   // this database's change, done and reported done: only the journal is left
    foreign,     // not this database's, or not for the state it is in now
  };
  State state = State::none;
  // The writer that made it still holds the database's write lock.
  bool inProgress = false;
  std::string journal;   // its path
  std::string reason;    // foreign: why
  std::uint32_t pageSize = 0;
  std::uint64_t oldSize = 0;          // pending: the size before the change
  std::vector<PageImage> oldPages;    // pending: the old images of the pages that were there
};

// Looks at the journal beside `database`, whose real path is `realPath`, and
// decides what it is; writes nothing (a symbolic link that leads nowhere
// under the journal's name is foreign). A failure is an error reading the
// database or the journal.
Result<JournalFinding> inspectJournal(FileSystem& fs, File& database, const std::string& realPath);

// Looks for a journal beside `database` (open read-write under its real
// path, its write lock held, no Access lock file beside it) and recovers as
// described above. Says what it did through the engine's notices.
Result<Recovery> recoverJournal(FileSystem& fs, File& database);

// A view of `database` as a pending journal would leave it: its old pages
// over what the disk holds, and its old size. Reads only.
std::unique_ptr<File> journaledView(std::unique_ptr<File> database, JournalFinding finding);

}  // namespace povezava::engine::jet
