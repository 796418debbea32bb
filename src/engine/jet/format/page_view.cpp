#include "engine/jet/format/page_view.h"

#include <bit>
#include <cstring>

#include "base/errors.h"

namespace povezava::engine::jet {

std::optional<double> PageView::f64(std::size_t offset) const {
  const auto bits = u64(offset);
  if (!bits) return std::nullopt;
  return std::bit_cast<double>(*bits);
}

std::optional<PageView> PageView::sub(std::size_t offset, std::size_t length) const {
  if (!contains(offset, length)) return std::nullopt;
  return PageView(bytes_.subspan(offset, length));
}

std::optional<PageView> PageView::from(std::size_t offset) const {
  if (offset > bytes_.size()) return std::nullopt;
  return PageView(bytes_.subspan(offset));
}

template <typename T>
T FieldReader::take(std::optional<T> value, std::string_view what) {
  if (value) return *value;
  if (status_.ok()) {
    status_ = errors::corrupt(path_, page_, std::string(what) + " lies past the end of its block");
  }
  return T{};
}

std::uint8_t FieldReader::u8(std::size_t offset, std::string_view what) {
  return take(view_.u8(offset), what);
}
std::uint16_t FieldReader::u16(std::size_t offset, std::string_view what) {
  return take(view_.u16(offset), what);
}
std::uint32_t FieldReader::u24(std::size_t offset, std::string_view what) {
  return take(view_.u24(offset), what);
}
std::uint32_t FieldReader::u32(std::size_t offset, std::string_view what) {
  return take(view_.u32(offset), what);
}
PageView FieldReader::sub(std::size_t offset, std::size_t length, std::string_view what) {
  return take(view_.sub(offset, length), what);
}

}  // namespace povezava::engine::jet
