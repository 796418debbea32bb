// Pages a writer rebuilds in memory before anything is written: the original
// of each, its current state, what may change on it, and the order in which
// the states are to be written. The link writer edits the catalogue through
// it, and the long values and usage maps (through their owners in format/).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/jet/format/long_value.h"
#include "engine/jet/read/jet_file.h"
#include "engine/jet/write/page_commit.h"
#include "engine/jet/write/page_edit.h"
#include "base/status.h"

namespace povezava::engine::jet {

class PageStaging final : public LongValuePages {
 public:
  explicit PageStaging(JetFile& file) : file_(file) {}

  // The page's current state, read (and checked: an inconsistent page is
  // refused, never edited) when first asked for.
  Result<PageEdit*> page(std::uint32_t number);

  // Slot `slot` of `number` may change; a slot was appended to `number`.
  void changed(std::uint32_t number, std::size_t slot) { scope_[number].changedSlots.push_back(slot); }
  void added(std::uint32_t number) { ++scope_[number].addedSlots; }
  // The page's present state is the next thing to write.
  void write(std::uint32_t number) { writes_.push_back({number, current_.at(number).bytes()}); }

  // Every page checked against its original: only the slots noted changed
  // or added differ; an added page is checked whole.
  Status verify() const;
  // The states to write, in order.
  const std::vector<PageWrite>& writes();
  // The rows as they stand now, for reading long values back as the reader
  // reads them. Valid while the pages are not edited further.
  LongValueRows rows();

  // LongValuePages: the edits placing and deleting long values make. A page
  // added here is written whole, in its final state.
  std::string_view file() const override { return file_.displayName(); }
  std::uint32_t pageCount() const override { return file_.pageCount(); }
  Result<std::pair<std::uint8_t, std::uint32_t>> typeAndOwner(std::uint32_t number) override;
  Result<std::optional<std::size_t>> appendIfRoom(std::uint32_t number, std::span<const std::byte> row) override;
  Result<bool> resizeIfRoom(std::uint32_t pointer, std::span<const std::byte> row) override;
  Status eraseIfOwned(std::uint32_t pointer, std::uint32_t owner) override;
  void addPage(std::uint32_t owner) override;
  Status recordInMap(std::uint32_t map, std::uint32_t page, bool listed, bool outsideListed) override;

 private:
  JetFile& file_;
  std::map<std::uint32_t, PageEdit> original_;
  std::map<std::uint32_t, PageEdit> current_;
  std::map<std::uint32_t, EditScope> scope_;
  std::set<std::uint32_t> created_;
  std::vector<PageWrite> writes_;
  std::vector<std::size_t> late_;  // entries of writes_ filled in by writes()
};

}  // namespace povezava::engine::jet
