#include "base/unicode.h"

#include <gtest/gtest.h>

namespace povezava::engine {
namespace {

TEST(Unicode, RoundTripsSlovenianAndAstralText) {
  const std::u16string text = u"Računovodski servis Žužek, Šiška \U0001F600";
  EXPECT_EQ(fromUtf8(toUtf8(text)), text);
  EXPECT_EQ(toUtf8(u"č"), "\xC4\x8D");
}

TEST(Unicode, InvalidInputBecomesReplacementCharacters) {
  struct Case {
    std::string utf8;
    std::u16string utf16;
  } cases[] = {
      {"a\xFF" "b", u"a\uFFFDb"},
      {"\xC4", u"\uFFFD"},              // truncated two-byte sequence
      {"\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD"},  // overlong form
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // encoded surrogate
  };
  for (const auto& c : cases) EXPECT_EQ(fromUtf8(c.utf8), c.utf16) << c.utf8;
  EXPECT_EQ(toUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
}

TEST(Unicode, AppendsAfterTextAlreadyThereWhereverTheFirstNonAsciiUnitIs) {
  // The ASCII prefix is taken four units at a time: a non-ASCII unit at every
  // position of a word, and text of every length around a word's size.
  for (std::size_t length = 0; length <= 13; ++length) {
    for (std::size_t at = 0; at <= length; ++at) {
      std::u16string text(length, u'a');
      std::string expected = "=>" + std::string(length, 'a');
      if (at < length) {
        text[at] = u'\u010D';                                    // č
        expected.replace(2 + at, 1, "\xC4\x8D");
      }
      std::string out = "=>";
      appendUtf8(out, text);
      EXPECT_EQ(out, expected) << length << " " << at;
    }
  }
  std::string out = "x";
  appendUtf8(out, u"\x7F\x80\u07FF\u0800\U0001F600");
  EXPECT_EQ(out, "x\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xF0\x9F\x98\x80");
}

}  // namespace
}  // namespace povezava::engine
