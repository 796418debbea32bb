#include "engine/jet/format/code_page.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include "base/errors.h"
#include "engine/jet/format/byte_order.h"
#include "base/unicode.h"

namespace povezava::engine::jet {
namespace {

constexpr char16_t kReplacement = 0xFFFD;
// The built-in table a Windows build falls back on (elsewhere iconv decodes).
[[maybe_unused]] constexpr std::uint16_t kFallbackCodePage = 1252;
constexpr char kFallbackCharset[] = "CP1252";

std::string charsetOf(std::uint16_t codePage) { return "CP" + std::to_string(codePage); }

Status cannotRepresent(std::u16string_view text, std::size_t at, const std::string& codePage) {
  return errors::invalidArgument("'" + toUtf8(text.substr(at, 1)) + "' in '" + toUtf8(text) +
                                 "' has no character in " + codePage);
}

}  // namespace

std::u16string decodeWithTable(const CodePageTable& table, std::span<const std::byte> bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (std::byte b : bytes) out.push_back(table[std::to_integer<std::uint8_t>(b)]);
  return out;
}

TableEncoding encodeWithTable(const CodePageTable& table, std::u16string_view text) {
  TableEncoding out;
  out.bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    // A code page maps each character to at most one byte: the first hit is it.
    const auto* hit = c == kReplacement ? table.end() : std::find(table.begin(), table.end(), c);
    if (hit == table.end()) {
      out.failedAt = i;
      return out;
    }
    out.bytes.push_back(static_cast<char>(static_cast<std::uint8_t>(hit - table.begin())));
  }
  return out;
}

#ifdef _WIN32

CodePageDecoder::CodePageDecoder(std::uint16_t codePage)
    : charset_(charsetOf(codePage)), table_(builtInCodePage(codePage)) {
  if (table_ == nullptr) {
    charset_ = kFallbackCharset;
    table_ = builtInCodePage(kFallbackCodePage);
  }
}

std::u16string CodePageDecoder::decode(std::span<const std::byte> bytes) const {
  return decodeWithTable(*table_, bytes);
}

CodePageEncoder::CodePageEncoder(std::uint16_t codePage)
    : codePage_(codePage), table_(builtInCodePage(codePage)) {}

Result<std::string> CodePageEncoder::encode(std::u16string_view text) {
  const std::string codePage = "code page " + std::to_string(codePage_);
  if (table_ == nullptr) return errors::invalidArgument(codePage + " is not known to this build");
  TableEncoding encoded = encodeWithTable(*table_, text);
  if (encoded.failedAt != std::u16string_view::npos) return cannotRepresent(text, encoded.failedAt, codePage);
  return std::move(encoded.bytes);
}

#else

namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);  // NOLINT: iconv's own failure value
constexpr char kUtf16[] = "UTF-16LE";

}  // namespace

IconvHandle::~IconvHandle() { close(); }

bool IconvHandle::open(const std::string& to, const std::string& from) {
  close();
  handle_ = ::iconv_open(to.c_str(), from.c_str());
  return valid();
}

void IconvHandle::close() {
  if (valid()) ::iconv_close(handle_);
  handle_ = kNoConverter;
}

bool IconvHandle::valid() const { return handle_ != kNoConverter; }

void IconvHandle::resetState() const { ::iconv(handle_, nullptr, nullptr, nullptr, nullptr); }

CodePageDecoder::CodePageDecoder(std::uint16_t codePage)
    : charset_(codePage == 0 ? kFallbackCharset : charsetOf(codePage)) {
  if (!handle_.open(kUtf16, charset_)) {
    charset_ = kFallbackCharset;
    handle_.open(kUtf16, charset_);
  }
}

std::u16string CodePageDecoder::decode(std::span<const std::byte> bytes) const {
  std::u16string out;
  out.reserve(bytes.size());
  bool ascii = true;
  for (std::byte b : bytes) {
    if (std::to_integer<std::uint8_t>(b) >= 0x80) ascii = false;
    out.push_back(static_cast<char16_t>(std::to_integer<std::uint8_t>(b)));
  }
  if (ascii) return out;
  out.clear();
  if (!handle_.valid()) {
    // No converter at all: keep ASCII, mark the rest.
    for (std::byte b : bytes) {
      const auto c = std::to_integer<std::uint8_t>(b);
      out.push_back(c < 0x80 ? static_cast<char16_t>(c) : kReplacement);
    }
    return out;
  }
  // One byte at a time: single-byte code pages map each byte on its own, and
  // an undefined byte then costs exactly one replacement character.
  handle_.resetState();
  for (std::byte b : bytes) {
    char in = static_cast<char>(b);
    char* inPtr = &in;
    std::size_t inLeft = 1;
    char buffer[8];
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t rc = ::iconv(handle_.get(), &inPtr, &inLeft, &outPtr, &outLeft);
    const std::size_t produced = sizeof buffer - outLeft;
    if (rc == static_cast<std::size_t>(-1) || produced < 2) {
      handle_.resetState();
      out.push_back(kReplacement);
      continue;
    }
    for (std::size_t i = 0; i + 1 < produced; i += 2) {
      out.push_back(static_cast<char16_t>(loadU16(std::as_bytes(std::span(buffer)), i)));
    }
  }
  return out;
}

CodePageEncoder::CodePageEncoder(std::uint16_t codePage)
    : codePage_(codePage), handle_(charsetOf(codePage), kUtf16) {}

Result<std::string> CodePageEncoder::encode(std::u16string_view text) {
  const std::string codePage = "code page " + std::to_string(codePage_);
  if (!handle_.valid()) return errors::invalidArgument(codePage + " is not known to iconv");
  handle_.resetState();  // a fresh conversion state

  std::vector<std::byte> in;
  in.reserve(text.size() * 2);
  for (char16_t c : text) appendU16(in, c);
  std::string out(text.size() + 1, '\0');  // a single-byte code page never needs more
  char* inPtr = reinterpret_cast<char*>(in.data());
  std::size_t inLeft = in.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  if (::iconv(handle_.get(), &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
    if (errno == E2BIG) return errors::invalidArgument(codePage + " is not a single-byte code page");
    return cannotRepresent(text, (in.size() - inLeft) / 2, codePage);
  }
  out.resize(out.size() - outLeft);
  return out;
}

#endif

Result<std::vector<std::byte>> encodeStoredText(const Layout& layout, CodePageEncoder& encoder,
                                                std::u16string_view text) {
  std::vector<std::byte> out;
  if (layout.utf16Text) {
    out.reserve(text.size() * 2);
    for (char16_t c : text) appendU16(out, static_cast<std::uint16_t>(c));
    return out;
  }
  auto encoded = encoder.encode(text);
  if (!encoded.ok()) return encoded.status();
  for (char c : *encoded) out.push_back(static_cast<std::byte>(c));
  return out;
}

Result<std::string> encodeCodePage(std::u16string_view text, std::uint16_t codePage) {
  return CodePageEncoder(codePage).encode(text);
}

}  // namespace povezava::engine::jet
