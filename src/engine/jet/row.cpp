#include "engine/jet/row.h"

#include <string>

#include "engine/errors.h"

namespace povezava::engine::jet {

Result<Row> Row::parse(PageView bytes, const TableDefinition& def, const Layout& layout,
                       std::string_view path, std::uint32_t page) {
  Row row;
  row.bytes_ = bytes;
  row.layout_ = &layout;
  row.path_ = path;
  const auto corrupt = [path, page](const std::string& what) {
    return errors::corrupt(path, page, what);
  };
  row.page_ = page;
  const std::size_t length = bytes.size();
  const std::size_t countSize = layout.rowColumnCountSize;
  const auto count = countSize == 1 ? std::optional<std::uint16_t>(bytes.u8(0)) : bytes.u16(0);
  if (!count) return corrupt("a row is shorter than its column count");
  row.columnCount_ = *count;
  const std::size_t maskSize = (std::size_t{*count} + 7) / 8;
  if (countSize + maskSize > length) {
    return corrupt("a row's column count " + std::to_string(*count) + " does not fit its " +
                                  std::to_string(length) + " bytes");
  }
  row.nullMask_ = *bytes.sub(length - maskSize, maskSize);
  const std::size_t trailerEnd = length - maskSize;  // the n field ends here

  if (def.variableColumns == 0) {
    // No variable section at all.
    row.dataEnd_ = trailerEnd;
    row.offsets_.assign(1, trailerEnd);
    return row;
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
  const std::size_t eodAt = firstOffsetAt - n * offsetSize;
  row.dataEnd_ = eodAt;
  row.offsets_.resize(n + 1);
  if (offsetSize == 2) {
    for (std::size_t i = 0; i <= n; ++i) {
      row.offsets_[i] = bytes.u16(firstOffsetAt - 2 * i).value_or(0);
    }
  } else {
    // Real jump entries are the bytes nearest to n; a dummy FF takes the
    // farthest place when the variable data does not reach the last boundary.
    const std::size_t real = (eodAt / 256 < jumps) ? jumps - 1 : jumps;
    std::size_t used = 0;
    for (std::size_t i = 0; i <= n; ++i) {
      while (used < real && bytes.u8(nAt - 1 - used).value_or(0) == i) ++used;
      row.offsets_[i] = bytes.u8(firstOffsetAt - i).value_or(0) + 256 * used;
    }
  }
  return row;
}

bool Row::isNull(const ColumnDef& column) const {
  if (column.number >= columnCount_) return true;
  const auto bits = nullMask_.u8(column.number / 8);
  return !bits || (*bits & (1U << (column.number % 8))) == 0;
}

Result<std::optional<PageView>> Row::value(const ColumnDef& column) const {
  if (isNull(column)) return std::optional<PageView>();
  if (column.isBoolean()) return std::optional<PageView>(PageView());
  const std::size_t fixedStart = layout_->rowColumnCountSize;
  if (column.isFixed()) {
    const std::size_t start = fixedStart + column.fixedOffset;
    if (start + column.length > dataEnd_) {
      return errors::corrupt(path_, page_, "a fixed column lies outside its row");
    }
    return std::optional<PageView>(*bytes_.sub(start, column.length));
  }
  if (column.variableIndex + std::size_t{1} >= offsets_.size()) return std::optional<PageView>();
  const std::size_t start = offsets_[column.variableIndex];
  const std::size_t end = offsets_[column.variableIndex + std::size_t{1}];
  if (start < fixedStart || start > end || end > dataEnd_) {
    return errors::corrupt(path_, page_, "variable column " + std::to_string(column.variableIndex) +
                                     " spans " + std::to_string(start) + ".." + std::to_string(end) +
                                     ", outside its row");
  }
  return std::optional<PageView>(*bytes_.sub(start, end - start));
}

}  // namespace povezava::engine::jet
