// RC4, as Jet uses it: the fixed mask over part of page 0, and the per-page
// encoding of "encoded" Jet 3/4 databases (key = database key XOR page number).
// RC4 is symmetric: applying it twice restores the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace povezava::engine::jet {

// XORs `data` in place with the RC4 keystream of `key`.
void rc4Apply(std::span<const std::byte> key, std::span<std::byte> data);

// Masks (or unmasks) the block of page 0 that every Jet file hides under
// the RC4 stream of the fixed key kHeaderMaskKey (layout.h). The stream is
// the same for every file, so it is made once.
void applyHeaderMask(std::span<std::byte> block);

// Decodes (or encodes) one page of an encoded database in place.
void rc4ApplyPage(std::uint32_t databaseKey, std::uint32_t page, std::span<std::byte> data);

}  // namespace povezava::engine::jet
