// Writing the rollback journal (format/journal_format.h): the old page
// images kept beside a database while its pages are rewritten in place.
//
// "<database>.povezava-journal" beside the database's real file (symbolic
// links resolved), written whole and synced (file and folder) before the
// first page of the database changes, removed (and the folder synced) once
// every new page is synced. It has the database's permissions (and owner,
// when povezava runs as root): it holds the database's old pages.
//
// The commit point: once the new pages are synced the journal is marked
// committed in place and synced, and only then removed. What a journal left
// behind means, and what is done with it, is for the reader
// (read/journal_reader.h) and the replay (journal_replay.h) to decide.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/io.h"
#include "engine/notices.h"
#include "engine/jet/format/journal_format.h"
#include "base/status.h"

namespace povezava::engine::jet {

// The journal of a change of `database` (its identity and size as they are
// now): `oldPages` as the disk holds them now, `newPages` as they will be
// written (pages past the end included), `context` the pages the change read
// as the disk held them (those it writes are left out). For writers that
// write and sync many journals together. `identity`: what database.info()
// would say now, when the caller has just asked.
Result<std::vector<std::byte>> encodeJournal(File& database, std::uint32_t pageSize,
                                             std::span<const PageImage> oldPages,
                                             std::span<const PageImage> newPages,
                                             std::span<const PageSum> context = {},
                                             const FileInfo* identity = nullptr);

// The commit point: marks the journal (open read-write) committed in place
// and syncs it. Called once the new pages are synced; from then on the
// change is done, whatever becomes of the journal.
Status markJournalCommitted(File& journal);
// The same for the journal of the database at `databasePath`.
Status markJournalCommitted(FileSystem& fs, const std::string& databasePath);

// Removes a committed journal and syncs its folder. Never fails: the change
// is done; a journal that stays (or comes back after a power loss) is
// removed by the next run without touching the database. Says so to
// `notices` when it could not be done.
Status finishJournal(FileSystem& fs, NoticeSink& notices, const std::string& databasePath);
// The notice finishJournal() gives when the removal failed with `why`.
void noticeFinishedJournalLeft(NoticeSink& notices, const std::string& databasePath, const Status& why);

// Creates the journal of `database` (named after database.path()), empty,
// with the database's permissions. fileInUse when one is there already (an
// unfinished change: recover first). `like`: what database.info() would say
// now, when the caller has just asked.
Result<std::unique_ptr<File>> createJournalFile(FileSystem& fs, File& database, const FileInfo* like = nullptr);

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

}  // namespace povezava::engine::jet
