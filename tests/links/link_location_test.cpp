#include "links/link_location.h"

#include <gtest/gtest.h>

#include <string>

#include "base/unicode.h"

namespace povezava::links {
namespace {

engine::PathMap mapOf(std::initializer_list<const char*> pairs) {
  engine::PathMap map;
  for (const char* pair : pairs) map.add(*engine::parseMapping(pair, "test"));
  return map;
}

TEST(LinkLocation, RelativeBecomesAbsoluteThenTheMapGivesTheWindowsForm) {
  const engine::PathMap map = mapOf({"S: = /srv/samba", "\\\\SERVER\\apps = /srv/samba/apps"});
  const LinkPlace mapped{&map, u"/srv/samba/work"};
  const LinkPlace unmapped{nullptr, u"/home/u"};
  const LinkPlace drive{nullptr, u"S:\\APL"};
  const LinkPlace share{nullptr, u"\\\\SRV\\share\\apl"};
  // A Windows program's current folder with letters beyond ASCII.
  const LinkPlace driveSl{nullptr, u"Z:\\tmp\\Računi šž"};
  const LinkPlace shareSl{nullptr, u"\\\\SERVER\\share š\\app"};
  struct Case {
    const char16_t* location;
    const LinkPlace* place;
    const char16_t* expected;
  } cases[] = {
      // Windows form: as given, whatever the map says.
      {u"D:\\DATA", &mapped, u"D:\\DATA"},
      {u"D:\\DATA\\", &unmapped, u"D:\\DATA\\"},
      {u"\\\\other\\share\\x", &mapped, u"\\\\other\\share\\x"},
      // Absolute: mapped when inside a mapped folder, else as given.
      {u"/srv/samba/data", &mapped, u"S:\\data"},
      {u"/srv/samba/apps/x/", &mapped, u"\\\\SERVER\\apps\\x\\"},  // a final separator stays
      {u"/srv/other\\data\\", &mapped, u"/srv/other\\data\\"},
      {u"/srv/samba/data", &unmapped, u"/srv/samba/data"},
      // Relative: against the current folder, "." and ".." taken out.
      {u"data", &unmapped, u"/home/u/data"},
      {u"..\\shared\\.\\data\\", &unmapped, u"/home/shared/data"},
      {u"data", &mapped, u"S:\\work\\data"},
      {u"../apps", &mapped, u"\\\\SERVER\\apps"},
      {u"PARTNER.MDB", &mapped, u"S:\\work\\PARTNER.MDB"},
      {u"", &mapped, u""},
      // Under a drive or share (Windows): in Windows form, ".." stops at the root.
      {u"SUB", &drive, u"S:\\APL\\SUB"},
      {u"..\\DATA", &drive, u"S:\\DATA"},
      {u"../../..", &drive, u"S:\\"},
      {u"..\\x\\", &share, u"\\\\SRV\\share\\x"},
      // Absolute: ".." taken out before the map is asked: no "P:\..\other".
      {u"/srv/samba/../other/DATA", &mapped, u"/srv/other/DATA"},
      {u"/srv/samba/x/../data", &mapped, u"S:\\data"},
      // Relative under a Windows current folder: in Windows form; ".." stops
      // at the drive or the share.
      {u"data", &driveSl, u"Z:\\tmp\\Računi šž\\data"},
      {u"..\\..\\..\\x/y\\", &driveSl, u"Z:\\x\\y"},
      {u"..\\..", &driveSl, u"Z:\\"},
      {u"../../../data", &shareSl, u"\\\\SERVER\\share š\\data"},
      {u"zaledje č", &shareSl, u"\\\\SERVER\\share š\\app\\zaledje č"},
  };
  for (const Case& c : cases) {
    const std::u16string location = linkLocation(c.location, *c.place);
    EXPECT_EQ(engine::toUtf8(location), engine::toUtf8(c.expected)) << engine::toUtf8(c.location);
    // What it returns comes back unchanged.
    EXPECT_EQ(engine::toUtf8(linkLocation(location, *c.place)), engine::toUtf8(location));
  }
}

TEST(LinkLocation, LinkStringIsPrefixLocationAndFileName) {
  const engine::PathMap map = mapOf({"S: = /srv/samba"});
  const LinkPlace place{&map, u"/srv/samba"};
  EXPECT_EQ(linkString(u"data", u"\\PARTNER.MDB", place), u";DATABASE=S:\\data\\PARTNER.MDB");
  EXPECT_EQ(linkString(u"/srv/samba/data/querno.MDB", {}, place), u";DATABASE=S:\\data\\querno.MDB");
  EXPECT_EQ(linkString(u"/opt/app", u"\\QUERNO.MDB", place), u";DATABASE=/opt/app\\QUERNO.MDB");
}

TEST(RelativeLinkNotice, OnlyForARelativeBackEndPath) {
  const LinkPlace place{nullptr, u"/home/u"};
  const auto relative = relativeLinkNotice(u";DATABASE=data\\PARTNER.MDB", place);
  ASSERT_TRUE(relative);
  EXPECT_NE(relative->find("'data\\PARTNER.MDB' is relative"), std::string::npos) << *relative;
  EXPECT_NE(relative->find("/home/u"), std::string::npos) << *relative;
  EXPECT_TRUE(relativeLinkNotice(u"Excel 8.0;database=x.xls", place));
  for (const char16_t* link : {u";DATABASE=/srv/P.MDB", u";DATABASE=S:\\P.MDB", u";DATABASE=\\\\s\\x\\P.MDB",
                               u";DATABASE=", u"no database key", u""}) {
    EXPECT_FALSE(relativeLinkNotice(link, place)) << engine::toUtf8(link);
  }
}

}  // namespace
}  // namespace povezava::links
