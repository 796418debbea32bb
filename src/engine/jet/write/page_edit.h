// Editing one data page in memory: the writer's page primitives.
//
// A data page (type 0x01) packs its rows from the page end downwards in slot
// order, with no holes:
//
//   OFFSET          SIZE  MEANING
//   00              1     0x01
//   01              1     0x01
//   02              2     free space = lowest row start - (header + 2n)
//   04              4     owner (tdef page or "LVAL"); Jet 4: 08..0B unknown
//   08 / 0C         2     row count n
//   0A / 0E         2n    offset words: start (low 13 bits) and flags
//   ...                   free space (content irrelevant)
//   start(n-1) ..         row n-1, ..., row 1
//   start(0) .. end       row 0; end(i) = start(i-1), end(0) = page size
//
// Every primitive keeps what other readers rely on: slot numbers never change,
// other slots keep their flag bits and their bytes (rows below the edited one
// move as one block), the free-space identity holds afterwards. A primitive
// refuses (corrupt / recordTooLarge) instead of editing a page that does not
// satisfy the identity, and leaves the page untouched when it fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/jet/format/layout.h"
#include "base/status.h"

namespace povezava::engine::jet {

// One page being edited. `path` and `number` name it in errors.
class PageEdit {
 public:
  PageEdit(const Layout& layout, std::string path, std::uint32_t number, std::vector<std::byte> bytes)
      : layout_(&layout), path_(std::move(path)), number_(number), bytes_(std::move(bytes)) {}

  std::uint32_t number() const { return number_; }
  const std::string& path() const { return path_; }
  const std::vector<std::byte>& bytes() const { return bytes_; }
  const Layout& layout() const { return *layout_; }

  // Checks the page is a data page whose slots and free-space field agree
  // (the identity at the top of this file). Every primitive checks this first.
  Status check() const;

  std::size_t rowCount() const;
  // REQUIRES: slot < rowCount()
  std::uint16_t word(std::size_t slot) const;
  std::size_t rowStart(std::size_t slot) const;
  std::size_t rowEnd(std::size_t slot) const;
  std::span<const std::byte> row(std::size_t slot) const;
  std::uint16_t freeSpace() const;

  // Replaces slot's bytes with `row`, moving the rows below it by the
  // difference in length; slot's flag bits become `flags`.
  // recordTooLarge when the page lacks room.
  Status resize(std::size_t slot, std::span<const std::byte> row, std::uint16_t flags);
  // Overwrites slot's bytes with a row of exactly the same length (a Jet 4
  // row padded to its old size); nothing else on the page changes.
  Status overwrite(std::size_t slot, std::span<const std::byte> row);
  // Appends a new slot holding `row` with the given flags; returns its number.
  // recordTooLarge without room or when the page already holds the most rows
  // a row pointer can address.
  Result<std::size_t> append(std::span<const std::byte> row, std::uint16_t flags);
  // Deletes a row the way Access does: zero length, flags 0xC000; the slot stays.
  Status erase(std::size_t slot);
  // Room for a new row of `length` bytes (its slot word included).
  bool hasRoomFor(std::size_t length) const;

 private:
  Status corrupt(const std::string& what) const;
  void putWord(std::size_t slot, std::uint16_t word);
  void setFreeSpace(std::size_t value);
  void setRowCount(std::size_t value);
  std::size_t slotTableEnd(std::size_t rows) const;

  const Layout* layout_;
  std::string path_;
  std::uint32_t number_;
  std::vector<std::byte> bytes_;
};

// What an edit is allowed to change on a page.
struct EditScope {
  std::vector<std::size_t> changedSlots;  // slots whose bytes or flags may differ
  std::size_t addedSlots = 0;             // new slots appended at the end
};

// Compares a page before and after an edit: same type, owner and header bytes,
// every slot outside `scope` with the same flags and bytes, the free-space
// identity on both. corrupt (naming the page and the first difference) when
// anything else changed.
Status verifyEdit(const PageEdit& before, const PageEdit& after, const EditScope& scope);

}  // namespace povezava::engine::jet
