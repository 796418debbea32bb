// The long-value header: how a MEMO or OLE column's value sits in its row.
// Reader, writer and builder all decode and encode it here.
//
//   OFFSET  SIZE  MEANING
//   0       4     length (low 30 bits) and kind (top 2 bits)
//   4       4     row pointer to the (first) LVAL row; 0 when inline
//   8       4     zero
//   12      ...   the value itself, inline kind only
// A chained LVAL row starts with the row pointer of the next segment (0 = last).
#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/jet/format/byte_order.h"

namespace povezava::engine::jet {

inline constexpr std::size_t kLongValueHeaderSize = 12;
inline constexpr std::size_t kLongValueOffsetPointer = 4;
inline constexpr std::uint32_t kLongValueLengthMask = 0x3FFFFFFF;
inline constexpr std::uint32_t kLongValueKindMask = 0xC0000000;

enum class LongValueKind : std::uint32_t {
  chain = 0x00000000,   // LVAL rows linked by a leading row pointer
  single = 0x40000000,  // one LVAL row
  inlined = 0x80000000, // the bytes after the header
};

class LongValueHeader {
 public:
  // REQUIRES: length <= kLongValueLengthMask
  constexpr LongValueHeader(LongValueKind kind, std::uint32_t length, std::uint32_t pointer = 0)
      : word_(length | static_cast<std::uint32_t>(kind)), pointer_(pointer) {
    assert(length <= kLongValueLengthMask);
  }

  // The header at the start of a column's slice; nothing when the slice is
  // shorter than a header. Kind bits of no known kind are kept (kind() is
  // then nothing), for the caller to refuse.
  static std::optional<LongValueHeader> parse(std::span<const std::byte> slice) {
    if (slice.size() < kLongValueHeaderSize) return std::nullopt;
    return LongValueHeader(loadU32(slice, 0), loadU32(slice, kLongValueOffsetPointer));
  }

  // The length the first four bytes of `slice` declare, for a check made
  // before the rest of the header is looked at; nothing when they are missing.
  static std::optional<std::uint32_t> declaredLength(std::span<const std::byte> slice) {
    if (slice.size() < 4) return std::nullopt;
    return loadU32(slice, 0) & kLongValueLengthMask;
  }

  constexpr std::uint32_t length() const { return word_ & kLongValueLengthMask; }
  constexpr std::optional<LongValueKind> kind() const {
    switch (word_ & kLongValueKindMask) {
      case static_cast<std::uint32_t>(LongValueKind::chain): return LongValueKind::chain;
      case static_cast<std::uint32_t>(LongValueKind::single): return LongValueKind::single;
      case static_cast<std::uint32_t>(LongValueKind::inlined): return LongValueKind::inlined;
      default: return std::nullopt;
    }
  }
  constexpr std::uint32_t pointer() const { return pointer_; }

  // True when the value lives in LVAL rows that this header points at.
  constexpr bool outOfLine() const {
    const auto k = kind();
    return k && *k != LongValueKind::inlined && pointer_ != 0;
  }

  std::array<std::byte, kLongValueHeaderSize> bytes() const {
    std::array<std::byte, kLongValueHeaderSize> out{};
    putU32(out, 0, word_);
    putU32(out, kLongValueOffsetPointer, pointer_);
    return out;
  }

 private:
  constexpr LongValueHeader(std::uint32_t word, std::uint32_t pointer) : word_(word), pointer_(pointer) {}

  std::uint32_t word_;  // length and kind
  std::uint32_t pointer_;
};

// The slice a row holds for `data` stored as `kind`: the header, followed by
// the data itself when inline. `pointer` names the LVAL row of the other kinds.
// REQUIRES: data.size() <= kLongValueLengthMask
inline std::vector<std::byte> longValueSlice(LongValueKind kind, std::span<const std::byte> data,
                                             std::uint32_t pointer = 0) {
  const auto header = LongValueHeader(kind, static_cast<std::uint32_t>(data.size()), pointer).bytes();
  std::vector<std::byte> out(header.begin(), header.end());
  if (kind == LongValueKind::inlined) appendBytes(out, data);
  return out;
}

}  // namespace povezava::engine::jet
