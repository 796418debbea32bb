#include "engine/jet/read/row.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/errors.h"
#include "engine/jet/jet_test_util.h"
#include "engine/jet/write/row_pack.h"

namespace povezava::engine::jet {
namespace {

// A table of an Id (fixed LONG), two texts (variable 0 and 1) and a BOOL.
TableDefinition table() {
  TableDefinition def;
  def.variableColumns = 2;
  def.maxColumns = 4;
  ColumnDef id;
  id.type = static_cast<std::uint8_t>(ColumnType::longInteger);
  id.number = 0;
  id.flags = kColumnFlagFixed;
  id.fixedOffset = 0;
  id.length = 4;
  ColumnDef first;
  first.type = static_cast<std::uint8_t>(ColumnType::text);
  first.number = 1;
  first.variableIndex = 0;
  ColumnDef second = first;
  second.number = 2;
  second.variableIndex = 1;
  ColumnDef flag;
  flag.type = static_cast<std::uint8_t>(ColumnType::boolean);
  flag.number = 3;
  flag.flags = kColumnFlagFixed;
  def.columns = {id, first, second, flag};
  return def;
}

using testing::bytesOf;
using testing::concat;
using testing::repeated;

std::string text(const std::optional<PageView>& v) {
  std::string s;
  for (std::byte b : v->bytes()) s += static_cast<char>(b);
  return s;
}

// Jet 3 row: count, Id, 300 'a', 10 'b', then eod, off[1], off[0], one real
// jump entry (variable 1 starts past 256), n, mask. 321 bytes: J = 1 = R.
TEST(Row, Jet3JumpTableLiftsOffsetsPast256) {
  const auto row = concat({bytesOf({4, 0x2A, 0, 0, 0}), repeated(300, 'a'), repeated(10, 'b'),
                           bytesOf({315 & 0xFF, 305 & 0xFF, 5, /*jump*/ 1, /*n*/ 2, /*mask*/ 0x0F})});
  ASSERT_EQ(row.size(), 321u);
  const TableDefinition def = table();
  auto parsed = Row::parse(PageView(row), def, kLayoutJet3, "x.mdb", 9);
  ASSERT_TRUE(parsed.ok()) << parsed.status().toString();
  EXPECT_EQ(parsed->variableCount(), 2);
  EXPECT_EQ(text(*parsed->value(def.columns[1])), std::string(300, 'a'));
  EXPECT_EQ(text(*parsed->value(def.columns[2])), std::string(10, 'b'));
  EXPECT_EQ((*parsed->value(def.columns[0]))->u32(0), 0x2Au);
  EXPECT_FALSE(parsed->isNull(def.columns[3]));  // BOOL true: its bit is set
}

// Jet 3 row of 258 bytes whose data ends before 256: J = 1 but R = 0, so the
// byte between off[0] and n is a dummy 0xFF, not a jump entry.
TEST(Row, Jet3DummyJumpByteIsNotAJump) {
  const auto row = concat({bytesOf({4, 1, 0, 0, 0}), repeated(240, 'a'), repeated(7, 'b'), bytesOf({252, 245, 5, 0xFF, 2, 0x07})});
  ASSERT_EQ(row.size(), 258u);
  const TableDefinition def = table();
  auto parsed = Row::parse(PageView(row), def, kLayoutJet3, "x.mdb", 9);
  ASSERT_TRUE(parsed.ok()) << parsed.status().toString();
  EXPECT_EQ(text(*parsed->value(def.columns[1])), std::string(240, 'a'));
  EXPECT_EQ(text(*parsed->value(def.columns[2])), std::string(7, 'b'));
  EXPECT_TRUE(parsed->isNull(def.columns[3]));
}

// Jet 4 row rewritten shorter in place: zero padding between eod and the
// trailer. The trailer is found from the row's end.
TEST(Row, Jet4TrailerIsReadFromTheEndPastPadding) {
  const auto row = concat({bytesOf({4, 0, 7, 0, 0, 0}), repeated(4, 'x'), repeated(2, 'y'), repeated(4, '\0') /*padding*/,
                           bytesOf({12, 0, 10, 0, 6, 0, 2, 0, 0x07})});
  const TableDefinition def = table();
  auto parsed = Row::parse(PageView(row), def, kLayoutJet4, "x.mdb", 9);
  ASSERT_TRUE(parsed.ok()) << parsed.status().toString();
  EXPECT_EQ(text(*parsed->value(def.columns[1])), "xxxx");
  EXPECT_EQ(text(*parsed->value(def.columns[2])), "yy");
}

TEST(Row, NullBitsAndShortRowsMeanNull) {
  // Written when the table had only two columns: count 2, one variable slot.
  const auto row = concat({bytesOf({2, 0, 7, 0, 0, 0}), repeated(3, 'x'),
                           bytesOf({9, 0, 6, 0, 1, 0, /*mask: column 1 only*/ 0x02})});
  const TableDefinition def = table();
  auto parsed = Row::parse(PageView(row), def, kLayoutJet4, "x.mdb", 9);
  ASSERT_TRUE(parsed.ok()) << parsed.status().toString();
  EXPECT_FALSE(*parsed->value(def.columns[0]));   // null bit clear
  EXPECT_EQ(text(*parsed->value(def.columns[1])), "xxx");
  EXPECT_FALSE(*parsed->value(def.columns[2]));   // beyond the row's count
  EXPECT_TRUE(parsed->isNull(def.columns[3]));
}

TEST(Row, BrokenRowsAreCorruptNamingThePage) {
  const TableDefinition def = table();
  struct Case {
    const char* name;
    std::vector<std::byte> row;
    const char* reason;
  } cases[] = {
      {"empty", {}, "a row is shorter than its column count"},
      {"count without mask", bytesOf({0x40, 0}), "a row's column count 64 does not fit"},
      {"too many offsets", bytesOf({4, 0, 1, 2, 3, 4, 0x30, 0, 0x0F}), "a row's 48 variable offsets do not fit"},
  };
  for (const Case& c : cases) {
    auto parsed = Row::parse(PageView(c.row), def, kLayoutJet4, "x.mdb", 41);
    ASSERT_FALSE(parsed.ok()) << c.name;
    EXPECT_EQ(parsed.status().number(), kErrCannotOpen);
    EXPECT_NE(parsed.status().description().find(std::string("page 41: ") + c.reason), std::string::npos)
        << c.name << ": " << parsed.status().description();
  }
  // Offsets pointing past the variable data fail when the value is read.
  const auto row = bytesOf({4, 0, 7, 0, 0, 0, /*trailer*/ 6, 0, 80, 0, 6, 0, 2, 0, 0x07});
  auto parsed = Row::parse(PageView(row), def, kLayoutJet4, "x.mdb", 41);
  ASSERT_TRUE(parsed.ok());
  EXPECT_EQ(parsed->value(def.columns[1]).status().number(), kErrCannotOpen);
  EXPECT_EQ(parsed->value(def.columns[2]).status().number(), kErrCannotOpen);
}

TEST(Row, EveryVariableColumnOfNarrowAndWideRowsReadsBack) {
  // Rows of up to 40 variable columns (past the offsets kept inline), some
  // past 256 bytes (Jet 3's jump table), packed by the writer and read back.
  std::mt19937 random(20261208);
  for (const Layout* layout : {&kLayoutJet3, &kLayoutJet4}) {
    for (const std::size_t columns : {1U, 5U, 23U, 24U, 25U, 40U}) {
      TableDefinition def;
      def.variableColumns = static_cast<std::uint16_t>(columns);
      def.maxColumns = static_cast<std::uint16_t>(columns);
      std::vector<std::vector<std::byte>> values;
      for (std::size_t i = 0; i < columns; ++i) {
        ColumnDef c;
        c.type = static_cast<std::uint8_t>(ColumnType::text);
        c.number = static_cast<std::uint16_t>(i);
        c.variableIndex = static_cast<std::uint16_t>(i);
        def.columns.push_back(c);
        values.emplace_back(random() % 3 == 0 ? 0 : random() % 40, static_cast<std::byte>(i + 1));
      }
      RowParts parts;
      parts.columnCount = static_cast<std::uint16_t>(columns);
      for (const auto& v : values) parts.variable.emplace_back(v);
      const std::vector<std::byte> mask(nullMaskSize(columns), std::byte{0xFF});
      parts.nullMask = mask;
      std::vector<std::byte> row;
      ASSERT_TRUE(appendPackedRow(*layout, parts, row).ok());
      auto parsed = Row::parse(PageView(row), def, *layout, "x.mdb", 9);
      ASSERT_TRUE(parsed.ok()) << parsed.status().toString();
      EXPECT_EQ(parsed->variableCount(), columns);
      for (std::size_t i = 0; i < columns; ++i) {
        auto value = parsed->value(def.columns[i]);
        ASSERT_TRUE(value.ok() && value->has_value()) << columns << " columns, column " << i;
        const auto got = (*value)->bytes();
        EXPECT_EQ(std::vector<std::byte>(got.begin(), got.end()), values[i]) << columns << " columns, column " << i;
      }
    }
  }
}

}  // namespace
}  // namespace povezava::engine::jet
