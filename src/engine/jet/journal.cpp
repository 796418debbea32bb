#include "engine/jet/journal.h"

#include <array>
#include <cstring>
#include <filesystem>

#include "engine/errors.h"
#include "engine/jet/page_view.h"

namespace povezava::engine::jet {
namespace {

constexpr std::string_view kMagic = "povezava-journal";
constexpr std::uint32_t kFormatVersion = 1;
constexpr std::size_t kOffsetVersion = 16;
constexpr std::size_t kOffsetPageSize = 20;
constexpr std::size_t kOffsetDatabaseSize = 24;
constexpr std::size_t kOffsetPageZeroSum = 32;
constexpr std::size_t kOffsetPageCount = 40;
constexpr std::size_t kHeaderSize = 48;
constexpr std::size_t kChecksumSize = 8;

std::uint64_t fnv1a(std::span<const std::byte> bytes, std::uint64_t hash = 0xcbf29ce484222325ULL) {
  for (std::byte b : bytes) {
    hash ^= std::to_integer<std::uint64_t>(b);
    hash *= 0x100000001b3ULL;
  }
  return hash;
}

void putLittle(std::vector<std::byte>& out, std::uint64_t value, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) {
    out.push_back(static_cast<std::byte>((value >> (8 * i)) & 0xFF));
  }
}

bool validPageSize(std::uint32_t size) { return size == 2048 || size == 4096; }

Result<std::uint64_t> pageZeroSum(File& database, std::uint32_t pageSize) {
  std::vector<std::byte> page(pageSize);
  if (Status s = database.readAt(0, page); !s.ok()) return s;
  return fnv1a(page);
}

}  // namespace

std::uint64_t journalChecksum(std::span<const std::byte> bytes) { return fnv1a(bytes); }

std::string journalPath(const std::string& databasePath) {
  return databasePath + ".povezava-journal";
}

std::string folderOf(const std::string& path) {
  return std::filesystem::path(path).parent_path().string();
}

Result<std::vector<std::byte>> encodeJournal(File& database, std::uint32_t pageSize,
                                             std::span<const PageImage> oldPages) {
  if (oldPages.size() > kMaxJournalPages) {
    return errors::recordTooLarge(database.path(), "too many pages would change at once");
  }
  auto size = database.size();
  if (!size.ok()) return size.status();
  auto zeroSum = pageZeroSum(database, pageSize);
  if (!zeroSum.ok()) return zeroSum.status();

  std::vector<std::byte> out(kMagic.size());
  std::memcpy(out.data(), kMagic.data(), kMagic.size());
  putLittle(out, kFormatVersion, 4);
  putLittle(out, pageSize, 4);
  putLittle(out, *size, 8);
  putLittle(out, *zeroSum, 8);
  putLittle(out, oldPages.size(), 4);
  putLittle(out, 0, 4);
  for (const PageImage& image : oldPages) {
    putLittle(out, image.page, 4);
    out.insert(out.end(), image.bytes.begin(), image.bytes.end());
  }
  putLittle(out, fnv1a(out), 8);
  return out;
}

Result<std::unique_ptr<File>> createJournalFile(FileSystem& fs, const std::string& databasePath) {
  const std::string path = journalPath(databasePath);
  auto file = fs.open(path, OpenMode::createNew);
  if (file.ok() || file.status().number() == kErrFileInUse) return file;
  auto exists = fs.info(path);
  if (exists.ok() && exists->exists) {
    return errors::fileInUse(databasePath, "an unfinished change left " + path);
  }
  return file;
}

void discardJournal(FileSystem& fs, const std::string& databasePath) {
  const std::string path = journalPath(databasePath);
  if (fs.remove(path).ok()) (void)fs.syncFolder(folderOf(path));
}

Status writeJournal(FileSystem& fs, File& database, std::uint32_t pageSize,
                    std::span<const PageImage> oldPages) {
  auto out = encodeJournal(database, pageSize, oldPages);
  if (!out.ok()) return out.status();
  auto file = createJournalFile(fs, database.path());
  if (!file.ok()) return file.status();
  Status s = (*file)->writeAt(0, *out);
  if (s.ok()) s = (*file)->sync();
  file->reset();
  if (s.ok()) s = fs.syncFolder(folderOf(journalPath(database.path())));
  if (!s.ok()) {
    // Nothing in the database changed yet; a journal that may be incomplete
    // must not outlive this attempt.
    discardJournal(fs, database.path());
    return s;
  }
  return Status::success();
}

Status removeJournal(FileSystem& fs, const std::string& databasePath) {
  const std::string path = journalPath(databasePath);
  if (Status s = fs.remove(path); !s.ok()) return s;
  return fs.syncFolder(folderOf(path));
}

Result<Recovery> recoverJournal(FileSystem& fs, File& database) {
  const std::string path = journalPath(database.path());
  auto there = fs.info(path);
  if (!there.ok()) return there.status();
  if (!there->exists) return Recovery::none;

  auto file = fs.open(path, OpenMode::readOnly);
  if (!file.ok()) return file.status();
  auto size = (*file)->size();
  if (!size.ok()) return size.status();

  // A journal cut short or with a wrong checksum was still being written when
  // the writer stopped: the database itself was not touched yet.
  auto discard = [&]() -> Result<Recovery> {
    file->reset();
    if (Status s = removeJournal(fs, database.path()); !s.ok()) return s;
    return Recovery::discarded;
  };
  if (*size < kHeaderSize + kChecksumSize || *size > kHeaderSize + kChecksumSize + kMaxJournalPages * (4 + 4096ULL)) {
    return discard();
  }
  std::vector<std::byte> bytes(static_cast<std::size_t>(*size));
  if (Status s = (*file)->readAt(0, bytes); !s.ok()) return s;
  const PageView view(bytes);
  const auto pageSize = view.u32(kOffsetPageSize).value_or(0);
  const auto count = view.u32(kOffsetPageCount).value_or(0);
  if (std::memcmp(bytes.data(), kMagic.data(), kMagic.size()) != 0 ||
      view.u32(kOffsetVersion) != kFormatVersion || !validPageSize(pageSize) || count > kMaxJournalPages ||
      bytes.size() != kHeaderSize + std::size_t{count} * (4 + pageSize) + kChecksumSize ||
      view.u32(bytes.size() - kChecksumSize) !=
          static_cast<std::uint32_t>(fnv1a(std::span(bytes).first(bytes.size() - kChecksumSize))) ||
      view.u32(bytes.size() - 4) !=
          static_cast<std::uint32_t>(fnv1a(std::span(bytes).first(bytes.size() - kChecksumSize)) >> 32)) {
    return discard();
  }

  auto zeroSum = pageZeroSum(database, pageSize);
  if (!zeroSum.ok()) return zeroSum.status();
  const auto lo = view.u32(kOffsetPageZeroSum).value_or(0);
  const auto hi = view.u32(kOffsetPageZeroSum + 4).value_or(0);
  if ((std::uint64_t{hi} << 32 | lo) != *zeroSum) {
    return errors::fileInUse(database.path(), path + " belongs to another file; move it away");
  }

  // Write every old image back, then make them durable before the journal goes.
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = kHeaderSize + i * (4 + pageSize);
    const std::uint32_t page = view.u32(at).value_or(0);
    const auto image = std::span<const std::byte>(bytes).subspan(at + 4, pageSize);
    if (Status s = database.writeAt(std::uint64_t{page} * pageSize, image); !s.ok()) return s;
  }
  // Pages the change added at the end go too. It adds a few at most: a file
  // grown by more has been written by someone else since, and is not cut.
  const std::uint64_t oldSize =
      std::uint64_t{view.u32(kOffsetDatabaseSize).value_or(0)} |
      std::uint64_t{view.u32(kOffsetDatabaseSize + 4).value_or(0)} << 32;
  auto now = database.size();
  if (!now) return now.status();
  if (*now > oldSize && *now - oldSize <= std::uint64_t{kMaxJournalPages} * pageSize && oldSize % pageSize == 0) {
    if (Status s = database.truncate(oldSize); !s.ok()) return s;
  }
  if (Status s = database.sync(); !s.ok()) return s;
  file->reset();
  if (Status s = removeJournal(fs, database.path()); !s.ok()) return s;
  return Recovery::replayed;
}

}  // namespace povezava::engine::jet
