// Jet 3 text: one byte per character in the database's Windows code page
// (header field 3C), converted with the system's iconv.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <iconv.h>

#include "engine/status.h"

namespace povezava::engine::jet {

// Encodes text in one code page; the converter is opened once and kept.
class CodePageEncoder {
 public:
  explicit CodePageEncoder(std::uint16_t codePage);
  ~CodePageEncoder();
  CodePageEncoder(const CodePageEncoder&) = delete;
  CodePageEncoder& operator=(const CodePageEncoder&) = delete;

  // The text in the code page (1250, 1252, ...). A character the code page
  // cannot represent is an invalidArgument error naming it: text is never
  // stored with a substitute character. So is a code page iconv does not know
  // or one that is not single-byte.
  [[nodiscard]] Result<std::string> encode(std::u16string_view text);

 private:
  std::uint16_t codePage_;
  iconv_t handle_;
};

// One conversion with a converter opened for it; the same errors as encode().
[[nodiscard]] Result<std::string> encodeCodePage(std::u16string_view text, std::uint16_t codePage);

}  // namespace povezava::engine::jet
