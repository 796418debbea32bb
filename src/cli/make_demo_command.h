// povezava-cli make-demo FOLDER [--jet3] [--queries N] [--data-bytes N]
//
// Makes a demo set in FOLDER (created when missing):
//   FOLDER/TQ.mdb            front-end: PARTNER, KONTI, NALOGI linked to
//                            FOLDER/old-location/PARTNER.MDB and .../QUERNO.MDB
//                            (a folder that does not exist: the links need
//                            re-pointing), and the local table LOCAL1
//   FOLDER/data/PARTNER.MDB  back-end with the table PARTNER
//   FOLDER/data/QUERNO.MDB   back-end with the tables KONTI and NALOGI
// Existing files are never overwritten. --jet3 makes Access 97 files (code
// page 1250); --queries N puts N query rows before the tables, spreading the
// catalogue over many pages; --data-bytes N adds a local table PODATKI with
// about N bytes of rows (benchmarks).
#pragma once

#include <iosfwd>
#include <span>
#include <string>

namespace povezava::cli {

// Returns the process exit status: 0, 1 for an engine error (printed to `err`
// as "error NUMBER: DESCRIPTION"), 2 for wrong arguments.
int runMakeDemo(std::span<const std::string> args, std::ostream& out, std::ostream& err);

}  // namespace povezava::cli
