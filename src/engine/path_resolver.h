// Turning a database name as the user typed it into a file on this system.
//
// "\" separates folders as well as "/", and the result has the system's own
// separator ("/" on Linux, "\" on Windows, where "C:\" and "\\server\share\"
// start a path); a relative name is relative to the current folder. On Linux
// a name in Windows form ("S:\DATA\X.MDB", "\\SERVER\share\X.MDB") goes
// through the Windows path map (path_map.h) first. When the name does not
// exist exactly, each component is
// matched without regard to case (names come from Windows, where case does
// not matter): a component must match exactly one entry of its folder.
#pragma once

#include <string>
#include <string_view>

#include "engine/io.h"
#include "engine/path_map.h"
#include "engine/status.h"

namespace povezava::engine {

// The platform path of the named file. Errors: fileNotFound when the last
// component matches nothing, notValidPath when a folder on the way does not
// exist or when `map` covers no drive or share of a Windows name (notMapped),
// ambiguousPath when a component matches several entries that differ only in
// case. Errors show the name as it was given.
[[nodiscard]] Result<std::string> resolveDatabasePath(FileSystem& fs, std::u16string_view name,
                                                      const PathMap& map = processPathMap());

}  // namespace povezava::engine
