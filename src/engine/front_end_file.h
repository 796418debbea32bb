// What the window checks about a front-end file besides opening it: whether
// Access has it open, and whether two names are the same file. Names are
// resolved by `paths`, as DBEngine::openDatabase resolves them.
#pragma once

#include <string_view>

#include "base/io.h"
#include "base/status.h"
#include "engine/path_resolver.h"

namespace povezava::engine {

// Access's lock file (.ldb / .laccdb) beside the database `name`: fileInUse
// with ErrorCase::accessLockFile (path: `name`; other: the lock file; users:
// the computers it lists) when there is one. Success when there is none, and
// when `name` leads to no file (opening it says why).
[[nodiscard]] Status accessLockFileBeside(FileSystem& fs, const PathResolver& paths, std::u16string_view name);

// True when `a` and `b` name the same file: the same device and inode (on
// Windows, volume and file index), whatever their spelling ("tq.mdb",
// "./TQ.MDB", a link to it). The error of the first that leads to no file.
[[nodiscard]] Result<bool> sameFile(FileSystem& fs, const PathResolver& paths, std::u16string_view a,
                                    std::u16string_view b);

}  // namespace povezava::engine
