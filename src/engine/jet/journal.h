// The rollback journal: old page images kept beside a database while its
// pages are rewritten in place.
//
// "<database>.povezava-journal", written whole and synced (file and folder)
// before the first page of the database changes, removed (and the folder
// synced) once every new page is synced. Whoever next takes the database's
// write lock and finds a complete journal writes the old images back: a crash
// at any moment, a torn page included, leaves the old pages or the new ones.
// Pages the change added at the end are cut off again. An incomplete journal
// (a crash while it was being written) means the database was not touched
// yet; it is removed.
//
//   OFFSET      SIZE       MEANING
//   0           16         "povezava-journal" (magic)
//   16          4          format version (1)
//   20          4          page size
//   24          8          size of the database when the journal was written
//   32          8          checksum of page 0 (ties the journal to its database)
//   40          4          number of pages k
//   44          4          zero
//   48          k * (4 + page size)   page number, then the page as on disk
//   end - 8     8          checksum of everything before it
//
// Checksums are 64-bit FNV-1a. Page images are stored as the disk holds them
// (still encoded in an encoded Jet 3/4 file).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/io.h"
#include "engine/status.h"

namespace povezava::engine::jet {

// A journal holds at most this many pages (4 MiB); one claiming more is not
// ours. A relink changes a handful, a batch of relinks of one file a few dozen.
inline constexpr std::uint32_t kMaxJournalPages = 1024;

struct PageImage {
  std::uint32_t page = 0;
  std::vector<std::byte> bytes;
};

// "<database>.povezava-journal"
std::string journalPath(const std::string& databasePath);

// The folder that holds `path` ("" for the current folder).
std::string folderOf(const std::string& path);

// The 64-bit checksum the journal uses (FNV-1a).
std::uint64_t journalChecksum(std::span<const std::byte> bytes);

// The journal of `oldPages` for `database` (its size and page 0 as they are
// now), as writeJournal() stores it. For writers that write and sync many
// journals together.
Result<std::vector<std::byte>> encodeJournal(File& database, std::uint32_t pageSize,
                                             std::span<const PageImage> oldPages);

// Creates the journal of `databasePath`, empty. fileInUse when one is there
// already (an unfinished change: recover first).
Result<std::unique_ptr<File>> createJournalFile(FileSystem& fs, const std::string& databasePath);

// Removes a journal that was never made durable (its database was not
// touched), as far as that can be done.
void discardJournal(FileSystem& fs, const std::string& databasePath);

// Writes the journal of `oldPages` for `database` (open read-write, locked)
// and makes it durable. Fails with fileInUse when a journal already exists
// (recover first), readOnly / notEnoughSpace / diskOrNetwork as the file
// system reports; a journal left half-written is removed again.
Status writeJournal(FileSystem& fs, File& database, std::uint32_t pageSize,
                    std::span<const PageImage> oldPages);

// Removes the journal and syncs its folder: the new pages are committed.
Status removeJournal(FileSystem& fs, const std::string& databasePath);

enum class Recovery {
  none,       // no journal
  discarded,  // an incomplete journal; the database was not touched
  replayed,   // old pages written back and synced, journal removed
};

// Looks for a journal beside `database` (open read-write, its write lock
// held) and recovers as described above. Fails when a complete journal
// cannot be replayed or belongs to another file (its page 0 differs): then
// the journal stays, and the database must not be written.
Result<Recovery> recoverJournal(FileSystem& fs, File& database);

}  // namespace povezava::engine::jet
