#include "engine/jet_build/sample_databases.h"

#include <string>

#include "base/unicode.h"

namespace povezava::engine::jet {

LocalTableSpec partnerTable() {
  LocalTableSpec t;
  t.name = u"PARTNER";
  t.columns = {{u"ID", ColumnType::longInteger}, {u"NAZIV", ColumnType::text, 50}};
  t.rows = {{std::int32_t{1}, u"Mercator d.d."},
            {std::int32_t{2}, u"Računovodski servis Žužek, Šiška"},
            {std::int32_t{3}, u"Gorenje d.o.o."}};
  return t;
}

LocalTableSpec kontiTable() {
  LocalTableSpec t;
  t.name = u"KONTI";
  t.columns = {{u"KONTO", ColumnType::text, 10}, {u"NAZIV", ColumnType::text, 50}};
  t.rows = {{u"1000", u"Blagajna"},
            {u"1100", u"Denarna sredstva na računih"},
            {u"1200", u"Kratkoročne terjatve do kupcev"}};
  return t;
}

LocalTableSpec nalogiTable() {
  LocalTableSpec t;
  t.name = u"NALOGI";
  t.columns = {{u"ID", ColumnType::longInteger},
               {u"DATUM", ColumnType::dateTime},
               {u"KONTO", ColumnType::text, 10},
               {u"ZNESEK", ColumnType::money}};
  t.rows = {{std::int32_t{1}, DateTime{dateSerial(2024, 1, 15)}, u"1000", Money{1500000}},
            {std::int32_t{2}, DateTime{dateSerial(2024, 2, 3)}, u"1200", Money{12345600}}};
  return t;
}

LocalTableSpec local1Table() {
  LocalTableSpec t;
  t.name = u"LOCAL1";
  t.columns = {{u"ID", ColumnType::longInteger}, {u"OPIS", ColumnType::text, 50}, {u"OPOMBA", ColumnType::memo}};
  t.rows = {{std::int32_t{1}, u"prvi", std::monostate{}},
            {std::int32_t{2}, u"drugi", u"kratka opomba"},
            {std::int32_t{3}, u"tretji", std::u16string(40, u'ž') + u" dolga opomba, ki ne gre v vrstico"}};
  return t;
}

DatabaseSpec frontEndSpec(const FrontEndOptions& options) {
  DatabaseSpec spec;
  spec.version = options.version;
  spec.codePage = options.codePage;
  for (std::size_t i = 0; i < options.extraQueries; ++i) {
    spec.entries.push_back(QuerySpec{u"Poizvedba " + fromUtf8(std::to_string(i + 1))});
  }
  spec.entries.push_back(local1Table());
  if (options.partnerLocal) {
    spec.entries.push_back(partnerTable());
  } else {
    spec.entries.push_back(LinkedTableSpec{u"PARTNER", options.partnerDatabase, u"PARTNER"});
  }
  spec.entries.push_back(LinkedTableSpec{u"KONTI", options.quernoDatabase, u"KONTI"});
  if (options.withNalogi) spec.entries.push_back(LinkedTableSpec{u"NALOGI", options.quernoDatabase, u"NALOGI"});
  if (options.localDataBytes > 0) spec.entries.push_back(bulkTable(u"PODATKI", options.localDataBytes, options.version));
  return spec;
}

DatabaseSpec partnerBackEndSpec(Version version, std::uint16_t codePage) {
  DatabaseSpec spec;
  spec.version = version;
  spec.codePage = codePage;
  spec.entries.push_back(partnerTable());
  return spec;
}

DatabaseSpec quernoBackEndSpec(Version version, std::uint16_t codePage) {
  DatabaseSpec spec;
  spec.version = version;
  spec.codePage = codePage;
  spec.entries.push_back(kontiTable());
  spec.entries.push_back(nalogiTable());
  return spec;
}

}  // namespace povezava::engine::jet
