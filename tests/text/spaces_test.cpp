#include "text/spaces.h"

#include <gtest/gtest.h>

namespace povezava::text {
namespace {

TEST(Spaces, OnlyCodeThirtyTwoIsTrimmed) {
  EXPECT_EQ(trimSpaces(u"  a b  "), u"a b");
  EXPECT_EQ(trimSpaces(u"\ta\t"), u"\ta\t");
  EXPECT_EQ(trimSpaces(u" \t "), u"\t");
  EXPECT_EQ(trimSpaces(u"\u00A0a\u00A0"), u"\u00A0a\u00A0");
  EXPECT_EQ(trimSpaces(u"    "), u"");
  EXPECT_EQ(trimSpaces(u""), u"");
  EXPECT_EQ(trimLeadingSpaces(u"  a  "), u"a  ");
  EXPECT_EQ(trimLeadingSpaces(u"   "), u"");
}

}  // namespace
}  // namespace povezava::text
