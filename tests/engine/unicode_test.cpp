#include "engine/unicode.h"

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

}  // namespace
}  // namespace povezava::engine
