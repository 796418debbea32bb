#include "cli/odbc_password.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"

namespace povezava::cli {
namespace {

struct PasswordCase {
  const char* name;
  std::u16string connect;
  bool holds;
  std::u16string masked;
};

class OdbcPasswordTest : public ::testing::TestWithParam<PasswordCase> {};

TEST_P(OdbcPasswordTest, FindsAndMasksPasswordValues) {
  EXPECT_EQ(holdsPlainPassword(GetParam().connect), GetParam().holds);
  EXPECT_EQ(maskPasswords(GetParam().connect), GetParam().masked);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OdbcPasswordTest,
    ::testing::Values(
        PasswordCase{"NoPassword", u"ODBC;DSN=sales;UID=ana;", false, u"ODBC;DSN=sales;UID=ana;"},
        PasswordCase{"Pwd", u"ODBC;DSN=sales;UID=ana;PWD=skrivnost;APP=x", true,
                     u"ODBC;DSN=sales;UID=ana;PWD=***;APP=x"},
        PasswordCase{"LowerCaseAtEnd", u"ODBC;DSN=s;pwd=geslo", true, u"ODBC;DSN=s;pwd=***"},
        PasswordCase{"PasswordKeyWithSpaces", u"ODBC;DSN=s; Password = a b ;", true,
                     u"ODBC;DSN=s; Password = *** ;"},
        PasswordCase{"BracedValueHoldsSemicolonAndBrace", u"ODBC;PWD={a;b}}c};DSN=s", true,
                     u"ODBC;PWD=***;DSN=s"},
        PasswordCase{"EmptyValueIsNoPassword", u"ODBC;DSN=s;PWD=;UID=u", false, u"ODBC;DSN=s;PWD=;UID=u"},
        PasswordCase{"EmptyBracesAreNoPassword", u"ODBC;PWD={};", false, u"ODBC;PWD={};"},
        PasswordCase{"KeyOnlyLooksLikePwd", u"ODBC;XPWD=1;PWDX=2;DSN=PWD=3", false,
                     u"ODBC;XPWD=1;PWDX=2;DSN=PWD=3"},
        PasswordCase{"TwoPasswords", u"PWD=a;DSN=s;PWD=b", true, u"PWD=***;DSN=s;PWD=***"},
        PasswordCase{"UnclosedBrace", u"ODBC;PWD={abc", true, u"ODBC;PWD=***"},
        // In a link to a file the path runs from "DATABASE=" to the end: a
        // folder named so is shown as it is stored.
        PasswordCase{"FolderNamedLikeAPassword", u";DATABASE=C:\\a;PWD=b\\PARTNER.MDB", false,
                     u";DATABASE=C:\\a;PWD=b\\PARTNER.MDB"},
        PasswordCase{"IsamPasswordBeforeThePath", u"MS Access;PWD=x;DATABASE=C:\\PWD=y\\P.MDB", true,
                     u"MS Access;PWD=***;DATABASE=C:\\PWD=y\\P.MDB"}),
    povezava::testing::RowName());

}  // namespace
}  // namespace povezava::cli
