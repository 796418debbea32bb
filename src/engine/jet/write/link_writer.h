// Storing a linked table's new link in the front-end: the engine's only writer.
//
// Safety invariants of a relink. Tests name the invariant they check
// (Invariant1..., Invariant2..., ...).
//
//   1. Nothing is written before the back-end is verified: the caller
//      (refreshLink) has opened the back-end read-only and found the table;
//      writeLink() itself writes nothing before every new page is built and
//      checked.
//   2. Only the catalogue row's bytes change, with the long-value rows that
//      hold its path (and, when a page must be added, that page and the maps
//      that record it). Every other page stays byte-identical; on a changed
//      page every other row keeps its bytes, flags and slot number. Each
//      rebuilt page is read back and compared before anything is written, and
//      a page already inconsistent is refused, not edited.
//   3. Success only after sync: the new pages are synced, then the journal is
//      removed and its folder synced, before writeLink() returns success.
//   4. The lock is held throughout: an exclusive advisory lock on one byte far
//      beyond any Jet file (and outside Jet's own lock area) from re-reading
//      the catalogue to the final sync. A second writer fails at once with
//      "file already in use"; it does not wait.
//   5. Old or new, never a mix: the old images of every page to change are
//      journaled and synced first; a crash or a torn page write is undone by
//      the next writer or open (journal_writer.h, journal_replay.h).
//   6. The file keeps its identity: pages are written in place through the
//      locked descriptor (same inode, owner and permissions); no new copy, no
//      rename.
//
// Where the new values go:
//   * Database (and Connect) inline in the row when at most 64 bytes (Jet 4)
//     or 32 bytes (Jet 3), else as one long-value row on an LVAL page of that
//     column's own usage map with room; if the column's only page lacks room
//     for a new row but the old value's row can grow in place, that row is
//     resized; else a page is added to the column (one per relink at most):
//     appended at the end of the file, recorded in the column's owned and
//     free maps and marked used in the global map. Only inline maps are
//     edited, and only inside their window (an empty column map may move its
//     window); anything else is refused with "compact the database in
//     Access", as is a page past the global map's window, which that map
//     would count as free.
//   * The catalogue row is rewritten in its slot: Jet 4 rows that do not grow
//     are padded to their old length; otherwise the rows below move as a
//     block; without room the row moves to another catalogue page with room
//     (an overflow row) and its slot becomes a pointer.
//   * A replaced out-of-line value's row is deleted as Access does (zero
//     length, flags 0xC000), unless another catalogue row points at it.
//   * DateUpdate, Lv and LvProp are left as they are.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/io.h"
#include "engine/jet/read/catalog.h"
#include "engine/jet/write/access_lock.h"
#include "base/status.h"
#include "engine/jet/format/journal_format.h"
#include "engine/recovery.h"

namespace povezava::engine::jet {

struct LinkChange {
  std::u16string table;                    // the table's name, matched ignoring case
  std::u16string database;                 // new value of the Database column
  std::optional<std::u16string> connect;   // new Connect column; nullopt = NULL
};

// Stores `change` in the catalogue row of the linked table in `path` (the
// platform path of the real file, symbolic links resolved; `displayName`
// names it in errors). A file with more than one name (hard link) is refused. Errors: those of opening
// and locking the file, fileInUse (another writer, an Access lock file),
// itemNotFound, notSupported (not a file-linked table), invalidArgument (a
// character the code page lacks, a path too long), recordTooLarge (no room
// without compacting), corrupt (a page that is already inconsistent), and
// the file system's errors while writing (the file is then as before).
//
// `known`: the caller's decoding of the catalogue, used when the file still
// holds the pages it came from (else the catalogue is decoded again). When
// `after` is given and the change is stored, it gets the catalogue as the
// file now holds it (left empty when that cannot be told without decoding).
//
// `expected`: the identity of the file the change was read from (device and
// inode, FileInfo); when the file at `path` is another one now, nothing is
// written (fileInUse).
Status writeLink(FileSystem& fs, NoticeSink& notices, const std::string& path, const std::string& displayName,
                 const LinkChange& change, const DecodedCatalog* known = nullptr,
                 std::shared_ptr<const DecodedCatalog>* after = nullptr, const FileInfo* expected = nullptr);

// Opens the real file `path` for writing and takes the writer's lock, as
// writeLink() does first: readOnly when the file cannot be written, fileInUse
// when another writer holds the lock or an Access lock file lies beside it
// (or beside `displayName`, a symbolic link to it) or when the file is not
// the one `expected` describes (when given), cannotOpenFile when it has more
// than one name. Undoes nothing; the lock lasts as long as the File.
Result<std::unique_ptr<File>> openForWriting(FileSystem& fs, const std::string& path,
                                             const std::string& displayName, const FileInfo* expected = nullptr);

// Undoes a relink that a crash interrupted, if a journal lies beside the real
// file of `path`: under the writer's lock (fileInUse while another writer
// holds it) and only without an Access lock file beside it. A journal that is
// not the file's is moved aside (journal_replay.h). What was done is said to
// `notices`.
Result<Recovery> recoverInterruptedRelink(FileSystem& fs, NoticeSink& notices, const std::string& path);

}  // namespace povezava::engine::jet
