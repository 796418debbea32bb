// `povezava-cli relink --backup`: a byte copy of each front-end beside it,
// made and synced before the relink writes to it.
//
//   FILE.YYYYMMDD-HHMMSS.bak   (FILE with its extension: TQ.mdb.20261208-105400.bak)
//
// The copy holds the front-end as it was, so copying it back over FILE undoes
// the relink: a relink that a crash interrupted is undone first (or the copy
// refused), and the copy has the front-end's permissions (and owner, as
// root). Two copies made in the same second get "-2", "-3", ... after the
// stamp. A front-end whose copy cannot be made is not relinked.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

#include "base/io.h"
#include "engine/engine.h"
#include "base/status.h"

namespace povezava::cli {

// "YYYYMMDD-HHMMSS" of `when` in local time: the stamp of one run's copies.
std::string backupStamp(std::time_t when);

// Copies the front-end `frontEnd` (resolved by `setup.paths` as the engine
// opens it, read through `setup.fileSystem`; what a recovery first says goes
// to `setup.notices`) to "<its path>.<stamp>.bak" beside it (created through
// `disk`), syncs the copy and its folder, and returns the copy's path. Never
// overwrites: with every name up to "-9" taken, databaseExists. On failure a
// partial copy is removed and the error names the file it concerns.
engine::Result<std::string> backUp(const engine::EngineSetup& setup, engine::FileSystem& disk,
                                   std::u16string_view frontEnd, std::string_view stamp);

}  // namespace povezava::cli
