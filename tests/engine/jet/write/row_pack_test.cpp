#include "engine/jet/write/row_pack.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "base/errors.h"

namespace povezava::engine::jet {
namespace {

std::vector<std::byte> hex(const std::string& text) {
  std::vector<std::byte> out;
  std::string digits;
  for (char c : text) {
    if (std::isxdigit(static_cast<unsigned char>(c))) digits.push_back(c);
  }
  for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
    out.push_back(static_cast<std::byte>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  }
  return out;
}

std::vector<std::byte> bytes(std::span<const std::byte> s) { return {s.begin(), s.end()}; }

std::vector<std::byte> pack(const Layout& format, const RowParts& parts) {
  std::vector<std::byte> out;
  Status status = appendPackedRow(format, parts, out);
  EXPECT_TRUE(status.ok()) << status.toString();
  return out;
}

RowParts unpack(const Layout& format, std::span<const std::byte> row, bool hasVariableSection = true) {
  auto parts = unpackRow(format, row, hasVariableSection, "t.mdb", 7);
  EXPECT_TRUE(parts.ok()) << parts.status().toString();
  return parts.ok() ? *parts : RowParts{};
}

// Access 97's catalogue row "Table1" (testV1997.mdb page 18 row 18).
const std::string kJet3CatalogueRow =
    "11"
    "1d000000 0100000f 0100 e6033dbe53a6e340 e08d41be53a6e340 00000000"
    "546162 6c6531 0301 1004004008140000 00000000"
    "33 33 33 27 27 27 27 27 27 27 25 1f 0b ff4000";

// Access 2007's linked table "Table2" (linkerTestV2007.accdb page 17 row 43).
const std::string kJet4LinkRow =
    "1100 0a000080 0100000f 0600 a44d86415cfde340 ce5b62425cfde340 00002000"
    "540061006200 6c0065003200 0043 420000400063000000000000"
    "540061006200 6c0065003100 2b0800400068000000000000 100600400067000000000000"
    "5e00 5e005e005200460046004600 3a003a002e002c002000 0b00 ff6500";

TEST(RowPack, AccessMadeRowsUnpackAndRepackByteForByte) {
  struct Case {
    const char* what;
    const Layout& format;
    std::string row;
    std::size_t fixedSize;
    std::vector<std::size_t> sliceSizes;
  } cases[] = {
      {"Jet 3 catalogue row", kLayoutJet3, kJet3CatalogueRow, 30, {6, 2, 0, 0, 0, 0, 0, 0, 12, 0, 0}},
      {"Jet 4 link row", kLayoutJet4, kJet4LinkRow, 30, {12, 2, 12, 0, 12, 0, 0, 12, 12, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto row = hex(c.row);
    RowParts parts = unpack(c.format, row);
    EXPECT_EQ(parts.columnCount, 17);
    EXPECT_EQ(parts.fixed.size(), c.fixedSize);
    ASSERT_EQ(parts.variable.size(), c.sliceSizes.size());
    for (std::size_t i = 0; i < c.sliceSizes.size(); ++i) EXPECT_EQ(parts.variable[i].size(), c.sliceSizes[i]) << i;
    EXPECT_EQ(pack(c.format, parts), row);
  }
}

TEST(RowPack, Jet4PaddingBeforeTheTrailerIsDropped) {
  auto row = hex(kJet4LinkRow);
  const auto original = row;
  // Pad two zero bytes after the variable data, as Access leaves a row that
  // was rewritten shorter; the offsets do not change.
  const std::size_t eod = 0x5E;
  row.insert(row.begin() + eod, {std::byte{0}, std::byte{0}});
  RowParts parts = unpack(kLayoutJet4, row);
  EXPECT_EQ(parts.variable[4].size(), 12u);
  EXPECT_EQ(pack(kLayoutJet4, parts), original);
}

// Builds parts with the given slice sizes (bytes filled with a pattern).
struct OwnedRow {
  std::vector<std::byte> fixed;
  std::vector<std::vector<std::byte>> slices;
  std::vector<std::byte> mask;
  RowParts parts() const {
    RowParts p;
    p.columnCount = static_cast<std::uint16_t>(mask.size() * 8);
    p.fixed = fixed;
    for (const auto& s : slices) p.variable.emplace_back(s);
    p.nullMask = mask;
    return p;
  }
};

OwnedRow makeRow(std::size_t fixedSize, const std::vector<std::size_t>& sliceSizes, std::size_t maskSize) {
  OwnedRow row;
  row.fixed.assign(fixedSize, std::byte{0x11});
  std::uint8_t fill = 0x20;
  for (std::size_t size : sliceSizes) row.slices.emplace_back(size, static_cast<std::byte>(fill++));
  row.mask.assign(maskSize, std::byte{0xA5});
  return row;
}

void expectSameParts(const RowParts& got, const RowParts& want) {
  EXPECT_EQ(got.columnCount, want.columnCount);
  EXPECT_EQ(bytes(got.fixed), bytes(want.fixed));
  ASSERT_EQ(got.variable.size(), want.variable.size());
  for (std::size_t i = 0; i < want.variable.size(); ++i) {
    EXPECT_EQ(bytes(got.variable[i]), bytes(want.variable[i])) << "slot " << i;
  }
  EXPECT_EQ(bytes(got.nullMask), bytes(want.nullMask));
}

TEST(RowPack, Jet3DummyJumpByteWhenOnlyTheTrailerCrosses256) {
  // eod 255 and a row longer than 256 bytes: one jump byte, and it is the
  // dummy 0xFF, as in test2V1997.mdb page 50 row 0.
  const OwnedRow row = makeRow(30, {200, 24}, 3);  // 1 + 30 + 224 = 255
  const auto packed = pack(kLayoutJet3, row.parts());
  ASSERT_GT(packed.size(), 256u);
  const std::size_t nAt = packed.size() - 3 - 1;
  EXPECT_EQ(std::to_integer<int>(packed[nAt]), 2);
  EXPECT_EQ(std::to_integer<int>(packed[nAt - 1]), 0xFF);  // dummy
  EXPECT_EQ(std::to_integer<int>(packed[255]), 0xFF);      // eod & 0xFF stored right at eod
  expectSameParts(unpack(kLayoutJet3, packed), row.parts());
}

TEST(RowPack, Jet3JumpTableMarksEveryCrossedBoundary) {
  // Slot 1 spans two 256-byte boundaries at once: its index appears twice.
  const OwnedRow row = makeRow(10, {100, 600, 5}, 1);
  const auto packed = pack(kLayoutJet3, row.parts());
  const std::size_t nAt = packed.size() - 1 - 1;
  // offsets: 11, 111, 711, 716 -> jump[0] = 2 (711 >= 256), jump[1] = 2 (711 >= 512)
  EXPECT_EQ(std::to_integer<int>(packed[nAt - 1]), 2);
  EXPECT_EQ(std::to_integer<int>(packed[nAt - 2]), 2);
  expectSameParts(unpack(kLayoutJet3, packed), row.parts());
}

TEST(RowPack, RandomRowsRoundTripInBothFormats) {
  std::mt19937 random(20240115);
  for (const Layout* layout : {&kLayoutJet3, &kLayoutJet4}) {
    const Layout& format = *layout;
    for (int round = 0; round < 3000; ++round) {
      const std::size_t slots = random() % 14;
      std::vector<std::size_t> sizes;
      for (std::size_t i = 0; i < slots; ++i) {
        const auto pick = random() % 10;
        sizes.push_back(pick < 4 ? 0 : pick < 8 ? random() % 40 : random() % 700);
      }
      const OwnedRow row = makeRow(random() % 300, sizes, 1 + random() % 3);
      std::vector<std::byte> packed;
      ASSERT_TRUE(appendPackedRow(format, row.parts(), packed).ok());
      SCOPED_TRACE("round " + std::to_string(round) + ", " + std::to_string(packed.size()) + " bytes");
      expectSameParts(unpack(format, packed), row.parts());
    }
  }
}

TEST(RowPack, RowsWithoutVariableColumnsHaveNoTrailer) {
  OwnedRow row = makeRow(12, {}, 1);
  RowParts parts = row.parts();
  parts.hasVariableSection = false;
  for (const Layout* layout : {&kLayoutJet3, &kLayoutJet4}) {
    const Layout& format = *layout;
    const auto packed = pack(format, parts);
    EXPECT_EQ(packed.size(), (format.rowHasJumpTable ? 1u : 2u) + 12 + 1);
    expectSameParts(unpack(format, packed, false), parts);
  }
}

TEST(RowPack, PartsThatCannotFormARowAreRefused) {
  OwnedRow row = makeRow(4, {3}, 2);
  RowParts wrongMask = row.parts();
  wrongMask.columnCount = 17;  // needs 3 mask bytes
  RowParts tooManyColumns = row.parts();
  tooManyColumns.columnCount = 300;
  std::vector<std::byte> mask(nullMaskSize(300));
  tooManyColumns.nullMask = mask;
  RowParts slicesWithoutSection = row.parts();
  slicesWithoutSection.hasVariableSection = false;

  struct Case {
    const char* what;
    const Layout& format;
    RowParts parts;
  } cases[] = {
      {"mask size", kLayoutJet4, wrongMask},
      {"Jet 3 column count", kLayoutJet3, tooManyColumns},
      {"slices without a variable section", kLayoutJet4, slicesWithoutSection},
  };
  for (const auto& c : cases) {
    std::vector<std::byte> out(3, std::byte{9});
    Status status = appendPackedRow(c.format, c.parts, out);
    EXPECT_EQ(status.number(), kErrInvalidArgument) << c.what;
    EXPECT_EQ(out.size(), 3u) << c.what << ": output must be left as it was";
  }
}

TEST(RowPack, DamagedRowsAreCorruptNotCrashes) {
  const auto j4 = hex(kJet4LinkRow);
  auto outOfOrder = j4;
  outOfOrder[j4.size() - 3 - 4] = std::byte{0x70};  // off[0] = 0x70 > off[1]
  auto hugeCount = j4;
  hugeCount[j4.size() - 3 - 2] = std::byte{0xFF};  // n = 255 slots in a 123-byte row
  auto eodPastTrailer = j4;
  eodPastTrailer[0x5E] = std::byte{0x7F};  // eod = 0x7F, inside the trailer
  const auto j3 = hex(kJet3CatalogueRow);
  auto j3CountTooBig = j3;
  j3CountTooBig[0] = std::byte{0xFF};  // 32-byte mask eats the row

  struct Case {
    const char* what;
    const Layout& format;
    std::vector<std::byte> row;
  } cases[] = {
      {"empty", kLayoutJet4, {}},
      {"one byte", kLayoutJet4, {std::byte{1}}},
      {"offsets out of order", kLayoutJet4, outOfOrder},
      {"slot count larger than the row", kLayoutJet4, hugeCount},
      {"eod past the trailer", kLayoutJet4, eodPastTrailer},
      {"Jet 3 empty", kLayoutJet3, {}},
      {"Jet 3 mask larger than the row", kLayoutJet3, j3CountTooBig},
  };
  for (const auto& c : cases) {
    auto parts = unpackRow(c.format, c.row, true, "t.mdb", 7);
    ASSERT_FALSE(parts.ok()) << c.what;
    EXPECT_EQ(parts.status().number(), kErrCannotOpen) << c.what;
    EXPECT_NE(parts.status().description().find("page 7"), std::string::npos) << c.what;
  }
}

}  // namespace
}  // namespace povezava::engine::jet
