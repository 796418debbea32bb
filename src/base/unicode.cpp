#include "base/unicode.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace povezava::engine {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void appendUtf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

}  // namespace

std::u16string fromUtf8(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto b0 = static_cast<std::uint8_t>(utf8[i]);
    int extra = 0;
    char32_t cp = 0;
    if (b0 < 0x80) {
      cp = b0;
    } else if ((b0 & 0xE0) == 0xC0) {
      extra = 1;
      cp = b0 & 0x1Fu;
    } else if ((b0 & 0xF0) == 0xE0) {
      extra = 2;
      cp = b0 & 0x0Fu;
    } else if ((b0 & 0xF8) == 0xF0) {
      extra = 3;
      cp = b0 & 0x07u;
    } else {
      appendUtf16(out, kReplacement);
      ++i;
      continue;
    }
    if (i + static_cast<std::size_t>(extra) >= utf8.size()) {  // truncated sequence
      appendUtf16(out, kReplacement);
      ++i;
      continue;
    }
    bool good = true;
    for (int k = 1; k <= extra; ++k) {
      const auto b = static_cast<std::uint8_t>(utf8[i + static_cast<std::size_t>(k)]);
      if ((b & 0xC0) != 0x80) {
        good = false;
        break;
      }
      cp = (cp << 6) | (b & 0x3Fu);
    }
    static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (!good || cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      appendUtf16(out, kReplacement);
      ++i;
      continue;
    }
    appendUtf16(out, cp);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

namespace {

// Writes the UTF-8 bytes of `cp` at `p`; returns the end.
char* putUtf8(char* p, char32_t cp) {
  if (cp < 0x80) {
    *p++ = static_cast<char>(cp);
  } else if (cp < 0x800) {
    *p++ = static_cast<char>(0xC0 | (cp >> 6));
    *p++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    *p++ = static_cast<char>(0xE0 | (cp >> 12));
    *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *p++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *p++ = static_cast<char>(0xF0 | (cp >> 18));
    *p++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *p++ = static_cast<char>(0x80 | (cp & 0x3F));
  }
  return p;
}

// Copies the run of ASCII units of `utf16` that starts at `i` to `p`, four
// units at a time while it can; returns where the run ends.
std::size_t copyAsciiRun(std::u16string_view utf16, std::size_t i, char*& p) {
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t kHighBits = 0xFF80'FF80'FF80'FF80ULL;
    for (; i + 4 <= utf16.size(); i += 4) {
      std::uint64_t units;
      std::memcpy(&units, utf16.data() + i, sizeof units);
      if ((units & kHighBits) != 0) break;
      // 00 d 00 c 00 b 00 a -> d c b a
      units = (units | (units >> 8)) & 0x0000'FFFF'0000'FFFFULL;
      units = (units | (units >> 16)) & 0xFFFF'FFFFULL;
      const auto four = static_cast<std::uint32_t>(units);
      std::memcpy(p, &four, sizeof four);
      p += 4;
    }
  }
  for (; i < utf16.size() && utf16[i] < 0x80; ++i) *p++ = static_cast<char>(utf16[i]);
  return i;
}

}  // namespace

void appendUtf8(std::string& out, char32_t cp) {
  char bytes[4];
  out.append(bytes, static_cast<std::size_t>(putUtf8(bytes, cp) - bytes));
}

void appendUtf8(std::string& out, std::u16string_view utf16) {
  // Names and paths are converted by the hundred, nearly all of them mostly
  // ASCII: runs of ASCII are copied as they are, into room for the longest
  // result (a unit gives at most three bytes, a pair four), cut to size after.
  const std::size_t start = out.size();
  out.resize(start + 3 * utf16.size());
  char* p = out.data() + start;
  std::size_t i = 0;
  while (true) {
    i = copyAsciiRun(utf16, i, p);
    if (i == utf16.size()) break;
    char32_t cp = utf16[i++];
    if (cp >= 0xD800 && cp <= 0xDBFF && i < utf16.size() && utf16[i] >= 0xDC00 && utf16[i] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i++] - 0xDC00u);
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement;
    }
    p = putUtf8(p, cp);
  }
  out.resize(static_cast<std::size_t>(p - out.data()));
}

std::string toUtf8(std::u16string_view utf16) {
  std::string out;
  appendUtf8(out, utf16);
  return out;
}

bool isValidUtf8(std::string_view text) { return toUtf8(fromUtf8(text)) == text; }

std::string shownBytes(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    // The longest valid sequence from here: 1 to 4 bytes.
    std::size_t length = 0;
    for (std::size_t n = 1; n <= 4 && i + n <= text.size(); ++n) {
      const std::string_view piece = text.substr(i, n);
      if (isValidUtf8(piece)) {
        length = n;
        break;
      }
    }
    const auto byte = static_cast<unsigned char>(text[i]);
    if (length == 0 || byte < 0x20 || byte == 0x7f) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xf];
      ++i;
    } else {
      out += text.substr(i, length);
      i += length;
    }
  }
  return out;
}

}  // namespace povezava::engine
