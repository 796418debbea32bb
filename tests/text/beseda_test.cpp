#include "text/beseda.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"

namespace povezava::text {
namespace {

struct BesedaCase {
  const char* name;
  std::u16string in;
  std::u16string word;
  std::u16string rest;
};

class BesedaExamples : public ::testing::TestWithParam<BesedaCase> {};

TEST_P(BesedaExamples, SplitsFirstWordAndKeepsRest) {
  const BesedaCase& c = GetParam();
  std::u16string lt = c.in;
  EXPECT_EQ(BESEDA(lt), c.word);
  EXPECT_EQ(lt, c.rest);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BesedaExamples,
    ::testing::Values(
        BesedaCase{"Empty", u"", u"", u""},
        BesedaCase{"OneWord", u"TQ.mdb", u"TQ.mdb", u""},
        BesedaCase{"CommaThenSpace", u"C:\\APP\\TQ.mdb, D:\\DATA", u"C:\\APP\\TQ.mdb", u"D:\\DATA"},
        BesedaCase{"SemicolonDropsRest", u"C:\\APP\\TQ.mdb;D:\\DATA", u"C:\\APP\\TQ.mdb", u""},
        BesedaCase{"RestIsNotScanned", u"a,b,c", u"a", u"b,c"},
        BesedaCase{"SemicolonBeforeComma", u"a;b,c", u"a", u""},
        BesedaCase{"WordKeepsItsSpaceRestLosesLeading", u"a ,  b", u"a ", u"b"},
        BesedaCase{"SpacesDoNotSeparate", u"a b c", u"a b c", u""},
        BesedaCase{"CommaAsLastCharacter", u"a,", u"a", u""},
        BesedaCase{"CommaAsFirstCharacter", u",b", u"", u"b"},
        BesedaCase{"SemicolonAsFirstCharacter", u";b", u"", u""},
        BesedaCase{"SingleQuotesHideSemicolon", u"'a;b',c", u"a;b", u"c"},
        BesedaCase{"DoubleQuotesHideComma", u"\"a,b\";c", u"a,b", u""},
        BesedaCase{"SingleQuoteClosesDoubleQuote", u"\"a',b", u"a", u"b"},
        BesedaCase{"ApostropheOpensQuoting", u"C:\\Bob's\\TQ.mdb", u"C:\\Bobs\\TQ.mdb", u""},
        BesedaCase{"CommaInsideOpenQuote", u"C:\\Bob's,x", u"C:\\Bobs,x", u""},
        BesedaCase{"CodeOneIsADoubleQuote", u"x" + std::u16string(1, char16_t{1}) + u"y", u"x\"y", u""},
        BesedaCase{"CodeOneDoesNotToggleQuoting", std::u16string(1, char16_t{1}) + u"a,b", u"\"a", u"b"},
        BesedaCase{"RestKeepsTrailingSpacesAndQuotes", u"a, 'b' ", u"a", u"'b' "},
        BesedaCase{"RestKeepsLeadingTab", u"a,\tb", u"a", u"\tb"},
        BesedaCase{"RestOfSpacesOnlyIsEmpty", u"a,   ", u"a", u""},
        BesedaCase{"QuotedPathWithSpace", u"\"C:\\My Files\\TQ.mdb\",D:\\DATA",
                   u"C:\\My Files\\TQ.mdb", u"D:\\DATA"},
        BesedaCase{"QuotesAroundRestStay", u"a,\"D:\\My Data\"", u"a", u"\"D:\\My Data\""},
        BesedaCase{"NonAsciiIsOrdinary", u"\u010Cpi\u017E.mdb,\u0160",
                   u"\u010Cpi\u017E.mdb", u"\u0160"}),
    povezava::testing::RowName());

TEST(Beseda, TakesAListApartOneWordAtATime) {
  std::u16string lt = u"a, b ,c;d";
  EXPECT_EQ(BESEDA(lt), u"a");
  EXPECT_EQ(BESEDA(lt), u"b ");
  EXPECT_EQ(BESEDA(lt), u"c");
  EXPECT_EQ(lt, u"");
}

TEST(Beseda, TextLongerThanSixteenBitPositionsIsScannedWhole) {
  std::u16string lt(40000, u'x');
  lt += u",rest";
  const std::u16string word = BESEDA(lt);
  EXPECT_EQ(word.size(), 40000u);
  EXPECT_EQ(lt, u"rest");
}

}  // namespace
}  // namespace povezava::text
