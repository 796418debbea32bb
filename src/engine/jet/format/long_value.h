// Long values (MEMO, OLE): how a column's value sits in its row, and the LVAL
// rows it refers to. The one place that reads, places and deletes them: the
// reader reads through it (read/long_value.h gives it the file's rows), the
// link writer places and deletes through it (on the pages it edits), and the
// builder encodes its headers here.
//
// The header at the start of the column's slice in the row:
//   OFFSET  SIZE  MEANING
//   0       4     length (low 30 bits) and kind (top 2 bits)
//   4       4     row pointer to the (first) LVAL row; 0 when inline
//   8       4     zero
//   12      ...   the value itself, inline kind only
// A chained LVAL row starts with the row pointer of the next segment (0 = last).
// LVAL rows lie on data pages owned by "LVAL"; Access keeps a column's values
// only on the pages of that column's own usage map.
#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/jet/format/byte_order.h"
#include "engine/jet/format/layout.h"
#include "engine/jet/format/page_view.h"
#include "base/status.h"

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

// ---------------------------------------------------------------------------
// Reading

// A long value's bytes: a view into the row that holds them (kept alive
// here) when they lie in one place, as nearly every value does; assembled
// from the segments of a chain otherwise.
class LongValue {
 public:
  LongValue() = default;
  // Bytes that live in what `keep` holds (or, with nothing, in the caller's row).
  LongValue(std::shared_ptr<const void> keep, PageView bytes) : keep_(std::move(keep)), view_(bytes) {}
  explicit LongValue(std::vector<std::byte> assembled)
      : assembled_(std::move(assembled)), view_(assembled_) {}
  LongValue(const LongValue&) = delete;
  LongValue& operator=(const LongValue&) = delete;
  // A moved vector keeps its buffer, so the view stays valid.
  LongValue(LongValue&&) noexcept = default;
  LongValue& operator=(LongValue&&) noexcept = default;

  PageView bytes() const { return view_; }

 private:
  std::shared_ptr<const void> keep_;
  std::vector<std::byte> assembled_;
  PageView view_;
};

// A row a long value points at, with the page that holds it.
struct LongValueRow {
  std::shared_ptr<const void> keep;  // keeps `page` and `bytes` alive
  std::uint32_t number = 0;          // the page's number
  PageView page;                     // the whole page
  PageView bytes;                    // the row
};

// The LVAL rows values are read from: the file as read, or the pages a writer
// edits. `row(pointer)` follows a row pointer to a live row (corrupt when
// there is none).
struct LongValueRows {
  std::string_view file;       // names the file in errors
  std::uint64_t fileBytes = 0; // the file's size: no value is longer
  std::function<Result<LongValueRow>(std::uint32_t pointer)> row;
};

// The value of the column whose variable slice is `slice` (an inline value
// is viewed in it, so the slice's row must outlive the result); `page`
// names the row's page in errors. Corrupt when the header is short or of an
// unknown kind, the length exceeds the file, an LVAL row is missing, not on
// an LVAL page or too short, or a chain loops. An empty slice is an empty
// value.
//
// Draws on `budget`: the bytes a whole scan may still read from long values
// (every LVAL row visited counts, at least its 4-byte pointer). A scan that
// starts with the file's size cannot be made to do more work, or hold more
// memory, than the file's size by values that share their rows. Corrupt
// when a value would overdraw the budget.
[[nodiscard]] Result<LongValue> viewLongValue(const LongValueRows& rows, PageView slice, std::uint32_t page,
                                              std::uint64_t& budget);

// ---------------------------------------------------------------------------
// Placing and deleting

// What placing and deleting values needs of the pages a writer edits (the
// link writer's staged pages give it). Each edit is recorded for the
// writer's checks and writes.
class LongValuePages {
 public:
  virtual ~LongValuePages() = default;
  virtual std::string_view file() const = 0;
  // How many pages the file has: a new page gets this number.
  virtual std::uint32_t pageCount() const = 0;
  // The type and owner of a page as the file holds it.
  virtual Result<std::pair<std::uint8_t, std::uint32_t>> typeAndOwner(std::uint32_t number) = 0;
  // Appends `row` (flags 0) on page `number` when it has room for it: the
  // new slot, or nothing.
  virtual Result<std::optional<std::size_t>> appendIfRoom(std::uint32_t number, std::span<const std::byte> row) = 0;
  // Resizes the live row at `pointer` to `row`, keeping its flags, when its
  // page has room: false when it has not or the row is deleted or missing.
  virtual Result<bool> resizeIfRoom(std::uint32_t pointer, std::span<const std::byte> row) = 0;
  // Deletes the live row at `pointer` as Access does, when its page is owned
  // by `owner`; anything else is left as it is.
  virtual Status eraseIfOwned(std::uint32_t pointer, std::uint32_t owner) = 0;
  // Adds an empty data page owned by `owner` at the end of the file, written
  // in its final state: its number is pageCount().
  virtual void addPage(std::uint32_t owner) = 0;
  // Records `page` as listed (or not) in the usage map at `map` (a row
  // pointer), as UsageMap::record() does.
  virtual Status recordInMap(std::uint32_t map, std::uint32_t page, bool listed, bool outsideListed) = 0;
};

// Where a column's out-of-line values may go: its usage maps (row pointers, 0
// when it has none) and the pages its own map lists.
struct LongValueColumn {
  std::string name;  // names the column in errors
  std::uint32_t ownedMap = 0;
  std::uint32_t freeMap = 0;
  std::vector<std::uint32_t> pages;
};

// Places and deletes the long values of one relink. At most one page is added.
class LongValuePlacer {
 public:
  LongValuePlacer(const Layout& layout, LongValuePages& pages) : layout_(layout), pages_(pages) {}

  // The slice a row holds for the new value `data`: the value itself when
  // short enough, else one LVAL row: on the first of the column's pages with
  // room (`column` is asked only then); else the row of the value it replaces
  // (`old`, when the row is used by nothing else: `oldOnlyUse`) grown in
  // place, then `grewOld` is set; else on a page added to the column at the
  // end of the file and recorded in its maps and the global map.
  // recordTooLarge when none of these can be done.
  [[nodiscard]] Result<std::vector<std::byte>> place(const std::function<Result<LongValueColumn>()>& column,
                                                     std::span<const std::byte> data,
                                                     const std::optional<LongValueHeader>& old, bool oldOnlyUse,
                                                     bool& grewOld);

  // Deletes the LVAL row a replaced single value held (`pointer`); rows on
  // pages that are not LVAL pages, and missing rows, are left alone.
  [[nodiscard]] Status remove(std::uint32_t pointer);

 private:
  Result<std::optional<std::uint32_t>> appendOnColumnPage(const LongValueColumn& column,
                                                          std::span<const std::byte> data);
  Result<std::uint32_t> addColumnPage(const LongValueColumn& column);

  const Layout& layout_;
  LongValuePages& pages_;
  bool added_ = false;
};

}  // namespace povezava::engine::jet
