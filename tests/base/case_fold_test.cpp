#include "base/case_fold.h"

#include <gtest/gtest.h>

namespace povezava::engine {
namespace {

TEST(CaseFold, MatchesLatinLettersWithoutRegardToCase) {
  struct Case {
    std::u16string_view a;
    std::u16string_view b;
    bool equal;
  } cases[] = {
      {u"PARTNER", u"Partner", true},     {u"ČŠŽ", u"čšž", true},
      {u"Računi", u"RAČUNI", true},       {u"ĐURĐA", u"đurđa", true},
      {u"ŁÓDŹ", u"łódź", true},           {u"ÀÉÎÕÜÝÞ", u"àéîõüýþ", true},
      {u"ЖУРНАЛ", u"журнал", true},       {u"ΣΟΦΙΑ", u"σοφια", true},
      {u"Ÿ", u"ÿ", true},                 {u"KONTI", u"KONTE", false},
      {u"×", u"÷", false},                {u"C", u"Č", false},
      {u"NALOGI", u"NALOG", false},       {u"ı", u"I", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(equalsIgnoringCase(c.a, c.b), c.equal);
    EXPECT_EQ(equalsIgnoringCase(c.b, c.a), c.equal);
  }
  EXPECT_TRUE(startsWithIgnoringCase(u"msysObjects", u"MSys"));
  EXPECT_FALSE(startsWithIgnoringCase(u"MSy", u"MSys"));
}

}  // namespace
}  // namespace povezava::engine
