#include "engine/jet/format/text.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/jet/jet_test_util.h"

namespace povezava::engine::jet {
namespace {

using testing::bytesOf;

TEST(Text, Jet3UsesTheHeaderCodePage) {
  // "Žužek Šiška č" in Windows-1250.
  const auto cp1250 = bytesOf({0x8E, 'u', 0x9E, 'e', 'k', ' ', 0x8A, 'i', 0x9A, 'k', 'a', ' ', 0xE8});
  const TextDecoder slovenian(kLayoutJet3, 1250);
  EXPECT_EQ(slovenian.charset(), "CP1250");
  EXPECT_EQ(slovenian.decode(PageView(cp1250)), u"Žužek Šiška č");
  const TextDecoder western(kLayoutJet3, 1252);
  EXPECT_EQ(western.decode(PageView(cp1250)), u"Žužek Šiška è");
}

TEST(Text, Jet3UnknownCodePageFallsBackToWindows1252AndUndefinedBytesAreReplaced) {
  const TextDecoder unknown(kLayoutJet3, 65001 - 1);  // no such iconv charset
  EXPECT_EQ(unknown.charset(), "CP1252");
  const TextDecoder none(kLayoutJet3, 0);
  EXPECT_EQ(none.charset(), "CP1252");
  const auto undefined = bytesOf({'a', 0x81, 'b'});  // 0x81 is not in Windows-1252
  EXPECT_EQ(none.decode(PageView(undefined)), u"a\uFFFDb");
}

TEST(Text, Jet4PlainAndCompressedForms) {
  struct Case {
    std::vector<std::byte> bytes;
    std::u16string text;
  } cases[] = {
      {bytesOf({'T', 0, 'Q', 0}), u"TQ"},
      {bytesOf({0x0D, 0x01, 0x61, 0x01}), u"čš"},
      {bytesOf({0xFF, 0xFE, 'o', 'n', 'l', 'y'}), u"only"},
      {bytesOf({0xFF, 0xFE, 0xE4, 0xE4, 'k'}), u"ääk"},
      // one byte per character, 00 switches to two bytes, 00 back again
      {bytesOf({0xFF, 0xFE, 'a', 0, 0x0D, 0x01, 0, 'b'}), u"ačb"},
      {bytesOf({0xFF, 0xFE}), u""},
      {{}, u""},  // no bytes at all
      {bytesOf({'A', 0, 'B'}), u"A"},  // odd byte dropped
      {bytesOf({0xFF, 0xFE, 0, 0x0D}), u""},  // lone byte after a toggle
      {bytesOf({0xFF, 0xFE, 'a', 0}), u"a"},  // a toggle as the last byte
      {bytesOf({0xFF, 0xFE, 0, 0, 'x', 'y', 0, 0x0D, 0x01, 0x61, 0x01}), u"xyčš"},
  };
  for (const Case& c : cases) EXPECT_EQ(decodeJet4Text(PageView(c.bytes)), c.text);
  EXPECT_EQ(decodeJet4Text(PageView()), u"");
  const TextDecoder jet4(kLayoutJet4, 1252);
  EXPECT_EQ(jet4.decode(PageView(cases[1].bytes)), u"čš");
}

}  // namespace
}  // namespace povezava::engine::jet
