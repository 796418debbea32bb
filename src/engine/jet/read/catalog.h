// The catalogue, MSysObjects: one row per object of the database.
//
// Its definition is page 2; its rows are read from every page of its owned
// usage map, in page and slot order (deleted rows skipped, overflow rows
// followed). The table definitions are the rows under the "Tables" container
// with Type 1 (local), 4 (ODBC link) or 6 (file link), system tables included.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/engine.h"
#include "engine/jet/format/text.h"
#include "engine/jet/read/data_page.h"
#include "engine/jet/read/jet_file.h"
#include "engine/jet/read/row.h"
#include "engine/jet/read/table_definition.h"
#include "base/status.h"

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

struct CatalogColumns;

class Catalog {
 public:
  // REQUIRES: `file` outlives the Catalog.
  [[nodiscard]] static Result<Catalog> open(JetFile& file);

  const TableDefinition& definition() const { return definition_; }
  const TextDecoder& text() const { return *text_; }

  // The table definitions, in catalogue order. Corrupt when the catalogue has
  // no "Tables" row, or any row cannot be read.
  [[nodiscard]] Result<std::vector<CatalogTable>> tables();
  // The table of that name (compared without regard to case), reading only
  // names until it is found; nothing when there is none.
  [[nodiscard]] Result<std::optional<CatalogTable>> findTable(std::u16string_view name);
  // `known`'s row read again from its slot (after a relink changed it).
  [[nodiscard]] Result<CatalogTable> reread(const CatalogTable& known);

 private:
  Catalog(JetFile& file, std::unique_ptr<TextDecoder> text, TableDefinition definition);
  // Database, Connect and ForeignName of a linked table's row into `table`.
  [[nodiscard]] Status readLinkColumns(const Row& row, const CatalogColumns& columns, std::uint32_t page,
                                       std::uint64_t& budget, CatalogTable& table);
  // The table rows, all of them or only those named `only`.
  [[nodiscard]] Result<std::vector<CatalogTable>> scan(std::optional<std::u16string_view> only);

  JetFile* file_;
  std::unique_ptr<TextDecoder> text_;
  TableDefinition definition_;
};

// How many live catalogue values point at each long-value row, by row
// pointer: a sorted list, cheap to copy for every relink.
class LongValueReferences {
 public:
  LongValueReferences() = default;
  // The counts of `pointers`, one entry per value that points somewhere.
  static LongValueReferences counted(std::vector<std::uint32_t> pointers);

  int count(std::uint32_t pointer) const;
  // One value more points at `pointer`.
  void add(std::uint32_t pointer);
  // One value fewer; the pointer is forgotten at zero.
  void remove(std::uint32_t pointer);

 private:
  std::vector<std::pair<std::uint32_t, int>> counts_;  // ascending pointers
};

// A catalogue decoded once, with the pages it was decoded from. What was
// decoded from them is still what the file says while they hold the same
// bytes and the file the same number of pages: checking that costs a read and
// a comparison of each page, no decoding.
struct DecodedCatalog {
  // Shared, so that a catalogue that differs from another in one row shares
  // the others.
  std::vector<std::shared_ptr<const CatalogTable>> tables;
  std::vector<Page> pages;  // ascending
  std::uint32_t pageCount = 0;
  // How many live catalogue values point at each long-value row (by row
  // pointer); counted by the first relink that needs it, null until then.
  std::shared_ptr<const LongValueReferences> references;

  // Where the table of that name (ignoring case) is in `tables`, the first
  // of them should a damaged catalogue name one twice; nothing when none.
  std::optional<std::size_t> indexOf(std::u16string_view name) const;
  // The table of that name, as indexOf() finds it; null when there is none.
  const CatalogTable* find(std::u16string_view name) const;

  // Whether `file` (its cache dropped) still holds exactly those pages.
  [[nodiscard]] bool stillHolds(JetFile& file) const;
};

// Decodes the catalogue of `file`, noting the pages it reads.
[[nodiscard]] Result<DecodedCatalog> decodeCatalog(JetFile& file);

// `before` after a relink of `table` changed only that table's row and the
// long values it points at (link_writer.h, invariant 2): that row read again,
// the other rows as they were, every page noted as it is now, `references`
// as the relink left them. For the writer, while it still holds the lock and
// `before` has just been found to hold: only the pages in `written` changed.
[[nodiscard]] Result<DecodedCatalog> decodedAfterRelink(JetFile& file, const DecodedCatalog& before,
                                                        std::u16string_view table,
                                                        std::shared_ptr<const LongValueReferences> references,
                                                        std::span<const std::uint32_t> written);

}  // namespace povezava::engine::jet
