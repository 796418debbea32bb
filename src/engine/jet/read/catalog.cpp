#include "engine/jet/read/catalog.h"

#include <algorithm>
#include <cstring>

#include "base/case_fold.h"
#include "base/errors.h"
#include "engine/jet/format/layout.h"
#include "engine/jet/format/long_value.h"
#include "engine/jet/read/long_value.h"
#include "engine/jet/read/row.h"
#include "engine/jet/read/usage_map.h"
#include "engine/link_path.h"
#include "base/unicode.h"

namespace povezava::engine::jet {
// The catalogue's columns that povezava reads.
struct CatalogColumns {
  const ColumnDef* id;
  const ColumnDef* parentId;
  const ColumnDef* name;
  const ColumnDef* type;
  const ColumnDef* flags;
  const ColumnDef* database;
  const ColumnDef* connect;
  const ColumnDef* foreignName;
};

namespace {


bool hasType(const ColumnDef* c, ColumnType type) {
  return c != nullptr && c->type == static_cast<std::uint8_t>(type);
}

bool fixedOfSize(const ColumnDef* c, ColumnType type, std::uint16_t size) {
  return hasType(c, type) && c->isFixed() && c->length == size;
}

bool isText(const ColumnDef* c) {
  return c != nullptr && !c->isFixed() &&
         (hasType(c, ColumnType::text) || hasType(c, ColumnType::memo));
}

Result<CatalogColumns> findColumns(const JetFile& file, const TableDefinition& def) {
  CatalogColumns c{def.column(kCatalogColumnId),       def.column(kCatalogColumnParentId),
                   def.column(kCatalogColumnName),     def.column(kCatalogColumnType),
                   def.column(kCatalogColumnFlags),    def.column(kCatalogColumnDatabase),
                   def.column(kCatalogColumnConnect),  def.column(kCatalogColumnForeignName)};
  const bool ok = fixedOfSize(c.id, ColumnType::longInteger, 4) &&
                  fixedOfSize(c.parentId, ColumnType::longInteger, 4) &&
                  fixedOfSize(c.type, ColumnType::integer, 2) &&
                  fixedOfSize(c.flags, ColumnType::longInteger, 4) && isText(c.name) &&
                  isText(c.database) && isText(c.connect) && isText(c.foreignName);
  if (!ok) return file.corrupt(kCatalogTdefPage, "the catalogue's columns are not as expected");
  return c;
}

std::uint32_t fixedU32(const std::optional<PageView>& v) {
  return v ? v->u32(0).value_or(0) : 0;
}

// A text or memo column's value; nullopt when NULL.
Result<std::optional<std::u16string>> textValue(JetFile& file, const TextDecoder& text,
                                                 const Row& row, const ColumnDef& column,
                                                 std::uint32_t page, std::uint64_t& budget) {
  auto v = row.value(column);
  if (!v) return v.status();
  if (!*v) return std::optional<std::u16string>();
  if (!column.isLongValue()) return std::optional<std::u16string>(text.decode(**v));
  // Names, paths and connect texts: nothing Jet stores there comes near this.
  // A damaged length must not make the reader hold most of the file.
  constexpr std::uint32_t kMaxCatalogueText = 64 * 1024;
  const auto length = LongValueHeader::declaredLength((*v)->bytes());
  if (length && *length > kMaxCatalogueText) {
    return file.corrupt(page, "a catalogue value is longer than Jet stores");
  }
  auto value = viewLongValue(file, **v, page, budget);
  if (!value) return value.status();
  return std::optional<std::u16string>(text.decode(value->bytes()));
}

bool isTableType(std::int16_t type) {
  return type == kObjectTypeLocalTable || type == kObjectTypeOdbcTable ||
         type == kObjectTypeLinkedTable;
}

}  // namespace

TableKind CatalogTable::kind() const {
  switch (type) {
    case kObjectTypeOdbcTable: return TableKind::odbc;
    case kObjectTypeLinkedTable: return TableKind::linked;
    default: return TableKind::local;
  }
}

bool CatalogTable::isSystem() const {
  return (flags & kObjectFlagsSystem) != 0 || startsWithIgnoringCase(name, kSystemTablePrefix);
}

std::u16string CatalogTable::composedConnect() const {
  switch (kind()) {
    case TableKind::local: return {};
    case TableKind::odbc: return connect.value_or(std::u16string());
    case TableKind::linked: break;
  }
  const std::u16string_view path = database ? std::u16string_view(*database) : std::u16string_view();
  if (connect && !connect->empty()) return composeLink(*connect, path);
  return jetLink(path);
}

Catalog::Catalog(JetFile& file, std::unique_ptr<TextDecoder> text, TableDefinition definition)
    : file_(&file), text_(std::move(text)), definition_(std::move(definition)) {}

Result<Catalog> Catalog::open(JetFile& file) {
  auto text = std::make_unique<TextDecoder>(file.layout(), file.header().codePage);
  auto def = readTableDefinition(file, kCatalogTdefPage, *text);
  if (!def) return def.status();
  return Catalog(file, std::move(text), std::move(*def));
}

Result<std::vector<CatalogTable>> Catalog::tables() { return scan(std::nullopt); }

Result<std::optional<CatalogTable>> Catalog::findTable(std::u16string_view name) {
  auto found = scan(name);
  if (!found) return found.status();
  if (found->empty()) return std::optional<CatalogTable>();
  return std::optional<CatalogTable>(std::move(found->front()));
}

Status Catalog::readLinkColumns(const Row& row, const CatalogColumns& columns, std::uint32_t page,
                                std::uint64_t& budget, CatalogTable& table) {
  if (table.kind() == TableKind::local) return Status::success();
  auto database = textValue(*file_, *text_, row, *columns.database, page, budget);
  if (!database) return database.status();
  auto connect = textValue(*file_, *text_, row, *columns.connect, page, budget);
  if (!connect) return connect.status();
  auto foreign = textValue(*file_, *text_, row, *columns.foreignName, page, budget);
  if (!foreign) return foreign.status();
  table.database = std::move(*database);
  table.connect = std::move(*connect);
  table.foreignName = std::move(*foreign);
  return Status::success();
}

Result<CatalogTable> Catalog::reread(const CatalogTable& known) {
  JetFile& file = *file_;
  auto columns = findColumns(file, definition_);
  if (!columns) return columns.status();
  auto data = readRowAt(file, makeRowPointer(known.address.slotPage, static_cast<std::uint8_t>(known.address.slotRow)),
                        known.address);
  if (!data) return data.status();
  const std::uint32_t page = data->address.dataPage;
  auto row = Row::parse(data->bytes, definition_, file.layout(), file.displayName(), page);
  if (!row) return row.status();
  std::uint64_t budget = std::uint64_t{file.pageCount()} * file.layout().pageSize;
  auto name = textValue(file, *text_, *row, *columns->name, page, budget);
  if (!name) return name.status();
  if (!name->has_value() || !equalsIgnoringCase(**name, known.name)) {
    return file.corrupt(page, "the catalogue row of a table is not where it was");
  }
  CatalogTable table = known;
  table.address = data->address;
  table.database.reset();
  table.connect.reset();
  table.foreignName.reset();
  if (Status s = readLinkColumns(*row, *columns, page, budget, table); !s.ok()) return s;
  return table;
}

Result<std::vector<CatalogTable>> Catalog::scan(std::optional<std::u16string_view> only) {
  JetFile& file = *file_;
  auto columns = findColumns(file, definition_);
  if (!columns) return columns.status();
  auto pages = readUsageMap(file, definition_.ownedMap);
  if (!pages) return pages.status();

  // Every table-typed row is kept; the "Tables" container's Id is known only
  // once it has been met, and rows need not come after it.
  std::vector<CatalogTable> candidates;
  if (!only) candidates.reserve(pages->size() * 32);
  std::optional<std::uint32_t> tablesId;
  // Looking for one name: done once it is found under a known "Tables" row.
  bool done = false;
  const auto found = [&] {
    return tablesId && std::any_of(candidates.begin(), candidates.end(),
                                   [&](const CatalogTable& t) { return t.parentId == *tablesId; });
  };
  // Long values may share LVAL rows; all of them together may not read more
  // than the file holds.
  std::uint64_t budget = std::uint64_t{file.pageCount()} * file.layout().pageSize;
  const auto visit = [&](const RowData& data) -> Status {
    const std::uint32_t page = data.address.dataPage;
    auto row = Row::parse(data.bytes, definition_, file.layout(), file.displayName(), page);
    if (!row) return row.status();
    auto type = row->value(*columns->type);
    auto parentId = row->value(*columns->parentId);
    auto id = row->value(*columns->id);
    auto flags = row->value(*columns->flags);
    if (!type) return type.status();
    if (!parentId) return parentId.status();
    if (!id) return id.status();
    if (!flags) return flags.status();
    const auto typeValue =
        static_cast<std::int16_t>(*type ? (*type)->u16(0).value_or(0) : std::uint16_t{0});
    if (typeValue != kObjectTypeContainer && !isTableType(typeValue)) return Status::success();
    auto name = textValue(file, *text_, *row, *columns->name, page, budget);
    if (!name) return name.status();
    if (typeValue == kObjectTypeContainer) {
      if (fixedU32(*parentId) == kContainersParentId && *name == kTablesContainerName &&
          !tablesId) {
        tablesId = fixedU32(*id);
        done = only && found();
      }
      return Status::success();
    }
    if (only && !equalsIgnoringCase(name->value_or(std::u16string()), *only)) return Status::success();
    // Made in place: on failure the whole scan fails.
    CatalogTable& table = candidates.emplace_back();
    table.address = data.address;
    table.id = fixedU32(*id);
    table.parentId = fixedU32(*parentId);
    table.type = typeValue;
    table.flags = fixedU32(*flags);
    if (*name) table.name = std::move(**name);
    if (Status s = readLinkColumns(*row, *columns, page, budget, table); !s.ok()) return s;
    done = only && found();
    return Status::success();
  };
  for (const std::uint32_t page : *pages) {
    if (done) break;
    const Status s = forEachRow(file, page, kCatalogTdefPage,
                                [&](const RowData& data) { return done ? Status::success() : visit(data); });
    if (!s.ok()) return s;
  }
  if (!tablesId) return file.corrupt(kCatalogTdefPage, "the catalogue has no \"Tables\" row");
  std::erase_if(candidates, [&](const CatalogTable& t) { return t.parentId != *tablesId; });
  return candidates;
}

LongValueReferences LongValueReferences::counted(std::vector<std::uint32_t> pointers) {
  std::sort(pointers.begin(), pointers.end());
  LongValueReferences references;
  for (const std::uint32_t pointer : pointers) {
    if (references.counts_.empty() || references.counts_.back().first != pointer) {
      references.counts_.emplace_back(pointer, 0);
    }
    ++references.counts_.back().second;
  }
  return references;
}

namespace {

// The first entry of `counts` (ascending pointers) not below `pointer`.
template <typename Counts>
auto positionOf(Counts& counts, std::uint32_t pointer) {
  return std::lower_bound(counts.begin(), counts.end(), pointer,
                          [](const auto& entry, std::uint32_t p) { return entry.first < p; });
}

}  // namespace

int LongValueReferences::count(std::uint32_t pointer) const {
  const auto found = positionOf(counts_, pointer);
  return found != counts_.end() && found->first == pointer ? found->second : 0;
}

void LongValueReferences::add(std::uint32_t pointer) {
  const auto found = positionOf(counts_, pointer);
  if (found != counts_.end() && found->first == pointer) {
    ++found->second;
  } else {
    counts_.insert(found, {pointer, 1});
  }
}

void LongValueReferences::remove(std::uint32_t pointer) {
  const auto found = positionOf(counts_, pointer);
  if (found != counts_.end() && found->first == pointer && --found->second <= 0) counts_.erase(found);
}

bool DecodedCatalog::stillHolds(JetFile& file) const {
  if (file.pageCount() != pageCount) return false;
  return std::all_of(pages.begin(), pages.end(), [&](const Page& was) { return file.holds(was); });
}

Result<DecodedCatalog> decodedAfterRelink(JetFile& file, const DecodedCatalog& before, std::u16string_view table,
                                          std::shared_ptr<const LongValueReferences> references,
                                          std::span<const std::uint32_t> written) {
  const auto known = before.indexOf(table);
  if (!known) return errors::itemNotFound(toUtf8(table));
  file.dropCache();
  file.startRecording();
  auto catalog = Catalog::open(file);
  auto row = catalog ? catalog->reread(*before.tables[*known]) : Result<CatalogTable>(catalog.status());
  // Every other row reads as before. Its pages are as the writer found them
  // under the lock, but for those it wrote: those are taken as they are now.
  for (const Page& page : before.pages) {
    if (std::find(written.begin(), written.end(), page.number()) != written.end()) (void)file.page(page.number());
  }
  std::vector<Page> pages = file.stopRecording();
  if (!row) return row.status();
  for (const Page& page : before.pages) {
    const auto there = std::find_if(pages.begin(), pages.end(), [&](const Page& p) { return p.number() == page.number(); });
    if (there == pages.end()) pages.push_back(page);
  }
  std::sort(pages.begin(), pages.end(), [](const Page& a, const Page& b) { return a.number() < b.number(); });
  DecodedCatalog after{before.tables, std::move(pages), file.pageCount(), std::move(references)};
  after.tables[*known] = std::make_shared<const CatalogTable>(std::move(*row));
  return after;
}

std::optional<std::size_t> DecodedCatalog::indexOf(std::u16string_view name) const {
  for (std::size_t i = 0; i < tables.size(); ++i) {
    if (equalsIgnoringCase(tables[i]->name, name)) return i;
  }
  return std::nullopt;
}

const CatalogTable* DecodedCatalog::find(std::u16string_view name) const {
  const auto index = indexOf(name);
  return index ? tables[*index].get() : nullptr;
}

Result<DecodedCatalog> decodeCatalog(JetFile& file) {
  file.startRecording();
  auto catalog = Catalog::open(file);
  auto tables = catalog ? catalog->tables() : Result<std::vector<CatalogTable>>(catalog.status());
  std::vector<Page> pages = file.stopRecording();
  if (!tables) return tables.status();
  DecodedCatalog decoded{{}, std::move(pages), file.pageCount(), nullptr};
  // One allocation for all the rows: each table's pointer shares the block.
  const auto block = std::make_shared<const std::vector<CatalogTable>>(std::move(*tables));
  decoded.tables.reserve(block->size());
  for (const CatalogTable& t : *block) decoded.tables.emplace_back(block, &t);
  return decoded;
}

}  // namespace povezava::engine::jet
