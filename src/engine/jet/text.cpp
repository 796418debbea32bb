#include "engine/jet/text.h"

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

std::u16string decodeJet4Text(PageView bytes) {
  std::u16string out;
  const bool compressed = bytes.size() >= 2 && bytes.u8(0) == kCompressedTextMarker[0] &&
                          bytes.u8(1) == kCompressedTextMarker[1];
  if (!compressed) {
    out.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) out.push_back(bytes.u16(i).value_or(0));
    return out;
  }
  out.reserve(bytes.size());
  bool oneByte = true;
  std::size_t i = 2;
  while (i < bytes.size()) {
    const std::uint8_t b = bytes.u8(i).value_or(0);
    if (b == 0) {
      oneByte = !oneByte;
      ++i;
    } else if (oneByte) {
      out.push_back(static_cast<char16_t>(b));
      ++i;
    } else if (i + 1 < bytes.size()) {
      out.push_back(bytes.u16(i).value_or(0));
      i += 2;
    } else {
      break;  // a lone byte at the end of a two-byte run
    }
  }
  return out;
}

}  // namespace povezava::engine::jet
