// Decoding the text stored in a Jet file into the program's UTF-16.
//
// Jet 3: one byte per character in the database's code page (header 0x3C),
// converted through iconv; code page 0 or one iconv does not know is read as
// Windows-1252. Bytes the code page does not define become U+FFFD.
// Jet 4 / ACE: UTF-16LE, or the compressed form (FF FE, then one byte per
// character, a 00 byte toggling to two bytes per character and back).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/jet/format/code_page.h"
#include "engine/jet/format/layout.h"
#include "engine/jet/format/page_view.h"

namespace povezava::engine::jet {

class TextDecoder {
 public:
  TextDecoder(const Layout& layout, std::uint16_t codePage);
  ~TextDecoder();
  TextDecoder(const TextDecoder&) = delete;
  TextDecoder& operator=(const TextDecoder&) = delete;

  // Never fails: undecodable bytes become U+FFFD.
  std::u16string decode(PageView bytes) const;

  // The iconv name of the code page in use ("CP1250"); empty for UTF-16 files.
  const std::string& charset() const;

 private:
  std::unique_ptr<CodePageDecoder> codePage_;  // none for UTF-16 files
};

// Jet 4 text, plain or compressed.
std::u16string decodeJet4Text(PageView bytes);

}  // namespace povezava::engine::jet
