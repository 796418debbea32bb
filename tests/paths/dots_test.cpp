#include "paths/dots.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace povezava::engine {
namespace {

using Names = std::vector<std::string>;

// One rule for every spelling: the rows are checked in UTF-8, UTF-16 and
// wide text alike.
TEST(Dots, FoldedByTheTextAlone) {
  struct Row {
    const char* path;
    std::optional<Names> stays;    // AboveStart::stays
    std::optional<Names> refused;  // AboveStart::refused
    bool dots;
  } rows[] = {
      {"", Names{}, Names{}, false},
      {"a/b\\c", Names{"a", "b", "c"}, Names{"a", "b", "c"}, false},
      {"/a//b/", Names{"a", "b"}, Names{"a", "b"}, false},
      {"a/./b/../c", Names{"a", "c"}, Names{"a", "c"}, true},
      {"..\\x", Names{"x"}, std::nullopt, true},
      {"a/../../x", Names{"x"}, std::nullopt, true},
      {"a/..", Names{}, Names{}, true},
      {".hidden/..x/x..", Names{".hidden", "..x", "x.."}, Names{".hidden", "..x", "x.."}, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    const std::string text = row.path;
    const std::u16string text16(text.begin(), text.end());
    const std::wstring wide(text.begin(), text.end());
    for (const auto& [above, expected] : {std::pair{AboveStart::stays, row.stays},
                                          std::pair{AboveStart::refused, row.refused}}) {
      EXPECT_EQ(foldDots(std::string_view(text), above), expected);
      const auto folded16 = foldDots(std::u16string_view(text16), above);
      const auto foldedWide = foldDots(std::wstring_view(wide), above);
      ASSERT_EQ(folded16.has_value(), expected.has_value());
      ASSERT_EQ(foldedWide.has_value(), expected.has_value());
      if (!expected) continue;
      ASSERT_EQ(folded16->size(), expected->size());
      ASSERT_EQ(foldedWide->size(), expected->size());
      for (std::size_t i = 0; i < expected->size(); ++i) {
        const std::string& name = (*expected)[i];
        EXPECT_EQ((*folded16)[i], std::u16string(name.begin(), name.end()));
        EXPECT_EQ((*foldedWide)[i], std::wstring(name.begin(), name.end()));
      }
    }
    EXPECT_EQ(hasDots(std::string_view(text)), row.dots);
    EXPECT_EQ(hasDots(std::u16string_view(text16)), row.dots);
    EXPECT_EQ(hasDots(std::wstring_view(wide)), row.dots);
  }
}

}  // namespace
}  // namespace povezava::engine
