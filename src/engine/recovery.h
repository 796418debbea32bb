// A front-end's relink safety outside a relink: whether a relink could write
// it now, and undoing a relink that a crash interrupted.
//
// A relink keeps the old images of the pages it changes in a journal beside
// the front-end until its new pages are durable; the next writer or
// recoverInterruptedRelink() puts an interrupted relink's old pages back.
// Names are resolved as DBEngine::openDatabase() resolves them.
#pragma once

#include <string_view>

#include "base/io.h"
#include "base/status.h"
#include "engine/engine.h"

namespace povezava::engine {

// What recovering a front-end did.
enum class Recovery {
  none,       // no journal
  discarded,  // an incomplete journal; the database was not touched
  replayed,   // old pages written back and synced, journal removed
  finished,   // the journal of a relink that had finished: removed, the database left as it is
  setAside,   // not this database's: left alone, the journal moved aside
};

// Undoes a relink that a crash interrupted, if a journal lies beside the real
// file of the front-end `name`: under the writer's lock (fileInUse while
// another writer holds it) and only without an Access lock file beside it.
// A journal that is not the file's is moved aside. Works in
// `setup.fileSystem`, resolves `name` with `setup.paths` and says what it did
// to `setup.notices`. Errors name the front-end as given.
[[nodiscard]] Result<Recovery> recoverInterruptedRelink(const EngineSetup& setup, std::u16string_view name);

// Whether a relink could write the front-end `name` now, checked as the
// writer checks it and without writing: the file opens for writing
// (readOnly), no other writer holds the writer's lock and no Access lock file
// lies beside it (fileInUse), and its folder takes the journal (the error the
// journal's creation would give). The lock is released again before it
// returns.
// `name` is resolved by `paths`.
[[nodiscard]] Status checkFrontEndWritable(FileSystem& fs, const PathResolver& paths, std::u16string_view name);

}  // namespace povezava::engine
