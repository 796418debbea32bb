// Turning a database name as the user typed it into a file on this system.
//
// "\" separates folders as well as "/", and the result has the system's own
// separator ("/" on Linux, "\" on Windows, where "C:\" and "\\server\share\"
// start a path); a relative name is relative to the current folder. When the name does not exist exactly, each component is
// matched without regard to case (names come from Windows, where case does
// not matter): a component must match exactly one entry of its folder.
#pragma once

#include <string>
#include <string_view>

#include "engine/io.h"
#include "engine/status.h"

namespace povezava::engine {

// The platform path of the named file. Errors: fileNotFound when the last
// component matches nothing, notValidPath when a folder on the way does not
// exist, ambiguousPath when a component matches several entries that differ
// only in case.
[[nodiscard]] Result<std::string> resolveDatabasePath(FileSystem& fs, std::u16string_view name);

}  // namespace povezava::engine
