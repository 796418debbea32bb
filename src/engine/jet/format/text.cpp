#include "engine/jet/format/text.h"

#include <bit>
#include <cstring>

#include "engine/jet/format/byte_order.h"

namespace povezava::engine::jet {

TextDecoder::TextDecoder(const Layout& layout, std::uint16_t codePage)
    : codePage_(layout.utf16Text ? nullptr : std::make_unique<CodePageDecoder>(codePage)) {}

TextDecoder::~TextDecoder() = default;

const std::string& TextDecoder::charset() const {
  static const std::string kNone;
  return codePage_ ? codePage_->charset() : kNone;
}

std::u16string TextDecoder::decode(PageView bytes) const {
  return codePage_ ? codePage_->decode(bytes.bytes()) : decodeJet4Text(bytes);
}

std::u16string decodeJet4Text(PageView view) {
  // Decoded in bulk into a string sized once: catalogue names and paths are
  // read by the hundred.
  const std::span<const std::byte> bytes = view.bytes();
  const bool compressed = bytes.size() >= 2 && std::to_integer<std::uint8_t>(bytes[0]) == kCompressedTextMarker[0] &&
                          std::to_integer<std::uint8_t>(bytes[1]) == kCompressedTextMarker[1];
  if (!compressed) {
    std::u16string out(bytes.size() / 2, u'\0');
    if (out.empty()) return out;  // an empty view may have no bytes at all
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(out.data(), bytes.data(), 2 * out.size());
    } else {
      for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<char16_t>(loadU16(bytes, 2 * i));
    }
    return out;
  }
  std::u16string out(bytes.size(), u'\0');
  const auto* raw = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t n = 0;
  bool oneByte = true;
  std::size_t i = 2;
  while (i < bytes.size()) {
    if (oneByte) {
      // A run of one-byte characters lasts until the next zero byte.
      const void* zero = std::memchr(raw + i, 0, bytes.size() - i);
      const std::size_t end = zero ? static_cast<std::size_t>(static_cast<const unsigned char*>(zero) - raw)
                                   : bytes.size();
      for (; i < end; ++i) out[n++] = raw[i];
      if (i < bytes.size()) {
        oneByte = false;
        ++i;
      }
    } else if (raw[i] == 0) {
      oneByte = true;
      ++i;
    } else if (i + 1 < bytes.size()) {
      out[n++] = static_cast<char16_t>(loadU16(bytes, i));
      i += 2;
    } else {
      break;  // a lone byte at the end of a two-byte run
    }
  }
  out.resize(n);
  return out;
}

}  // namespace povezava::engine::jet
