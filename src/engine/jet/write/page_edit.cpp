#include "engine/jet/write/page_edit.h"

#include <algorithm>
#include <cstring>

#include "base/errors.h"
#include "engine/jet/format/byte_order.h"
#include "engine/jet/format/page_view.h"

namespace povezava::engine::jet {
namespace {

std::uint16_t get16(const std::vector<std::byte>& bytes, std::size_t offset) {
  return PageView(bytes).u16(offset).value_or(0);
}

constexpr std::uint16_t kFlagBits = static_cast<std::uint16_t>(~kRowOffsetMask);

std::uint16_t withStart(std::uint16_t word, std::size_t start) {
  return static_cast<std::uint16_t>((word & kFlagBits) | (start & kRowOffsetMask));
}

// Byte-wise equality by memcmp: std::equal compares std::byte one at a time,
// and a verification compares every row of every page a relink changes.
bool sameBytes(std::span<const std::byte> a, std::span<const std::byte> b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0);
}

}  // namespace

Status PageEdit::corrupt(const std::string& what) const {
  return errors::corrupt(path_, number_, what);
}

std::size_t PageEdit::slotTableEnd(std::size_t rows) const {
  return layout_->dataHeaderLength + 2 * rows;
}

std::size_t PageEdit::rowCount() const { return get16(bytes_, layout_->dataOffsetRowCount); }

std::uint16_t PageEdit::word(std::size_t slot) const {
  return get16(bytes_, layout_->dataHeaderLength + 2 * slot);
}

std::size_t PageEdit::rowStart(std::size_t slot) const { return jet::rowStart(word(slot)); }

std::size_t PageEdit::rowEnd(std::size_t slot) const {
  return slot == 0 ? bytes_.size() : rowStart(slot - 1);
}

std::span<const std::byte> PageEdit::row(std::size_t slot) const {
  return std::span<const std::byte>(bytes_).subspan(rowStart(slot), rowEnd(slot) - rowStart(slot));
}

std::uint16_t PageEdit::freeSpace() const { return get16(bytes_, kOffsetFreeSpace); }

void PageEdit::putWord(std::size_t slot, std::uint16_t w) {
  putU16(bytes_, layout_->dataHeaderLength + 2 * slot, w);
}
void PageEdit::setFreeSpace(std::size_t value) {
  putU16(bytes_, kOffsetFreeSpace, static_cast<std::uint16_t>(value));
}
void PageEdit::setRowCount(std::size_t value) {
  putU16(bytes_, layout_->dataOffsetRowCount, static_cast<std::uint16_t>(value));
}

Status PageEdit::check() const {
  if (bytes_.size() != layout_->pageSize) return corrupt("page has the wrong size");
  const PageView view(bytes_);
  if (view.u8(kOffsetPageType) != kPageTypeData || view.u8(kOffsetPageMarker) != kPageMarker) {
    return corrupt("not a data page");
  }
  const std::size_t n = rowCount();
  if (n > kMaxRowsPerPage || slotTableEnd(n) > bytes_.size()) {
    return corrupt("row count " + std::to_string(n) + " does not fit the page");
  }
  std::size_t used = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t start = rowStart(i);
    const std::size_t end = rowEnd(i);
    if (start > end) return corrupt("row " + std::to_string(i) + " ends before it starts");
    if (start < slotTableEnd(n)) {
      return corrupt("row " + std::to_string(i) + " overlaps the row offset table");
    }
    used += end - start + 2;
  }
  const std::size_t header = layout_->dataHeaderLength;
  const std::size_t lowest = n == 0 ? bytes_.size() : rowStart(n - 1);
  if (used + header > bytes_.size() || freeSpace() != bytes_.size() - header - used ||
      freeSpace() != lowest - slotTableEnd(n)) {
    return corrupt("free space " + std::to_string(freeSpace()) +
                   " does not match the rows on the page");
  }
  return Status::success();
}

bool PageEdit::hasRoomFor(std::size_t length) const {
  return rowCount() < kMaxRowsPerPage - 1 && std::size_t{freeSpace()} >= length + 2;
}

Status PageEdit::resize(std::size_t slot, std::span<const std::byte> row, std::uint16_t flags) {
  if (Status s = check(); !s.ok()) return s;
  const std::size_t n = rowCount();
  if (slot >= n) return corrupt("no row " + std::to_string(slot));
  const std::size_t start = rowStart(slot);
  const std::size_t end = rowEnd(slot);
  const std::size_t oldLength = end - start;
  const std::size_t lowest = rowStart(n - 1);
  if (row.size() > oldLength && row.size() - oldLength > freeSpace()) {
    return errors::recordTooLarge(path_, "page " + std::to_string(number_) + " has " +
                                             std::to_string(freeSpace()) + " bytes free, the row needs " +
                                             std::to_string(row.size() - oldLength) + " more");
  }
  // The rows below `slot` move as one block; their bytes do not change.
  const std::size_t newStart = end - row.size();
  const std::size_t newLowest = lowest + newStart - start;
  std::memmove(bytes_.data() + newLowest, bytes_.data() + lowest, start - lowest);
  // An empty row (a deleted long value) may have no data pointer at all.
  if (!row.empty()) std::memcpy(bytes_.data() + newStart, row.data(), row.size());
  if (newLowest > lowest) {
    std::fill(bytes_.begin() + static_cast<std::ptrdiff_t>(lowest),
              bytes_.begin() + static_cast<std::ptrdiff_t>(newLowest), std::byte{0});
  }
  for (std::size_t i = slot; i < n; ++i) {
    // Keep the flag bits: the other rows' deleted and overflow marks must survive.
    const std::uint16_t w = word(i);
    putWord(i, withStart(w, rowStart(i) + newStart - start));
  }
  putWord(slot, withStart(flags, newStart));
  setFreeSpace(freeSpace() + oldLength - row.size());
  return check();
}

Status PageEdit::overwrite(std::size_t slot, std::span<const std::byte> row) {
  if (Status s = check(); !s.ok()) return s;
  if (slot >= rowCount()) return corrupt("no row " + std::to_string(slot));
  if (row.size() != rowEnd(slot) - rowStart(slot)) {
    return corrupt("rewrite of row " + std::to_string(slot) + " changes its length");
  }
  if (!row.empty()) std::memcpy(bytes_.data() + rowStart(slot), row.data(), row.size());
  return Status::success();
}

Result<std::size_t> PageEdit::append(std::span<const std::byte> row, std::uint16_t flags) {
  if (Status s = check(); !s.ok()) return s;
  if (!hasRoomFor(row.size())) {
    return errors::recordTooLarge(path_, "page " + std::to_string(number_) + " has no room for a row of " +
                                             std::to_string(row.size()) + " bytes");
  }
  const std::size_t n = rowCount();
  const std::size_t lowest = n == 0 ? bytes_.size() : rowStart(n - 1);
  const std::size_t start = lowest - row.size();
  if (!row.empty()) std::memcpy(bytes_.data() + start, row.data(), row.size());
  setRowCount(n + 1);
  putWord(n, withStart(flags, start));
  setFreeSpace(freeSpace() - row.size() - 2);
  if (Status s = check(); !s.ok()) return s;
  return n;
}

Status PageEdit::erase(std::size_t slot) { return resize(slot, {}, kRowFlagDeletedSlot); }

Status verifyEdit(const PageEdit& before, const PageEdit& after, const EditScope& scope) {
  auto differs = [&](const std::string& what) {
    return errors::corrupt(after.path(), after.number(), "rebuilt page differs: " + what);
  };
  if (Status s = before.check(); !s.ok()) return s;
  if (Status s = after.check(); !s.ok()) return s;
  const Layout& layout = before.layout();
  const auto& a = before.bytes();
  const auto& b = after.bytes();
  // Type, marker, owner and (Jet 4) the unknown bytes up to the row count.
  if (!std::equal(a.begin(), a.begin() + 2, b.begin()) ||
      !std::equal(a.begin() + static_cast<std::ptrdiff_t>(kOffsetOwner),
                  a.begin() + static_cast<std::ptrdiff_t>(layout.dataOffsetRowCount),
                  b.begin() + static_cast<std::ptrdiff_t>(kOffsetOwner))) {
    return differs("page header");
  }
  if (after.rowCount() != before.rowCount() + scope.addedSlots) return differs("row count");
  for (std::size_t i = 0; i < before.rowCount(); ++i) {
    if (std::find(scope.changedSlots.begin(), scope.changedSlots.end(), i) !=
        scope.changedSlots.end()) {
      continue;
    }
    const auto ra = before.row(i);
    const auto rb = after.row(i);
    if ((before.word(i) & kFlagBits) != (after.word(i) & kFlagBits) ||
        !sameBytes(ra, rb)) {
      return differs("row " + std::to_string(i));
    }
  }
  return Status::success();
}

}  // namespace povezava::engine::jet
