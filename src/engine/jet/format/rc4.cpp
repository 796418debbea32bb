#include "engine/jet/format/rc4.h"

#include <array>
#include <utility>

namespace povezava::engine::jet {

void rc4Apply(std::span<const std::uint8_t> key, std::span<std::byte> data) {
  if (key.empty()) return;
  std::array<std::uint8_t, 256> s{};
  for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<std::uint8_t>(i);
  std::uint8_t j = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    j = static_cast<std::uint8_t>(j + s[i] + key[i % key.size()]);
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

void rc4ApplyPage(std::uint32_t databaseKey, std::uint32_t page, std::span<std::byte> data) {
  const std::uint32_t k = databaseKey ^ page;
  const std::array<std::uint8_t, 4> key = {
      static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(k >> 8),
      static_cast<std::uint8_t>(k >> 16), static_cast<std::uint8_t>(k >> 24)};
  rc4Apply(key, data);
}

}  // namespace povezava::engine::jet
