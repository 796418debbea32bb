// povezava-cli recover FILE...
//
// Undoes on disk what a relink cut short by a crash left in each front-end,
// as the next relink would: under the writer's lock, only while no Access
// lock file lies beside it. A journal that does not fit the file is moved
// aside and the file left alone. One line per file: the file, then
// "nothing to recover", "undone", "unfinished journal removed" or
// "journal moved aside", or the error.
#pragma once

#include <span>
#include <string>

#include "cli/console.h"

namespace povezava::cli {

// Returns the process exit status: 0, 1 when a file could not be recovered,
// 2 for wrong arguments.
int runRecover(std::span<const std::string> args, Console& console);

}  // namespace povezava::cli
