// Helpers for the Jet tests: fixture bytes, opening bytes in memory, and
// poking little-endian fields into a copy to damage it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/io.h"
#include "engine/jet/jet_database.h"
#include "engine/jet/read/catalog.h"
#include "engine/jet/read/data_page.h"
#include "engine/jet/read/row.h"
#include "engine/jet_build/memory_file.h"
#include "base/unicode.h"
#include "support/databases.h"
#include "support/test_support.h"
#include "platform/file_system.h"

namespace povezava::engine::jet::testing {

inline std::vector<std::byte> fixtureBytes(const std::string& relative) {
  return povezava::testing::readFile(povezava::testing::fixturesDir() / relative);
}

// A test name made from a fixture's relative path.
inline std::string fixtureTestName(const ::testing::TestParamInfo<const char*>& param) {
  return povezava::testing::testNameOf(param.param);
}

// "Jet3" or "Jet4", for tests run over both.
inline std::string versionTestName(const ::testing::TestParamInfo<Version>& param) {
  return param.param == Version::jet3 ? "Jet3" : "Jet4";
}

inline Result<std::shared_ptr<JetDatabase>> openBytes(std::vector<std::byte> bytes,
                                                      const std::string& name = "damaged.mdb") {
  return JetDatabase::open(std::make_unique<MemoryFile>(name, std::move(bytes)),
                           std::u16string(name.begin(), name.end()));
}

inline Result<std::unique_ptr<JetFile>> openJetFile(std::vector<std::byte> bytes,
                                                    const std::string& name = "damaged.mdb") {
  return JetFile::open(std::make_unique<MemoryFile>(name, std::move(bytes)), name);
}

inline void putU8(std::vector<std::byte>& b, std::size_t at, std::uint32_t v) {
  b.at(at) = static_cast<std::byte>(v & 0xFF);
}
inline void putU16(std::vector<std::byte>& b, std::size_t at, std::uint32_t v) {
  putU8(b, at, v);
  putU8(b, at + 1, v >> 8);
}
inline void putU32(std::vector<std::byte>& b, std::size_t at, std::uint32_t v) {
  putU16(b, at, v);
  putU16(b, at + 2, v >> 16);
}
inline std::uint32_t getU16(const std::vector<std::byte>& b, std::size_t at) {
  return std::to_integer<std::uint32_t>(b.at(at)) | (std::to_integer<std::uint32_t>(b.at(at + 1)) << 8);
}
inline std::uint32_t getU32(const std::vector<std::byte>& b, std::size_t at) {
  return getU16(b, at) | (getU16(b, at + 2) << 16);
}

// A data page of `layout` owned by `owner`, its rows packed from the end in
// slot order; `flags[i]` is or-ed into slot i's offset word.
inline std::vector<std::byte> makeDataPage(const Layout& layout, std::uint32_t owner,
                                           const std::vector<std::vector<std::byte>>& rows,
                                           const std::vector<std::uint16_t>& flags = {}) {
  std::vector<std::byte> page(layout.pageSize);
  putU8(page, kOffsetPageType, kPageTypeData);
  putU8(page, kOffsetPageMarker, kPageMarker);
  putU32(page, kOffsetOwner, owner);
  putU16(page, layout.dataOffsetRowCount, static_cast<std::uint32_t>(rows.size()));
  std::size_t end = layout.pageSize;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::size_t start = end - rows[i].size();
    std::copy(rows[i].begin(), rows[i].end(), page.begin() + static_cast<std::ptrdiff_t>(start));
    const std::uint32_t flag = i < flags.size() ? flags[i] : 0;
    putU16(page, layout.dataHeaderLength + 2 * i, static_cast<std::uint32_t>(start) | flag);
    end = start;
  }
  putU16(page, kOffsetFreeSpace,
         static_cast<std::uint32_t>(end - layout.dataHeaderLength - 2 * rows.size()));
  return page;
}

// The first three pages of a Jet 4 fixture followed by `extra` pages: a file
// that opens, for tests of structures on the extra pages (numbered from 3).
inline std::vector<std::byte> jet4FileWith(const std::vector<std::vector<std::byte>>& extra) {
  std::vector<std::byte> bytes = fixtureBytes("jet4-v2000/TQ.mdb");
  bytes.resize(std::size_t{3} * kLayoutJet4.pageSize);
  for (const auto& page : extra) bytes.insert(bytes.end(), page.begin(), page.end());
  return bytes;
}

inline std::vector<std::byte> bytesOf(std::initializer_list<int> values) {
  std::vector<std::byte> out;
  for (int v : values) out.push_back(static_cast<std::byte>(v));
  return out;
}

inline std::vector<std::byte> le32(std::uint32_t v) {
  return bytesOf({static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF),
                  static_cast<int>((v >> 16) & 0xFF), static_cast<int>(v >> 24)});
}

inline std::vector<std::byte> concat(std::initializer_list<std::vector<std::byte>> parts) {
  std::vector<std::byte> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

inline std::vector<std::byte> repeated(std::size_t count, char c) {
  return std::vector<std::byte>(count, static_cast<std::byte>(c));
}

// A file on disk opened with the engine's reader, and its catalogue.
struct OpenedCatalog {
  std::unique_ptr<JetFile> file;
  std::optional<Catalog> catalog;  // empty when something did not open (the test has failed)

  // The catalogue's tables (empty after a test failure).
  std::vector<CatalogTable> tables() {
    if (!catalog) return {};
    auto read = catalog->tables();
    EXPECT_TRUE(read.ok()) << read.status().toString();
    return read.ok() ? *read : std::vector<CatalogTable>{};
  }
};

inline OpenedCatalog openCatalog(const std::filesystem::path& path, OpenMode mode = OpenMode::readOnly) {
  OpenedCatalog out;
  auto raw = posixFileSystem().open(path.string(), mode);
  EXPECT_TRUE(raw.ok()) << raw.status().toString();
  if (!raw.ok()) return out;
  auto file = JetFile::open(std::move(*raw), path.string());
  EXPECT_TRUE(file.ok()) << file.status().toString();
  if (!file.ok()) return out;
  out.file = std::move(*file);
  auto catalog = Catalog::open(*out.file);
  EXPECT_TRUE(catalog.ok()) << catalog.status().toString();
  if (catalog.ok()) out.catalog.emplace(std::move(*catalog));
  return out;
}

// The catalogue's tables of a file on disk (empty after a test failure).
inline std::vector<CatalogTable> catalogTables(const std::filesystem::path& path) { return openCatalog(path).tables(); }

// The value of a catalogue column in `table`'s row: its bytes, where they
// start in the row, and the row's length. Nothing after a test failure or
// when the value is null.
struct CatalogValue {
  std::vector<std::byte> bytes;
  std::size_t offsetInRow = 0;
  std::size_t rowLength = 0;
};

inline std::optional<CatalogValue> catalogValue(JetFile& file, const Catalog& catalog, const CatalogTable& table,
                                                std::u16string_view column) {
  auto page = file.page(table.address.dataPage);
  EXPECT_TRUE(page.ok()) << page.status().toString();
  if (!page.ok()) return std::nullopt;
  auto row = rowBytes(file, *page, table.address.dataRow);
  EXPECT_TRUE(row.ok()) << row.status().toString();
  if (!row.ok()) return std::nullopt;
  auto parsed = Row::parse(*row, catalog.definition(), file.layout(), file.displayName(), table.address.dataPage);
  EXPECT_TRUE(parsed.ok()) << parsed.status().toString();
  if (!parsed.ok()) return std::nullopt;
  auto value = parsed->value(*catalog.definition().column(column));
  EXPECT_TRUE(value.ok()) << value.status().toString();
  if (!value.ok() || !value->has_value()) return std::nullopt;
  const auto bytes = (*value)->bytes();
  return CatalogValue{{bytes.begin(), bytes.end()}, static_cast<std::size_t>(bytes.data() - row->bytes().data()),
                      row->size()};
}

// The table of that name, or nullptr.
inline const CatalogTable* findTable(const std::vector<CatalogTable>& tables, std::u16string_view name) {
  const auto it = std::find_if(tables.begin(), tables.end(), [&](const CatalogTable& t) { return t.name == name; });
  return it == tables.end() ? nullptr : &*it;
}

using povezava::testing::Listed;
using povezava::testing::listingLines;
using povezava::testing::listTables;

// Where a table's catalogue row lies in an unencoded file's bytes.
struct CatalogRowPlace {
  CatalogTable table;
  std::size_t slotWordAt = 0;  // file offset of the slot's offset word
  std::size_t rowAt = 0;       // file offset of the row's first byte (data slot)
  std::size_t rowLength = 0;
  std::uint32_t pageSize = 0;
};

inline CatalogRowPlace locateCatalogRow(const std::vector<std::byte>& bytes, std::u16string_view name) {
  CatalogRowPlace place;
  auto db = openBytes(bytes, "locate.mdb");
  if (!db) {
    ADD_FAILURE() << db.status().toString();
    return place;
  }
  auto tables = (*db)->readTables();
  if (!tables) {
    ADD_FAILURE() << tables.status().toString();
    return place;
  }
  for (const CatalogTable& t : *tables) {
    if (t.name != name) continue;
    JetFile& file = (*db)->file();
    const Layout& layout = file.layout();
    place.table = t;
    place.pageSize = layout.pageSize;
    place.slotWordAt = std::size_t{t.address.slotPage} * layout.pageSize + layout.dataHeaderLength +
                       2 * std::size_t{t.address.slotRow};
    auto page = file.page(t.address.dataPage);
    auto row = rowBytes(file, *page, t.address.dataRow);
    const auto start = rowStart(static_cast<std::uint16_t>(getU16(
        bytes, std::size_t{t.address.dataPage} * layout.pageSize + layout.dataHeaderLength +
                   2 * std::size_t{t.address.dataRow})));
    place.rowAt = std::size_t{t.address.dataPage} * layout.pageSize + start;
    place.rowLength = row->size();
    return place;
  }
  ADD_FAILURE() << "no catalogue row named as asked";
  return place;
}

}  // namespace povezava::engine::jet::testing
