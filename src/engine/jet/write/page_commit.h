// Writing a set of rebuilt pages into a database as one unit.
//
// commitPages() is the only code that writes a database page. It keeps the
// file's identity (the pages are written in place through the caller's File:
// same inode, owner and permissions) and makes the change atomic across a
// crash with the rollback journal (journal_writer.h):
//
//   1. the checks: the name still leads to the file being written, which has
//      one name and no Access lock file beside it, and every page the change
//      read holds what it held then;
//   2. the old images of every page to change are journaled and synced
//      (journal file and folder), with the checksums of the pages the change
//      only read; the checks of step 1 again;
//   3. the new pages are written in the order given (a page that is pointed
//      at before the page that points at it), each encoded again when the
//      database is RC4-encoded, and synced once: the journal, already
//      durable, undoes any mix a crash leaves, so syncing between the pages
//      would only cost time (each sync is a disk round trip);
//   4. the commit point: the journal is marked committed and synced;
//   5. the journal is removed and the folder synced; a failure here is a
//      notice, not a failure: the change is done.
//
// Success is returned only after step 4. When a step before it fails, the
// old images are written back and synced while the journal is still on
// disk, and then the journal is removed; if even that fails, the journal
// stays and the next writer (or open) replays it. Old pages are never
// written without the journal on disk.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <vector>

#include "base/io.h"
#include "engine/notices.h"
#include "engine/jet/read/jet_file.h"
#include "base/status.h"
#include "engine/jet/format/journal_format.h"

namespace povezava::engine::jet {

struct PageWrite {
  std::uint32_t page = 0;
  std::vector<std::byte> bytes;  // decoded; exactly one page
};

// Page number -> checksum (journalChecksum) of the page as the disk held it
// when a change first read it.
using PageSums = std::map<std::uint32_t, std::uint64_t>;

// Notes in `sums` each whole page that `bytes` (read at `offset`) holds and
// that is not noted yet.
void notePagesRead(PageSums& sums, std::uint32_t pageSize, std::uint64_t offset, std::span<const std::byte> bytes);

// `file`, noting in `sums` every whole page read through it (as the disk
// holds it). Writes pass through.
std::unique_ptr<File> noteReads(std::unique_ptr<File> file, std::shared_ptr<PageSums> sums);

// REQUIRES: `database` is open read-write through `fs` and its write lock is
// held. Pages may lie one past the current end (a page being added). `read`:
// the pages the change read (those it read through noteReads()); when one
// of them no longer holds what it held, nothing is written (fileInUse).
// What is found on the way (a finished journal that stays) goes to `notices`.
Status commitPages(FileSystem& fs, NoticeSink& notices, JetFile& database, std::span<const PageWrite> writes,
                   const PageSums* read = nullptr);

// fileInUse unless the name of `file` still leads to it, it has one name and
// no Access lock file lies beside it. `listing` is what its folder holds,
// when the caller has it.
Status checkStillTheFile(FileSystem& fs, File& file, const std::vector<std::string>* listing = nullptr);

// changedMeanwhile unless every page in `read` holds what it held when read,
// and lies within `size`. Adjacent pages are read in one call; `pages`, when
// given, gets every page read.
Status checkPagesUnchanged(File& file, std::uint32_t pageSize, std::uint64_t size, const PageSums& read,
                           std::map<std::uint32_t, std::vector<std::byte>>* pages = nullptr);

// Undoes a commit that failed after its journal was made durable: writes the
// old images (as on disk) back, cuts the file to its old size, syncs, removes
// the journal. Success only when all of that succeeded; otherwise the journal
// stays for the next writer.
Status rollBackPages(FileSystem& fs, File& file, std::uint32_t pageSize,
                     std::span<const PageImage> oldImages, std::uint64_t oldSize);

}  // namespace povezava::engine::jet
