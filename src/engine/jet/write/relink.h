// Re-pointing a linked table: the write side behind TableDef::refreshLink().
#pragma once

#include <string>
#include <string_view>

#include "base/io.h"
#include "engine/jet/jet_database.h"
#include "base/status.h"

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

// Whether a relink could write the database at `path` (its real path
// `realPath`) now: checkFrontEndWritable() (recovery.h) for a name already
// resolved.
[[nodiscard]] Status checkWritable(FileSystem& fs, const std::string& path, const std::string& realPath);

}  // namespace povezava::engine::jet
