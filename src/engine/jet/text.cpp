#include "engine/jet/text.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace povezava::engine::jet {
namespace {

constexpr char16_t kReplacement = 0xFFFD;
constexpr char kFallbackCharset[] = "CP1252";

iconv_t openConverter(const std::string& charset) {
  return ::iconv_open("UTF-16LE", charset.c_str());
}

}  // namespace

struct TextDecoder::Converter {
  iconv_t cd = reinterpret_cast<iconv_t>(-1);  // NOLINT: iconv's own failure value
  bool valid() const { return cd != reinterpret_cast<iconv_t>(-1); }
  ~Converter() {
    if (valid()) ::iconv_close(cd);
  }
};

TextDecoder::TextDecoder(const Layout& layout, std::uint16_t codePage)
    : utf16_(layout.utf16Text), converter_(std::make_unique<Converter>()) {
  if (utf16_) return;
  charset_ = codePage == 0 ? kFallbackCharset : "CP" + std::to_string(codePage);
  converter_->cd = openConverter(charset_);
  if (!converter_->valid()) {
    charset_ = kFallbackCharset;
    converter_->cd = openConverter(charset_);
  }
}

TextDecoder::~TextDecoder() = default;

std::u16string TextDecoder::decode(PageView bytes) const {
  return utf16_ ? decodeJet4Text(bytes) : decodeCodePage(bytes);
}

std::u16string TextDecoder::decodeCodePage(PageView bytes) const {
  std::u16string out;
  out.reserve(bytes.size());
  bool ascii = true;
  for (std::byte b : bytes.bytes()) {
    if (std::to_integer<std::uint8_t>(b) >= 0x80) ascii = false;
    out.push_back(static_cast<char16_t>(std::to_integer<std::uint8_t>(b)));
  }
  if (ascii) return out;
  out.clear();
  if (!converter_->valid()) {
    // No converter at all: keep ASCII, mark the rest.
    for (std::byte b : bytes.bytes()) {
      const auto c = std::to_integer<std::uint8_t>(b);
      out.push_back(c < 0x80 ? static_cast<char16_t>(c) : kReplacement);
    }
    return out;
  }
  // One byte at a time: single-byte code pages map each byte on its own, and
  // an undefined byte then costs exactly one replacement character.
  ::iconv(converter_->cd, nullptr, nullptr, nullptr, nullptr);
  for (std::byte b : bytes.bytes()) {
    char in = static_cast<char>(b);
    char* inPtr = &in;
    std::size_t inLeft = 1;
    char buffer[8];
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t rc = ::iconv(converter_->cd, &inPtr, &inLeft, &outPtr, &outLeft);
    const std::size_t produced = sizeof buffer - outLeft;
    if (rc == static_cast<std::size_t>(-1) || produced < 2) {
      ::iconv(converter_->cd, nullptr, nullptr, nullptr, nullptr);
      out.push_back(kReplacement);
      continue;
    }
    for (std::size_t i = 0; i + 1 < produced; i += 2) {
      out.push_back(static_cast<char16_t>(static_cast<std::uint8_t>(buffer[i]) |
                                          (static_cast<std::uint8_t>(buffer[i + 1]) << 8)));
    }
  }
  return out;
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
