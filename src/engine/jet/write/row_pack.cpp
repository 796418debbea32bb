#include "engine/jet/write/row_pack.h"

#include <string>

#include "base/errors.h"
#include "engine/jet/format/byte_order.h"
#include "engine/jet/read/row.h"

namespace povezava::engine::jet {
namespace {

constexpr std::size_t kJet3CountSize = 1;
constexpr std::size_t kJet4CountSize = 2;
constexpr std::uint8_t kJet3DummyJump = 0xFF;

// Variable offsets relative to the row start: off[0..n-1] and off[n] = eod.
std::vector<std::size_t> variableOffsets(std::size_t countSize, const RowParts& parts) {
  std::vector<std::size_t> offsets;
  offsets.reserve(parts.variable.size() + 1);
  std::size_t at = countSize + parts.fixed.size();
  for (const auto& slice : parts.variable) {
    offsets.push_back(at);
    at += slice.size();
  }
  offsets.push_back(at);
  return offsets;
}

void appendBody(std::vector<std::byte>& out, const RowParts& parts) {
  appendBytes(out, parts.fixed);
  for (const auto& slice : parts.variable) appendBytes(out, slice);
}

Status packJet3(const RowParts& parts, std::vector<std::byte>& out) {
  if (parts.columnCount > 0xFF) return errors::invalidArgument("a Jet 3 row holds at most 255 columns");
  const std::size_t n = parts.variable.size();
  if (n > 0xFF) return errors::invalidArgument("a Jet 3 row holds at most 255 variable values");
  const std::size_t m = parts.nullMask.size();

  if (!parts.hasVariableSection) {
    appendU8(out, static_cast<std::uint8_t>(parts.columnCount));
    appendBytes(out, parts.fixed);
    appendBytes(out, parts.nullMask);
    return Status::success();
  }

  const auto offsets = variableOffsets(kJet3CountSize, parts);
  const std::size_t eod = offsets[n];
  const std::size_t trailerWithoutJumps = (n + 1) + 1 + m;
  // The jump-byte count depends on the row length, which includes the jump
  // bytes: take the smallest consistent count.
  std::size_t jumps = 0;
  while (jumps != (eod + trailerWithoutJumps + jumps - 1) / 256) ++jumps;
  const std::size_t realJumps = eod / 256;
  if (jumps > realJumps + 1) {
    return errors::invalidArgument("a Jet 3 row whose trailer spans more than 256 bytes");
  }

  appendU8(out, static_cast<std::uint8_t>(parts.columnCount));
  appendBody(out, parts);
  for (std::size_t i = n + 1; i-- > 0;) appendU8(out, static_cast<std::uint8_t>(offsets[i] & 0xFF));
  if (jumps > realJumps) appendU8(out, kJet3DummyJump);
  for (std::size_t k = realJumps; k-- > 0;) {
    std::size_t first = 0;
    while (offsets[first] < 256 * (k + 1)) ++first;  // offsets[n] = eod >= 256 * realJumps
    appendU8(out, static_cast<std::uint8_t>(first));
  }
  appendU8(out, static_cast<std::uint8_t>(n));
  appendBytes(out, parts.nullMask);
  return Status::success();
}

Status packJet4(const RowParts& parts, std::vector<std::byte>& out) {
  const std::size_t n = parts.variable.size();
  if (!parts.hasVariableSection) {
    appendU16(out, parts.columnCount);
    appendBytes(out, parts.fixed);
    appendBytes(out, parts.nullMask);
    return Status::success();
  }
  const auto offsets = variableOffsets(kJet4CountSize, parts);
  if (offsets[n] > 0xFFFF || n > 0xFFFF) return errors::invalidArgument("a Jet 4 row longer than 65535 bytes");

  appendU16(out, parts.columnCount);
  appendBody(out, parts);
  for (std::size_t i = n + 1; i-- > 0;) appendU16(out, static_cast<std::uint16_t>(offsets[i]));
  appendU16(out, static_cast<std::uint16_t>(n));
  appendBytes(out, parts.nullMask);
  return Status::success();
}

Status badRow(std::string_view path, std::uint32_t page, const std::string& what) {
  return errors::corrupt(path, page, "row " + what);
}

// Fills parts.fixed and parts.variable from the offsets once they are known
// to be ordered and inside [countSize, trailerStart].
Status sliceRow(std::span<const std::byte> row, std::span<const std::size_t> offsets, std::size_t countSize,
                std::size_t trailerStart, RowParts& parts, std::string_view path, std::uint32_t page) {
  if (offsets.front() < countSize) return badRow(path, page, "has its variable data inside the column count");
  for (std::size_t i = 0; i + 1 < offsets.size(); ++i) {
    if (offsets[i] > offsets[i + 1]) return badRow(path, page, "has variable offsets out of order");
  }
  if (offsets.back() > trailerStart) return badRow(path, page, "has variable data running into its trailer");
  parts.fixed = row.subspan(countSize, offsets.front() - countSize);
  parts.variable.clear();
  for (std::size_t i = 0; i + 1 < offsets.size(); ++i) {
    parts.variable.push_back(row.subspan(offsets[i], offsets[i + 1] - offsets[i]));
  }
  return Status::success();
}

}  // namespace

Status appendPackedRow(const Layout& layout, const RowParts& parts, std::vector<std::byte>& out) {
  if (parts.nullMask.size() != nullMaskSize(parts.columnCount)) {
    return errors::invalidArgument("the null mask does not match the column count");
  }
  if (!parts.hasVariableSection && !parts.variable.empty()) {
    return errors::invalidArgument("variable values in a row without a variable section");
  }
  const std::size_t before = out.size();
  Status packed = layout.rowHasJumpTable ? packJet3(parts, out) : packJet4(parts, out);
  if (!packed.ok()) out.resize(before);
  return packed;
}

Result<RowParts> unpackRow(const Layout& layout, std::span<const std::byte> row, bool hasVariableSection,
                           std::string_view path, std::uint32_t page) {
  auto trailer = readRowTrailer(PageView(row), hasVariableSection, layout, path, page);
  if (!trailer.ok()) return trailer.status();
  const std::size_t countSize = layout.rowColumnCountSize;
  RowParts parts;
  parts.hasVariableSection = hasVariableSection;
  parts.columnCount = trailer->columnCount;
  parts.nullMask = trailer->nullMask.bytes();
  if (!hasVariableSection) {
    parts.fixed = row.subspan(countSize, trailer->dataEnd - countSize);
    return parts;
  }
  Status sliced = sliceRow(row, trailer->offsets.view(), countSize, trailer->dataEnd, parts, path, page);
  if (!sliced.ok()) return sliced;
  return parts;
}

}  // namespace povezava::engine::jet
