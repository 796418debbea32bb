#include "engine/jet/format/long_value.h"

#include <algorithm>
#include <string>
#include <unordered_set>

#include "base/errors.h"

namespace povezava::engine::jet {

Result<LongValue> viewLongValue(const LongValueRows& rows, PageView slice, std::uint32_t page,
                                std::uint64_t& budget) {
  const auto corrupt = [&](std::uint32_t at, std::string_view what) { return errors::corrupt(rows.file, at, what); };
  // The LVAL row at `pointer`: a data page owned by "LVAL", the row live.
  const auto lvalRow = [&](std::uint32_t pointer) -> Result<LongValueRow> {
    auto row = rows.row(pointer);
    if (!row) return row;
    if (row->page.u32(kOffsetOwner) != kOwnerLval) {
      return corrupt(row->number, "a long value points at a page that is not an LVAL page");
    }
    return row;
  };
  if (slice.empty()) return LongValue();
  const auto header = LongValueHeader::parse(slice.bytes());
  if (!header) return corrupt(page, "a long value's header is cut short");
  const std::uint32_t length = header->length();
  const auto kind = header->kind();
  if (!kind) return corrupt(page, "a long value is of an unknown kind");
  if (std::uint64_t{length} > rows.fileBytes) {
    return corrupt(page, "a long value's length " + std::to_string(length) + " exceeds the file");
  }
  const auto draw = [&](std::uint64_t bytes) {
    if (bytes > budget) return false;
    budget -= bytes;
    return true;
  };
  // Built only when it happens: most reads succeed.
  const auto overdrawn = [&] { return corrupt(page, "long values reach more data than the file holds"); };
  if (!draw(length)) return overdrawn();
  switch (*kind) {
    case LongValueKind::inlined: {
      const auto data = slice.sub(kLongValueHeaderSize, length);
      if (!data) return corrupt(page, "an inline long value is longer than its row");
      return LongValue(nullptr, *data);
    }
    case LongValueKind::single: {
      auto row = lvalRow(header->pointer());
      if (!row) return row.status();
      const auto data = row->bytes.sub(0, length);
      if (!data) return corrupt(row->number, "a long value's row is shorter than its length");
      return LongValue(std::move(row->keep), *data);
    }
    case LongValueKind::chain: {
      std::vector<std::byte> value;
      value.reserve(length);
      std::uint32_t next = header->pointer();
      std::unordered_set<std::uint32_t> visited;
      while (value.size() < length) {
        if (next == 0) return corrupt(page, "a long value's chain ends early");
        if (!visited.insert(next).second) return corrupt(page, "a long value's chain loops");
        auto row = lvalRow(next);
        if (!row) return row.status();
        if (!draw(kRowPointerSize)) return overdrawn();  // segments without data cost too
        const auto link = row->bytes.u32(0);
        if (!link) return corrupt(row->number, "a long value segment is too short");
        const PageView data = *row->bytes.from(kRowPointerSize);
        const std::size_t take = std::min<std::size_t>(data.size(), length - value.size());
        const auto bytes = data.sub(0, take)->bytes();
        value.insert(value.end(), bytes.begin(), bytes.end());
        next = *link;
      }
      return LongValue(std::move(value));
    }
  }
  return corrupt(page, "a long value is of an unknown kind");
}

Result<std::vector<std::byte>> LongValuePlacer::place(const std::function<Result<LongValueColumn>()>& column,
                                                      std::span<const std::byte> data,
                                                      const std::optional<LongValueHeader>& old, bool oldOnlyUse,
                                                      bool& grewOld) {
  if (data.size() <= layout_.longValueInlineLimit) return longValueSlice(LongValueKind::inlined, data, 0);
  auto where = column();
  if (!where) return where.status();
  auto appended = appendOnColumnPage(*where, data);
  if (!appended) return appended.status();
  if (*appended) return longValueSlice(LongValueKind::single, data, **appended);

  // No page with room for another row: the replaced value's own row may grow
  // in place, when nothing else points at it.
  if (old && old->outOfLine() && old->kind() == LongValueKind::single && oldOnlyUse) {
    auto grown = pages_.resizeIfRoom(old->pointer(), data);
    if (!grown) return grown.status();
    if (*grown) {
      grewOld = true;
      return longValueSlice(LongValueKind::single, data, old->pointer());
    }
  }
  if (where->ownedMap == 0 || where->freeMap == 0) {
    return errors::recordTooLarge(pages_.file(), "column " + where->name + " has no long-value usage maps");
  }
  // As Access does when a column's pages are full: a new page of its own.
  auto number = addColumnPage(*where);
  if (!number) return number.status();
  auto slot = pages_.appendIfRoom(*number, data);
  if (!slot) return slot.status();
  if (!*slot) {
    return errors::recordTooLarge(pages_.file(),
                                  "a long value of " + std::to_string(data.size()) + " bytes does not fit on a page");
  }
  return longValueSlice(LongValueKind::single, data, makeRowPointer(*number, static_cast<std::uint8_t>(**slot)));
}

Result<std::optional<std::uint32_t>> LongValuePlacer::appendOnColumnPage(const LongValueColumn& column,
                                                                         std::span<const std::byte> data) {
  for (std::uint32_t number : column.pages) {
    auto page = pages_.typeAndOwner(number);
    if (!page) return page.status();
    if (page->first != kPageTypeData || page->second != kOwnerLval) {
      continue;  // a leftover listed by the map; not a long-value page now
    }
    auto slot = pages_.appendIfRoom(number, data);
    if (!slot) return slot.status();
    if (*slot) return std::optional<std::uint32_t>(makeRowPointer(number, static_cast<std::uint8_t>(**slot)));
  }
  return std::optional<std::uint32_t>();
}

Result<std::uint32_t> LongValuePlacer::addColumnPage(const LongValueColumn& column) {
  if (added_) return errors::recordTooLarge(pages_.file(), "a relink adds at most one page");
  const std::uint32_t number = pages_.pageCount();
  if (number > 0xFFFFFF) return errors::recordTooLarge(pages_.file(), "the file is full");
  // The page first, so that no map ever lists a page that is not there.
  pages_.addPage(kOwnerLval);
  added_ = true;
  if (Status s = pages_.recordInMap(column.ownedMap, number, true, false); !s.ok()) return s;
  if (Status s = pages_.recordInMap(column.freeMap, number, true, false); !s.ok()) return s;
  // Global map: a set bit means the page is free, and so does a page beyond
  // its window; the new page must be recorded as used inside the window.
  if (Status s = pages_.recordInMap(makeRowPointer(kGlobalUsageMapPage, 0), number, false, true); !s.ok()) return s;
  return number;
}

Status LongValuePlacer::remove(std::uint32_t pointer) { return pages_.eraseIfOwned(pointer, kOwnerLval); }

}  // namespace povezava::engine::jet
