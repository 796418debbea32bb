// Access's lock file beside a database (.ldb for .mdb, .laccdb for .accdb):
// while it is there, Access (or a crashed Access) has the database open, and
// a relink or a recovery must not write.
#pragma once

#include <span>
#include <string>

#include "base/io.h"
#include "base/status.h"

namespace povezava::engine::jet {

// An Access lock file (.ldb / .laccdb, any letter case) beside `path`:
// fileInUse naming it and the computers it lists; success when there is none.
Status checkAccessLockFile(FileSystem& fs, const std::string& path, const std::string& displayName);
// The same, given the names in the folder of `path` (FileSystem::list).
Status checkAccessLockFileAmong(FileSystem& fs, const std::string& path, const std::string& displayName,
                                std::span<const std::string> names);

}  // namespace povezava::engine::jet
