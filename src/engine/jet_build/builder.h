// Creates new, minimal Jet 3, Jet 4 and ACE 12/14 (.accdb, unencrypted)
// databases for tests, benchmarks and the demo: local tables with rows, tables linked to other files (Type 6),
// ODBC links (Type 4) and bare query entries (Type 5) in the catalogue.
//
// The files read correctly with this engine and with mdbtools; they are not
// meant for Access (no MSysObjects indexes, no MSysACEs/MSysQueries, no
// property blobs).
//
// Layout of a built file (pages in the order they are allocated):
//
//   PAGE        CONTENT
//   0           database header, RC4-masked block (version, code page, creation date)
//   1           global usage map (row 0: inline map; set bits = pages not in use)
//   2           MSysObjects tdef: the 17 catalogue columns, no indexes
//   3..         one tdef page per local table, in catalogue order
//   then        usage-map pages: owned and free maps of every table and of
//               every memo/OLE column (MSysObjects: columns 8, 9, 12-16)
//   then        catalogue data pages, with LVAL pages of the Database and
//               Connect columns where a value is longer than the inline limit
//               (Jet 4: 64 bytes, Jet 3: 32 bytes)
//   then        each local table's data pages and its memo LVAL pages
//   last        usage-map bitmap pages (type 0x05) of maps too wide to be inline
//
// Catalogue rows, in order: the containers "Tables", "Databases",
// "Relationships", "MSysDb", the row of MSysObjects itself (Id 2), then the
// entries of the DatabaseSpec. Local tables get their tdef page as Id; links
// and queries get ids from 0x80000001 on.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "base/io.h"
#include "engine/jet/format/layout.h"
#include "base/status.h"

namespace povezava::engine::jet {

struct Money {
  std::int64_t tenThousandths = 0;  // the amount times 10,000, as Jet stores currency
};

struct DateTime {
  double days = 0;  // days since 1899-12-30 00:00, the fraction is the time of day
};

// One cell. std::monostate is NULL.
using Value = std::variant<std::monostate, bool, std::int16_t, std::int32_t, double, Money, DateTime, std::u16string>;

// The day number of a calendar date (no time of day), 1899-12-30 or later.
double dateSerial(int year, int month, int day);

struct ColumnSpec {
  std::u16string name;
  // boolean, integer, longInteger, money, doubleFloat, dateTime, text, memo.
  ColumnType type = ColumnType::longInteger;
  std::uint16_t maxLength = 50;  // text: characters
};

struct LocalTableSpec {
  std::u16string name;
  std::vector<ColumnSpec> columns;
  std::vector<std::vector<Value>> rows = {};
  // More rows made on the fly after `rows`, without holding them: called with
  // 0 .. generatedRowCount-1 and a row of one Value per column to fill.
  std::uint64_t generatedRowCount = 0;
  std::function<void(std::uint64_t index, std::vector<Value>& row)> generateRow = {};
};

// How a catalogue row is stored, for tests of readers and writers.
enum class RowStorage {
  normal,
  deleted,   // written, but its slot is marked deleted (0xC000) with the bytes kept
  overflow,  // the slot holds a row pointer (0x4000) to the row, which sits on the
             // last catalogue page in a slot marked 0x8000, as Jet leaves a row
             // that outgrew its page
};

// A table linked to a Jet database or an ISAM source (catalogue Type 6).
struct LinkedTableSpec {
  std::u16string name;
  std::u16string database;     // the back-end path, stored in the Database column
  std::u16string foreignName = {};  // the table in the back-end; empty = `name`
  std::u16string connect = {};      // ISAM prefix such as "Excel 8.0;HDR=YES;"; empty = NULL
  RowStorage storage = RowStorage::normal;
};

// A table linked through ODBC (Type 4): the connection text in Connect, no Database.
struct OdbcTableSpec {
  std::u16string name;
  std::u16string connect;
};

// A query's catalogue row (Type 5) and nothing else: bulk for the catalogue.
struct QuerySpec {
  std::u16string name;
};

// The entries after this one start on a new catalogue page.
struct CataloguePageBreak {};

using CatalogueEntry = std::variant<LocalTableSpec, LinkedTableSpec, OdbcTableSpec, QuerySpec, CataloguePageBreak>;

struct DatabaseSpec {
  Version version = Version::jet4;  // jet3, jet4, ace12 or ace14 (the Jet 4 layout with an ACE header)
  // Jet 3: the code page of all text (names, paths, data). Jet 4 records it only.
  std::uint16_t codePage = 1252;
  std::vector<CatalogueEntry> entries;
  // When set, the last catalogue page is filled up with a deleted row (its
  // bytes kept, as Access sometimes leaves them) until exactly this many bytes
  // are free: for tests of rows that no longer fit. Refused when the page has
  // fewer bytes free, or exactly one more (a slot takes two).
  std::optional<std::uint16_t> lastCataloguePageFreeBytes;
  // Give MSysObjects.Database an (empty) LVAL page even when every path fits
  // in its row, as in a file where Access once stored a long path.
  bool databaseLvalPage = false;
  // Not 0: an "encoded" Jet 3/Jet 4 database, every page after page 0
  // RC4-encoded with this key XOR the page number (no password).
  std::uint32_t databaseKey = 0;
  // DateCreate and DateUpdate of every catalogue row, and the header's date.
  double created = dateSerial(2024, 1, 15) + 0.5;
};

// Writes a new database at `path` (UTF-8) as `spec` describes. The file must
// not exist yet. Local table rows are written page by page as they are made,
// so a table of hundreds of megabytes needs no more memory than a small one.
// On failure the partly written file is removed.
[[nodiscard]] Status buildDatabase(const std::string& path, const DatabaseSpec& spec);
// The same through another file system (tests inject faults with it).
[[nodiscard]] Status buildDatabase(FileSystem& fs, const std::string& path, const DatabaseSpec& spec);

// A table of about `approximateBytes` of row data, generated on the fly:
// ID LONG, NAZIV TEXT(50), ZNESEK MONEY, DATUM DATETIME, OPOMBA MEMO (NULL in
// most rows, short or long text in some).
LocalTableSpec bulkTable(std::u16string name, std::uint64_t approximateBytes, Version version = Version::jet4);

}  // namespace povezava::engine::jet
