#include "engine/jet/write/page_staging.h"

#include <string>

#include "base/errors.h"
#include "engine/jet/format/empty_data_page.h"
#include "engine/jet/format/page_view.h"
#include "engine/jet/format/usage_map.h"

namespace povezava::engine::jet {

Result<PageEdit*> PageStaging::page(std::uint32_t number) {
  auto it = current_.find(number);
  if (it != current_.end()) return &it->second;
  auto p = file_.page(number);
  if (!p) return p.status();
  const auto bytes = p->view().bytes();
  PageEdit edit(file_.layout(), file_.displayName(), number, std::vector<std::byte>(bytes.begin(), bytes.end()));
  // An inconsistent page is refused, never edited.
  if (Status s = edit.check(); !s.ok()) return s;
  original_.emplace(number, edit);
  return &current_.emplace(number, std::move(edit)).first->second;
}

Status PageStaging::verify() const {
  for (const auto& [number, after] : current_) {
    if (created_.contains(number)) {
      if (Status s = after.check(); !s.ok()) return s;
      continue;
    }
    auto scope = scope_.find(number);
    if (Status s = verifyEdit(original_.at(number), after, scope == scope_.end() ? EditScope{} : scope->second);
        !s.ok()) {
      return s;
    }
  }
  return Status::success();
}

const std::vector<PageWrite>& PageStaging::writes() {
  for (std::size_t i : late_) writes_[i].bytes = current_.at(writes_[i].page).bytes();
  late_.clear();
  return writes_;
}

LongValueRows PageStaging::rows() {
  return LongValueRows{file_.displayName(), std::uint64_t{file_.pageCount()} * file_.layout().pageSize,
                       [this](std::uint32_t pointer) -> Result<LongValueRow> {
                         const std::uint32_t number = rowPointerPage(pointer);
                         auto edit = page(number);
                         if (!edit) return edit.status();
                         const std::size_t slot = rowPointerRow(pointer);
                         if (slot >= (*edit)->rowCount()) {
                           return file_.corrupt(number, "no row " + std::to_string(slot));
                         }
                         return LongValueRow{nullptr, number, PageView((*edit)->bytes()),
                                             PageView((*edit)->row(slot))};
                       }};
}

Result<std::pair<std::uint8_t, std::uint32_t>> PageStaging::typeAndOwner(std::uint32_t number) {
  auto raw = file_.page(number);
  if (!raw) return raw.status();
  return std::pair(raw->view().u8(kOffsetPageType).value_or(0), raw->view().u32(kOffsetOwner).value_or(0));
}

Result<std::optional<std::size_t>> PageStaging::appendIfRoom(std::uint32_t number, std::span<const std::byte> row) {
  auto edit = page(number);
  if (!edit) return edit.status();
  if (!(*edit)->hasRoomFor(row.size())) return std::optional<std::size_t>();
  auto slot = (*edit)->append(row, 0);
  if (!slot) return slot.status();
  if (!created_.contains(number)) {
    added(number);
    write(number);
  }
  return std::optional<std::size_t>(*slot);
}

Result<bool> PageStaging::resizeIfRoom(std::uint32_t pointer, std::span<const std::byte> row) {
  const std::uint32_t number = rowPointerPage(pointer);
  auto edit = page(number);
  if (!edit) return edit.status();
  const std::size_t slot = rowPointerRow(pointer);
  if (slot >= (*edit)->rowCount() || isDeletedRow((*edit)->word(slot))) return false;
  const std::size_t oldLength = (*edit)->row(slot).size();
  if (row.size() > oldLength + (*edit)->freeSpace()) return false;
  const auto flags = static_cast<std::uint16_t>((*edit)->word(slot) & ~kRowOffsetMask);
  if (Status s = (*edit)->resize(slot, row, flags); !s.ok()) return s;
  changed(number, slot);
  write(number);
  return true;
}

Status PageStaging::eraseIfOwned(std::uint32_t pointer, std::uint32_t owner) {
  const std::uint32_t number = rowPointerPage(pointer);
  auto edit = page(number);
  if (!edit) return edit.status();
  const std::size_t slot = rowPointerRow(pointer);
  if (slot >= (*edit)->rowCount() || isDeletedRow((*edit)->word(slot)) ||
      (*edit)->bytes().size() < kOffsetOwner + 4 || PageView((*edit)->bytes()).u32(kOffsetOwner) != owner) {
    return Status::success();  // nothing of ours to delete
  }
  if (Status s = (*edit)->erase(slot); !s.ok()) return s;
  changed(number, slot);
  write(number);
  return Status::success();
}

void PageStaging::addPage(std::uint32_t owner) {
  const std::uint32_t number = file_.pageCount();
  created_.insert(number);
  current_.emplace(number, PageEdit(file_.layout(), file_.displayName(), number, emptyDataPage(file_.layout(), owner)));
  // The new page holds its rows before it is written: its place in the order
  // is taken now, its bytes when the writes are asked for.
  writes_.push_back({number, {}});
  late_.push_back(writes_.size() - 1);
}

Status PageStaging::recordInMap(std::uint32_t map, std::uint32_t page, bool listed, bool outsideListed) {
  const std::uint32_t mapPage = rowPointerPage(map);
  const std::uint8_t slot = rowPointerRow(map);
  auto edit = this->page(mapPage);
  if (!edit) return edit.status();
  if (slot >= (*edit)->rowCount() || isDeletedRow((*edit)->word(slot))) {
    return file_.corrupt(mapPage, "usage map row " + std::to_string(slot) + " is missing");
  }
  std::vector<std::byte> row((*edit)->row(slot).begin(), (*edit)->row(slot).end());
  auto edited = UsageMap(row, file_.displayName(), mapPage).record(page, listed, outsideListed);
  if (!edited) return edited.status();
  if (!*edited) return Status::success();
  if (Status s = (*edit)->overwrite(slot, row); !s.ok()) return s;
  changed(mapPage, slot);
  write(mapPage);
  return Status::success();
}

}  // namespace povezava::engine::jet
