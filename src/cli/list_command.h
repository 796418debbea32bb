// povezava-cli list FILE [--all]
//
// One line per table of the database, in catalogue order: name, kind
// (local, linked, odbc) and Connect, tab-separated, UTF-8. Without --all only
// user tables; with it every table the table-definition collection holds.
#pragma once

#include <iosfwd>
#include <span>
#include <string>

#include "cli/console.h"

namespace povezava::cli {

// Returns the process exit status: 0, 1 for an engine error (printed to `err`
// as "error NUMBER: DESCRIPTION"), 2 for wrong arguments. Opens the file
// through the console's program.
int runList(std::span<const std::string> args, Console& console);

}  // namespace povezava::cli
