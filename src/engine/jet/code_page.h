// Jet 3 text: one byte per character in the database's Windows code page
// (header field 3C), converted with the system's iconv in both directions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <iconv.h>

#include "engine/jet/format.h"
#include "engine/status.h"

namespace povezava::engine::jet {

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

// Decodes text in one code page; code page 0 or one iconv does not know is
// read as Windows-1252.
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
  IconvHandle handle_;
};

// Encodes text in one code page; the converter is opened once and kept.
class CodePageEncoder {
 public:
  explicit CodePageEncoder(std::uint16_t codePage);

  // The text in the code page (1250, 1252, ...). A character the code page
  // cannot represent is an invalidArgument error naming it: text is never
  // stored with a substitute character. So is a code page iconv does not know
  // or one that is not single-byte.
  [[nodiscard]] Result<std::string> encode(std::u16string_view text);

 private:
  std::uint16_t codePage_;
  IconvHandle handle_;
};

// Text as a column stores it uncompressed: UTF-16LE in Jet 4/ACE, the
// encoder's code page in Jet 3 (with encode()'s errors).
[[nodiscard]] Result<std::vector<std::byte>> encodeStoredText(const Layout& layout, CodePageEncoder& encoder,
                                                              std::u16string_view text);

// One conversion with a converter opened for it; the same errors as encode().
[[nodiscard]] Result<std::string> encodeCodePage(std::u16string_view text, std::uint16_t codePage);

}  // namespace povezava::engine::jet
