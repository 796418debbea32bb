// Builder-made databases, and what a fresh open of one reads through the
// engine: shared by the tests of every folder that links the engine.
//
// Header-only: the folders without the engine never include it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/engine.h"
#include "engine/jet_build/builder.h"
#include "engine/jet_build/sample_databases.h"
#include "base/native_text.h"
#include "base/unicode.h"
#include "support/test_engine.h"

namespace povezava::testing {

// Builds `file`; the test fails when the builder refuses.
inline void buildFile(const std::filesystem::path& file, const engine::jet::DatabaseSpec& spec) {
  const engine::Status status = engine::jet::buildDatabase(engine::utf8Of(file), spec);
  ASSERT_TRUE(status.ok()) << file.string() << ": " << status.toString();
}

// The back-ends PARTNER.MDB (PARTNER) and QUERNO.MDB (KONTI, NALOGI) in
// `folder` (created).
inline void buildBackEnds(const std::filesystem::path& folder,
                          engine::jet::Version version = engine::jet::Version::jet4,
                          std::uint16_t codePage = 1250) {
  std::filesystem::create_directories(folder);
  buildFile(folder / "PARTNER.MDB", engine::jet::partnerBackEndSpec(version, codePage));
  buildFile(folder / "QUERNO.MDB", engine::jet::quernoBackEndSpec(version, codePage));
}

// A front-end (its folder created) whose PARTNER, KONTI and NALOGI point at
// `partner` and `codes`, with the local table LOCAL1 and the extra entries.
inline void buildFrontEnd(const std::filesystem::path& file, const std::u16string& partner,
                          const std::u16string& codes, std::vector<engine::jet::CatalogueEntry> extra = {},
                          engine::jet::Version version = engine::jet::Version::jet4,
                          std::uint16_t codePage = 1250) {
  engine::jet::FrontEndOptions options;
  options.version = version;
  options.codePage = codePage;
  options.partnerDatabase = partner;
  options.quernoDatabase = codes;
  engine::jet::DatabaseSpec made = engine::jet::frontEndSpec(options);
  for (auto& entry : extra) made.entries.push_back(std::move(entry));
  std::filesystem::create_directories(file.parent_path());
  buildFile(file, made);
}

// The Connect of a table of `file`, read through the engine afresh; the
// error, in angle brackets, when it cannot be read.
inline std::u16string storedConnect(const std::filesystem::path& file, std::u16string_view table) {
  auto db = povezava::testing::testEngine().openDatabase(engine::fromUtf8(engine::utf8Of(file)));
  if (!db) return u"<" + engine::fromUtf8(db.status().toString()) + u">";
  auto defs = (*db)->tableDefs();
  if (!defs) return u"<" + engine::fromUtf8(defs.status().toString()) + u">";
  auto found = (*defs)->item(table);
  if (!found) return u"<" + engine::fromUtf8(found.status().toString()) + u">";
  auto link = (*found)->connect();
  (void)(*db)->close();
  return link ? *link : u"<" + engine::fromUtf8(link.status().toString()) + u">";
}

// One entry of the engine's table-definition collection.
struct Listed {
  std::string name;
  std::string kind;
  std::string connect;  // the error's text when it cannot be read (the test has failed)
  bool system = false;

  std::string line() const { return name + "|" + kind + "|" + connect; }
  bool operator==(const Listed&) const = default;
};

inline void PrintTo(const Listed& t, std::ostream* out) { *out << t.line(); }

// The engine's table-definition collection of a file, in catalogue order.
inline std::vector<Listed> listTables(const std::filesystem::path& path) {
  std::vector<Listed> out;
  auto db = povezava::testing::testEngine().openDatabase(engine::fromUtf8(engine::utf8Of(path)));
  EXPECT_TRUE(db.ok()) << path.string() << ": " << db.status().toString();
  if (!db.ok()) return out;
  auto tables = (*db)->tableDefs();
  EXPECT_TRUE(tables.ok()) << path.string() << ": " << tables.status().toString();
  if (!tables.ok()) return out;
  for (std::size_t i = 0; i < (*tables)->count(); ++i) {
    const auto t = (*tables)->at(i);
    auto link = t->connect();
    EXPECT_TRUE(link.ok()) << path.string() << ": " << link.status().toString();
    out.push_back({engine::toUtf8(t->name()), std::string(engine::kindName(t->kind())),
                   link.ok() ? engine::toUtf8(*link) : link.status().toString(), t->isSystem()});
  }
  EXPECT_TRUE((*db)->close().ok());
  return out;
}

// The same as "name|kind|connect" lines.
inline std::vector<std::string> listingLines(const std::filesystem::path& path) {
  std::vector<std::string> out;
  for (const Listed& t : listTables(path)) out.push_back(t.line());
  return out;
}

}  // namespace povezava::testing
