// Little-endian loads and stores: the one place where integers are taken
// apart into bytes and put together from them.
//
// Callers size their buffers first, or check the bounds themselves (PageView
// does, for every value read from a file); every load and store asserts that
// it stays inside the buffer (our own invariants, not checks of file data).
#pragma once

#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace povezava::engine::jet {

// REQUIRES: at + 2 <= in.size()
inline std::uint16_t loadU16(std::span<const std::byte> in, std::size_t at) {
  assert(at + 2 <= in.size());
  return static_cast<std::uint16_t>(std::to_integer<std::uint16_t>(in[at]) |
                                    (std::to_integer<std::uint16_t>(in[at + 1]) << 8));
}

// REQUIRES: at + 3 <= in.size()
inline std::uint32_t loadU24(std::span<const std::byte> in, std::size_t at) {
  assert(at + 3 <= in.size());
  return std::uint32_t{loadU16(in, at)} | (std::to_integer<std::uint32_t>(in[at + 2]) << 16);
}

// REQUIRES: at + 4 <= in.size()
inline std::uint32_t loadU32(std::span<const std::byte> in, std::size_t at) {
  assert(at + 4 <= in.size());
  return std::uint32_t{loadU16(in, at)} | (std::uint32_t{loadU16(in, at + 2)} << 16);
}

// REQUIRES: at + 8 <= in.size()
inline std::uint64_t loadU64(std::span<const std::byte> in, std::size_t at) {
  assert(at + 8 <= in.size());
  return std::uint64_t{loadU32(in, at)} | (std::uint64_t{loadU32(in, at + 4)} << 32);
}

inline void putU8(std::span<std::byte> out, std::size_t at, std::uint8_t v) {
  assert(at < out.size());
  out[at] = static_cast<std::byte>(v);
}

inline void putU16(std::span<std::byte> out, std::size_t at, std::uint16_t v) {
  assert(at + 2 <= out.size());
  out[at] = static_cast<std::byte>(v & 0xFF);
  out[at + 1] = static_cast<std::byte>(v >> 8);
}

inline void putU32(std::span<std::byte> out, std::size_t at, std::uint32_t v) {
  assert(at + 4 <= out.size());
  for (std::size_t i = 0; i < 4; ++i) out[at + i] = static_cast<std::byte>((v >> (8 * i)) & 0xFF);
}

inline void putU64(std::span<std::byte> out, std::size_t at, std::uint64_t v) {
  assert(at + 8 <= out.size());
  for (std::size_t i = 0; i < 8; ++i) out[at + i] = static_cast<std::byte>((v >> (8 * i)) & 0xFF);
}

inline void putF64(std::span<std::byte> out, std::size_t at, double v) {
  putU64(out, at, std::bit_cast<std::uint64_t>(v));
}

inline void appendU8(std::vector<std::byte>& out, std::uint8_t v) { out.push_back(static_cast<std::byte>(v)); }

inline void appendU16(std::vector<std::byte>& out, std::uint16_t v) {
  out.push_back(static_cast<std::byte>(v & 0xFF));
  out.push_back(static_cast<std::byte>(v >> 8));
}

inline void appendU32(std::vector<std::byte>& out, std::uint32_t v) {
  for (std::size_t i = 0; i < 4; ++i) out.push_back(static_cast<std::byte>((v >> (8 * i)) & 0xFF));
}

inline void appendU64(std::vector<std::byte>& out, std::uint64_t v) {
  for (std::size_t i = 0; i < 8; ++i) out.push_back(static_cast<std::byte>((v >> (8 * i)) & 0xFF));
}

inline void appendBytes(std::vector<std::byte>& out, std::span<const std::byte> bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

}  // namespace povezava::engine::jet
