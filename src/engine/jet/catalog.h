// The catalogue, MSysObjects: one row per object of the database.
//
// Its definition is page 2; its rows are read from every page of its owned
// usage map, in page and slot order (deleted rows skipped, overflow rows
// followed). The table definitions are the rows under the "Tables" container
// with Type 1 (local), 4 (ODBC link) or 6 (file link), system tables included.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/jet/data_page.h"
#include "engine/jet/jet_file.h"
#include "engine/jet/table_definition.h"
#include "engine/jet/text.h"
#include "engine/status.h"

namespace povezava::engine::jet {

// One table's catalogue row, with where it lies (for the writer).
struct CatalogTable {
  RowAddress address;
  std::uint32_t id = 0;
  std::uint32_t parentId = 0;
  std::int16_t type = 0;
  std::uint32_t flags = 0;
  std::u16string name;
  std::optional<std::u16string> database;     // the Database column; nullopt = NULL
  std::optional<std::u16string> connect;      // the Connect column
  std::optional<std::u16string> foreignName;  // the ForeignName column

  TableKind kind() const;
  bool isSystem() const;
  // The link string as the Jet engine reports it: ";DATABASE=<Database>" for a
  // file link with an empty Connect, "<Connect>DATABASE=<Database>" for other
  // file links, Connect for ODBC, empty for local tables.
  std::u16string composedConnect() const;
};

class Catalog {
 public:
  // REQUIRES: `file` outlives the Catalog.
  [[nodiscard]] static Result<Catalog> open(JetFile& file);

  const TableDefinition& definition() const { return definition_; }
  const TextDecoder& text() const { return *text_; }

  // The table definitions, in catalogue order. Corrupt when the catalogue has
  // no "Tables" row, or any row cannot be read.
  [[nodiscard]] Result<std::vector<CatalogTable>> tables();

 private:
  Catalog(JetFile& file, std::unique_ptr<TextDecoder> text, TableDefinition definition);

  JetFile* file_;
  std::unique_ptr<TextDecoder> text_;
  TableDefinition definition_;
};

}  // namespace povezava::engine::jet
