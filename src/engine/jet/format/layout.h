// The Jet / ACE file format facts the engine relies on.
//
// Reader, writer and builder share these constants; no offset or mask of the
// format is written anywhere else. A structure with a type of its own that
// decodes and encodes it keeps its layout beside that type (the long-value
// header, the usage maps). Names are the ones the format's structures are
// commonly known by (page, tdef, usage map, LVAL, ...). All integers in the
// file are little-endian.
// "Jet 3" is Access 97 (2 KB pages, single-byte text); "Jet 4" covers Access
// 2000-2003 and every ACE version, which share its layout.
//
// A row pointer is 4 bytes: byte 0 the row number on the page, bytes 1-3 the
// page number; read as one u32 it is `page << 8 | row`.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace povezava::engine::jet {

// ---------------------------------------------------------------------------
// Page types: byte 0 of every page; byte 1 is kPageMarker on all of them.

inline constexpr std::uint8_t kPageTypeHeader = 0x00;     // page 0 only
inline constexpr std::uint8_t kPageTypeData = 0x01;       // table rows, usage maps, long values
inline constexpr std::uint8_t kPageTypeTdef = 0x02;       // table definition and continuations
inline constexpr std::uint8_t kPageTypeIndexNode = 0x03;
inline constexpr std::uint8_t kPageTypeIndexLeaf = 0x04;
inline constexpr std::uint8_t kPageTypeUsageMap = 0x05;   // bitmap page of a reference map
inline constexpr std::uint8_t kPageMarker = 0x01;

inline constexpr std::size_t kOffsetPageType = 0x00;
inline constexpr std::size_t kOffsetPageMarker = 0x01;

// Pages with fixed roles.
inline constexpr std::uint32_t kHeaderPage = 0;
inline constexpr std::uint32_t kGlobalUsageMapPage = 1;   // its row 0 is the global map
inline constexpr std::uint32_t kCatalogTdefPage = 2;      // MSysObjects' definition

// A file must hold at least this many whole pages (header, global map, catalogue).
inline constexpr std::uint32_t kMinimumPageCount = 3;

// ---------------------------------------------------------------------------
// Database header, page 0.
//
//   OFFSET  SIZE        MEANING
//   00      4           00 01 00 00
//   04      16          engine name, NUL-terminated
//   14      1           version byte (Version below)
//   18      126/128     block masked with the RC4 stream of kHeaderMaskKey:
//     3A    2             Jet 3 sort order (LCID)
//     3C    2             code page of Jet 3 text
//     3E    4             database key: 0 = pages not encoded
//     42    20/40         database password (Jet 4: additionally masked, see below)
//     6E    2             Jet 4 sort order (LCID); byte 71 the sort version
//     72    8             Jet 4: creation date (double), masks the password
//   299     2+2+2       ACE only: Office encryption info length, major, minor version

inline constexpr std::array<std::uint8_t, 4> kHeaderMagic = {0x00, 0x01, 0x00, 0x00};
inline constexpr std::size_t kOffsetEngineName = 0x04;
inline constexpr std::size_t kEngineNameLength = 16;
inline constexpr std::string_view kEngineNameJet = "Standard Jet DB";
inline constexpr std::string_view kEngineNameAce = "Standard ACE DB";
inline constexpr std::string_view kEngineNameMsisam = "MSISAM Database";  // Microsoft Money
inline constexpr std::size_t kOffsetVersion = 0x14;
inline constexpr std::size_t kOffsetMaskedBlock = 0x18;
inline constexpr std::array<std::uint8_t, 4> kHeaderMaskKey = {0xC7, 0xDA, 0x39, 0x6B};
inline constexpr std::size_t kOffsetSortOrderJet3 = 0x3A;
inline constexpr std::size_t kOffsetCodePage = 0x3C;
inline constexpr std::size_t kOffsetDatabaseKey = 0x3E;
inline constexpr std::size_t kOffsetPassword = 0x42;
inline constexpr std::size_t kOffsetSortOrderJet4 = 0x6E;
inline constexpr std::size_t kOffsetCreationDate = 0x72;
// The LCID of the General sort order (page 0 and text column descriptors).
inline constexpr std::uint16_t kSortOrderGeneral = 0x0409;
inline constexpr std::size_t kOffsetAceEncryptionInfo = 0x299;

// The header bytes the reader needs before it knows the page size; the
// smaller (Jet 3) page holds them all.
inline constexpr std::size_t kHeaderProbeLength = 0x299 + 6;

enum class Version : std::uint8_t {
  jet3 = 0x00,   // Access 97
  jet4 = 0x01,   // Access 2000-2003
  ace12 = 0x02,  // Access 2007
  ace14 = 0x03,  // Access 2010
  ace15 = 0x04,  // named by mdbtools only; never seen
  ace16 = 0x05,  // Access 2016
  ace17 = 0x06,  // Access 2019
};

// ---------------------------------------------------------------------------
// One layout per version: sizes and the offsets that differ between Jet 3 and
// Jet 4. Version detection picks the layout once; code branches on its data.

struct Layout {
  Version version;
  std::uint32_t pageSize;
  bool utf16Text;                    // Jet 4/ACE: UTF-16LE (maybe compressed); Jet 3: code page
  std::size_t maskedBlockLength;     // page-0 bytes under the fixed RC4 mask
  std::size_t passwordLength;        // bytes at kOffsetPassword

  // Data pages (type 0x01):
  //   OFFSET  SIZE  MEANING
  //   00      1     0x01
  //   01      1     0x01
  //   02      2     free space
  //   04      4     owner: tdef page, or "LVAL" on long-value pages
  //   08      4     Jet 4 only: unknown, copied as is
  //   08/0C   2     row count n
  //   0A/0E   2n    row offset words
  std::size_t dataOffsetRowCount;
  std::size_t dataHeaderLength;      // where the row offset table starts

  // Table definition (type 0x02), offsets into the logical buffer of all its pages.
  std::size_t tdefOffsetRowCount;
  std::size_t tdefOffsetTableType;
  std::size_t tdefOffsetMaxColumns;
  std::size_t tdefOffsetVariableColumns;
  std::size_t tdefOffsetColumnCount;
  std::size_t tdefOffsetLogicalIndexCount;
  std::size_t tdefOffsetPhysicalIndexCount;
  std::size_t tdefOffsetOwnedMap;
  std::size_t tdefOffsetFreeMap;
  std::size_t tdefHeaderLength;      // where the physical-index row counts start
  std::size_t physicalIndexCountSize;
  std::size_t columnDescriptorSize;
  std::size_t nameLengthSize;        // length prefix of column and index names
  std::size_t physicalIndexSize;
  std::size_t logicalIndexSize;

  // Column descriptor.
  std::size_t columnOffsetType;
  std::size_t columnOffsetNumber;
  std::size_t columnOffsetVariableIndex;
  std::size_t columnOffsetFlags;
  std::optional<std::size_t> columnOffsetExtendedFlags;  // Jet 4 only
  std::size_t columnOffsetFixedOffset;
  std::size_t columnOffsetLength;

  // Rows.
  std::size_t rowColumnCountSize;    // column count at the row's start, and n in the trailer
  std::size_t rowVariableOffsetSize; // one entry of the variable offset table
  bool rowHasJumpTable;              // Jet 3: 1-byte offsets plus a jump table

  // Long values: at most this many bytes are stored inside the row.
  std::size_t longValueInlineLimit;
};

inline constexpr Layout kLayoutJet3{
    .version = Version::jet3,
    .pageSize = 2048,
    .utf16Text = false,
    .maskedBlockLength = 126,
    .passwordLength = 20,
    .dataOffsetRowCount = 0x08,
    .dataHeaderLength = 0x0A,
    .tdefOffsetRowCount = 0x0C,
    .tdefOffsetTableType = 0x14,
    .tdefOffsetMaxColumns = 0x15,
    .tdefOffsetVariableColumns = 0x17,
    .tdefOffsetColumnCount = 0x19,
    .tdefOffsetLogicalIndexCount = 0x1B,
    .tdefOffsetPhysicalIndexCount = 0x1F,
    .tdefOffsetOwnedMap = 0x23,
    .tdefOffsetFreeMap = 0x27,
    .tdefHeaderLength = 0x2B,
    .physicalIndexCountSize = 8,
    .columnDescriptorSize = 18,
    .nameLengthSize = 1,
    .physicalIndexSize = 39,
    .logicalIndexSize = 20,
    .columnOffsetType = 0x00,
    .columnOffsetNumber = 0x01,
    .columnOffsetVariableIndex = 0x03,
    .columnOffsetFlags = 0x0D,
    .columnOffsetExtendedFlags = std::nullopt,
    .columnOffsetFixedOffset = 0x0E,
    .columnOffsetLength = 0x10,
    .rowColumnCountSize = 1,
    .rowVariableOffsetSize = 1,
    .rowHasJumpTable = true,
    .longValueInlineLimit = 32,
};

// Jet 4 and every ACE version differ only in the version byte.
constexpr Layout jet4Layout(Version version) {
  return Layout{
      .version = version,
      .pageSize = 4096,
      .utf16Text = true,
      .maskedBlockLength = 128,
      .passwordLength = 40,
      .dataOffsetRowCount = 0x0C,
      .dataHeaderLength = 0x0E,
      .tdefOffsetRowCount = 0x10,
      .tdefOffsetTableType = 0x28,
      .tdefOffsetMaxColumns = 0x29,
      .tdefOffsetVariableColumns = 0x2B,
      .tdefOffsetColumnCount = 0x2D,
      .tdefOffsetLogicalIndexCount = 0x2F,
      .tdefOffsetPhysicalIndexCount = 0x33,
      .tdefOffsetOwnedMap = 0x37,
      .tdefOffsetFreeMap = 0x3B,
      .tdefHeaderLength = 0x3F,
      .physicalIndexCountSize = 12,
      .columnDescriptorSize = 25,
      .nameLengthSize = 2,
      .physicalIndexSize = 52,
      .logicalIndexSize = 28,
      .columnOffsetType = 0x00,
      .columnOffsetNumber = 0x05,
      .columnOffsetVariableIndex = 0x07,
      .columnOffsetFlags = 0x0F,
      .columnOffsetExtendedFlags = 0x10,
      .columnOffsetFixedOffset = 0x15,
      .columnOffsetLength = 0x17,
      .rowColumnCountSize = 2,
      .rowVariableOffsetSize = 2,
      .rowHasJumpTable = false,
      .longValueInlineLimit = 64,
  };
}

inline constexpr Layout kLayoutJet4 = jet4Layout(Version::jet4);
inline constexpr Layout kLayoutAce12 = jet4Layout(Version::ace12);
inline constexpr Layout kLayoutAce14 = jet4Layout(Version::ace14);
inline constexpr Layout kLayoutAce15 = jet4Layout(Version::ace15);
inline constexpr Layout kLayoutAce16 = jet4Layout(Version::ace16);
inline constexpr Layout kLayoutAce17 = jet4Layout(Version::ace17);

// The layout for a header's version byte; nullptr for an unknown version.
constexpr const Layout* layoutForVersion(std::uint8_t versionByte) {
  switch (versionByte) {
    case 0x00: return &kLayoutJet3;
    case 0x01: return &kLayoutJet4;
    case 0x02: return &kLayoutAce12;
    case 0x03: return &kLayoutAce14;
    case 0x04: return &kLayoutAce15;
    case 0x05: return &kLayoutAce16;
    case 0x06: return &kLayoutAce17;
    default: return nullptr;
  }
}

constexpr bool isAce(Version v) { return static_cast<std::uint8_t>(v) >= 0x02; }

// ---------------------------------------------------------------------------
// Page-level fields shared by data and tdef pages.

inline constexpr std::size_t kOffsetFreeSpace = 0x02;      // data pages; Jet 4 tdef pages too
inline constexpr std::size_t kOffsetOwner = 0x04;          // data pages: owning tdef page
inline constexpr std::size_t kOffsetNextTdefPage = 0x04;   // tdef pages: continuation, 0 = none
inline constexpr std::size_t kOffsetTdefLength = 0x08;     // first tdef page: logical length
inline constexpr std::size_t kTdefContinuationHeader = 8;  // bytes skipped on continuation pages
inline constexpr std::uint32_t kOwnerLval = 0x4C41564C;    // "LVAL" read as u32
inline constexpr std::uint16_t kTdefJet3Signature = 0x4356; // "VC" at offset 2 of Jet 3 tdefs
// Jet 4: a constant Access writes at tdef 0x0C and column descriptor 0x01;
// readers ignore it.
inline constexpr std::uint32_t kJet4TableMagic = 0x0659;
inline constexpr std::size_t kOffsetTdefMagicJet4 = 0x0C;

// The long-value column maps ending a tdef: entries of u16 column number,
// u32 owned map, u32 free map, then column number 0xFFFF.
inline constexpr std::size_t kColumnMapEntrySize = 10;
inline constexpr std::uint16_t kEndOfColumnMaps = 0xFFFF;

// Table types (tdef).
inline constexpr std::uint8_t kTableTypeUser = 0x4E;    // 'N'
inline constexpr std::uint8_t kTableTypeSystem = 0x53;  // 'S'

// ---------------------------------------------------------------------------
// Row offset words.
//
//   BITS   MASK    MEANING
//   0-12   1FFF    row start within the page
//   14     4000    overflow: the slot holds a row pointer to the real row
//   15     8000    deleted (also set on the target of an overflow pointer)

inline constexpr std::uint16_t kRowOffsetMask = 0x1FFF;
inline constexpr std::uint16_t kRowFlagOverflow = 0x4000;
inline constexpr std::uint16_t kRowFlagDeleted = 0x8000;
inline constexpr std::uint16_t kRowFlagDeletedSlot = 0xC000;  // how Access marks a deleted row

constexpr std::uint16_t rowStart(std::uint16_t word) { return word & kRowOffsetMask; }
constexpr bool isDeletedRow(std::uint16_t word) { return (word & kRowFlagDeleted) != 0; }
constexpr bool isOverflowRow(std::uint16_t word) {
  return !isDeletedRow(word) && (word & kRowFlagOverflow) != 0;
}

// A row pointer: row number in the low byte, page in the upper 24 bits.
inline constexpr std::size_t kRowPointerSize = 4;
constexpr std::uint32_t rowPointerPage(std::uint32_t pointer) { return pointer >> 8; }
constexpr std::uint8_t rowPointerRow(std::uint32_t pointer) {
  return static_cast<std::uint8_t>(pointer & 0xFF);
}
constexpr std::uint32_t makeRowPointer(std::uint32_t page, std::uint8_t row) {
  return (page << 8) | row;
}

// More rows than this on one page cannot be addressed by a row pointer.
inline constexpr std::size_t kMaxRowsPerPage = 256;

// ---------------------------------------------------------------------------
// Usage maps: their layouts, with the type that reads and edits them, are in
// format/usage_map.h.

// ---------------------------------------------------------------------------
// Columns.

enum class ColumnType : std::uint8_t {
  boolean = 0x01,
  byte = 0x02,
  integer = 0x03,
  longInteger = 0x04,
  money = 0x05,
  single = 0x06,
  doubleFloat = 0x07,
  dateTime = 0x08,
  binary = 0x09,
  text = 0x0A,
  ole = 0x0B,
  memo = 0x0C,
  guid = 0x0F,
  numeric = 0x10,
  complex = 0x12,
  bigInteger = 0x13,
  extendedDateTime = 0x14,
};

inline constexpr std::uint8_t kColumnFlagFixed = 0x01;        // value lives in the fixed area
inline constexpr std::uint8_t kColumnFlagNullable = 0x02;
inline constexpr std::uint8_t kColumnFlagAutonumber = 0x04;
inline constexpr std::uint8_t kColumnExtFlagCompressed = 0x01;  // text may use compression

// Column descriptor fields outside Layout: text sort order (LCID), the Jet 3
// code page of text columns, the Jet 4 magic (kJet4TableMagic) and a Jet 3
// field that is always 01 00.
inline constexpr std::size_t kColumnOffsetSortOrderJet3 = 0x09;
inline constexpr std::size_t kColumnOffsetCodePageJet3 = 0x0B;
inline constexpr std::size_t kColumnOffsetSortOrderJet4 = 0x0B;
inline constexpr std::size_t kColumnOffsetMagicJet4 = 0x01;
inline constexpr std::size_t kColumnOffsetConstantJet3 = 0x07;
inline constexpr std::uint16_t kColumnConstantJet3 = 0x0001;

// Long values (MEMO, OLE): the 12-byte header in the row and its kinds are
// in format/long_value.h, with the code that reads, places and deletes them.

// Jet 4 text compression: values starting with these bytes hold one byte per
// character; a 0x00 byte toggles between one and two bytes per character.
inline constexpr std::array<std::uint8_t, 2> kCompressedTextMarker = {0xFF, 0xFE};

// ---------------------------------------------------------------------------
// The catalogue, MSysObjects: its tdef is page 2. Columns are found by name
// in that tdef; the numbers are what every known file uses.

inline constexpr std::u16string_view kCatalogColumnId = u"Id";
inline constexpr std::u16string_view kCatalogColumnParentId = u"ParentId";
inline constexpr std::u16string_view kCatalogColumnName = u"Name";
inline constexpr std::u16string_view kCatalogColumnType = u"Type";
inline constexpr std::u16string_view kCatalogColumnFlags = u"Flags";
inline constexpr std::u16string_view kCatalogColumnDatabase = u"Database";
inline constexpr std::u16string_view kCatalogColumnConnect = u"Connect";
inline constexpr std::u16string_view kCatalogColumnForeignName = u"ForeignName";

inline constexpr std::uint16_t kCatalogColumnNumberId = 0;
inline constexpr std::uint16_t kCatalogColumnNumberParentId = 1;
inline constexpr std::uint16_t kCatalogColumnNumberName = 2;
inline constexpr std::uint16_t kCatalogColumnNumberType = 3;
inline constexpr std::uint16_t kCatalogColumnNumberFlags = 7;
inline constexpr std::uint16_t kCatalogColumnNumberDatabase = 8;
inline constexpr std::uint16_t kCatalogColumnNumberConnect = 9;
inline constexpr std::uint16_t kCatalogColumnNumberForeignName = 10;
inline constexpr std::uint16_t kCatalogColumnCount = 17;

// Object types (the Type column).
inline constexpr std::int16_t kObjectTypeLocalTable = 1;
inline constexpr std::int16_t kObjectTypeDatabaseProperties = 2;
inline constexpr std::int16_t kObjectTypeContainer = 3;
inline constexpr std::int16_t kObjectTypeOdbcTable = 4;
inline constexpr std::int16_t kObjectTypeQuery = 5;
inline constexpr std::int16_t kObjectTypeLinkedTable = 6;
inline constexpr std::int16_t kObjectTypeRelationship = 8;

// The container whose children are the tables (and queries).
inline constexpr std::u16string_view kTablesContainerName = u"Tables";
inline constexpr std::uint32_t kContainersParentId = 0x0F000000;
inline constexpr std::uint32_t kTablesContainerId = 0x0F000001;  // in every known file
inline constexpr std::uint32_t kDatabasesContainerId = 0x0F000002;
inline constexpr std::uint32_t kRelationshipsContainerId = 0x0F000003;
inline constexpr std::uint32_t kDatabasePropertiesId = 0x10000000;  // MSysDb

// Flags column.
inline constexpr std::uint32_t kObjectFlagsSystem = 0x80000002;
inline constexpr std::uint32_t kObjectFlagHidden = 0x00000008;
inline constexpr std::uint32_t kObjectFlagsJetLink = 0x00200000;   // as Access sets it
inline constexpr std::uint32_t kObjectFlagsOdbcLink = 0x20100000;  // as Access sets it
inline constexpr std::u16string_view kSystemTablePrefix = u"MSys";

}  // namespace povezava::engine::jet
