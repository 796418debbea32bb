// Bounds-checked access to page bytes: the only code that indexes a page.
//
// PageView is a non-owning window over bytes (a whole page, a row, a value).
// Every read is checked against the window and returns nothing past its end;
// integers are little-endian (format/byte_order.h). The bytes must outlive
// the view (pages stay alive through the Page handle that produced them).
//
// FieldReader wraps a view for parsing a block of fields: the first read past
// the end records a corrupt-page Status naming the file, the page and the
// field, and later reads return 0, so a parser can read a whole header and
// check once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "engine/jet/format/byte_order.h"
#include "base/status.h"

namespace povezava::engine::jet {

class PageView {
 public:
  PageView() = default;
  explicit PageView(std::span<const std::byte> bytes) : bytes_(bytes) {}

  std::size_t size() const { return bytes_.size(); }
  bool empty() const { return bytes_.empty(); }
  std::span<const std::byte> bytes() const { return bytes_; }

  // True when [offset, offset + length) lies inside the view.
  bool contains(std::size_t offset, std::size_t length) const {
    return offset <= bytes_.size() && length <= bytes_.size() - offset;
  }

  // Defined here so that the many small reads of a catalogue scan inline.
  std::optional<std::uint8_t> u8(std::size_t offset) const {
    if (!contains(offset, 1)) return std::nullopt;
    return std::to_integer<std::uint8_t>(bytes_[offset]);
  }
  std::optional<std::uint16_t> u16(std::size_t offset) const {
    if (!contains(offset, 2)) return std::nullopt;
    return loadU16(bytes_, offset);
  }
  std::optional<std::uint32_t> u24(std::size_t offset) const {
    if (!contains(offset, 3)) return std::nullopt;
    return loadU24(bytes_, offset);
  }
  std::optional<std::uint32_t> u32(std::size_t offset) const {
    if (!contains(offset, 4)) return std::nullopt;
    return loadU32(bytes_, offset);
  }
  std::optional<std::uint64_t> u64(std::size_t offset) const {
    if (!contains(offset, 8)) return std::nullopt;
    return loadU64(bytes_, offset);
  }
  // IEEE double (dates).
  std::optional<double> f64(std::size_t offset) const;

  // The narrower view [offset, offset + length); nothing when it does not fit.
  std::optional<PageView> sub(std::size_t offset, std::size_t length) const;
  // The view from `offset` to the end; nothing when offset > size().
  std::optional<PageView> from(std::size_t offset) const;

 private:
  std::span<const std::byte> bytes_;
};

class FieldReader {
 public:
  // `path` and `page` name the place in error messages; both must outlive the reader.
  FieldReader(PageView view, std::string_view path, std::uint32_t page)
      : view_(view), path_(path), page_(page) {}

  std::uint8_t u8(std::size_t offset, std::string_view what);
  std::uint16_t u16(std::size_t offset, std::string_view what);
  std::uint32_t u24(std::size_t offset, std::string_view what);
  std::uint32_t u32(std::size_t offset, std::string_view what);
  // The sub-view, or an empty view after recording the failure.
  PageView sub(std::size_t offset, std::size_t length, std::string_view what);

  // Success, or the first failed read.
  const Status& status() const { return status_; }
  bool ok() const { return status_.ok(); }
  const PageView& view() const { return view_; }

 private:
  template <typename T>
  T take(std::optional<T> value, std::string_view what);

  PageView view_;
  std::string_view path_;
  std::uint32_t page_;
  Status status_;
};

}  // namespace povezava::engine::jet
