#include "engine/jet/format/text.h"

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
  const auto at = [&](std::size_t i) { return std::to_integer<char16_t>(bytes[i]); };
  const bool compressed = bytes.size() >= 2 && std::to_integer<std::uint8_t>(bytes[0]) == kCompressedTextMarker[0] &&
                          std::to_integer<std::uint8_t>(bytes[1]) == kCompressedTextMarker[1];
  if (!compressed) {
    std::u16string out(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < out.size(); ++i) {
      out[i] = static_cast<char16_t>(loadU16(bytes, 2 * i));
    }
    return out;
  }
  std::u16string out(bytes.size(), u'\0');
  std::size_t n = 0;
  bool oneByte = true;
  std::size_t i = 2;
  while (i < bytes.size()) {
    const char16_t b = at(i);
    if (b == 0) {
      oneByte = !oneByte;
      ++i;
    } else if (oneByte) {
      out[n++] = b;
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
