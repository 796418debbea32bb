// Databases shaped like the ones povezava is made for, built with the
// builder: a front-end (TQ.mdb) with the linked tables PARTNER, KONTI and
// NALOGI and a local table LOCAL1, the partner back-end (PARTNER.MDB, table
// PARTNER) and the code-table back-end (QUERNO.MDB, tables KONTI and NALOGI).
// Tests, the benchmark and `povezava-cli make-demo` use them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/jet_build/builder.h"

namespace povezava::engine::jet {

struct FrontEndOptions {
  Version version = Version::jet4;
  std::uint16_t codePage = 1252;
  std::u16string partnerDatabase = u"C:\\APP\\PARTNER.MDB";
  std::u16string quernoDatabase = u"C:\\APP\\QUERNO.MDB";
  bool withNalogi = true;
  bool partnerLocal = false;         // PARTNER as a local table (3 rows) instead of a link
  std::size_t extraQueries = 0;      // query rows before the tables, spreading the catalogue
  std::uint64_t localDataBytes = 0;  // about this much row data in a local table PODATKI
};

// Catalogue order: the extra queries, LOCAL1, PARTNER, KONTI, NALOGI, PODATKI.
DatabaseSpec frontEndSpec(const FrontEndOptions& options);
DatabaseSpec partnerBackEndSpec(Version version, std::uint16_t codePage = 1252);
DatabaseSpec quernoBackEndSpec(Version version, std::uint16_t codePage = 1252);

// The tables, with their rows.
LocalTableSpec partnerTable();  // ID LONG, NAZIV TEXT(50); 3 rows
LocalTableSpec kontiTable();    // KONTO TEXT(10), NAZIV TEXT(50); 3 rows
LocalTableSpec nalogiTable();   // ID LONG, DATUM DATETIME, KONTO TEXT(10), ZNESEK MONEY; 2 rows
LocalTableSpec local1Table();   // ID LONG, OPIS TEXT(50), OPOMBA MEMO; 3 rows

}  // namespace povezava::engine::jet
