// povezava-cli relink: re-point linked tables.
//
//   relink FILE TABLE=LINK [TABLE=LINK ...]
//       For each pair, in the order given: write the table's Connect, then
//       refresh its link; a failure does not stop the pairs after it. One line
//       per pair: "TABLE: relinked" or "TABLE: error NUMBER: DESCRIPTION".
//   relink FILE... --backend LOCATION
//       PARTNER, KONTI and NALOGI of each file to the back-end location, by
//       the program's own command-line rule (a folder holding PARTNER.MDB and
//       querno.MDB, or the path of the partner database).
//   relink FILE... --beside
//       The same, with each front-end's own folder as the location.
//   relink FILE... --replace OLD=NEW
//       Every table linked to a file whose stored back-end path begins with
//       OLD (ignoring case) gets that beginning replaced by NEW.
////   relink FILE... --folder NEW
//       Every table linked to a Jet/ACE file whose file name is in the folder
//       NEW (letter case ignored) is re-pointed to NEW + that file name; the
//       others are listed as "left alone". NEW may be local or in Windows form.
//
// A relative LOCATION or NEW is made absolute, and written in Windows form
// when the path map covers it (links/link_location.h). A TABLE=LINK is stored
// as given; when its path is relative, stderr says so.
//
// The many-file forms print one line per table, tab-separated: file, table,
// outcome ("relinked", "would relink", "absent" or "error NUMBER:
// DESCRIPTION"), the link string before, the link string asked for; a
// front-end that cannot be opened gets one line with an empty table field.
// A summary goes to stderr. Every form takes --dry-run (check, write nothing),
// --json (one JSON object per file on stdout) and --backup (a synced copy of
// each front-end beside it before it is relinked: cli/backup.h).
//
// Which form: with --backend, --beside, --replace or --folder every other argument is a
// file; without them the first argument is the file and the rest must be
// TABLE=LINK pairs (an argument holding "=" and not starting with "--").
#pragma once

#include <span>
#include <string>

#include "cli/console.h"

namespace povezava::cli {

// Returns the exit status: 0 when everything asked for was done (or, with
// --dry-run, would be), 1 otherwise, 2 for wrong arguments.
int runRelink(std::span<const std::string> args, Console& console);

}  // namespace povezava::cli
