// Jet 3 text: one byte per character in the database's Windows code page
// (header field 3C), converted with the system's iconv in both directions on
// Linux. Windows has no iconv: there the Windows code pages Jet 3 files use
// are built in as tables made once from iconv (code_page_tables.cpp), so both
// builds read and write every byte the same.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#ifndef _WIN32
#include <iconv.h>
#endif

#include "engine/jet/format/layout.h"
#include "base/status.h"

namespace povezava::engine::jet {

// The character of each byte of a single-byte code page; U+FFFD for a byte
// the code page does not define.
using CodePageTable = std::array<char16_t, 256>;

// The built-in table of a code page, or nullptr when there is none.
const CodePageTable* builtInCodePage(std::uint16_t codePage);
// The code pages with a built-in table: 874, 1250 to 1254, 1256 and 1257.
std::span<const std::uint16_t> builtInCodePages();

// Decoding and encoding with a table. Decoding never fails; encoding gives
// the bytes, or the position of the first character the table lacks.
std::u16string decodeWithTable(const CodePageTable& table, std::span<const std::byte> bytes);
struct TableEncoding {
  std::string bytes;
  std::size_t failedAt = std::u16string_view::npos;  // npos: every character encoded
};
TableEncoding encodeWithTable(const CodePageTable& table, std::u16string_view text);

#ifndef _WIN32
// One iconv conversion descriptor, closed with its owner. Invalid until
// opened, and when iconv does not know the pair of charsets.
class IconvHandle {
 public:
  IconvHandle() = default;
  IconvHandle(const std::string& to, const std::string& from) { open(to, from); }
  ~IconvHandle();
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;

  // Closes the converter held, opens one from `from` to `to`; valid() after.
  bool open(const std::string& to, const std::string& from);
  bool valid() const;
  iconv_t get() const { return handle_; }
  // Back to the initial conversion state.
  void resetState() const;

 private:
  void close();

  iconv_t handle_ = reinterpret_cast<iconv_t>(-1);  // NOLINT: iconv's own failure value
};
#endif

// Decodes text in one code page; code page 0 or one iconv does not know (on
// Windows: one without a built-in table) is read as Windows-1252.
class CodePageDecoder {
 public:
  explicit CodePageDecoder(std::uint16_t codePage);

  // Never fails: bytes the code page does not define become U+FFFD (without
  // any converter: every byte from 0x80 up).
  std::u16string decode(std::span<const std::byte> bytes) const;

  // The iconv name of the code page in use ("CP1250").
  const std::string& charset() const { return charset_; }

 private:
  std::string charset_;
#ifdef _WIN32
  const CodePageTable* table_ = nullptr;
#else
  IconvHandle handle_;
#endif
};

// Encodes text in one code page; the converter is opened once and kept.
class CodePageEncoder {
 public:
  explicit CodePageEncoder(std::uint16_t codePage);

  // The text in the code page (1250, 1252, ...). A character the code page
  // cannot represent is an invalidArgument error naming it: text is never
  // stored with a substitute character. So is a code page iconv does not know
  // (on Windows: one without a built-in table) or one that is not single-byte.
  [[nodiscard]] Result<std::string> encode(std::u16string_view text);

 private:
  std::uint16_t codePage_;
#ifdef _WIN32
  const CodePageTable* table_ = nullptr;
#else
  IconvHandle handle_;
#endif
};

// Text as a column stores it uncompressed: UTF-16LE in Jet 4/ACE, the
// encoder's code page in Jet 3 (with encode()'s errors).
[[nodiscard]] Result<std::vector<std::byte>> encodeStoredText(const Layout& layout, CodePageEncoder& encoder,
                                                              std::u16string_view text);

// One conversion with a converter opened for it; the same errors as encode().
[[nodiscard]] Result<std::string> encodeCodePage(std::u16string_view text, std::uint16_t codePage);

}  // namespace povezava::engine::jet
