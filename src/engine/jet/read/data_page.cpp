#include "engine/jet/read/data_page.h"

#include <algorithm>
#include <string>

#include "engine/jet/format/layout.h"

namespace povezava::engine::jet {
namespace {

// Jet moves an overflowing row again by updating the pointer, so a real file
// has one hop. A short limit keeps a scan of many rows that point into one
// long chain linear.
constexpr std::uint32_t kMaxOverflowHops = 16;

bool isDataPage(PageView view) {
  return view.u8(kOffsetPageType) == kPageTypeData && view.u8(kOffsetPageMarker) == kPageMarker;
}

}  // namespace

Result<std::uint16_t> dataPageRowCount(const JetFile& file, const Page& page) {
  const Layout& layout = file.layout();
  const auto count = page.view().u16(layout.dataOffsetRowCount);
  if (!count || *count > kMaxRowsPerPage ||
      layout.dataHeaderLength + std::size_t{*count} * 2 > page.view().size()) {
    return file.corrupt(page.number(), "the row count " + std::to_string(count.value_or(0)) +
                                           " does not fit the page");
  }
  return *count;
}

namespace {

// The page's row count, once `row` is known to be one of its rows.
Result<std::uint16_t> countWithRow(const JetFile& file, const Page& page, std::uint16_t row) {
  auto count = dataPageRowCount(file, page);
  if (!count) return count.status();
  if (row >= *count) {
    return file.corrupt(page.number(), "row " + std::to_string(row) + " does not exist (the page has " +
                                           std::to_string(*count) + " rows)");
  }
  return count;
}

}  // namespace

Result<std::uint16_t> rowOffsetWord(const JetFile& file, const Page& page, std::uint16_t row) {
  auto count = countWithRow(file, page, row);
  if (!count) return count.status();
  return page.view().u16(file.layout().dataHeaderLength + std::size_t{row} * 2).value_or(0);
}

Result<PageView> rowBytes(const JetFile& file, const Page& page, std::uint16_t row) {
  auto count = countWithRow(file, page, row);
  if (!count) return count.status();
  const PageView view = page.view();
  const std::size_t table = file.layout().dataHeaderLength;
  const std::size_t start = rowStart(view.u16(table + std::size_t{row} * 2).value_or(0));
  const std::size_t end =
      row == 0 ? view.size() : rowStart(view.u16(table + (std::size_t{row} - 1) * 2).value_or(0));
  if (start < table + std::size_t{*count} * 2 || start > end || end > view.size()) {
    return file.corrupt(page.number(), "row " + std::to_string(row) + " spans " +
                                           std::to_string(start) + ".." + std::to_string(end) +
                                           ", outside the page's rows");
  }
  return *view.sub(start, end - start);
}

Result<RowData> readRowAt(JetFile& file, std::uint32_t pointer, RowAddress address) {
  for (std::uint32_t hops = 0; hops <= std::min(file.pageCount(), kMaxOverflowHops); ++hops) {
    const std::uint32_t number = rowPointerPage(pointer);
    const std::uint8_t row = rowPointerRow(pointer);
    auto page = file.page(number);
    if (!page) return page.status();
    if (!isDataPage(page->view())) {
      return file.corrupt(number, "a row pointer leads to a page that is not a data page");
    }
    auto bytes = rowBytes(file, *page, row);
    if (!bytes) return bytes.status();
    // rowBytes() has found the slot among the page's rows.
    const std::uint16_t word =
        page->view().u16(file.layout().dataHeaderLength + std::size_t{row} * 2).value_or(0);
    const bool pointerSlot = (word & kRowFlagOverflow) != 0;
    if (pointerSlot && isDeletedRow(word)) {
      return file.corrupt(number, "a row pointer leads to deleted row " + std::to_string(row));
    }
    if (!pointerSlot) {
      address.dataPage = number;
      address.dataRow = row;
      return RowData{address, *page, *bytes};
    }
    const auto next = bytes->u32(0);
    if (!next) {
      return file.corrupt(number, "overflow row " + std::to_string(row) + " is shorter than a row pointer");
    }
    pointer = *next;
  }
  return file.corrupt(rowPointerPage(pointer), "overflow row pointers form a loop or a chain longer than " +
                                                   std::to_string(kMaxOverflowHops));
}

Status forEachRow(JetFile& file, std::uint32_t pageNumber, std::uint32_t tdefPage,
                  const std::function<Status(const RowData&)>& visit) {
  auto page = file.page(pageNumber);
  if (!page) return page.status();
  const PageView view = page->view();
  if (!isDataPage(view) || view.u32(kOffsetOwner) != tdefPage) return Status::success();
  auto count = dataPageRowCount(file, *page);
  if (!count) return count.status();
  for (std::uint16_t row = 0; row < *count; ++row) {
    const std::uint16_t word =
        view.u16(file.layout().dataHeaderLength + std::size_t{row} * 2).value_or(0);
    if (isDeletedRow(word)) continue;
    RowAddress address{pageNumber, row, pageNumber, row};
    if (isOverflowRow(word)) {
      auto bytes = rowBytes(file, *page, row);
      if (!bytes) return bytes.status();
      const auto pointer = bytes->u32(0);
      if (!pointer) {
        return file.corrupt(pageNumber, "overflow row " + std::to_string(row) +
                                            " is shorter than a row pointer");
      }
      auto target = readRowAt(file, *pointer, address);
      if (!target) return target.status();
      if (Status s = visit(*target); !s.ok()) return s;
      continue;
    }
    auto bytes = rowBytes(file, *page, row);
    if (!bytes) return bytes.status();
    if (Status s = visit(RowData{address, *page, *bytes}); !s.ok()) return s;
  }
  return Status::success();
}

}  // namespace povezava::engine::jet
