// A small suite of builder-made databases in a temporary folder, for the
// command-line tests: back-ends PARTNER.MDB (PARTNER) and QUERNO.MDB (KONTI,
// NALOGI) in data/, and front-ends that link to them or to elsewhere.
//
// Header-only: the test folders build from *_test.cpp files alone.
#pragma once

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/console.h"
#include "engine/engine.h"
#include "engine/jet/builder.h"
#include "engine/jet/sample_databases.h"
#include "engine/unicode.h"
#include "support/test_support.h"

namespace povezava::cli::testing {

namespace jet = engine::jet;

// A local table with one column and one row.
inline jet::LocalTableSpec localTable(std::u16string name) {
  return jet::LocalTableSpec{std::move(name), {{u"ID", jet::ColumnType::longInteger}}, {{std::int32_t{1}}}};
}

inline jet::DatabaseSpec spec(jet::Version version, std::vector<jet::CatalogueEntry> entries) {
  jet::DatabaseSpec made;
  made.version = version;
  made.codePage = 1250;
  made.entries = std::move(entries);
  return made;
}

inline void build(const std::filesystem::path& file, jet::DatabaseSpec spec) {
  const auto status = jet::buildDatabase(file.string(), spec);
  ASSERT_TRUE(status.ok()) << status.toString();
}

// PARTNER.MDB and QUERNO.MDB in `folder` (created), Jet 4 unless told.
inline void buildBackEnds(const std::filesystem::path& folder, jet::Version version = jet::Version::jet4) {
  std::filesystem::create_directories(folder);
  build(folder / "PARTNER.MDB", jet::partnerBackEndSpec(version, 1250));
  build(folder / "QUERNO.MDB", jet::quernoBackEndSpec(version, 1250));
}

// A front-end whose PARTNER, KONTI and NALOGI point at `partner` and `codes`,
// with the local table LOCAL1 and the extra entries given.
inline void buildFrontEnd(const std::filesystem::path& file, const std::u16string& partner,
                          const std::u16string& codes, std::vector<jet::CatalogueEntry> extra = {},
                          jet::Version version = jet::Version::jet4) {
  jet::FrontEndOptions options;
  options.version = version;
  options.codePage = 1250;
  options.partnerDatabase = partner;
  options.quernoDatabase = codes;
  jet::DatabaseSpec made = jet::frontEndSpec(options);
  for (auto& entry : extra) made.entries.push_back(std::move(entry));
  build(file, std::move(made));
}

inline std::u16string u16(const std::filesystem::path& path) { return engine::fromUtf8(path.string()); }

// A command run in-process with its output captured.
struct Captured {
  std::ostringstream out;
  std::ostringstream err;
  Console console{out, err, false};
};

inline std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

// The Connect of a table of `file`, read through the engine afresh; the
// error, in angle brackets, when it cannot be read.
inline std::u16string storedConnect(const std::filesystem::path& file, std::u16string_view table) {
  auto db = engine::dbEngine().openDatabase(u16(file));
  if (!db) return u"<" + engine::fromUtf8(db.status().toString()) + u">";
  auto defs = (*db)->tableDefs();
  if (!defs) return u"<" + engine::fromUtf8(defs.status().toString()) + u">";
  auto found = (*defs)->item(table);
  if (!found) return u"<" + engine::fromUtf8(found.status().toString()) + u">";
  auto link = (*found)->connect();
  (void)(*db)->close();
  return link ? *link : u"<" + engine::fromUtf8(link.status().toString()) + u">";
}

}  // namespace povezava::cli::testing
