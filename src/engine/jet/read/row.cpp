#include "engine/jet/read/row.h"

#include <string>
#include <utility>

#include "base/errors.h"

namespace povezava::engine::jet {

Result<RowTrailer> readRowTrailer(PageView bytes, bool hasVariableSection, const Layout& layout,
                                  std::string_view path, std::uint32_t page, bool offsetsInRow) {
  const auto corrupt = [path, page](const std::string& what) {
    return errors::corrupt(path, page, what);
  };
  RowTrailer trailer;
  const std::size_t length = bytes.size();
  const std::size_t countSize = layout.rowColumnCountSize;
  const auto count = countSize == 1 ? std::optional<std::uint16_t>(bytes.u8(0)) : bytes.u16(0);
  if (!count) return corrupt("a row is shorter than its column count");
  trailer.columnCount = *count;
  const std::size_t maskSize = (std::size_t{*count} + 7) / 8;
  if (countSize + maskSize > length) {
    return corrupt("a row's column count " + std::to_string(*count) + " does not fit its " +
                                  std::to_string(length) + " bytes");
  }
  trailer.nullMask = *bytes.sub(length - maskSize, maskSize);
  const std::size_t trailerEnd = length - maskSize;  // the n field ends here

  if (!hasVariableSection) {
    // No variable section at all.
    trailer.dataEnd = trailerEnd;
    return trailer;
  }
  const std::size_t offsetSize = layout.rowVariableOffsetSize;
  if (trailerEnd < countSize + offsetSize) {
    return corrupt("a row is too short for its variable column count");
  }
  const std::size_t nAt = trailerEnd - offsetSize;
  const std::size_t n = offsetSize == 1 ? bytes.u8(nAt).value_or(0) : bytes.u16(nAt).value_or(0);
  const std::size_t jumps = layout.rowHasJumpTable ? (length - 1) / 256 : 0;
  // The offset table: n entries plus eod, then the jump bytes, before n.
  const std::size_t tableBytes = (n + 1) * offsetSize + jumps;
  if (tableBytes > nAt || nAt - tableBytes < countSize) {
    return corrupt("a row's " + std::to_string(n) +
                                  " variable offsets do not fit the row");
  }
  const std::size_t firstOffsetAt = nAt - jumps - offsetSize;  // off[0]
  trailer.dataEnd = firstOffsetAt - n * offsetSize;             // the eod entry
  trailer.variableCount = n;
  trailer.firstOffsetAt = firstOffsetAt;
  if (offsetSize == 2 && offsetsInRow) return trailer;
  trailer.offsets.assign(n + 1);
  if (offsetSize == 2) {
    for (std::size_t i = 0; i <= n; ++i) trailer.offsets[i] = bytes.u16(firstOffsetAt - 2 * i).value_or(0);
    return trailer;
  }
  // Jet 3: real jump entries are the bytes nearest to n; a dummy FF takes the
  // farthest place when the variable data does not reach the last boundary.
  // Jump entry k (at nAt - 1 - k) names the first slot whose offset is past
  // 256 (k + 1); they are consumed in order as the slots are walked.
  const std::size_t realJumps = (trailer.dataEnd / 256 < jumps) ? jumps - 1 : jumps;
  std::size_t used = 0;
  for (std::size_t i = 0; i <= n; ++i) {
    while (used < realJumps && bytes.u8(nAt - 1 - used).value_or(0) == i) ++used;
    trailer.offsets[i] = bytes.u8(firstOffsetAt - i).value_or(0) + 256 * used;
  }
  return trailer;
}

Result<Row> Row::parse(PageView bytes, const TableDefinition& def, const Layout& layout,
                       std::string_view path, std::uint32_t page) {
  auto trailer = readRowTrailer(bytes, def.variableColumns != 0, layout, path, page, true);
  if (!trailer.ok()) return trailer.status();
  Row row;
  row.bytes_ = bytes;
  row.layout_ = &layout;
  row.path_ = path;
  row.page_ = page;
  row.trailer_ = std::move(*trailer);
  return row;
}

std::size_t Row::offset(std::size_t i) const {
  if (!trailer_.offsets.empty()) return trailer_.offsets[i];
  // Inside the row: readRowTrailer() found room for all n + 1 entries.
  return bytes_.u16(trailer_.firstOffsetAt - 2 * i).value_or(0);
}

bool Row::isNull(const ColumnDef& column) const {
  if (column.number >= trailer_.columnCount) return true;
  const auto bits = trailer_.nullMask.u8(column.number / 8);
  return !bits || (*bits & (1U << (column.number % 8))) == 0;
}

Result<std::optional<PageView>> Row::value(const ColumnDef& column) const {
  if (isNull(column)) return std::optional<PageView>();
  if (column.isBoolean()) return std::optional<PageView>(PageView());
  const std::size_t fixedStart = layout_->rowColumnCountSize;
  if (column.isFixed()) {
    const std::size_t start = fixedStart + column.fixedOffset;
    if (start + column.length > trailer_.dataEnd) {
      return errors::corrupt(path_, page_, "a fixed column lies outside its row");
    }
    return std::optional<PageView>(*bytes_.sub(start, column.length));
  }
  if (column.variableIndex >= variableCount()) return std::optional<PageView>();
  const std::size_t start = offset(column.variableIndex);
  const std::size_t end = offset(column.variableIndex + std::size_t{1});
  if (start < fixedStart || start > end || end > trailer_.dataEnd) {
    return errors::corrupt(path_, page_, "variable column " + std::to_string(column.variableIndex) +
                                     " spans " + std::to_string(start) + ".." + std::to_string(end) +
                                     ", outside its row");
  }
  return std::optional<PageView>(*bytes_.sub(start, end - start));
}

}  // namespace povezava::engine::jet
