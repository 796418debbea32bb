#include "engine/jet/read/long_value.h"

#include <algorithm>
#include <string>
#include <unordered_set>

#include "engine/jet/format/layout.h"
#include "engine/jet/format/long_value_header.h"
#include "engine/jet/read/data_page.h"

namespace povezava::engine::jet {
namespace {

// The LVAL row at `pointer`: a data page owned by "LVAL", the row live.
Result<RowData> lvalRow(JetFile& file, std::uint32_t pointer) {
  auto row = readRowAt(file, pointer, RowAddress{});
  if (!row) return row;
  if (row->page.view().u32(kOffsetOwner) != kOwnerLval) {
    return file.corrupt(row->address.dataPage, "a long value points at a page that is not an LVAL page");
  }
  return row;
}

}  // namespace

Result<std::vector<std::byte>> readLongValue(JetFile& file, PageView slice, std::uint32_t page) {
  std::uint64_t budget = std::uint64_t{file.pageCount()} * file.layout().pageSize;
  return readLongValue(file, slice, page, budget);
}

Result<std::vector<std::byte>> readLongValue(JetFile& file, PageView slice, std::uint32_t page,
                                             std::uint64_t& budget) {
  auto value = viewLongValue(file, slice, page, budget);
  if (!value) return value.status();
  const auto bytes = value->bytes().bytes();
  return std::vector<std::byte>(bytes.begin(), bytes.end());
}

Result<LongValue> viewLongValue(JetFile& file, PageView slice, std::uint32_t page, std::uint64_t& budget) {
  if (slice.empty()) return LongValue();
  const auto header = LongValueHeader::parse(slice.bytes());
  if (!header) return file.corrupt(page, "a long value's header is cut short");
  const std::uint32_t length = header->length();
  const auto kind = header->kind();
  if (!kind) return file.corrupt(page, "a long value is of an unknown kind");
  if (std::uint64_t{length} > std::uint64_t{file.pageCount()} * file.layout().pageSize) {
    return file.corrupt(page, "a long value's length " + std::to_string(length) +
                                  " exceeds the file");
  }
  const auto draw = [&](std::uint64_t bytes) {
    if (bytes > budget) return false;
    budget -= bytes;
    return true;
  };
  // Built only when it happens: most reads succeed.
  const auto overdrawn = [&] { return file.corrupt(page, "long values reach more data than the file holds"); };
  if (!draw(length)) return overdrawn();
  switch (*kind) {
    case LongValueKind::inlined: {
      const auto data = slice.sub(kLongValueHeaderSize, length);
      if (!data) return file.corrupt(page, "an inline long value is longer than its row");
      return LongValue(Page(), *data);
    }
    case LongValueKind::single: {
      auto row = lvalRow(file, header->pointer());
      if (!row) return row.status();
      const auto data = row->bytes.sub(0, length);
      if (!data) {
        return file.corrupt(row->address.dataPage, "a long value's row is shorter than its length");
      }
      return LongValue(std::move(row->page), *data);
    }
    case LongValueKind::chain: {
      std::vector<std::byte> value;
      value.reserve(length);
      std::uint32_t next = header->pointer();
      std::unordered_set<std::uint32_t> visited;
      while (value.size() < length) {
        if (next == 0) return file.corrupt(page, "a long value's chain ends early");
        if (!visited.insert(next).second) return file.corrupt(page, "a long value's chain loops");
        auto row = lvalRow(file, next);
        if (!row) return row.status();
        if (!draw(kRowPointerSize)) return overdrawn();  // segments without data cost too
        const auto link = row->bytes.u32(0);
        if (!link) return file.corrupt(row->address.dataPage, "a long value segment is too short");
        const PageView data = *row->bytes.from(kRowPointerSize);
        const std::size_t take = std::min<std::size_t>(data.size(), length - value.size());
        const auto bytes = data.sub(0, take)->bytes();
        value.insert(value.end(), bytes.begin(), bytes.end());
        next = *link;
      }
      return LongValue(std::move(value));
    }
  }
  return file.corrupt(page, "a long value is of an unknown kind");
}

}  // namespace povezava::engine::jet
