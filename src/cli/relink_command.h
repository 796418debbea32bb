// povezava-cli relink FILE TABLE=LINK [TABLE=LINK ...]
//
// For each pair, in the order given: write the table's Connect, then refresh
// its link, as the program's relinking does; a failure does not stop the
// pairs after it. One line per pair on `out`: "TABLE: relinked" or
// "TABLE: error NUMBER: DESCRIPTION".
#pragma once

#include <iosfwd>
#include <span>
#include <string>

namespace povezava::cli {

// Returns the exit status: 0 when every table was relinked, 1 otherwise (or
// when the database cannot be opened, printed to `err`), 2 for wrong arguments.
int runRelink(std::span<const std::string> args, std::ostream& out, std::ostream& err);

}  // namespace povezava::cli
