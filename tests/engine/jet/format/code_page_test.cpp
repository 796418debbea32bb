#include "engine/jet/format/code_page.h"

#include <gtest/gtest.h>

#include <string>

#include "base/errors.h"

namespace povezava::engine::jet {
namespace {

TEST(CodePage, SlovenianLettersInWindows1250) {
  CodePageEncoder encoder(1250);
  auto text = encoder.encode(u"Žužek, Šiška, Čačak");
  ASSERT_TRUE(text.ok()) << text.status().toString();
  EXPECT_EQ(*text, "\x8Eu\x9E" "ek, \x8Ai\x9Aka, \xC8" "a\xE8" "ak");
  // The converter is reused: a second text starts from a clean state.
  EXPECT_EQ(*encoder.encode(u"č"), "\xE8");
}

TEST(CodePage, TextTheCodePageCannotHoldIsRefusedNotSubstituted) {
  struct Case {
    std::uint16_t codePage;
    std::u16string text;
    const char* named;  // what the message must name
  } cases[] = {
      {1252, u"Račun", "'č'"},       // 1252 has š and ž but no č
      {1250, u"Мир", "'М'"},
      {9999, u"a", "9999"},          // no such code page
  };
  for (const auto& c : cases) {
    auto text = encodeCodePage(c.text, c.codePage);
    ASSERT_FALSE(text.ok()) << c.named;
    EXPECT_EQ(text.status().number(), kErrInvalidArgument);
    EXPECT_NE(text.status().description().find(c.named), std::string::npos) << text.status().description();
  }
}

// The built-in tables, which the Windows build converts with, against what is
// known of the code pages.
TEST(CodePage, BuiltInTablesHoldTheKnownLetters) {
  EXPECT_EQ((*builtInCodePage(1250))[0xE8], u'č');
  EXPECT_EQ((*builtInCodePage(1250))[0x8A], u'Š');
  EXPECT_EQ((*builtInCodePage(1252))[0x80], u'€');
  EXPECT_EQ((*builtInCodePage(1252))[0x81], u'\uFFFD');  // undefined in 1252
  EXPECT_EQ((*builtInCodePage(1251))[0xC0], u'А');
  EXPECT_EQ((*builtInCodePage(874))[0xA1], u'\u0E01');   // Thai ko kai
  EXPECT_EQ(builtInCodePage(437), nullptr);
}

// The converter in use (iconv on Linux, the table on Windows) decodes every
// byte 0x00-0xFF of every built-in code page to the table's character, one at
// a time and all in one text, and encodes every character the code page has
// back to its byte. On Linux this proves iconv and the table agree byte for
// byte, so both builds read and write Jet 3 text the same.
TEST(CodePage, EveryByteOfEveryBuiltInCodePageDecodesAndEncodesAsTheTableSays) {
  ASSERT_FALSE(builtInCodePages().empty());
  for (std::uint16_t page : builtInCodePages()) {
    SCOPED_TRACE("code page " + std::to_string(page));
    const CodePageTable& table = *builtInCodePage(page);
    const CodePageDecoder decoder(page);
    EXPECT_EQ(decoder.charset(), "CP" + std::to_string(page));
    CodePageEncoder encoder(page);
    std::vector<std::byte> all;
    for (unsigned b = 0; b < 256; ++b) {
      const std::byte byte{static_cast<std::uint8_t>(b)};
      all.push_back(byte);
      const std::u16string decoded = decoder.decode(std::span(&byte, 1));
      ASSERT_EQ(decoded, std::u16string(1, table[b])) << "byte " << b;
      auto encoded = encoder.encode(decoded);
      if (table[b] == u'\uFFFD') {
        EXPECT_FALSE(encoded.ok()) << "byte " << b;
      } else {
        ASSERT_TRUE(encoded.ok()) << "byte " << b << ": " << encoded.status().toString();
        EXPECT_EQ(*encoded, std::string(1, static_cast<char>(b))) << "byte " << b;
      }
    }
    EXPECT_EQ(decoder.decode(all), std::u16string(table.begin(), table.end()));
  }
}

TEST(CodePage, AnUnknownCodePageIsReadAsWindows1252) {
  const std::byte euro{0x80};
  EXPECT_EQ(CodePageDecoder(0).decode(std::span(&euro, 1)), u"€");
  EXPECT_EQ(CodePageDecoder(0).charset(), "CP1252");
}

#ifndef _WIN32
// Encoding with the table refuses exactly what iconv refuses, for every
// character of the Basic Multilingual Plane.
TEST(CodePage, TableEncodingAgreesWithIconvForEveryCharacter) {
  for (std::uint16_t page : builtInCodePages()) {
    SCOPED_TRACE("code page " + std::to_string(page));
    const CodePageTable& table = *builtInCodePage(page);
    CodePageEncoder iconv(page);
    for (char32_t c = 1; c < 0x10000; ++c) {
      if (c >= 0xD800 && c < 0xE000) continue;  // surrogates are not characters
      const std::u16string text(1, static_cast<char16_t>(c));
      auto byIconv = iconv.encode(text);
      const TableEncoding byTable = encodeWithTable(table, text);
      ASSERT_EQ(byIconv.ok(), byTable.failedAt == std::u16string_view::npos) << "U+" << std::hex << unsigned(c);
      if (byIconv.ok()) {
        ASSERT_EQ(*byIconv, byTable.bytes) << "U+" << std::hex << unsigned(c);
      }
    }
  }
}
#endif

}  // namespace
}  // namespace povezava::engine::jet
