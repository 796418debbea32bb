#include "engine/jet/format/header.h"

#include <gtest/gtest.h>

#include "base/errors.h"
#include "engine/jet/format/rc4.h"
#include "engine/jet/jet_test_util.h"

namespace povezava::engine::jet {
namespace {

using testing::fixtureBytes;
using testing::openJetFile;
using testing::putU32;
using testing::putU8;

Result<HeaderInfo> parse(const std::vector<std::byte>& bytes) {
  const std::size_t probe = std::min<std::size_t>(bytes.size(), kLayoutJet3.pageSize);
  return parseHeader(std::span(bytes).first(probe), bytes.size(), "x.mdb");
}

// XORs a page-0 byte inside the masked block: flips the same bits of the unmasked value.
void flipMasked(std::vector<std::byte>& bytes, std::size_t offset, std::uint8_t bits) {
  bytes.at(offset) ^= static_cast<std::byte>(bits);
}

TEST(Header, TheMaskIsTheFixedKeysRc4StreamAtEveryLength) {
  for (const std::size_t length : {0U, 1U, 126U, 128U, 200U}) {
    std::vector<std::byte> masked(length), expected(length);
    for (std::size_t i = 0; i < length; ++i) masked[i] = expected[i] = static_cast<std::byte>(i * 7);
    applyHeaderMask(masked);
    rc4Apply(std::as_bytes(std::span(kHeaderMaskKey)), expected);
    EXPECT_EQ(masked, expected) << length << " bytes";
  }
}

TEST(Header, DetectsEveryFixtureVersion) {
  POVEZAVA_REQUIRE_FIXTURES();
  struct Case {
    const char* file;
    Version version;
    std::uint16_t codePage;
    bool encoded;
  } cases[] = {{"access-made/V1997/testV1997.mdb", Version::jet3, 1252, false},
               {"jet4-v2000/TQ.mdb", Version::jet4, 1252, false},
               {"jet4-v2003/TQ.mdb", Version::jet4, 1252, false},
               {"access-made/V2007/linkerTestV2007.accdb", Version::ace12, 1252, false},
               {"ace-v2010/TQ.accdb", Version::ace14, 1252, false},
               {"encrypted/db97-enc.mdb", Version::jet3, 1252, true},
               {"encrypted/db-enc.mdb", Version::jet4, 1252, true}};
  for (const Case& c : cases) {
    auto info = parse(fixtureBytes(c.file));
    ASSERT_TRUE(info.ok()) << c.file << ": " << info.status().toString();
    EXPECT_EQ(info->layout->version, c.version) << c.file;
    EXPECT_EQ(info->databaseKey != 0, c.encoded) << c.file;
    EXPECT_EQ(info->codePage, c.codePage) << c.file;
  }
}

TEST(Header, ForeignOrShortInputIsNotADatabase) {
  POVEZAVA_REQUIRE_FIXTURES();
  const auto good = fixtureBytes("jet4-v2000/TQ.mdb");
  struct Case {
    const char* name;
    std::vector<std::byte> bytes;
    const char* reason;
  };
  auto msisam = good;
  const std::string_view money = "MSISAM Database";
  for (std::size_t i = 0; i < money.size(); ++i) putU8(msisam, kOffsetEngineName + i, static_cast<std::uint8_t>(money[i]));
  auto badMagic = good;
  putU8(badMagic, 1, 0x02);
  auto badName = good;
  putU8(badName, kOffsetEngineName + 9, 'X');  // "Standard XCE DB"
  auto unknownVersion = good;
  putU8(unknownVersion, kOffsetVersion, 0x09);
  const std::vector<std::byte> text(8192, std::byte{'a'});
  const Case cases[] = {
      {"empty", {}, "the file is empty"},
      {"one byte", {std::byte{0}}, "not a Jet or ACE database"},
      {"text", text, "not a Jet or ACE database"},
      {"header only", std::vector<std::byte>(good.begin(), good.begin() + 0x20), "less than three pages"},
      {"two pages", std::vector<std::byte>(good.begin(), good.begin() + 8192), "less than three pages"},
      {"msisam", msisam, "MSISAM"},
      {"bad magic", badMagic, "not a Jet or ACE database"},
      {"bad engine name", badName, "not a Jet or ACE database"},
      {"unknown version", unknownVersion, "unknown version 9"},
  };
  for (const Case& c : cases) {
    auto info = parse(c.bytes);
    ASSERT_FALSE(info.ok()) << c.name;
    EXPECT_EQ(info.status().number(), kErrUnrecognizedFormat) << c.name;
    EXPECT_NE(info.status().description().find(c.reason), std::string::npos)
        << c.name << ": " << info.status().description();
    EXPECT_NE(info.status().description().find("x.mdb"), std::string::npos) << c.name;
  }
}

TEST(Header, DatabasePasswordIsRefused) {
  POVEZAVA_REQUIRE_FIXTURES();
  for (const char* file : {"access-made/V1997/testV1997.mdb", "jet4-v2003/TQ.mdb",
                           "encrypted/db-enc.mdb", "access-made/V2007/linkerTestV2007.accdb"}) {
    auto bytes = fixtureBytes(file);
    flipMasked(bytes, kOffsetPassword + 1, 0x41);  // one password byte set
    auto info = parse(bytes);
    ASSERT_FALSE(info.ok()) << file;
    EXPECT_EQ(info.status().number(), kErrNotValidPassword) << file;
  }
}

TEST(Header, AceKeyOrEncryptionInfoMeansOfficeEncryption) {
  POVEZAVA_REQUIRE_FIXTURES();
  auto keyed = fixtureBytes("ace-v2010/TQ.accdb");
  flipMasked(keyed, kOffsetDatabaseKey, 0x01);
  EXPECT_EQ(parse(keyed).status().number(), kErrNotValidPassword);
  auto described = fixtureBytes("ace-v2010/TQ.accdb");
  putU8(described, kOffsetAceEncryptionInfo, 190);
  EXPECT_EQ(parse(described).status().number(), kErrNotValidPassword);
  // The same key on a Jet 4 file only means "encoded": accepted.
  auto jet4 = fixtureBytes("jet4-v2000/TQ.mdb");
  flipMasked(jet4, kOffsetDatabaseKey, 0x01);
  ASSERT_TRUE(parse(jet4).ok());
  EXPECT_EQ(parse(jet4)->databaseKey, 1u);
}

TEST(Header, CreationDateThatIsNotANumberDoesNotBreakThePasswordCheck) {
  POVEZAVA_REQUIRE_FIXTURES();
  auto bytes = fixtureBytes("jet4-v2000/TQ.mdb");
  for (std::size_t i = 0; i < 8; ++i) flipMasked(bytes, kOffsetCreationDate + i, 0xFF);
  auto info = parse(bytes);  // the mask no longer matches: reads as a password
  ASSERT_FALSE(info.ok());
  EXPECT_EQ(info.status().number(), kErrNotValidPassword);
}

TEST(Header, EncodedFileWithAWrongKeyIsCorrupt) {
  POVEZAVA_REQUIRE_FIXTURES();
  for (const char* file : {"encrypted/db97-enc.mdb", "encrypted/db-enc.mdb"}) {
    auto bytes = fixtureBytes(file);
    flipMasked(bytes, kOffsetDatabaseKey + 2, 0x10);
    auto jet = openJetFile(bytes);
    ASSERT_FALSE(jet.ok()) << file;
    EXPECT_EQ(jet.status().number(), kErrCannotOpen) << file;
    EXPECT_NE(jet.status().description().find("page 1: the global usage map page"), std::string::npos)
        << jet.status().description();
  }
}

TEST(Header, EncodedPagesDecodeToTheirPlainForm) {
  POVEZAVA_REQUIRE_FIXTURES();
  auto jet = openJetFile(fixtureBytes("encrypted/db-enc.mdb"));
  ASSERT_TRUE(jet.ok()) << jet.status().toString();
  auto page = (*jet)->page(kCatalogTdefPage);
  ASSERT_TRUE(page.ok());
  EXPECT_EQ(page->view().u8(kOffsetPageType), kPageTypeTdef);
  EXPECT_EQ(page->view().u8(kOffsetPageMarker), kPageMarker);
}

}  // namespace
}  // namespace povezava::engine::jet
