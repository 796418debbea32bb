// The three ways of re-pointing the tables of one front-end from the command
// line, and what became of each table. The command (relink_command.h) runs
// them over many files and prints the results.
//
//   relinkToLocation  PARTNER, KONTI, NALOGI to a back-end location, by the
//                     program's own rule (links/startup.h: inspection binds
//                     the tables, backendLinkStrings() makes the link strings,
//                     relinkTables() applies them);
//   relinkReplacing   every table linked to a file whose stored back-end path
//                     begins with OLD (ignoring case): that beginning becomes NEW;
//   relinkToFolder    every table linked to a Jet/ACE file whose file name is
//                     in a folder: to that folder (the data folder moved);
//   relinkRequested   the TABLE=LINK pairs given, in order.
//
// Each front-end's tables are relinked by the shared rule (links/relinking.h):
// all of them or none; a table that checked out but was not written because
// another failed is "held back". options.eachTable relinks table by table.
// With options.dryRun nothing is written: the checks run as for a real run,
// so the outcome says whether the relink would succeed.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine.h"
#include "links/program.h"
#include "links/relinking.h"

namespace povezava::cli {

enum class Outcome {
  relinked,     // the new link is stored
  wouldRelink,  // dry run: the back-end checks out, nothing written
  absent,       // the front-end has no such table (PARTNER, KONTI, NALOGI only)
  leftAlone,    // --folder: the back-end's file name is not in the new folder
  heldBack,     // checked out, not written: another table of the file failed (status says which)
  failed,       // see status
};

// "relinked", "would relink", "absent", "left alone", "held back", "error".
std::string_view outcomeName(Outcome outcome);

struct TableChange {
  std::u16string table;  // as the front-end spells it (as asked, when not found)
  std::u16string from;   // the link string before
  std::u16string to;     // the link string asked for
  Outcome outcome = Outcome::failed;
  engine::Status status;  // failed: the first failure; heldBack: why
};

struct FileChanges {
  engine::Status status;  // opening the front-end (no tables then), or the front-end cannot be written
  std::vector<TableChange> tables;
  std::string backup;     // relink --backup: the copy made before relinking

  std::size_t count(Outcome outcome) const;
  // Relinked, or would be in a dry run.
  std::size_t done() const { return count(Outcome::relinked) + count(Outcome::wouldRelink); }
  // A table's link string was (or, in a dry run, would be) replaced by a
  // different one. Relinking to the link a table already has changes nothing.
  bool changed() const;
  // The front-end could not be opened, plus every failed table.
  std::size_t failures() const { return (status.ok() ? 0 : 1) + count(Outcome::failed); }
};

// PRECONDITION: links::backendLinkStrings(location) gives link strings (the
// location sorts after " ").
// The link strings are made with the program's path map `map`.
FileChanges relinkToLocation(engine::DBEngine& engine, const engine::PathMap& map, std::u16string_view frontEnd,
                             std::u16string_view location, const links::RelinkOptions& options);

// The absolute folder of the file the engine opens for `frontEnd` (names
// resolved as the engine resolves them), without a final separator: the
// back-end location of `relink --beside`.
engine::Result<std::u16string> besideLocation(links::Program& program, std::u16string_view frontEnd);

// PRECONDITION: oldPrefix is not empty.
FileChanges relinkReplacing(engine::DBEngine& engine, std::u16string_view frontEnd,
                            std::u16string_view oldPrefix, std::u16string_view newPrefix,
                            const links::RelinkOptions& options);

// The folder of `relink --folder NEW`.
struct FolderTarget {
  std::u16string location;  // what the link strings name: linkLocation(NEW), no final separator
  std::string local;        // where the back-ends are looked for on this computer
};

// NEW checked: it resolves (through the path map when in Windows form) to a
// folder. Errors name NEW as given.
engine::Result<FolderTarget> folderTarget(links::Program& program, std::u16string_view folder);

// Back-ends are looked for in the folder with the program's resolver.
FileChanges relinkToFolder(links::Program& program, engine::DBEngine& engine, std::u16string_view frontEnd,
                           const FolderTarget& folder, const links::RelinkOptions& options);

struct LinkRequest {
  std::u16string table;
  std::u16string link;
};

FileChanges relinkRequested(engine::DBEngine& engine, std::u16string_view frontEnd,
                            std::span<const LinkRequest> requests, const links::RelinkOptions& options);

}  // namespace povezava::cli
