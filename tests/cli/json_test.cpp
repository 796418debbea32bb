#include "cli/json.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"

namespace povezava::cli {
namespace {

struct EscapeCase {
  const char* name;
  std::u16string text;
  std::string json;
};

class JsonStringTest : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(JsonStringTest, EscapesAsJsonRequires) {
  std::string out;
  appendJsonString(out, GetParam().text);
  EXPECT_EQ(out, GetParam().json);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JsonStringTest,
    ::testing::Values(
        EscapeCase{"Plain", u";DATABASE=D:\\DATA\\PARTNER.MDB", "\";DATABASE=D:\\\\DATA\\\\PARTNER.MDB\""},
        EscapeCase{"Quote", u"say \"hi\"", "\"say \\\"hi\\\"\""},
        EscapeCase{"ShortControls", u"a\tb\nc\rd\be\ff", "\"a\\tb\\nc\\rd\\be\\ff\""},
        EscapeCase{"OtherControls", std::u16string(u"x\u0001y") + char16_t{0} + u"z\u001f",
                   "\"x\\u0001y\\u0000z\\u001f\""},
        EscapeCase{"SlovenianLetters", u"Šiška Žužek č", "\"Šiška Žužek č\""},
        EscapeCase{"SurrogatePair", u"\U0001F600", "\"\xF0\x9F\x98\x80\""},
        EscapeCase{"LoneHighSurrogate", std::u16string{u'a', char16_t{0xD83D}, u'b'}, "\"a\\ud83db\""},
        EscapeCase{"LoneLowSurrogate", std::u16string{char16_t{0xDE00}}, "\"\\ude00\""},
        EscapeCase{"LineSeparators", u"\u2028\u2029", "\"\\u2028\\u2029\""},
        EscapeCase{"DeleteStaysAsIs", u"\u007f", "\"\x7f\""}),
    povezava::testing::RowName());

TEST(JsonWriterTest, NestedObjectsAndArraysGetCommasOnlyBetweenElements) {
  JsonWriter json;
  json.beginObject().key("file").text(u"a.mdb").key("error").null().key("tables").beginArray();
  json.beginObject().key("n").number(-3).key("ok").boolean(true).endObject();
  json.beginObject().key("n").number(3024).endObject();
  json.endArray().key("empty").beginArray().endArray().endObject();
  EXPECT_EQ(json.str(),
            R"({"file":"a.mdb","error":null,"tables":[{"n":-3,"ok":true},{"n":3024}],"empty":[]})");
}

TEST(JsonWriterTest, ArgumentBytesThatAreNotUtf8BecomeReplacementCharacters) {
  JsonWriter json;
  json.argument(std::string("ok\xC4\x8D\xFF\xFE.mdb"));
  EXPECT_EQ(json.str(), "\"ok\xC4\x8D\xEF\xBF\xBD\xEF\xBF\xBD.mdb\"");
}

TEST(JsonWriterTest, StatusIsNumberAndDescription) {
  JsonWriter json;
  writeStatus(json, engine::Status(3024, "Could not find file 'C:\\x \"y\".mdb'."));
  EXPECT_EQ(json.str(), R"({"number":3024,"description":"Could not find file 'C:\\x \"y\".mdb'."})");
}

}  // namespace
}  // namespace povezava::cli
