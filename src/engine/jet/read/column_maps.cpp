#include "engine/jet/read/column_maps.h"

#include "engine/jet/format/page_view.h"

namespace povezava::engine::jet {
Result<std::vector<ColumnMaps>> readColumnMaps(JetFile& file, const TableDefinition& def) {
  auto buffer = collectDefinitionPages(file, def.page);
  if (!buffer) return buffer.status();
  const Layout& layout = file.layout();
  FieldReader in(PageView(*buffer), file.displayName(), def.page);
  const std::uint32_t physical = in.u32(layout.tdefOffsetPhysicalIndexCount, "physical index count");
  const std::uint32_t logical = in.u32(layout.tdefOffsetLogicalIndexCount, "logical index count");
  if (!in.ok()) return in.status();
  const std::size_t size = buffer->size();
  if (physical > size || logical > size) {
    return file.corrupt(def.page, "the index counts do not fit the table definition");
  }
  std::size_t offset = layout.tdefHeaderLength + physical * layout.physicalIndexCountSize +
                       def.columns.size() * layout.columnDescriptorSize;
  auto skipNames = [&](std::size_t count, const char* what) {
    for (std::size_t i = 0; i < count && in.ok(); ++i) {
      const std::size_t length =
          layout.nameLengthSize == 1 ? in.u8(offset, what) : in.u16(offset, what);
      offset += layout.nameLengthSize + length;
    }
  };
  skipNames(def.columns.size(), "column name length");
  offset += physical * layout.physicalIndexSize + logical * layout.logicalIndexSize;
  skipNames(logical, "index name length");
  std::vector<ColumnMaps> maps;
  while (in.ok()) {
    const std::uint16_t column = in.u16(offset, "long-value column map");
    if (!in.ok() || column == kEndOfColumnMaps) break;
    ColumnMaps m{column, in.u32(offset + 2, "owned map"), in.u32(offset + 6, "free map")};
    maps.push_back(m);
    offset += kColumnMapEntrySize;
  }
  if (!in.ok()) return in.status();
  return maps;
}

}  // namespace povezava::engine::jet
