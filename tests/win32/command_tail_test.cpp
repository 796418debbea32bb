#include "win32/command_tail.h"

#include <gtest/gtest.h>

#include <string>

namespace povezava::win32 {
namespace {

struct TailCase {
  std::u16string line;
  std::u16string tail;
};

TEST(CommandTail, IsWhatFollowsTheProgramsNameAsWindowsEndsIt) {
  const TailCase cases[] = {
      {u"povezava.exe", u""},
      {u"povezava.exe C:\\APP\\TQ.mdb,D:\\DATA", u"C:\\APP\\TQ.mdb,D:\\DATA"},
      // A quoted name ends at its closing quote; blanks inside belong to it.
      {u"\"C:\\Program Files\\povezava\\povezava.exe\" C:\\APP\\TQ.mdb,D:\\DATA",
       u"C:\\APP\\TQ.mdb,D:\\DATA"},
      // Only the one blank that ends the name goes: start-up trims the rest,
      // and what it keeps (tabs) is its business.
      {u"povezava.exe   Z:\\a b\\TQ.mdb , Z:\\d  ", u"  Z:\\a b\\TQ.mdb , Z:\\d  "},
      {u"povezava.exe\tx", u"x"},
      {u"povezava.exe \tx", u"\tx"},
      // Quotes, commas and č, š, ž reach start-up untouched.
      {u"p.exe \"Z:\\Računi šž\\TQ.mdb\",Z:\\d", u"\"Z:\\Računi šž\\TQ.mdb\",Z:\\d"},
      {u"p.exe \"a,b\"", u"\"a,b\""},
      // A quoted name may run straight into the arguments.
      {u"\"C:\\p q\\p.exe\"x,y", u"x,y"},
      // An unclosed quote: all of it is the name.
      {u"\"C:\\p q\\p.exe x,y", u""},
      {u"", u""},
      {u"\"\" x", u"x"},
  };
  for (const TailCase& c : cases) {
    EXPECT_EQ(commandTail(c.line), c.tail) << std::string(c.line.begin(), c.line.end());
  }
}

}  // namespace
}  // namespace povezava::win32
