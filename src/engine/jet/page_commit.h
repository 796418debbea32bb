// Writing a set of rebuilt pages into a database as one unit.
//
// commitPages() is the only code that writes a database page. It keeps the
// file's identity (the pages are written in place through the caller's File:
// same inode, owner and permissions) and makes the change atomic across a
// crash with the rollback journal (journal.h):
//
//   1. the old images of every page to change are journaled and synced
//      (journal file and folder);
//   2. the new pages are written in the order given, each encoded again when
//      the database is RC4-encoded, each synced before the next is written, so
//      that no page on disk points at one not yet written;
//   3. the journal is removed and the folder synced.
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
#include "engine/jet/jet_file.h"
#include "engine/status.h"

namespace povezava::engine::jet {

struct PageWrite {
  std::uint32_t page = 0;
  std::vector<std::byte> bytes;  // decoded; exactly one page
};

// REQUIRES: `database` is open read-write through `fs` and its write lock is
// held. Pages may lie one past the current end (a page being added).
Status commitPages(FileSystem& fs, JetFile& database, std::span<const PageWrite> writes);

}  // namespace povezava::engine::jet
