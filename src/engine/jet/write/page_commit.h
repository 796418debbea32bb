// Writing a set of rebuilt pages into a database as one unit.
//
// commitPages() is the only code that writes a database page. It keeps the
// file's identity (the pages are written in place through the caller's File:
// same inode, owner and permissions) and makes the change atomic across a
// crash with the rollback journal (journal.h):
//
//   1. the old images of every page to change are journaled and synced
//      (journal file and folder);
//   2. the new pages are written in the order given (a page that is pointed
//      at before the page that points at it), each encoded again when the
//      database is RC4-encoded, and synced once: the journal, already
//      durable, undoes any mix a crash leaves, so syncing between the pages
//      would only cost time (each sync is a disk round trip);
//   3. the journal is removed and the folder synced.
//
// Four syncs in all: journal, its folder, the database, the folder again.
//
// Success is returned only after step 3. When a step fails, the old images
// are written back and synced and the journal removed; if even that fails,
// the journal stays and the next writer (or open) replays it. Either way the
// database holds the old pages or, briefly before recovery, a mix that the
// journal undoes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/io.h"
#include "engine/jet/read/jet_file.h"
#include "engine/jet/write/journal.h"
#include "engine/status.h"

namespace povezava::engine::jet {

struct PageWrite {
  std::uint32_t page = 0;
  std::vector<std::byte> bytes;  // decoded; exactly one page
};

// REQUIRES: `database` is open read-write through `fs` and its write lock is
// held. Pages may lie one past the current end (a page being added).
Status commitPages(FileSystem& fs, JetFile& database, std::span<const PageWrite> writes);

// Undoes a commit that failed after its journal was made durable: writes the
// old images (as on disk) back, cuts the file to its old size, syncs, removes
// the journal. Success only when all of that succeeded; otherwise the journal
// stays for the next writer.
Status rollBackPages(FileSystem& fs, File& file, std::uint32_t pageSize,
                     std::span<const PageImage> oldImages, std::uint64_t oldSize);

}  // namespace povezava::engine::jet
