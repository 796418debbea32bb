// Builder-made databases, and what a fresh open of one reads through the
// engine: shared by the tests of every folder that links the engine.
//
// Header-only: the folders without the engine never include it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/engine.h"
#include "engine/jet/builder.h"
#include "engine/jet/sample_databases.h"
#include "engine/unicode.h"

namespace povezava::testing {

// Builds `file`; the test fails when the builder refuses.
inline void buildFile(const std::filesystem::path& file, const engine::jet::DatabaseSpec& spec) {
  const engine::Status status = engine::jet::buildDatabase(file.string(), spec);
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
  auto db = engine::dbEngine().openDatabase(engine::fromUtf8(file.string()));
  if (!db) return u"<" + engine::fromUtf8(db.status().toString()) + u">";
  auto defs = (*db)->tableDefs();
  if (!defs) return u"<" + engine::fromUtf8(defs.status().toString()) + u">";
  auto found = (*defs)->item(table);
  if (!found) return u"<" + engine::fromUtf8(found.status().toString()) + u">";
  auto link = (*found)->connect();
  (void)(*db)->close();
  return link ? *link : u"<" + engine::fromUtf8(link.status().toString()) + u">";
}

}  // namespace povezava::testing
