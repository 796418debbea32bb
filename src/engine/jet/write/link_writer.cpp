#include "engine/jet/write/link_writer.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "base/case_fold.h"
#include "base/errors.h"
#include "engine/jet/format/byte_order.h"
#include "engine/jet/format/code_page.h"
#include "engine/jet/format/long_value.h"
#include "engine/jet/format/page_view.h"
#include "engine/jet/read/catalog.h"
#include "engine/jet/read/column_maps.h"
#include "engine/jet/read/data_page.h"
#include "engine/jet/read/row.h"
#include "engine/jet/read/usage_map.h"
#include "engine/jet/format/journal_format.h"
#include "engine/jet/write/journal_replay.h"
#include "engine/jet/write/page_commit.h"
#include "engine/jet/write/page_edit.h"
#include "engine/jet/write/page_staging.h"
#include "engine/jet/write/row_pack.h"
#include "base/native_text.h"
#include "base/unicode.h"

namespace povezava::engine::jet {
namespace {

// Longest path povezava stores (DAO documents no limit; Windows' MAX_PATH is 260).
constexpr std::size_t kMaxValueCharacters = 255;

std::string narrow(std::u16string_view text) { return toUtf8(text); }

// ---------------------------------------------------------------------------
// Text as the catalogue stores it: Jet 4 plain UTF-16LE (its columns are not
// compressed), Jet 3 one byte per character in the database's code page.

Result<std::vector<std::byte>> encodeText(const Layout& layout, std::uint16_t codePage,
                                          std::u16string_view text) {
  if (text.size() > kMaxValueCharacters) {
    return errors::invalidArgument("a link of more than " + std::to_string(kMaxValueCharacters) +
                                   " characters");
  }
  // Never a substitute character: it would name another file.
  CodePageEncoder encoder(codePage);
  return encodeStoredText(layout, encoder, text);
}

std::vector<std::byte> pointerBytes(std::uint32_t pointer) {
  std::vector<std::byte> out;
  appendU32(out, pointer);
  return out;
}

// ---------------------------------------------------------------------------

// One of the two catalogue columns a relink writes (Database, Connect): the
// value it is to hold and, once placed, the slice the rebuilt row holds.
struct EditedColumn {
  const ColumnDef* column = nullptr;
  std::optional<std::vector<std::byte>> value;  // the new value as stored; nothing = NULL
  // The value is the one stored already: its bytes (and long-value row) stay.
  bool kept = false;
  // The header of the value being replaced; nothing when it was NULL or short.
  std::optional<LongValueHeader> oldHeader;
  std::vector<std::byte> slice;  // the column's slice in the rebuilt row
  // The old value's long-value row is still in use: kept, or grown in place.
  bool reusedOldRow = false;
};

class LinkWriter {
 public:
  LinkWriter(JetFile& file, Catalog& catalog)
      : file_(file), catalog_(catalog), stage_(file), placer_(file.layout(), stage_) {}

  // `catalog`: the catalogue as the file holds it now (its long-value
  // references, when they were counted before).
  Status run(const LinkChange& change, const DecodedCatalog& catalog);
  // After run(): how many live values point at each long-value row.
  const LongValueReferences& references() const { return references_; }
  const std::vector<PageWrite>& writes() { return stage_.writes(); }

 private:
  // The steps of run(), in order.

  // Finds the Database and Connect columns in the catalogue's definition.
  // Corrupt when either is missing or not a variable-length long value.
  Status findEditedColumns();
  // The linked table named by `change`: itemNotFound, or notSupported when it
  // is not linked to a file.
  Result<const CatalogTable*> findLinkedTable(const LinkChange& change, const DecodedCatalog& catalog);
  // Encodes the new values as the catalogue stores them, and notes which of
  // them are already stored in `table`.
  Status encodeNewValues(const LinkChange& change, const CatalogTable& table);
  // The usage maps a relink reads or edits: readable, and the catalogue's own
  // consistent with its pages. Corrupt otherwise.
  Status checkCatalogueMaps();
  // The columns of the table's catalogue row as it is stored now; notSupported
  // when it was written with fewer columns than the two edited.
  Result<RowParts> unpackCatalogueRow(const CatalogTable& table, std::span<const std::byte> row);
  // The long-value references as given, or counted now.
  Status takeReferences(const LongValueReferences* references);
  // Gives each edited column its slice in the rebuilt row: the old one when
  // kept, else the new value inline or in a long-value row placed now.
  Status placeNewValues(const RowParts& parts);
  // The catalogue row with the edited columns' new slices and null bits,
  // packed and checked against `oldRow` (stored on `page`).
  Result<std::vector<std::byte>> rebuildRow(const RowParts& parts, std::span<const std::byte> oldRow,
                                            std::uint32_t page);
  // Puts the rebuilt catalogue row back (its slot page, or where it overflowed to).
  Status putRow(const RowAddress& address, std::span<const std::byte> oldRow,
                std::vector<std::byte> newRow);
  // Deletes the long-value rows of the replaced values that nothing uses now.
  Status deleteReplacedValues();
  // The reference counts as the new row leaves them.
  void updateReferenceCounts();

  // What the steps use.

  bool isEdited(std::uint16_t columnNumber) const;
  // Every pointer to an out-of-line value held by a live catalogue row, with
  // how many rows hold it.
  Status countLongValueReferences();
  // The slice for `edited`'s new value, placed by the long-value owner
  // (format/long_value.h); a grown old row is noted in `edited`.
  // REQUIRES: edited.value
  Result<std::vector<std::byte>> placeLongValue(EditedColumn& edited);
  // Where `column`'s out-of-line values may go: its maps and its pages.
  Result<LongValueColumn> longValueColumn(const ColumnDef& column);
  Status checkRebuiltRow(std::span<const std::byte> oldRow, std::span<const std::byte> newRow,
                         std::uint32_t page);
  // Whether the rebuilt row's `stored` value of `edited` (on `page`) holds its
  // new value, read as the reader reads it from the pages to be written.
  Result<bool> holdsNewValue(const EditedColumn& edited, const std::optional<PageView>& stored,
                             std::uint32_t page);
  // No room on its page: the row moves to another catalogue page as an overflow row.
  Status moveRowToOverflow(const RowAddress& address, std::span<const std::byte> newRow);
  // A catalogue page other than the row's own with room for `length` bytes.
  Result<std::optional<std::uint32_t>> cataloguePageWithRoom(const RowAddress& address, std::size_t length);

  JetFile& file_;
  Catalog& catalog_;
  PageStaging stage_;
  LongValuePlacer placer_;
  LongValueReferences references_;
  std::array<EditedColumn, 2> edited_;  // Database, then Connect
};

Status LinkWriter::run(const LinkChange& change, const DecodedCatalog& catalog) {
  if (Status s = findEditedColumns(); !s.ok()) return s;
  auto table = findLinkedTable(change, catalog);
  if (!table) return table.status();
  if (Status s = encodeNewValues(change, **table); !s.ok()) return s;
  if (edited_[0].kept && edited_[1].kept) return Status::success();  // already stored; nothing to write
  if (Status s = checkCatalogueMaps(); !s.ok()) return s;

  const RowAddress address = (*table)->address;
  auto page = stage_.page(address.dataPage);
  if (!page) return page.status();
  const std::span<const std::byte> stored = (*page)->row(address.dataRow);
  const std::vector<std::byte> oldRow(stored.begin(), stored.end());
  auto parts = unpackCatalogueRow(**table, oldRow);
  if (!parts) return parts.status();
  if (Status s = takeReferences(catalog.references.get()); !s.ok()) return s;

  if (Status s = placeNewValues(*parts); !s.ok()) return s;
  auto newRow = rebuildRow(*parts, oldRow, address.dataPage);
  if (!newRow) return newRow.status();
  if (Status s = putRow(address, oldRow, std::move(*newRow)); !s.ok()) return s;
  // The replaced out-of-line values go last: nothing points at them any more.
  if (Status s = deleteReplacedValues(); !s.ok()) return s;
  // After the deletions, which count this row's old values as still there.
  updateReferenceCounts();
  return stage_.verify();
}

Status LinkWriter::countLongValueReferences() {
  const TableDefinition& def = catalog_.definition();
  auto pages = readUsageMap(file_, def.ownedMap);
  if (!pages) return pages.status();
  std::vector<std::uint32_t> pointers;
  for (std::uint32_t page : *pages) {
    Status s = forEachRow(file_, page, def.page, [&](const RowData& data) -> Status {
      auto row = Row::parse(data.bytes, def, file_.layout(), file_.displayName(), data.address.dataPage);
      if (!row) return row.status();
      for (const ColumnDef& c : def.columns) {
        if (!c.isLongValue()) continue;
        auto v = row->value(c);
        if (!v) return v.status();
        if (!*v) continue;
        const auto ref = LongValueHeader::parse((*v)->bytes());
        if (ref && ref->outOfLine()) pointers.push_back(ref->pointer());
      }
      return Status::success();
    });
    if (!s.ok()) return s;
  }
  references_ = LongValueReferences::counted(std::move(pointers));
  return Status::success();
}

Result<std::vector<std::byte>> LinkWriter::placeLongValue(EditedColumn& edited) {
  const std::optional<LongValueHeader>& old = edited.oldHeader;
  const bool oldOnlyUse = old && old->outOfLine() && references_.count(old->pointer()) == 1;
  bool grewOld = false;
  auto slice = placer_.place([&] { return longValueColumn(*edited.column); }, *edited.value, old, oldOnlyUse,
                             grewOld);
  if (grewOld) edited.reusedOldRow = true;
  return slice;
}

Result<LongValueColumn> LinkWriter::longValueColumn(const ColumnDef& column) {
  // Access keeps a column's long values only on pages of that column's map.
  auto maps = readColumnMaps(file_, catalog_.definition());
  if (!maps) return maps.status();
  LongValueColumn where{narrow(column.name), 0, 0, {}};
  for (const ColumnMaps& m : *maps) {
    if (m.column != column.number || m.ownedMap == 0) continue;
    auto listed = readUsageMap(file_, m.ownedMap);
    if (!listed) return listed.status();
    where.pages = std::move(*listed);
    where.ownedMap = m.ownedMap;
    where.freeMap = m.freeMap;
  }
  return where;
}

Status LinkWriter::putRow(const RowAddress& address, std::span<const std::byte> oldRow,
                          std::vector<std::byte> newRow) {
  const Layout& layout = file_.layout();
  auto page = stage_.page(address.dataPage);
  if (!page) return page.status();
  const std::size_t slot = address.dataRow;
  const std::uint16_t flags = static_cast<std::uint16_t>((*page)->word(slot) & ~kRowOffsetMask);

  if (!layout.rowHasJumpTable && newRow.size() <= oldRow.size()) {
    // Jet 4: pad between the variable data and the trailer up to the old
    // length, as Access does; no other byte of the page moves.
    auto parts = unpackRow(layout, newRow, true, file_.displayName(), address.dataPage);
    if (!parts) return parts.status();
    const std::size_t trailer = 2 + 2 * parts->variable.size() + 2 + parts->nullMask.size();
    newRow.insert(newRow.end() - static_cast<std::ptrdiff_t>(trailer), oldRow.size() - newRow.size(),
                  std::byte{0});
    if (Status s = (*page)->overwrite(slot, newRow); !s.ok()) return s;
  } else if (newRow.size() <= oldRow.size() || newRow.size() - oldRow.size() <= (*page)->freeSpace()) {
    if (Status s = (*page)->resize(slot, newRow, flags); !s.ok()) return s;
  } else {
    return moveRowToOverflow(address, newRow);
  }
  stage_.changed(address.dataPage, slot);
  stage_.write(address.dataPage);
  return Status::success();
}

Result<std::optional<std::uint32_t>> LinkWriter::cataloguePageWithRoom(const RowAddress& address,
                                                                       std::size_t length) {
  auto pages = readUsageMap(file_, catalog_.definition().ownedMap);
  if (!pages) return pages.status();
  for (std::uint32_t number : *pages) {
    if (number == address.dataPage || number == address.slotPage) continue;
    auto raw = file_.page(number);
    if (!raw) return raw.status();
    if (raw->view().u8(kOffsetPageType) != kPageTypeData ||
        raw->view().u32(kOffsetOwner) != catalog_.definition().page) {
      continue;
    }
    auto candidate = stage_.page(number);
    if (!candidate) return candidate.status();
    if ((*candidate)->hasRoomFor(length)) return std::optional<std::uint32_t>(number);
  }
  return std::optional<std::uint32_t>();
}

Status LinkWriter::moveRowToOverflow(const RowAddress& address, std::span<const std::byte> newRow) {
  // The row moves to another catalogue page with room, as an overflow row;
  // its slot becomes (or stays) a pointer to it.
  auto target = cataloguePageWithRoom(address, newRow.size());
  if (!target) return target.status();
  if (!*target) {
    return errors::recordTooLarge(file_.displayName(), "no catalogue page has room for the row of " +
                                                           std::to_string(newRow.size()) + " bytes");
  }
  const std::uint32_t targetNumber = **target;
  auto targetPage = stage_.page(targetNumber);
  auto newSlot = (*targetPage)->append(newRow, kRowFlagDeleted);
  if (!newSlot) return newSlot.status();
  stage_.added(targetNumber);
  stage_.write(targetNumber);
  const auto pointer = pointerBytes(makeRowPointer(targetNumber, static_cast<std::uint8_t>(*newSlot)));
  auto page = stage_.page(address.dataPage);
  if (!page) return page.status();
  const std::size_t slot = address.dataRow;
  if (address.slotPage == address.dataPage && address.slotRow == address.dataRow) {
    if (Status s = (*page)->resize(slot, pointer, kRowFlagOverflow); !s.ok()) return s;
    stage_.changed(address.dataPage, slot);
    stage_.write(address.dataPage);
    return Status::success();
  }
  // Already an overflow row: re-point the slot, then delete the old target.
  auto slotPage = stage_.page(address.slotPage);
  if (!slotPage) return slotPage.status();
  std::vector<std::byte> pointerRow((*slotPage)->row(address.slotRow).begin(),
                                    (*slotPage)->row(address.slotRow).end());
  if (pointerRow.size() < pointer.size()) {
    return file_.corrupt(address.slotPage, "overflow row shorter than a row pointer");
  }
  std::copy(pointer.begin(), pointer.end(), pointerRow.begin());
  if (Status s = (*slotPage)->overwrite(address.slotRow, pointerRow); !s.ok()) return s;
  stage_.changed(address.slotPage, address.slotRow);
  stage_.write(address.slotPage);
  if (Status s = (*page)->erase(slot); !s.ok()) return s;
  stage_.changed(address.dataPage, slot);
  stage_.write(address.dataPage);
  return Status::success();
}

// Reads the rebuilt row back as the reader will and compares it with the old
// one: every column equal but Database and Connect, and those as intended.
Status LinkWriter::checkRebuiltRow(std::span<const std::byte> oldRow, std::span<const std::byte> newRow,
                                   std::uint32_t page) {
  const TableDefinition& def = catalog_.definition();
  auto before = Row::parse(PageView(oldRow), def, file_.layout(), file_.displayName(), page);
  if (!before) return before.status();
  auto after = Row::parse(PageView(newRow), def, file_.layout(), file_.displayName(), page);
  if (!after) return after.status();
  for (const ColumnDef& c : def.columns) {
    auto a = before->value(c);
    auto b = after->value(c);
    if (!a) return a.status();
    if (!b) return b.status();
    const auto edited = std::ranges::find_if(edited_, [&](const EditedColumn& e) { return e.column == &c; });
    bool same = false;
    if (edited != edited_.end() && !edited->kept) {
      auto holds = holdsNewValue(*edited, *b, page);
      if (!holds) return holds.status();
      same = *holds;
    } else {
      same = a->has_value() == b->has_value() &&
             (!a->has_value() || std::ranges::equal((*a)->bytes(), (*b)->bytes()));
    }
    if (!same) return file_.corrupt(page, "rebuilt catalogue row differs in column " + narrow(c.name));
  }
  return Status::success();
}

Result<bool> LinkWriter::holdsNewValue(const EditedColumn& edited, const std::optional<PageView>& stored,
                                       std::uint32_t page) {
  if (!edited.value || !stored) return !edited.value && !stored;
  std::uint64_t budget = std::uint64_t{file_.pageCount()} * file_.layout().pageSize;
  auto value = viewLongValue(stage_.rows(), *stored, page, budget);
  if (!value) return value.status();
  return std::ranges::equal(value->bytes().bytes(), *edited.value);
}

Status LinkWriter::checkCatalogueMaps() {
  const TableDefinition& def = catalog_.definition();
  // The catalogue's own maps: every page it owns is one of its data pages,
  // and the pages it lists as having room are among them.
  auto owned = readUsageMap(file_, def.ownedMap);
  if (!owned) return owned.status();
  auto withRoom = readUsageMap(file_, def.freeMap);
  if (!withRoom) return withRoom.status();
  for (std::uint32_t number : *owned) {
    auto page = file_.page(number);
    if (!page) return page.status();
    if (page->view().u8(kOffsetPageType) != kPageTypeData || page->view().u32(kOffsetOwner) != def.page) {
      return file_.corrupt(number, "the catalogue's usage map lists a page that is not one of its data pages");
    }
  }
  for (std::uint32_t number : *withRoom) {
    if (!std::binary_search(owned->begin(), owned->end(), number)) {
      return file_.corrupt(number, "the catalogue's free-space map lists a page the catalogue does not own");
    }
  }
  // The long-value maps of the two columns a relink writes. (The global map
  // is edited only where its row is checked; its set bits mean free pages,
  // past the end of the file too.)
  auto maps = readColumnMaps(file_, def);
  if (!maps) return maps.status();
  for (const ColumnMaps& m : *maps) {
    if (!isEdited(m.column)) continue;
    for (std::uint32_t pointer : {m.ownedMap, m.freeMap}) {
      if (pointer == 0) continue;
      if (auto pages = readUsageMap(file_, pointer); !pages) return pages.status();
    }
  }
  return Status::success();
}

Status LinkWriter::findEditedColumns() {
  const TableDefinition& def = catalog_.definition();
  edited_[0].column = def.column(kCatalogColumnDatabase);
  edited_[1].column = def.column(kCatalogColumnConnect);
  for (const EditedColumn& e : edited_) {
    if (e.column == nullptr || !e.column->isLongValue() || e.column->isFixed()) {
      return file_.corrupt(def.page, "the catalogue's Database and Connect columns are not as expected");
    }
  }
  return Status::success();
}

bool LinkWriter::isEdited(std::uint16_t columnNumber) const {
  return std::ranges::any_of(edited_, [&](const EditedColumn& e) { return e.column->number == columnNumber; });
}

Result<const CatalogTable*> LinkWriter::findLinkedTable(const LinkChange& change, const DecodedCatalog& catalog) {
  const CatalogTable* table = catalog.find(change.table);
  if (table == nullptr) return errors::itemNotFound(narrow(change.table));
  if (table->type != kObjectTypeLinkedTable) {
    return errors::notSupported(narrow(table->name) + " is not linked to a file");
  }
  return table;
}

Status LinkWriter::encodeNewValues(const LinkChange& change, const CatalogTable& table) {
  const std::optional<std::u16string> values[] = {change.database, change.connect};
  const std::optional<std::u16string> stored[] = {table.database, table.connect};
  for (std::size_t i = 0; i < edited_.size(); ++i) {
    EditedColumn& e = edited_[i];
    if (values[i]) {
      auto encoded = encodeText(file_.layout(), file_.header().codePage, *values[i]);
      if (!encoded) return encoded.status();
      e.value = std::move(*encoded);
    }
    e.kept = stored[i] == values[i];
  }
  return Status::success();
}

Result<RowParts> LinkWriter::unpackCatalogueRow(const CatalogTable& table, std::span<const std::byte> row) {
  auto parts = unpackRow(file_.layout(), row, true, file_.displayName(), table.address.dataPage);
  if (!parts) return parts.status();
  for (const EditedColumn& e : edited_) {
    if (e.column->number >= parts->columnCount || e.column->variableIndex >= parts->variable.size()) {
      return errors::notSupported("the catalogue row of " + narrow(table.name) +
                                  " was written with fewer columns");
    }
  }
  return parts;
}

Status LinkWriter::takeReferences(const LongValueReferences* references) {
  if (references == nullptr) return countLongValueReferences();
  references_ = *references;
  return Status::success();
}

Status LinkWriter::placeNewValues(const RowParts& parts) {
  for (EditedColumn& e : edited_) {
    const auto old = parts.variable[e.column->variableIndex];
    e.oldHeader = LongValueHeader::parse(old);
    e.reusedOldRow = e.kept;
    if (e.kept) {
      e.slice.assign(old.begin(), old.end());
    } else if (e.value) {
      auto placed = placeLongValue(e);
      if (!placed) return placed.status();
      e.slice = std::move(*placed);
    } else {
      e.slice.clear();  // NULL
    }
  }
  return Status::success();
}

Result<std::vector<std::byte>> LinkWriter::rebuildRow(const RowParts& parts, std::span<const std::byte> oldRow,
                                                      std::uint32_t page) {
  std::vector<std::byte> mask(parts.nullMask.begin(), parts.nullMask.end());
  RowParts rebuilt = parts;
  for (const EditedColumn& e : edited_) {
    rebuilt.variable[e.column->variableIndex] = e.slice;
    if (e.kept) continue;
    const auto bit = static_cast<std::byte>(1U << (e.column->number % 8));
    std::byte& bits = mask[e.column->number / 8];
    bits = e.value ? (bits | bit) : (bits & ~bit);
  }
  rebuilt.nullMask = mask;
  std::vector<std::byte> newRow;
  if (Status s = appendPackedRow(file_.layout(), rebuilt, newRow); !s.ok()) return s;
  if (Status s = checkRebuiltRow(oldRow, newRow, page); !s.ok()) return s;
  return newRow;
}

Status LinkWriter::deleteReplacedValues() {
  for (const EditedColumn& e : edited_) {
    if (e.oldHeader && e.oldHeader->outOfLine() && !e.reusedOldRow &&
        e.oldHeader->kind() == LongValueKind::single) {
      // Never a row that another catalogue row still points at.
      if (references_.count(e.oldHeader->pointer()) != 1) continue;
      if (Status s = placer_.remove(e.oldHeader->pointer()); !s.ok()) return s;
    }
  }
  return Status::success();
}

void LinkWriter::updateReferenceCounts() {
  for (const EditedColumn& e : edited_) {
    const auto& was = e.oldHeader;
    if (was && was->outOfLine()) references_.remove(was->pointer());
    const auto now = LongValueHeader::parse(e.slice);
    if (now && now->outOfLine()) references_.add(now->pointer());
  }
}

}  // namespace

namespace {

// Whether Access's lock file for the name `given` is the one for the real
// file `real`: the same stem in the same folder (a relative name, or one
// through a linked folder). Then the folder need not be listed again, which
// on a share full of front-ends is the slow part of the check.
bool namesTheSameLockFile(FileSystem& fs, const std::string& given, const std::string& real) {
  const std::filesystem::path name = pathFromUtf8(given);
  const std::filesystem::path file = pathFromUtf8(real);
  if (name.stem() != file.stem()) return false;
  const std::string folder = utf8Of(name.parent_path());
  auto realFolder = fs.realPath(folder.empty() ? "." : folder);
  return realFolder && *realFolder == utf8Of(file.parent_path());
}

}  // namespace

Result<std::unique_ptr<File>> openForWriting(FileSystem& fs, const std::string& path,
                                             const std::string& displayName, const FileInfo* expected) {
  auto file = fs.open(path, OpenMode::readWrite);
  if (!file) {
    if (file.status().number() == kErrNoPermission || file.status().number() == kErrReadOnly) {
      return errors::readOnly(displayName);
    }
    return file.status();
  }
  auto info = (*file)->info();
  if (!info) return info.status();
  // The file read is the file written: a name that now leads to another file
  // (renamed or copied over it since) writes nothing.
  if (expected != nullptr && (expected->device != 0 || expected->inode != 0) && !sameFile(*expected, *info)) {
    return errors::replacedMeanwhile(displayName);
  }
  if (info->links > 1) return errors::hardLinked(displayName, info->links);
  // Access makes its lock file beside the name it opened: beside the real
  // file, and beside the name the user gave when that is a symbolic link.
  if (Status s = checkAccessLockFile(fs, path, displayName); !s.ok()) return s;
  if (displayName != path && !namesTheSameLockFile(fs, displayName, path)) {
    auto given = fs.info(displayName);
    if (given && given->exists && given->inode == info->inode && given->device == info->device) {
      if (Status s = checkAccessLockFile(fs, displayName, displayName); !s.ok()) return s;
    }
  }
  // Invariant 4: the lock before anything is read that the write depends on.
  if (Status s = (*file)->tryLock(kWriteLockOffset); !s.ok()) {
    return s.number() == kErrFileInUse ? errors::fileInUse(displayName, "another program is changing it") : s;
  }
  return file;
}

Result<Recovery> recoverInterruptedRelink(FileSystem& fs, NoticeSink& notices, const std::string& path) {
  auto real = fs.realPath(path);
  if (!real) return real.status();
  // Without a journal there is nothing to lock the file for.
  auto journal = fs.hasEntry(journalPath(*real));
  if (!journal) return journal.status();
  if (!*journal) return Recovery::none;
  auto file = openForWriting(fs, *real, path);
  if (!file) return file.status();
  return recoverJournal(fs, notices, **file);
}

Status writeLink(FileSystem& fs, NoticeSink& notices, const std::string& path, const std::string& displayName,
                 const LinkChange& change, const DecodedCatalog* known,
                 std::shared_ptr<const DecodedCatalog>* after, const FileInfo* expected) {
  auto file = openForWriting(fs, path, displayName, expected);
  if (!file) return file.status();
  // What an interrupted relink left is undone first: under the lock, and
  // only when no Access lock file lies beside the file.
  if (auto recovered = recoverJournal(fs, notices, **file); !recovered) return recovered.status();

  // Every page the relink reads is noted: the commit writes nothing if one
  // of them has changed by then.
  auto read = std::make_shared<PageSums>();
  auto jet = JetFile::open(noteReads(std::move(*file), read), displayName);
  if (!jet) return jet.status();
  auto size = (*jet)->file().size();
  if (!size) return size.status();
  if (*size % (*jet)->layout().pageSize != 0) {
    return (*jet)->corrupt((*jet)->pageCount(), "the file ends inside a page; it will not be written");
  }
  // The caller's decoding of the catalogue, if the file (read now, under the
  // lock) still holds the pages it came from; else the catalogue decoded now.
  std::shared_ptr<const DecodedCatalog> base;
  if (known != nullptr && known->stillHolds(**jet)) {
    base = std::shared_ptr<const DecodedCatalog>(std::shared_ptr<void>(), known);
  } else {
    auto decoded = decodeCatalog(**jet);
    if (!decoded) return decoded.status();
    base = std::make_shared<const DecodedCatalog>(std::move(*decoded));
  }
  auto catalog = Catalog::open(**jet);
  if (!catalog) return catalog.status();
  LinkWriter writer(**jet, *catalog);
  if (Status s = writer.run(change, *base); !s.ok()) return s;
  if (!writer.writes().empty()) {
    if (Status s = commitPages(fs, notices, **jet, writer.writes(), read.get()); !s.ok()) return s;
  }
  if (after != nullptr) {
    // Still under the lock: nobody else has written since.
    auto references = std::make_shared<const LongValueReferences>(writer.references());
    std::vector<std::uint32_t> written;
    for (const PageWrite& w : writer.writes()) written.push_back(w.page);
    auto decoded = writer.writes().empty()
                       ? Result<DecodedCatalog>(*base)
                       : decodedAfterRelink(**jet, *base, change.table, std::move(references), written);
    if (decoded) *after = std::make_shared<const DecodedCatalog>(std::move(*decoded));
  }
  return Status::success();
}

}  // namespace povezava::engine::jet
