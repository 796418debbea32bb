// Reading a rollback journal (format/journal_format.h) found beside a
// database, and deciding what it is; nothing here writes.
//
// A journal is applied only to the state it was made for. It records the
// database's identity (device, inode), its size before and after the change,
// checksums of the pages the change read but does not write, and for every
// page the change writes the old image and a checksum of each 512-byte sector
// of the new image. It fits (pending) only when the file is the same inode,
// its size lies between the old and the new size (an append cut short lies
// between), every page the change only read is as it was (a new version
// copied over the file, same inode, differs there), and every sector of every
// covered page holds its old or its new bytes (a torn page write leaves a mix
// of both, sector by sector). Anything else (another file copied over it, a
// program that wrote the file since, a journal planted or left by an older
// povezava) is foreign: not this journal's to repair.
//
// A committed journal whose every page holds its new bytes is the trace of a
// change reported done (its removal did not last through a power loss). A
// committed journal over pages that are not all new was being rolled back
// when its writer stopped: it is pending.
//
// A journal shorter than its header says was cut off while it was written,
// before the database was touched (it is synced before the first page is
// written): incomplete. One of its full length whose checksum fails was
// damaged later, perhaps after the database was written: incomplete only when
// the database still holds every old page it names, else foreign.
//
// Readers never replay (write/journal_replay.h does): they see a database
// with a pending journal as the journal would leave it (old pages over the
// new, the old size), and say so; while the writer that made it still holds
// the database's write lock, the change is said to be in progress, not
// interrupted.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/io.h"
#include "engine/jet/format/journal_format.h"
#include "base/status.h"

namespace povezava::engine::jet {

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

// A view of `database` as a pending journal would leave it: its old pages
// over what the disk holds, and its old size. Reads only.
std::unique_ptr<File> journaledView(std::unique_ptr<File> database, JournalFinding finding);

}  // namespace povezava::engine::jet
