#include "engine/jet_build/builder.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "base/errors.h"
#include "base/io.h"
#include "engine/jet/format/byte_order.h"
#include "engine/jet/format/code_page.h"
#include "engine/jet/format/empty_data_page.h"
#include "engine/jet/format/long_value.h"
#include "engine/jet/format/rc4.h"
#include "engine/jet/format/usage_map.h"
#include "engine/jet/write/row_pack.h"
#include "base/unicode.h"
#include "platform/file_system.h"

namespace povezava::engine::jet {
namespace {

// Catalogue rows the builder always writes (the container ids and MSysDb's
// are in format/layout.h).
constexpr std::uint32_t kCatalogTableId = kCatalogTdefPage;  // MSysObjects' own row
constexpr std::uint32_t kSystemObjectFlags = 0x80000000;
constexpr std::uint32_t kFirstSyntheticId = 0x80000001;      // links and queries

// Column flags as Access sets them on MSysObjects.
constexpr std::uint8_t kCatalogFixedFlags = 0x13;
constexpr std::uint8_t kCatalogVariableFlags = 0x12;
constexpr std::uint8_t kCatalogOwnerFlags = 0x32;

constexpr std::uint16_t kCatalogTextLength = 255;  // characters
constexpr std::uint16_t kBinaryLength = 255;
constexpr std::size_t kMaxRowsOnPage = kMaxRowsPerPage - 1;  // LVAL pages: fewer than 255 rows

bool isFixedType(ColumnType type) {
  switch (type) {
    case ColumnType::boolean:
    case ColumnType::byte:
    case ColumnType::integer:
    case ColumnType::longInteger:
    case ColumnType::money:
    case ColumnType::single:
    case ColumnType::doubleFloat:
    case ColumnType::dateTime:
    case ColumnType::guid:
    case ColumnType::numeric: return true;
    default: return false;
  }
}

bool isLongValueType(ColumnType type) { return type == ColumnType::memo || type == ColumnType::ole; }

std::uint16_t fixedLength(ColumnType type) {
  switch (type) {
    case ColumnType::boolean:
    case ColumnType::byte: return 1;
    case ColumnType::integer: return 2;
    case ColumnType::longInteger:
    case ColumnType::single: return 4;
    case ColumnType::money:
    case ColumnType::doubleFloat:
    case ColumnType::dateTime: return 8;
    default: return 0;
  }
}

// A data page being filled: rows from the page end downwards, the offset
// table growing from the header.
class DataPage {
 public:
  DataPage(const Layout& layout, std::uint32_t number, std::uint32_t owner)
      : layout_(&layout), number_(number), bytes_(emptyDataPage(layout, owner)), lowest_(layout.pageSize) {}

  std::uint32_t number() const { return number_; }
  std::size_t rowCount() const { return rows_; }
  std::size_t freeSpace() const { return lowest_ - layout_->dataHeaderLength - 2 * rows_; }
  bool fits(std::size_t length) const { return rows_ < kMaxRowsOnPage && length + 2 <= freeSpace(); }

  // REQUIRES: fits(row.size())
  std::uint8_t add(std::span<const std::byte> row, std::uint16_t flags = 0) {
    lowest_ -= row.size();
    std::copy(row.begin(), row.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(lowest_));
    putU16(bytes_, layout_->dataHeaderLength + 2 * rows_, static_cast<std::uint16_t>(lowest_ | flags));
    const auto number = static_cast<std::uint8_t>(rows_++);
    updateHeader();
    return number;
  }

  // The bytes of a row added earlier, to be filled in later.
  std::span<std::byte> row(std::uint8_t number) {
    const auto start = wordStart(number);
    const std::size_t end = number == 0 ? layout_->pageSize : wordStart(static_cast<std::uint8_t>(number - 1));
    return std::span<std::byte>(bytes_).subspan(start, end - start);
  }

  std::span<const std::byte> bytes() const { return bytes_; }

 private:
  std::size_t wordStart(std::uint8_t number) const {
    const std::size_t at = layout_->dataHeaderLength + 2 * number;
    return rowStart(loadU16(bytes_, at));
  }

  void updateHeader() {
    putU16(bytes_, kOffsetFreeSpace, static_cast<std::uint16_t>(freeSpace()));
    putU16(bytes_, layout_->dataOffsetRowCount, static_cast<std::uint16_t>(rows_));
  }

  const Layout* layout_;
  std::uint32_t number_;
  std::vector<std::byte> bytes_;
  std::size_t lowest_;
  std::size_t rows_ = 0;
};

// A reserved usage-map row: filled in once the pages it lists are known.
struct MapSlot {
  std::size_t mapPage = 0;  // index into Builder::mapPages_
  std::uint8_t row = 0;
};

// The pages of one owner: a table's data pages, or a memo column's LVAL pages.
// Full pages are written at once, unless `holdPages` keeps them for later
// changes (the catalogue's overflow pointers).
struct PageStore {
  std::uint32_t owner = 0;  // tdef page, or kOwnerLval
  MapSlot ownedMap;
  MapSlot freeMap;
  std::vector<std::uint32_t> pages;
  std::unique_ptr<DataPage> current;
  bool holdPages = false;
  std::deque<DataPage> held;

  DataPage* find(std::uint32_t number) {
    if (current && current->number() == number) return current.get();
    for (auto& page : held) {
      if (page.number() == number) return &page;
    }
    return nullptr;
  }
};

// A catalogue row stored through an overflow pointer: the pointer slot is
// placed with the other rows, the row itself after all of them.
struct PendingOverflow {
  std::uint32_t pointerSlot = 0;  // row pointer of the 4-byte slot
  std::vector<std::byte> row;
};

struct ColumnLayout {
  std::u16string name;
  ColumnType type = ColumnType::longInteger;
  std::uint16_t number = 0;
  std::uint16_t variableIndex = 0;
  std::uint16_t fixedOffset = 0;
  std::uint16_t length = 0;
  std::uint8_t flags = 0;
  bool fixed = false;
  std::size_t longValueStore = 0;  // index into TableBuild::longValues, memo/OLE only
};

struct TableBuild {
  std::u16string name;
  std::uint32_t tdefPage = 0;
  std::uint8_t tableType = kTableTypeUser;
  std::vector<ColumnLayout> columns;
  std::size_t fixedSize = 0;
  std::uint16_t variableCount = 0;
  PageStore data;
  std::deque<PageStore> longValues;  // one per memo/OLE column, in column order
  std::uint64_t rowCount = 0;
  const LocalTableSpec* spec = nullptr;  // local tables only
};

std::string utf8(std::u16string_view text) { return toUtf8(text); }

class Builder {
 public:
  Builder(const Layout& layout, const DatabaseSpec& spec, File& file)
      : layout_(layout), spec_(spec), file_(file), codePage_(spec.codePage) {}

  Status run();

 private:
  // Pages
  std::uint32_t allocate() { return pageCount_++; }
  Status writePage(std::uint32_t number, std::span<const std::byte> bytes) {
    const std::uint64_t offset = static_cast<std::uint64_t>(number) * layout_.pageSize;
    if (spec_.databaseKey == 0 || number == kHeaderPage) return file_.writeAt(offset, bytes);
    std::vector<std::byte> encoded(bytes.begin(), bytes.end());
    rc4ApplyPage(spec_.databaseKey, number, encoded);
    return file_.writeAt(offset, encoded);
  }
  MapSlot reserveMapRow();
  Result<std::uint32_t> place(PageStore& store, std::span<const std::byte> row, std::uint16_t flags = 0);
  Status openNewPage(PageStore& store);
  Status closeCurrent(PageStore& store);
  Status finishStore(PageStore& store);
  Status fillMap(MapSlot slot, const std::vector<std::uint32_t>& pages);

  // Tables and rows
  void addColumn(TableBuild& table, std::u16string name, ColumnType type, std::uint16_t length, std::uint8_t flags);
  void reserveMaps(TableBuild& table);
  Status makeLocalTable(const LocalTableSpec& spec);
  Result<std::vector<std::byte>> encodeText(std::u16string_view text);
  Result<std::vector<std::byte>> longValue(PageStore& store, std::span<const std::byte> data);
  Result<std::vector<std::byte>> encodeRow(TableBuild& table, const std::vector<Value>& values);
  Status addRow(TableBuild& table, const std::vector<Value>& values, RowStorage storage = RowStorage::normal);
  Status addCatalogRow(std::uint32_t id, std::uint32_t parentId, std::u16string_view name, std::int16_t type,
                       std::uint32_t flags, const std::u16string* database = nullptr,
                       const std::u16string* connect = nullptr, const std::u16string* foreignName = nullptr,
                       RowStorage storage = RowStorage::normal);
  Status placeOverflowRows();
  Status addCatalogEntries();
  Status padLastCataloguePage();
  Status writeLocalRows(TableBuild& table);

  // Fixed pages
  Result<std::vector<std::byte>> tdefPage(const TableBuild& table);
  std::vector<std::byte> headerPage() const;
  std::vector<std::byte> globalMapPage() const;

  Status tableError(const TableBuild& table, const std::string& what) const {
    return errors::invalidArgument("table '" + utf8(table.name) + "': " + what);
  }

  const Layout& layout_;
  const DatabaseSpec& spec_;
  File& file_;
  CodePageEncoder codePage_;  // Jet 3 text
  std::uint32_t pageCount_ = kCatalogTdefPage + 1;
  std::deque<DataPage> mapPages_;
  TableBuild catalog_;
  std::deque<TableBuild> tables_;
  std::uint32_t nextSyntheticId_ = kFirstSyntheticId;
  std::vector<PendingOverflow> overflows_;
};

MapSlot Builder::reserveMapRow() {
  const std::size_t rowLength = inlineUsageMapRowSize(layout_);
  if (mapPages_.empty() || !mapPages_.back().fits(rowLength)) {
    mapPages_.emplace_back(layout_, allocate(), 0);
  }
  const std::vector<std::byte> empty(rowLength);
  return MapSlot{mapPages_.size() - 1, mapPages_.back().add(empty)};
}

Status Builder::closeCurrent(PageStore& store) {
  if (!store.current) return Status::success();
  Status written;
  if (store.holdPages) {
    store.held.push_back(std::move(*store.current));
  } else {
    written = writePage(store.current->number(), store.current->bytes());
  }
  store.current.reset();
  return written;
}

Status Builder::openNewPage(PageStore& store) {
  Status closed = closeCurrent(store);
  if (!closed.ok()) return closed;
  store.current = std::make_unique<DataPage>(layout_, allocate(), store.owner);
  store.pages.push_back(store.current->number());
  return Status::success();
}

Result<std::uint32_t> Builder::place(PageStore& store, std::span<const std::byte> row, std::uint16_t flags) {
  if (!store.current || !store.current->fits(row.size())) {
    Status opened = openNewPage(store);
    if (!opened.ok()) return opened;
    if (!store.current->fits(row.size())) {
      return errors::invalidArgument("a row of " + std::to_string(row.size()) + " bytes does not fit on a page");
    }
  }
  const std::uint8_t number = store.current->add(row, flags);
  return makeRowPointer(store.current->number(), number);
}

// The free map lists the page still open for rows: the last one.
Status Builder::finishStore(PageStore& store) {
  std::vector<std::uint32_t> open;
  if (!store.pages.empty()) open.push_back(store.pages.back());
  Status closed = closeCurrent(store);
  for (const auto& page : store.held) {
    if (closed.ok()) closed = writePage(page.number(), page.bytes());
  }
  store.held.clear();
  if (!closed.ok()) return closed;
  Status owned = fillMap(store.ownedMap, store.pages);
  if (!owned.ok()) return owned;
  return fillMap(store.freeMap, open);
}

// Inline when the pages fit one window of the row's bitmap, otherwise a
// reference map with bitmap pages appended to the file.
Status Builder::fillMap(MapSlot slot, const std::vector<std::uint32_t>& pages) {
  std::span<std::byte> row = mapPages_[slot.mapPage].row(slot.row);
  std::fill(row.begin(), row.end(), std::byte{0});
  const std::size_t bitsInline = (row.size() - kUsageMapOffsetBitmap) * 8;
  const std::uint32_t first = pages.empty() ? 0 : *std::min_element(pages.begin(), pages.end());
  const std::uint32_t last = pages.empty() ? 0 : *std::max_element(pages.begin(), pages.end());
  if (last - first < bitsInline) {
    auto map = UsageMap::makeInline(row, first);
    for (std::uint32_t page : pages) map.set(page, true);
    return Status::success();
  }
  const std::size_t bitsPerMapPage = pagesPerBitmapPage(layout_);
  const std::size_t entries = referenceMapEntries(row.size());
  if (last / bitsPerMapPage >= entries) {
    return errors::invalidArgument("a table spans more pages than one usage map can list");
  }
  putU8(row, 0, kUsageMapReference);
  std::vector<std::vector<std::byte>> bitmaps(last / bitsPerMapPage + 1);
  for (std::uint32_t page : pages) {
    auto& bitmap = bitmaps[page / bitsPerMapPage];
    if (bitmap.empty()) {
      bitmap.resize(layout_.pageSize);
      putU8(bitmap, kOffsetPageType, kPageTypeUsageMap);
      putU8(bitmap, kOffsetPageMarker, kPageMarker);
    }
    setUsageBit(std::span(bitmap).subspan(kUsageMapPageHeader), page % bitsPerMapPage, true);
  }
  for (std::size_t k = 0; k < bitmaps.size(); ++k) {
    if (bitmaps[k].empty()) continue;
    const std::uint32_t number = allocate();
    putU32(row, kUsageMapOffsetReferences + kUsageMapReferenceSize * k, number);
    Status written = writePage(number, bitmaps[k]);
    if (!written.ok()) return written;
  }
  return Status::success();
}

void Builder::addColumn(TableBuild& table, std::u16string name, ColumnType type, std::uint16_t length,
                        std::uint8_t flags) {
  ColumnLayout column;
  column.name = std::move(name);
  column.type = type;
  column.number = static_cast<std::uint16_t>(table.columns.size());
  column.fixed = isFixedType(type);
  column.flags = flags;
  column.length = length;
  if (column.fixed) {
    column.fixedOffset = static_cast<std::uint16_t>(table.fixedSize);
    if (type != ColumnType::boolean) table.fixedSize += length;
  } else {
    column.variableIndex = table.variableCount++;
  }
  if (isLongValueType(type)) {
    column.longValueStore = table.longValues.size();
    table.longValues.emplace_back().owner = kOwnerLval;
  }
  table.columns.push_back(std::move(column));
}

void Builder::reserveMaps(TableBuild& table) {
  table.data.owner = table.tdefPage;
  table.data.ownedMap = reserveMapRow();
  table.data.freeMap = reserveMapRow();
  for (auto& store : table.longValues) {
    store.ownedMap = reserveMapRow();
    store.freeMap = reserveMapRow();
  }
}

Status Builder::makeLocalTable(const LocalTableSpec& spec) {
  TableBuild& table = tables_.emplace_back();
  table.name = spec.name;
  table.tdefPage = allocate();
  table.spec = &spec;
  const std::uint16_t textBytesPerChar = layout_.utf16Text ? 2 : 1;
  for (const auto& column : spec.columns) {
    switch (column.type) {
      case ColumnType::boolean:
      case ColumnType::integer:
      case ColumnType::longInteger:
      case ColumnType::money:
      case ColumnType::doubleFloat:
      case ColumnType::dateTime:
        addColumn(table, column.name, column.type, fixedLength(column.type), kColumnFlagFixed | kColumnFlagNullable);
        break;
      case ColumnType::text:
        if (column.maxLength == 0 || column.maxLength > kCatalogTextLength) {
          return tableError(table, "text column '" + utf8(column.name) + "' must hold 1 to 255 characters");
        }
        addColumn(table, column.name, column.type, static_cast<std::uint16_t>(column.maxLength * textBytesPerChar),
                  kColumnFlagNullable);
        break;
      case ColumnType::memo: addColumn(table, column.name, column.type, 0, kColumnFlagNullable); break;
      default: return tableError(table, "column '" + utf8(column.name) + "' has a type the builder does not make");
    }
  }
  if (table.columns.empty()) return tableError(table, "a table needs at least one column");
  return Status::success();
}

Result<std::vector<std::byte>> Builder::encodeText(std::u16string_view text) {
  return encodeStoredText(layout_, codePage_, text);
}

Result<std::vector<std::byte>> Builder::longValue(PageStore& store, std::span<const std::byte> data) {
  if (data.size() <= layout_.longValueInlineLimit) return longValueSlice(LongValueKind::inlined, data);
  if (data.size() + 2 > layout_.pageSize - layout_.dataHeaderLength) {
    return errors::invalidArgument("a memo value of " + std::to_string(data.size()) +
                                   " bytes is longer than the builder stores");
  }
  auto pointer = place(store, data);
  if (!pointer.ok()) return pointer.status();
  return longValueSlice(LongValueKind::single, data, *pointer);
}

Result<std::vector<std::byte>> Builder::encodeRow(TableBuild& table, const std::vector<Value>& values) {
  if (values.size() != table.columns.size()) {
    return tableError(table, "a row has " + std::to_string(values.size()) + " values for " +
                                 std::to_string(table.columns.size()) + " columns");
  }
  std::vector<std::byte> fixed(table.fixedSize);
  std::vector<std::byte> mask(nullMaskSize(table.columns.size()));
  std::vector<std::vector<std::byte>> slices(table.variableCount);

  for (std::size_t i = 0; i < values.size(); ++i) {
    const ColumnLayout& column = table.columns[i];
    const Value& value = values[i];
    if (std::holds_alternative<std::monostate>(value)) continue;  // NULL: bit stays 0
    auto wrongKind = [&] {
      return tableError(table, "column '" + utf8(column.name) + "' cannot take the value given for it");
    };
    bool present = true;
    std::span<std::byte> field(fixed);
    switch (column.type) {
      case ColumnType::boolean:
        if (!std::holds_alternative<bool>(value)) return wrongKind();
        present = std::get<bool>(value);
        break;
      case ColumnType::integer:
        if (!std::holds_alternative<std::int16_t>(value)) return wrongKind();
        putU16(field, column.fixedOffset, static_cast<std::uint16_t>(std::get<std::int16_t>(value)));
        break;
      case ColumnType::longInteger:
        if (!std::holds_alternative<std::int32_t>(value)) return wrongKind();
        putU32(field, column.fixedOffset, static_cast<std::uint32_t>(std::get<std::int32_t>(value)));
        break;
      case ColumnType::money:
        if (!std::holds_alternative<Money>(value)) return wrongKind();
        putU64(field, column.fixedOffset, static_cast<std::uint64_t>(std::get<Money>(value).tenThousandths));
        break;
      case ColumnType::doubleFloat:
        if (!std::holds_alternative<double>(value)) return wrongKind();
        putF64(field, column.fixedOffset, std::get<double>(value));
        break;
      case ColumnType::dateTime:
        if (!std::holds_alternative<DateTime>(value)) return wrongKind();
        putF64(field, column.fixedOffset, std::get<DateTime>(value).days);
        break;
      case ColumnType::text:
      case ColumnType::memo: {
        if (!std::holds_alternative<std::u16string>(value)) return wrongKind();
        auto text = encodeText(std::get<std::u16string>(value));
        if (!text.ok()) return text.status();
        if (column.type == ColumnType::text) {
          if (text->size() > column.length) {
            return tableError(table, "'" + utf8(std::get<std::u16string>(value)) + "' is too long for column '" +
                                         utf8(column.name) + "'");
          }
          slices[column.variableIndex] = std::move(*text);
        } else {
          auto stored = longValue(table.longValues[column.longValueStore], *text);
          if (!stored.ok()) return stored.status();
          slices[column.variableIndex] = std::move(*stored);
        }
        break;
      }
      default: return wrongKind();
    }
    if (present) mask[column.number / 8] |= static_cast<std::byte>(1U << (column.number % 8));
  }

  RowParts parts;
  parts.columnCount = static_cast<std::uint16_t>(table.columns.size());
  parts.fixed = fixed;
  parts.hasVariableSection = table.variableCount > 0;
  for (const auto& slice : slices) parts.variable.emplace_back(slice);
  parts.nullMask = mask;
  std::vector<std::byte> row;
  Status packed = appendPackedRow(layout_, parts, row);
  if (!packed.ok()) return packed;
  return row;
}

Status Builder::addRow(TableBuild& table, const std::vector<Value>& values, RowStorage storage) {
  auto row = encodeRow(table, values);
  if (!row.ok()) return row.status();
  Result<std::uint32_t> placed = std::uint32_t{0};
  switch (storage) {
    case RowStorage::normal:
      placed = place(table.data, *row);
      ++table.rowCount;
      break;
    case RowStorage::deleted: placed = place(table.data, *row, kRowFlagDeletedSlot); break;
    case RowStorage::overflow: {
      const std::vector<std::byte> pointer(kRowPointerSize);
      placed = place(table.data, pointer, kRowFlagOverflow);
      if (placed.ok()) overflows_.push_back({*placed, std::move(*row)});
      ++table.rowCount;
      break;
    }
  }
  return placed.status();
}

// The rows behind overflow pointers go to a page of their own after all
// other catalogue rows, flagged 0x8000 so that page scans pass them by.
Status Builder::placeOverflowRows() {
  if (overflows_.empty()) return Status::success();
  Status opened = openNewPage(catalog_.data);
  if (!opened.ok()) return opened;
  for (const auto& pending : overflows_) {
    auto target = place(catalog_.data, pending.row, kRowFlagDeleted);
    if (!target.ok()) return target.status();
    // Catalogue pages are held until the end, so the pointer's page is here.
    DataPage* page = catalog_.data.find(rowPointerPage(pending.pointerSlot));
    if (page == nullptr) return errors::invalidArgument("the page of an overflow pointer was already written");
    putU32(page->row(rowPointerRow(pending.pointerSlot)), 0, *target);
  }
  return Status::success();
}

Status Builder::addCatalogRow(std::uint32_t id, std::uint32_t parentId, std::u16string_view name, std::int16_t type,
                              std::uint32_t flags, const std::u16string* database, const std::u16string* connect,
                              const std::u16string* foreignName, RowStorage storage) {
  const DateTime created{spec_.created};
  std::vector<Value> row(kCatalogColumnCount);
  row[kCatalogColumnNumberId] = static_cast<std::int32_t>(id);
  row[kCatalogColumnNumberParentId] = static_cast<std::int32_t>(parentId);
  row[kCatalogColumnNumberName] = std::u16string(name);
  row[kCatalogColumnNumberType] = type;
  row[4] = created;  // DateCreate
  row[5] = created;  // DateUpdate
  row[kCatalogColumnNumberFlags] = static_cast<std::int32_t>(flags);
  if (database) row[kCatalogColumnNumberDatabase] = *database;
  if (connect) row[kCatalogColumnNumberConnect] = *connect;
  if (foreignName) row[kCatalogColumnNumberForeignName] = *foreignName;
  return addRow(catalog_, row, storage);
}

Status Builder::addCatalogEntries() {
  struct Container {
    std::uint32_t id;
    std::u16string_view name;
  };
  for (const Container& c : {Container{kTablesContainerId, kTablesContainerName},
                             Container{kDatabasesContainerId, u"Databases"},
                             Container{kRelationshipsContainerId, u"Relationships"}}) {
    Status added = addCatalogRow(c.id, kContainersParentId, c.name, kObjectTypeContainer, kSystemObjectFlags);
    if (!added.ok()) return added;
  }
  Status added = addCatalogRow(kDatabasePropertiesId, kDatabasesContainerId, u"MSysDb",
                               kObjectTypeDatabaseProperties, kSystemObjectFlags);
  if (!added.ok()) return added;
  added = addCatalogRow(kCatalogTableId, kTablesContainerId, u"MSysObjects", kObjectTypeLocalTable, kSystemObjectFlags);
  if (!added.ok()) return added;

  std::size_t nextLocal = 0;
  for (const auto& entry : spec_.entries) {
    if (const auto* local = std::get_if<LocalTableSpec>(&entry)) {
      added = addCatalogRow(tables_[nextLocal++].tdefPage, kTablesContainerId, local->name, kObjectTypeLocalTable, 0);
    } else if (const auto* link = std::get_if<LinkedTableSpec>(&entry)) {
      const std::u16string& foreign = link->foreignName.empty() ? link->name : link->foreignName;
      added = addCatalogRow(nextSyntheticId_++, kTablesContainerId, link->name, kObjectTypeLinkedTable,
                            kObjectFlagsJetLink, &link->database, link->connect.empty() ? nullptr : &link->connect,
                            &foreign, link->storage);
    } else if (const auto* odbc = std::get_if<OdbcTableSpec>(&entry)) {
      added = addCatalogRow(nextSyntheticId_++, kTablesContainerId, odbc->name, kObjectTypeOdbcTable,
                            kObjectFlagsOdbcLink, nullptr, &odbc->connect);
    } else if (const auto* query = std::get_if<QuerySpec>(&entry)) {
      added = addCatalogRow(nextSyntheticId_++, kTablesContainerId, query->name, kObjectTypeQuery, 0);
    } else {
      added = closeCurrent(catalog_.data);
    }
    if (!added.ok()) return added;
  }
  added = placeOverflowRows();
  if (!added.ok()) return added;
  PageStore& databaseValues = catalog_.longValues[catalog_.columns[kCatalogColumnNumberDatabase].longValueStore];
  if (spec_.databaseLvalPage && databaseValues.pages.empty()) return openNewPage(databaseValues);
  return Status::success();
}

Status Builder::padLastCataloguePage() {
  if (!spec_.lastCataloguePageFreeBytes) return Status::success();
  const std::size_t wanted = *spec_.lastCataloguePageFreeBytes;
  DataPage* page = catalog_.data.current.get();
  const std::size_t free = page ? page->freeSpace() : 0;
  if (page && free == wanted) return Status::success();
  if (!page || free < wanted + 2 || page->rowCount() >= kMaxRowsOnPage) {
    return errors::invalidArgument("the last catalogue page has " + std::to_string(free) +
                                   " bytes free and cannot be filled to leave " + std::to_string(wanted));
  }
  const std::vector<std::byte> filler(free - wanted - 2, std::byte{0});
  page->add(filler, kRowFlagDeletedSlot);
  return Status::success();
}

Status Builder::writeLocalRows(TableBuild& table) {
  const LocalTableSpec& spec = *table.spec;
  for (const auto& row : spec.rows) {
    Status added = addRow(table, row);
    if (!added.ok()) return added;
  }
  if (spec.generatedRowCount > 0 && !spec.generateRow) return tableError(table, "generated rows without a generator");
  std::vector<Value> row(table.columns.size());
  for (std::uint64_t i = 0; i < spec.generatedRowCount; ++i) {
    std::fill(row.begin(), row.end(), Value{});
    spec.generateRow(i, row);
    Status added = addRow(table, row);
    if (!added.ok()) return added;
  }
  return Status::success();
}

Result<std::vector<std::byte>> Builder::tdefPage(const TableBuild& table) {
  const Layout& l = layout_;
  std::vector<std::byte> t(l.tdefHeaderLength);
  putU8(t, kOffsetPageType, kPageTypeTdef);
  putU8(t, kOffsetPageMarker, kPageMarker);
  if (!l.utf16Text) putU16(t, kOffsetFreeSpace, kTdefJet3Signature);
  if (l.utf16Text) putU32(t, kOffsetTdefMagicJet4, kJet4TableMagic);
  putU32(t, l.tdefOffsetRowCount, static_cast<std::uint32_t>(std::min<std::uint64_t>(table.rowCount, 0xFFFFFFFF)));
  putU8(t, l.tdefOffsetTableType, table.tableType);
  const auto columnCount = static_cast<std::uint16_t>(table.columns.size());
  putU16(t, l.tdefOffsetMaxColumns, columnCount);
  putU16(t, l.tdefOffsetVariableColumns, table.variableCount);
  putU16(t, l.tdefOffsetColumnCount, columnCount);
  const auto& maps = mapPages_;
  auto pointer = [&](MapSlot slot) { return makeRowPointer(maps[slot.mapPage].number(), slot.row); };
  putU32(t, l.tdefOffsetOwnedMap, pointer(table.data.ownedMap));
  putU32(t, l.tdefOffsetFreeMap, pointer(table.data.freeMap));

  for (const auto& column : table.columns) {
    std::vector<std::byte> d(l.columnDescriptorSize);
    putU8(d, l.columnOffsetType, static_cast<std::uint8_t>(column.type));
    putU16(d, l.columnOffsetNumber, column.number);
    putU16(d, l.columnOffsetVariableIndex, column.variableIndex);
    putU8(d, l.columnOffsetFlags, static_cast<std::uint8_t>(column.flags | (column.fixed ? kColumnFlagFixed : 0)));
    putU16(d, l.columnOffsetFixedOffset, column.fixedOffset);
    putU16(d, l.columnOffsetLength, column.length);
    if (l.utf16Text) {
      putU32(d, kColumnOffsetMagicJet4, kJet4TableMagic);
      putU16(d, kColumnOffsetSortOrderJet4, kSortOrderGeneral);
    } else {
      putU16(d, kColumnOffsetConstantJet3, kColumnConstantJet3);
      putU16(d, kColumnOffsetSortOrderJet3, kSortOrderGeneral);
      putU16(d, kColumnOffsetCodePageJet3, spec_.codePage);
    }
    appendBytes(t, d);
  }
  for (const auto& column : table.columns) {
    auto name = encodeText(column.name);
    if (!name.ok()) return name.status();
    if (l.nameLengthSize == 1) {
      if (name->size() > 0xFF) return tableError(table, "a column name is too long");
      appendU8(t, static_cast<std::uint8_t>(name->size()));
    } else {
      appendU16(t, static_cast<std::uint16_t>(name->size()));
    }
    appendBytes(t, *name);
  }
  for (const auto& column : table.columns) {
    if (!isLongValueType(column.type)) continue;
    const PageStore& store = table.longValues[column.longValueStore];
    appendU16(t, column.number);
    appendU32(t, pointer(store.ownedMap));
    appendU32(t, pointer(store.freeMap));
  }
  appendU16(t, kEndOfColumnMaps);

  const std::size_t length = t.size();
  if (length > l.pageSize) return tableError(table, "its definition does not fit on one page");
  putU32(t, kOffsetTdefLength, static_cast<std::uint32_t>(length));
  if (l.utf16Text) putU16(t, kOffsetFreeSpace, static_cast<std::uint16_t>(l.pageSize - length - 8));
  t.resize(l.pageSize);
  return t;
}

std::vector<std::byte> Builder::headerPage() const {
  std::vector<std::byte> page(layout_.pageSize);
  for (std::size_t i = 0; i < kHeaderMagic.size(); ++i) putU8(page, i, kHeaderMagic[i]);
  const std::string_view engineName = isAce(layout_.version) ? kEngineNameAce : kEngineNameJet;
  for (std::size_t i = 0; i < engineName.size(); ++i) {
    putU8(page, kOffsetEngineName + i, static_cast<std::uint8_t>(engineName[i]));
  }
  putU8(page, kOffsetVersion, static_cast<std::uint8_t>(layout_.version));
  putU16(page, kOffsetCodePage, spec_.codePage);
  putU32(page, kOffsetDatabaseKey, spec_.databaseKey);
  if (layout_.utf16Text) {
    // An empty password is stored as the creation date's mask.
    const auto mask = static_cast<std::uint32_t>(static_cast<std::int32_t>(std::trunc(spec_.created)));
    for (std::size_t i = 0; i < layout_.passwordLength; i += 4) putU32(page, kOffsetPassword + i, mask);
    putU16(page, kOffsetSortOrderJet4, kSortOrderGeneral);
    putF64(page, kOffsetCreationDate, spec_.created);
  } else {
    putU16(page, kOffsetSortOrderJet3, kSortOrderGeneral);
  }
  applyHeaderMask(std::span<std::byte>(page).subspan(kOffsetMaskedBlock, layout_.maskedBlockLength));
  return page;
}

std::vector<std::byte> Builder::globalMapPage() const {
  // Access records the page's own number as its owner.
  DataPage page(layout_, kGlobalUsageMapPage, kGlobalUsageMapPage);
  std::vector<std::byte> map(inlineUsageMapRowSize(layout_));
  auto inlineMap = UsageMap::makeInline(map, 0);
  const UsageBitmap window = *inlineMap.inlineBitmap();
  for (std::uint32_t number = pageCount_; window.covers(number); ++number) inlineMap.set(number, true);
  page.add(map);
  return {page.bytes().begin(), page.bytes().end()};
}

Status Builder::run() {
  catalog_.name = u"MSysObjects";
  catalog_.tdefPage = kCatalogTdefPage;
  catalog_.tableType = kTableTypeSystem;
  catalog_.data.holdPages = true;
  const std::uint16_t textBytes = static_cast<std::uint16_t>(kCatalogTextLength * (layout_.utf16Text ? 2 : 1));
  struct CatalogColumn {
    std::u16string_view name;
    ColumnType type;
    std::uint16_t length;
    std::uint8_t flags;
  };
  const CatalogColumn catalogColumns[] = {
      {u"Id", ColumnType::longInteger, 4, kCatalogFixedFlags},
      {u"ParentId", ColumnType::longInteger, 4, kCatalogFixedFlags},
      {u"Name", ColumnType::text, textBytes, kCatalogVariableFlags},
      {u"Type", ColumnType::integer, 2, kCatalogFixedFlags},
      {u"DateCreate", ColumnType::dateTime, 8, kCatalogFixedFlags},
      {u"DateUpdate", ColumnType::dateTime, 8, kCatalogFixedFlags},
      {u"Owner", ColumnType::binary, kBinaryLength, kCatalogOwnerFlags},
      {u"Flags", ColumnType::longInteger, 4, kCatalogFixedFlags},
      {u"Database", ColumnType::memo, 0, kCatalogVariableFlags},
      {u"Connect", ColumnType::memo, 0, kCatalogVariableFlags},
      {u"ForeignName", ColumnType::text, textBytes, kCatalogVariableFlags},
      {u"RmtInfoShort", ColumnType::binary, kBinaryLength, kCatalogVariableFlags},
      {u"RmtInfoLong", ColumnType::ole, 0, kCatalogVariableFlags},
      {u"Lv", ColumnType::ole, 0, kCatalogVariableFlags},
      {u"LvProp", ColumnType::ole, 0, kCatalogVariableFlags},
      {u"LvModule", ColumnType::ole, 0, kCatalogVariableFlags},
      {u"LvExtra", ColumnType::ole, 0, kCatalogVariableFlags},
  };
  for (const auto& c : catalogColumns) {
    // The fixed flag is added from the type when the descriptor is written.
    addColumn(catalog_, std::u16string(c.name), c.type, c.length, static_cast<std::uint8_t>(c.flags & ~kColumnFlagFixed));
  }

  for (const auto& entry : spec_.entries) {
    if (const auto* local = std::get_if<LocalTableSpec>(&entry)) {
      Status made = makeLocalTable(*local);
      if (!made.ok()) return made;
    }
  }
  reserveMaps(catalog_);
  for (auto& table : tables_) reserveMaps(table);

  Status status = addCatalogEntries();
  if (status.ok()) status = padLastCataloguePage();
  for (auto& table : tables_) {
    if (status.ok()) status = writeLocalRows(table);
  }
  auto finishTable = [&](TableBuild& table) {
    Status s = finishStore(table.data);
    for (auto& store : table.longValues) {
      if (s.ok()) s = finishStore(store);
    }
    return s;
  };
  if (status.ok()) status = finishTable(catalog_);
  for (auto& table : tables_) {
    if (status.ok()) status = finishTable(table);
  }
  if (!status.ok()) return status;

  auto catalogTdef = tdefPage(catalog_);
  if (!catalogTdef.ok()) return catalogTdef.status();
  status = writePage(kCatalogTdefPage, *catalogTdef);
  for (const auto& table : tables_) {
    if (!status.ok()) return status;
    auto tdef = tdefPage(table);
    if (!tdef.ok()) return tdef.status();
    status = writePage(table.tdefPage, *tdef);
  }
  for (const auto& page : mapPages_) {
    if (status.ok()) status = writePage(page.number(), page.bytes());
  }
  if (status.ok()) status = writePage(kHeaderPage, headerPage());
  if (status.ok()) status = writePage(kGlobalUsageMapPage, globalMapPage());
  if (status.ok()) status = file_.sync();
  return status;
}

}  // namespace

double dateSerial(int year, int month, int day) {
  // Days from 1970-01-01 (civil calendar), shifted to Jet's epoch 1899-12-30.
  const int y = year - (month <= 2 ? 1 : 0);
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yearOfEra = y - era * 400;
  const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  const long daysSince1970 = static_cast<long>(era) * 146097 + dayOfEra - 719468;
  constexpr long kJetEpochTo1970 = 25569;
  return static_cast<double>(daysSince1970 + kJetEpochTo1970);
}

Status buildDatabase(const std::string& path, const DatabaseSpec& spec) {
  return buildDatabase(posixFileSystem(), path, spec);
}

Status buildDatabase(FileSystem& fs, const std::string& path, const DatabaseSpec& spec) {
  const Layout* layout = nullptr;
  switch (spec.version) {
    case Version::jet3: layout = &kLayoutJet3; break;
    case Version::jet4: layout = &kLayoutJet4; break;
    case Version::ace12: layout = &kLayoutAce12; break;
    case Version::ace14: layout = &kLayoutAce14; break;
    default: return errors::invalidArgument("the builder makes Jet 3, Jet 4, ACE 12 and ACE 14 databases only");
  }
  if (spec.databaseKey != 0 && isAce(layout->version)) {
    return errors::invalidArgument("ACE files are encrypted with a password, not encoded with a key");
  }

  auto file = fs.open(path, OpenMode::createNew);
  if (!file.ok()) return file.status();
  Status built = Builder(*layout, spec, **file).run();
  file->reset();
  if (!built.ok()) (void)fs.remove(path);
  return built;
}

LocalTableSpec bulkTable(std::u16string name, std::uint64_t approximateBytes, Version version) {
  // A row of this table with its offset word: UTF-16 text and 2-byte offsets
  // in Jet 4, single-byte text and offsets in Jet 3.
  const std::uint64_t bytesPerRow = version == Version::jet3 ? 50 : 78;
  LocalTableSpec table;
  table.name = std::move(name);
  table.columns = {{u"ID", ColumnType::longInteger},
                   {u"NAZIV", ColumnType::text, 50},
                   {u"ZNESEK", ColumnType::money},
                   {u"DATUM", ColumnType::dateTime},
                   {u"OPOMBA", ColumnType::memo}};
  table.generatedRowCount = approximateBytes / bytesPerRow;
  const double firstDay = dateSerial(2020, 1, 1);
  table.generateRow = [firstDay](std::uint64_t index, std::vector<Value>& row) {
    const auto n = static_cast<std::int32_t>(index + 1);
    std::u16string naziv = u"Partner ";
    naziv += fromUtf8(std::to_string(n));
    naziv += u" d.o.o.";
    row[0] = n;
    row[1] = std::move(naziv);
    row[2] = Money{static_cast<std::int64_t>(index % 100000) * 125};
    row[3] = DateTime{firstDay + static_cast<double>(index % 2000)};
    if (index % 1000 == 999) {
      row[4] = std::u16string(100, u'x');  // out of the row, on an LVAL page
    } else if (index % 100 == 99) {
      row[4] = u"placano";
    }
  };
  return table;
}

}  // namespace povezava::engine::jet
