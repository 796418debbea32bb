#include "engine/jet/format/rc4.h"

#include <array>
#include <utility>

#include "engine/jet/format/byte_order.h"
#include "engine/jet/format/layout.h"

namespace povezava::engine::jet {

void rc4Apply(std::span<const std::byte> key, std::span<std::byte> data) {
  if (key.empty()) return;
  std::array<std::uint8_t, 256> s{};
  for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<std::uint8_t>(i);
  std::uint8_t j = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    j = static_cast<std::uint8_t>(j + s[i] + std::to_integer<std::uint8_t>(key[i % key.size()]));
    std::swap(s[i], s[j]);
  }
  std::uint8_t x = 0;
  std::uint8_t y = 0;
  for (std::byte& b : data) {
    x = static_cast<std::uint8_t>(x + 1);
    y = static_cast<std::uint8_t>(y + s[x]);
    std::swap(s[x], s[y]);
    b ^= static_cast<std::byte>(s[static_cast<std::uint8_t>(s[x] + s[y])]);
  }
}

void applyHeaderMask(std::span<std::byte> block) {
  static const std::array<std::byte, 128> stream = [] {
    std::array<std::byte, 128> bytes{};
    rc4Apply(std::as_bytes(std::span(kHeaderMaskKey)), bytes);
    return bytes;
  }();
  if (block.size() > stream.size()) {
    rc4Apply(std::as_bytes(std::span(kHeaderMaskKey)), block);  // no layout masks more
    return;
  }
  for (std::size_t i = 0; i < block.size(); ++i) block[i] ^= stream[i];
}

void rc4ApplyPage(std::uint32_t databaseKey, std::uint32_t page, std::span<std::byte> data) {
  std::array<std::byte, 4> key{};
  putU32(key, 0, databaseKey ^ page);
  rc4Apply(key, data);
}

}  // namespace povezava::engine::jet
