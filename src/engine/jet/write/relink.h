// Re-pointing a linked table: the write side behind TableDef::refreshLink().
#pragma once

#include <string_view>

#include "engine/io.h"
#include "engine/jet/jet_database.h"
#include "engine/status.h"

namespace povezava::engine::jet {

// Stores `table`'s pending Connect (if any) in its catalogue row of `database`
// after checking the back-end it names; on success updates the table's
// catalogue row and clears the pending value. On failure the file is unchanged.
// REQUIRES: database.isOpen(), table.kind() != TableKind::local
[[nodiscard]] Status refreshLink(JetDatabase& database, JetTableDef& table);

// The checks refreshLink() makes before it writes: the link (pending, else
// stored) names a file, which is a Jet/ACE database holding the table's
// foreign table. Writes nothing.
// REQUIRES: database.isOpen(), table.kind() != TableKind::local
[[nodiscard]] Status checkLink(JetDatabase& database, const JetTableDef& table);

// Whether a relink could write the front-end `name` (resolved as
// openDatabase() resolves it) now, checked as the writer checks it and without
// writing: the file opens for writing (readOnly), no other writer holds the
// writer's lock and no Access lock file lies beside it (fileInUse), and its
// folder takes the journal (the error the journal's creation would give).
// The lock is released again before it returns.
[[nodiscard]] Status checkFrontEndWritable(FileSystem& fs, std::u16string_view name);

}  // namespace povezava::engine::jet
