// The rollback journal's file format: its layout, its limits and its
// checksum. The writer (write/journal_writer.h) makes journals, the reader
// (read/journal_reader.h) decides what one found beside a database is, and
// the replay (write/journal_replay.h) puts its old pages back.
//
// "<database>.povezava-journal" lies beside the database's real file
// (symbolic links resolved) while its pages are rewritten in place.
//
// Format 3 (written; format 2, the same without the context pages, the
// header checksum and the state, header 64 bytes, is still read):
//
//   OFFSET      SIZE       MEANING
//   0           16         "povezava-journal" (magic)
//   16          4          format version (3)
//   20          4          page size
//   24          8          size of the database before the change
//   32          8          size of the database after the change
//   40          8          device of the database
//   48          8          inode of the database
//   56          4          number of pages k
//   60          4          number of context pages c
//   64          8          checksum of bytes 0..63
//   72          8          state: 0 pending, "COMMITD\0" committed
//   80          c entries  page number (4), zero (4), checksum of the page as
//                          the change read it (8)
//   ...         k entries  page number (4), 1 when the change adds the page
//                          else 0 (4), a checksum per 512-byte sector of the
//                          new image (page size / 512 x 8), the old image
//                          (page size; zeros for an added page)
//   end - 8     8          checksum of everything before it, the state
//                          counted as zero
//
// Checksums are 64-bit FNV-1a. Page images are stored as the disk holds them
// (still encoded in an encoded Jet 3/4 file).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/io.h"

namespace povezava::engine::jet {

// The byte locked by writers (1 TiB + "POV"): past the largest Jet file and
// Jet's 0x10000000.. user and page locks, so no reader is ever blocked.
inline constexpr std::uint64_t kWriteLockOffset = 0x100'0050'4F56ULL;

// A journal holds at most this many pages (4 MiB); one claiming more is not
// ours. A relink changes a handful, a batch of relinks of one file a few dozen.
inline constexpr std::uint32_t kMaxJournalPages = 1024;

// It names at most this many pages the change only read.
inline constexpr std::uint32_t kMaxContextPages = 4096;

// The unit a disk writes whole, as far as recovery relies on it.
inline constexpr std::size_t kJournalSector = 512;

namespace journal_layout {

inline constexpr std::string_view kMagic = "povezava-journal";
// Format 2 (the previous version's) is still read and recovered; 3 is written.
inline constexpr std::uint32_t kFormat2 = 2;
inline constexpr std::uint32_t kFormat3 = 3;
inline constexpr std::size_t kOffsetJournalVersion = 16;
inline constexpr std::size_t kOffsetPageSize = 20;
inline constexpr std::size_t kOffsetOldSize = 24;
inline constexpr std::size_t kOffsetNewSize = 32;
// Written, never compared: a file system mounted again may get another number.
inline constexpr std::size_t kOffsetDevice = 40;
inline constexpr std::size_t kOffsetInode = 48;
inline constexpr std::size_t kOffsetPageCount = 56;
inline constexpr std::size_t kOffsetContextCount = 60;    // format 3
inline constexpr std::size_t kOffsetHeaderChecksum = 64;  // format 3: of bytes 0..63
inline constexpr std::size_t kOffsetState = 72;           // format 3: kPending or kCommitted
inline constexpr std::size_t kHeaderSize2 = 64;
inline constexpr std::size_t kHeaderSize3 = 80;
inline constexpr std::size_t kChecksumSize = 8;
inline constexpr std::size_t kEntryHeader = 8;    // page number, added flag
inline constexpr std::size_t kContextEntry = 16;  // page number, zero, checksum
inline constexpr std::uint64_t kPending = 0;
inline constexpr std::uint64_t kCommitted = 0x4454494D4D4F43ULL;  // "COMMITD" and a zero, little-endian

inline constexpr bool validPageSize(std::uint32_t size) { return size == 2048 || size == 4096; }

inline constexpr std::size_t sectorsOf(std::uint32_t pageSize) { return pageSize / kJournalSector; }

// The bytes of one page's entry.
inline constexpr std::size_t entrySize(std::uint32_t pageSize) {
  return kEntryHeader + sectorsOf(pageSize) * 8 + pageSize;
}

// The largest journal there can be: anything longer is not one.
inline constexpr std::uint64_t kMaxJournalSize = kHeaderSize3 + kChecksumSize +
                                                 std::uint64_t{kMaxContextPages} * kContextEntry +
                                                 std::uint64_t{kMaxJournalPages} * (kEntryHeader + 8 * 8 + 4096);

// The checksum of a format-3 journal's body: every byte before the last
// eight, its state counted as zero (the commit mark is written later, in
// place).
std::uint64_t bodyChecksum3(std::span<const std::byte> body);

}  // namespace journal_layout

struct PageImage {
  std::uint32_t page = 0;
  std::vector<std::byte> bytes;
};

// A page's checksum (journalChecksum) as the disk held it.
struct PageSum {
  std::uint32_t page = 0;
  std::uint64_t checksum = 0;
};

// "<database>.povezava-journal"
std::string journalPath(const std::string& databasePath);
// Whether `path` is a journal's name: "<something>.povezava-journal".
bool isJournalPath(std::string_view path);

// The folder that holds `path` ("" for the current folder).
std::string folderOf(const std::string& path);

// The 64-bit checksum the journal uses (FNV-1a), continued from `hash`.
std::uint64_t journalChecksum(std::span<const std::byte> bytes, std::uint64_t hash = 0xcbf29ce484222325ULL);

// The page size the database's header names; 0 when it names none.
std::uint32_t databasePageSize(File& database);

}  // namespace povezava::engine::jet
