#include "engine/jet/read/table_definition.h"

#include <string>
#include <unordered_set>

namespace povezava::engine::jet {

Result<std::vector<std::byte>> collectDefinitionPages(JetFile& file, std::uint32_t first) {
  std::vector<std::byte> buffer;
  std::unordered_set<std::uint32_t> visited;
  std::uint32_t number = first;
  std::size_t wanted = 0;
  for (std::uint32_t hops = 0;; ++hops) {
    if (!visited.insert(number).second) {
      return file.corrupt(number, "the table definition's continuation pages form a loop");
    }
    auto page = file.page(number);
    if (!page) return page.status();
    const PageView view = page->view();
    if (view.u8(kOffsetPageType) != kPageTypeTdef || view.u8(kOffsetPageMarker) != kPageMarker) {
      return file.corrupt(number, "expected a table definition page");
    }
    const std::size_t skip = hops == 0 ? 0 : kTdefContinuationHeader;
    const auto body = view.from(skip);
    buffer.insert(buffer.end(), body->bytes().begin(), body->bytes().end());
    if (hops == 0) {
      const std::uint32_t length = view.u32(kOffsetTdefLength).value_or(0);
      if (length < file.layout().tdefHeaderLength ||
          length > std::uint64_t{file.pageCount()} * file.layout().pageSize) {
        return file.corrupt(number, "the table definition's length " + std::to_string(length) +
                                        " is impossible");
      }
      wanted = length;
    }
    const std::uint32_t next = view.u32(kOffsetNextTdefPage).value_or(0);
    if (next == 0 || buffer.size() >= wanted) break;
    number = next;
  }
  if (buffer.size() < wanted) {
    return file.corrupt(first, "the table definition is shorter than its stated length");
  }
  buffer.resize(wanted);
  return buffer;
}

const ColumnDef* TableDefinition::column(std::u16string_view name) const {
  for (const ColumnDef& c : columns) {
    if (c.name == name) return &c;
  }
  return nullptr;
}

Result<TableDefinition> readTableDefinition(JetFile& file, std::uint32_t page,
                                            const TextDecoder& text) {
  auto buffer = collectDefinitionPages(file, page);
  if (!buffer) return buffer.status();
  const Layout& layout = file.layout();
  FieldReader in(PageView(*buffer), file.displayName(), page);

  TableDefinition def;
  def.page = page;
  def.rowCount = in.u32(layout.tdefOffsetRowCount, "row count");
  def.tableType = in.u8(layout.tdefOffsetTableType, "table type");
  def.maxColumns = in.u16(layout.tdefOffsetMaxColumns, "maximum column count");
  def.variableColumns = in.u16(layout.tdefOffsetVariableColumns, "variable column count");
  const std::uint16_t columnCount = in.u16(layout.tdefOffsetColumnCount, "column count");
  const std::uint32_t physicalIndexes =
      in.u32(layout.tdefOffsetPhysicalIndexCount, "physical index count");
  def.ownedMap = in.u32(layout.tdefOffsetOwnedMap, "owned-pages usage map");
  def.freeMap = in.u32(layout.tdefOffsetFreeMap, "free-space usage map");
  if (!in.ok()) return in.status();

  // Counts are checked against the buffer before anything is sized from them.
  const std::size_t size = buffer->size();
  if (physicalIndexes > size / layout.physicalIndexCountSize) {
    return file.corrupt(page, "the physical index count " + std::to_string(physicalIndexes) +
                                  " does not fit the table definition");
  }
  std::size_t offset = layout.tdefHeaderLength + physicalIndexes * layout.physicalIndexCountSize;
  if (columnCount == 0 || columnCount > size / layout.columnDescriptorSize ||
      offset + std::size_t{columnCount} * layout.columnDescriptorSize > size) {
    return file.corrupt(page, "the column count " + std::to_string(columnCount) +
                                  " does not fit the table definition");
  }
  def.columns.resize(columnCount);
  for (ColumnDef& c : def.columns) {
    const PageView d = in.sub(offset, layout.columnDescriptorSize, "column descriptor");
    FieldReader desc(d, file.displayName(), page);
    c.type = desc.u8(layout.columnOffsetType, "column type");
    c.number = desc.u16(layout.columnOffsetNumber, "column number");
    c.variableIndex = desc.u16(layout.columnOffsetVariableIndex, "variable column index");
    c.flags = desc.u8(layout.columnOffsetFlags, "column flags");
    if (layout.columnOffsetExtendedFlags) {
      c.extendedFlags = desc.u8(*layout.columnOffsetExtendedFlags, "column extended flags");
    }
    c.fixedOffset = desc.u16(layout.columnOffsetFixedOffset, "column fixed offset");
    c.length = desc.u16(layout.columnOffsetLength, "column length");
    if (!desc.ok()) return desc.status();
    offset += layout.columnDescriptorSize;
  }
  for (ColumnDef& c : def.columns) {
    const std::size_t length = layout.nameLengthSize == 1
                                   ? in.u8(offset, "column name length")
                                   : in.u16(offset, "column name length");
    offset += layout.nameLengthSize;
    const PageView name = in.sub(offset, length, "column name");
    if (!in.ok()) return in.status();
    c.name = layout.utf16Text ? decodeJet4Text(name) : text.decode(name);
    offset += length;
  }
  return def;
}

}  // namespace povezava::engine::jet
