#include "engine/link_path.h"

#include <gtest/gtest.h>

namespace povezava::engine {
namespace {

TEST(LinkPath, SplitsAtTheFirstDatabaseKeyInAnyCaseAndKeepsSemicolonsInThePath) {
  const auto parts = splitLink(u"Excel 8.0;HDR=YES;database=S:\\A;B\\DATABASE=X.XLS");
  ASSERT_TRUE(parts);
  EXPECT_EQ(parts->prefix, u"Excel 8.0;HDR=YES;");
  EXPECT_EQ(parts->path, u"S:\\A;B\\DATABASE=X.XLS");
  EXPECT_EQ(linkPath(u";Database="), u"");
}

TEST(LinkPath, ALinkWithoutTheDatabaseKeyNamesNoPath) {
  EXPECT_FALSE(splitLink(u"ODBC;DSN=sales;UID=ana;"));
  EXPECT_FALSE(linkPath(u";DATABASE"));
}

TEST(LinkPath, AComposedLinkSplitsBackIntoItsPrefixAndPath) {
  for (const std::u16string_view prefix : {std::u16string_view(u";"), std::u16string_view(u"Text;HDR=NO;")}) {
    const std::u16string link = composeLink(prefix, u"D:\\DATA\\PARTNER.MDB");
    const auto parts = splitLink(link);
    ASSERT_TRUE(parts) << prefix.size();
    EXPECT_EQ(parts->prefix, prefix);
    EXPECT_EQ(parts->path, u"D:\\DATA\\PARTNER.MDB");
  }
  EXPECT_EQ(jetLink(u"D:\\DATA\\PARTNER.MDB"), u";DATABASE=D:\\DATA\\PARTNER.MDB");
}

TEST(LinkPath, OnlyALinkBeginningWithTheJetPrefixAndKeyIsAJetLink) {
  EXPECT_TRUE(isJetLink(u";database=D:\\DATA\\PARTNER.MDB"));
  EXPECT_TRUE(isJetLink(jetLink(u"")));
  EXPECT_FALSE(isJetLink(u"Excel 8.0;DATABASE=D:\\DATA\\X.XLS"));
  EXPECT_FALSE(isJetLink(u"DATABASE=D:\\DATA\\PARTNER.MDB"));
  EXPECT_FALSE(isJetLink(u"; DATABASE=D:\\DATA\\PARTNER.MDB"));
  EXPECT_FALSE(isJetLink(u";DATABASE"));
}

}  // namespace
}  // namespace povezava::engine
