#include "text/path_helpers.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"

namespace povezava::text {
namespace {

// One path and what each helper gives with each set of separators.
struct PathCase {
  const char* name;
  std::u16string path;
  std::u16string folderWindows;
  std::u16string fileWindows;
  std::u16string folderNative;
  std::u16string fileNative;
};

class PathExamples : public ::testing::TestWithParam<PathCase> {};

// "\" alone splits Windows paths, "\" and "/" splits native ones, and the
// default is the platform's set.
TEST_P(PathExamples, EachSeparatorSetSplitsAsItSays) {
  const PathCase& c = GetParam();
  EXPECT_EQ(StripFileName(c.path, kWindowsSeparators), c.folderWindows);
  EXPECT_EQ(StripFilepath(c.path, kWindowsSeparators), c.fileWindows);
  EXPECT_EQ(StripFileName(c.path, kNativeSeparators), c.folderNative);
  EXPECT_EQ(StripFilepath(c.path, kNativeSeparators), c.fileNative);
#ifdef _WIN32
  EXPECT_EQ(StripFileName(c.path), c.folderWindows);
  EXPECT_EQ(StripFilepath(c.path), c.fileWindows);
#else
  EXPECT_EQ(StripFileName(c.path), c.folderNative);
  EXPECT_EQ(StripFilepath(c.path), c.fileNative);
#endif
}

INSTANTIATE_TEST_SUITE_P(
    Table, PathExamples,
    ::testing::Values(
        // name, path, folder (\), file (\), folder (\ and /), file (\ and /)
        PathCase{"FileInFolder", u"D:\\DATA\\PARTNER.MDB", u"D:\\DATA", u"PARTNER.MDB", u"D:\\DATA",
                 u"PARTNER.MDB"},
        PathCase{"FileInDriveRoot", u"D:\\P.MDB", u"D:\\", u"P.MDB", u"D:\\", u"P.MDB"},
        PathCase{"DriveRootOnly", u"D:\\", u"D:\\", u"", u"D:\\", u""},
        PathCase{"FolderWithFinalBackslash", u"D:\\DATA\\", u"D:\\DATA", u"", u"D:\\DATA", u""},
        PathCase{"NetworkPath", u"\\\\server\\share\\P.MDB", u"\\\\server\\share", u"P.MDB",
                 u"\\\\server\\share", u"P.MDB"},
        PathCase{"OnlyLeadingBackslash", u"\\P.MDB", u"", u"P.MDB", u"", u"P.MDB"},
        PathCase{"BareFileName", u"PARTNER.MDB", u"", u"PARTNER.MDB", u"", u"PARTNER.MDB"},
        PathCase{"DriveRelativeName", u"D:PARTNER.MDB", u"", u"D:PARTNER.MDB", u"",
                 u"D:PARTNER.MDB"},
        PathCase{"ForwardSlashes", u"D:/DATA/P.MDB", u"", u"D:/DATA/P.MDB", u"D:/DATA", u"P.MDB"},
        PathCase{"Empty", u"", u"", u"", u"", u""},
        // Paths as Linux users write them.
        PathCase{"PosixPath", u"/data/x/PARTNER.MDB", u"", u"/data/x/PARTNER.MDB", u"/data/x",
                 u"PARTNER.MDB"},
        PathCase{"PosixRootFile", u"/P.MDB", u"", u"/P.MDB", u"", u"P.MDB"},
        PathCase{"DriveRootWithSlashGetsBackslash", u"D:/P.MDB", u"", u"D:/P.MDB", u"D:\\",
                 u"P.MDB"},
        PathCase{"MixedSeparatorsLastOneWins", u"D:\\DATA/sub\\P.MDB", u"D:\\DATA/sub", u"P.MDB",
                 u"D:\\DATA/sub", u"P.MDB"},
        PathCase{"SlashAfterLastBackslash", u"D:\\DATA\\sub/P.MDB", u"D:\\DATA", u"sub/P.MDB",
                 u"D:\\DATA\\sub", u"P.MDB"},
        PathCase{"TwoFinalBackslashesKeepFirst", u"D:\\DATA\\\\", u"D:\\DATA\\", u"",
                 u"D:\\DATA\\", u""}),
    povezava::testing::RowName());

TEST(PathHelpers, NoSeparatorsMeansNoFolder) {
  EXPECT_EQ(StripFileName(u"D:\\DATA\\P.MDB", u""), u"");
  EXPECT_EQ(StripFilepath(u"D:\\DATA\\P.MDB", u""), u"D:\\DATA\\P.MDB");
}

TEST(PathHelpers, PositionsCountSixteenBitUnits) {
  // A character outside the BMP is two units; neither half is a separator.
  const std::u16string path = u"D:\\\U0001D11E\\\u010Cas.mdb";
  EXPECT_EQ(StripFileName(path, kWindowsSeparators), u"D:\\\U0001D11E");
  EXPECT_EQ(StripFilepath(path, kWindowsSeparators), u"\u010Cas.mdb");
}

TEST(PathHelpers, PathsLongerThanSixteenBitPositionsSplitTheSame) {
  const std::u16string folder = u"D:\\" + std::u16string(40000, u'x');
  EXPECT_EQ(StripFileName(folder + u"\\P.MDB", kWindowsSeparators), folder);
  EXPECT_EQ(StripFilepath(folder + u"\\P.MDB", kWindowsSeparators), u"P.MDB");
}

}  // namespace
}  // namespace povezava::text
