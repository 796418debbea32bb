#include "engine/jet/read/long_value.h"

#include <gtest/gtest.h>

#include "base/errors.h"
#include "engine/jet/read/catalog.h"
#include "engine/jet/jet_test_util.h"

namespace povezava::engine::jet {
namespace {

using testing::bytesOf;
using testing::concat;
using testing::jet4FileWith;
using testing::le32;
using testing::makeDataPage;
using testing::openJetFile;
using testing::repeated;

// A memo header: length and kind, row pointer, four zero bytes.
std::vector<std::byte> header(std::uint32_t lengthAndKind, std::uint32_t pointer) {
  return concat({le32(lengthAndKind), le32(pointer), le32(0)});
}

std::string asText(const std::vector<std::byte>& bytes) {
  std::string s;
  for (std::byte b : bytes) s += static_cast<char>(b);
  return s;
}

class LongValue : public ::testing::Test {
 protected:
  void SetUp() override { POVEZAVA_REQUIRE_FIXTURES(); }

  // Page 3 (LVAL): row 0 a chain head (100 'a', next page 5 row 1), row 1 a
  // single value of 70 's', row 2 a segment pointing at itself.
  // Page 4: a table's data page. Page 5 (LVAL): row 1 the chain's last segment.
  std::unique_ptr<JetFile> open() {
    const Layout& l = kLayoutJet4;
    auto page3 = makeDataPage(l, kOwnerLval,
                              {concat({le32(makeRowPointer(5, 1)), repeated(100, 'a')}),
                               repeated(70, 's'), concat({le32(makeRowPointer(3, 2)), repeated(8, 'l')})});
    auto page4 = makeDataPage(l, 2, {repeated(10, 't')});
    auto page5 = makeDataPage(l, kOwnerLval, {repeated(3, 'x'), concat({le32(0), repeated(30, 'b')})});
    auto jet = openJetFile(jet4FileWith({page3, page4, page5}));
    EXPECT_TRUE(jet.ok()) << jet.status().toString();
    return jet.ok() ? std::move(*jet) : nullptr;
  }
};

TEST_F(LongValue, EachKindIsReadToItsLength) {
  auto file = open();
  struct Case {
    const char* what;
    std::vector<std::byte> slice;
    std::string text;
  } cases[] = {
      {"inline: the value follows the header", concat({header(0x80000000U | 5, 0), bytesOf({'h', 'e', 'l', 'l', 'o'})}),
       "hello"},
      {"single row: its length is taken", header(0x40000000U | 66, makeRowPointer(3, 1)), std::string(66, 's')},
      {"chain: concatenated and trimmed", header(120, makeRowPointer(3, 0)),
       std::string(100, 'a') + std::string(20, 'b')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto value = readLongValue(*file, PageView(c.slice), 14);
    ASSERT_TRUE(value.ok()) << value.status().toString();
    EXPECT_EQ(asText(*value), c.text);
  }
}

// Values that share LVAL rows cannot make one scan read more than the file:
// every value draws on one budget.
TEST_F(LongValue, ValuesSharingRowsDrawOnOneBudget) {
  auto file = open();
  const auto chain = header(120, makeRowPointer(3, 0));
  std::uint64_t budget = 200;
  auto first = readLongValue(*file, PageView(chain), 14, budget);
  ASSERT_TRUE(first.ok()) << first.status().toString();
  EXPECT_EQ(budget, 200u - 120u - 2 * kRowPointerSize);
  auto second = readLongValue(*file, PageView(chain), 14, budget);
  ASSERT_FALSE(second.ok());
  EXPECT_NE(second.status().description().find("page 14: long values reach more data than the file holds"),
            std::string::npos)
      << second.status().description();
}

TEST_F(LongValue, DamagedValuesAreCorrupt) {
  auto file = open();
  struct Case {
    const char* name;
    std::vector<std::byte> slice;
    const char* reason;
  } cases[] = {
      {"short header", bytesOf({5, 0, 0, 0x80}), "page 14: a long value's header is cut short"},
      {"chain past its end", header(200, makeRowPointer(3, 0)), "page 14: a long value's chain ends early"},
      {"chain loop", header(500, makeRowPointer(3, 2)), "page 14: a long value's chain loops"},
      {"single row too short", header(0x40000000U | 71, makeRowPointer(3, 1)),
       "page 3: a long value's row is shorter than its length"},
      {"not an LVAL page", header(0x40000000U | 5, makeRowPointer(4, 0)),
       "page 4: a long value points at a page that is not an LVAL page"},
      {"missing row", header(0x40000000U | 5, makeRowPointer(3, 9)), "page 3: row 9 does not exist"},
      {"missing page", header(0x40000000U | 5, makeRowPointer(60, 0)),
       "page 60: the page lies past the end of the file"},
  };
  for (const Case& c : cases) {
    auto value = readLongValue(*file, PageView(c.slice), 14);
    ASSERT_FALSE(value.ok()) << c.name;
    EXPECT_EQ(value.status().number(), kErrCannotOpen) << c.name;
    EXPECT_NE(value.status().description().find(c.reason), std::string::npos)
        << c.name << ": " << value.status().description();
  }
}

TEST(LongValueReferences, CountsAddAndRemoveByPointer) {
  auto references = LongValueReferences::counted({0x300, 0x101, 0x300, 0x2FF, 0x300});
  const std::pair<std::uint32_t, int> expected[] = {{0x101, 1}, {0x2FF, 1}, {0x300, 3}, {0x200, 0}, {0, 0}};
  for (const auto& [pointer, count] : expected) EXPECT_EQ(references.count(pointer), count) << pointer;
  references.add(0x200);    // new, between others
  references.add(0x101);    // one more
  references.remove(0x2FF); // gone at zero
  references.remove(0x400); // never there: nothing happens
  const std::pair<std::uint32_t, int> after[] = {{0x101, 2}, {0x200, 1}, {0x2FF, 0}, {0x300, 3}, {0x400, 0}};
  for (const auto& [pointer, count] : after) EXPECT_EQ(references.count(pointer), count) << pointer;
}

}  // namespace
}  // namespace povezava::engine::jet
