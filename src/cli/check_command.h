// povezava-cli check [--json] FILE...
//
// For every table of each front-end that is linked to a file: whether its
// back-end resolves now (the file is found, is a database, holds the table),
// by the very checks a relink makes before it writes. One line per table,
// tab-separated: file, table, then "ok" or "error NUMBER: DESCRIPTION"; a
// front-end that cannot be opened gets one line with an empty table field.
// An ODBC link whose connect text holds a password in plain text gets a
// "warning" line; the password itself is never printed. A relative back-end
// path is resolved against the current folder, and its line says which one.
// Never writes.
//
// With --json, one JSON object per file on stdout instead. A summary line
// goes to stderr at the end.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "cli/console.h"
#include "engine/engine.h"

namespace povezava::cli {

struct TableCheck {
  std::u16string table;
  engine::TableKind kind = engine::TableKind::linked;
  std::u16string connect;        // with any password masked
  bool checked = false;          // linked to a file: the back-end was checked
  engine::Status status;         // checked: the outcome
  bool plainPassword = false;    // an ODBC connect text with a password in it
  std::u16string resolvedAgainst;  // checked with a relative back-end path: the folder it was resolved in
};

struct FileCheck {
  engine::Status status;  // opening the front-end
  std::vector<TableCheck> tables;
};

// The tables of one front-end that are linked to a file, checked, and the ODBC
// links that keep a password in plain text, in catalogue order.
FileCheck checkFrontEnd(engine::DBEngine& engine, std::u16string_view frontEnd);

// Exit status: 0 when every link of every file resolves, 1 when any is broken
// or a file cannot be opened, 2 for wrong arguments.
int runCheck(std::span<const std::string> args, Console& console);

}  // namespace povezava::cli
