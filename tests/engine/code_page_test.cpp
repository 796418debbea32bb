#include "engine/jet/code_page.h"

#include <gtest/gtest.h>

#include "engine/errors.h"

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

}  // namespace
}  // namespace povezava::engine::jet
