#include "engine/jet/write/journal.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <set>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "base/errors.h"
#include "engine/jet/format/byte_order.h"
#include "engine/jet/format/layout.h"
#include "engine/jet/format/page_view.h"
#include "base/local_time.h"
#include "base/native_text.h"
#include "engine/notice_scope.h"

namespace povezava::engine::jet {
namespace {

constexpr std::string_view kMagic = "povezava-journal";
// Format 2 (the previous version's) is still read and recovered; 3 is written.
constexpr std::uint32_t kFormat2 = 2;
constexpr std::uint32_t kFormat3 = 3;
constexpr std::size_t kOffsetJournalVersion = 16;
constexpr std::size_t kOffsetPageSize = 20;
constexpr std::size_t kOffsetOldSize = 24;
constexpr std::size_t kOffsetNewSize = 32;
// Written, never compared: a file system mounted again may get another number.
[[maybe_unused]] constexpr std::size_t kOffsetDevice = 40;
constexpr std::size_t kOffsetInode = 48;
constexpr std::size_t kOffsetPageCount = 56;
constexpr std::size_t kOffsetContextCount = 60;    // format 3
constexpr std::size_t kOffsetHeaderChecksum = 64;  // format 3: of bytes 0..63
constexpr std::size_t kOffsetState = 72;           // format 3: kPending or kCommitted
constexpr std::size_t kHeaderSize2 = 64;
constexpr std::size_t kHeaderSize3 = 80;
constexpr std::size_t kChecksumSize = 8;
constexpr std::size_t kEntryHeader = 8;  // page number, added flag
constexpr std::size_t kContextEntry = 16;  // page number, zero, checksum
constexpr std::uint64_t kPending = 0;
constexpr std::uint64_t kCommitted = 0x4454494D4D4F43ULL;  // "COMMITD" and a zero, little-endian

std::uint64_t fnv1a(std::span<const std::byte> bytes, std::uint64_t hash = 0xcbf29ce484222325ULL) {
  const auto step = [&hash](std::byte b) { hash = (hash ^ std::to_integer<std::uint64_t>(b)) * 0x100000001b3ULL; };
  // Eight bytes a round: a journal hashes every page it holds twice (the
  // sectors of the new image, the whole journal), and the loop's own counting
  // would otherwise cost as much as the hashing.
  std::size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    step(bytes[i]);
    step(bytes[i + 1]);
    step(bytes[i + 2]);
    step(bytes[i + 3]);
    step(bytes[i + 4]);
    step(bytes[i + 5]);
    step(bytes[i + 6]);
    step(bytes[i + 7]);
  }
  for (; i < bytes.size(); ++i) step(bytes[i]);
  return hash;
}

bool validPageSize(std::uint32_t size) { return size == 2048 || size == 4096; }

std::size_t sectorsOf(std::uint32_t pageSize) { return pageSize / kJournalSector; }

std::size_t entrySize(std::uint32_t pageSize) {
  return kEntryHeader + sectorsOf(pageSize) * 8 + pageSize;
}

// The largest journal there can be: anything longer is not one.
constexpr std::uint64_t kMaxJournalSize = kHeaderSize3 + kChecksumSize +
                                          std::uint64_t{kMaxContextPages} * kContextEntry +
                                          std::uint64_t{kMaxJournalPages} * (kEntryHeader + 8 * 8 + 4096);

// The checksum of a format-3 journal's body: every byte before the last
// eight, its state counted as zero (the commit mark is written later, in
// place).
std::uint64_t bodyChecksum3(std::span<const std::byte> body) {
  static constexpr std::array<std::byte, 8> kZero{};
  std::uint64_t hash = fnv1a(body.first(kOffsetState));
  hash = fnv1a(kZero, hash);
  return fnv1a(body.subspan(kOffsetState + 8), hash);
}

bool allZero(std::span<const std::byte> bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](std::byte b) { return b == std::byte{0}; });
}


// One parsed journal entry; `old` and `sums` point into the journal's bytes.
struct Entry {
  std::uint32_t page = 0;
  bool added = false;
  PageView sums;
  std::span<const std::byte> old;

  bool sectorIsNew(std::span<const std::byte> sector, std::size_t index) const {
    return fnv1a(sector) == sums.u64(index * 8).value_or(0);
  }
};

JournalFinding foreign(JournalFinding finding, std::string reason) {
  finding.state = JournalFinding::State::foreign;
  finding.reason = std::move(reason);
  return finding;
}


// Moves a journal that is not its database's out of the way, keeping it.
Result<std::string> setAside(FileSystem& fs, const std::string& journal) {
  const std::string base = journal + ".stale-" + localTimeStamp(std::time(nullptr));
  std::string target = base;
  for (int n = 2;; ++n) {
    Status s = fs.rename(journal, target);
    if (s.ok()) break;
    if (s.number() != kErrDatabaseExists || n > 99) return s;
    target = base + "-" + std::to_string(n);
  }
  if (Status s = fs.syncFolder(folderOf(journal)); !s.ok()) return s;
  return target;
}

// Whether whoever owns the journal could have written the database anyway: a
// journal that someone else planted beside it must not write into it.
bool ownerCouldWrite(const FileInfo& journal, const FileInfo& database) {
#ifdef _WIN32
  (void)journal;
  (void)database;
  return true;
#else
  return journal.owner == 0 || journal.owner == ::geteuid() || journal.owner == database.owner ||
         (journal.group == database.group && (database.permissions & 0020) != 0) ||
         (database.permissions & 0002) != 0;
#endif
}

}  // namespace

std::uint64_t journalChecksum(std::span<const std::byte> bytes) { return fnv1a(bytes); }

std::uint32_t databasePageSize(File& database) {
  std::vector<std::byte> version(1);
  if (!database.readAt(kOffsetVersion, version).ok()) return 0;
  const Layout* layout = layoutForVersion(std::to_integer<std::uint8_t>(version[0]));
  return layout != nullptr ? layout->pageSize : 0;
}

namespace {
constexpr std::string_view kJournalSuffix = ".povezava-journal";
}  // namespace

std::string journalPath(const std::string& databasePath) { return databasePath + std::string(kJournalSuffix); }

bool isJournalPath(std::string_view path) {
  return path.size() > kJournalSuffix.size() && path.ends_with(kJournalSuffix);
}

std::string folderOf(const std::string& path) {
  return utf8Of(pathFromUtf8(path).parent_path());
}

Result<std::vector<std::byte>> encodeJournal(File& database, std::uint32_t pageSize,
                                             std::span<const PageImage> oldPages,
                                             std::span<const PageImage> newPages,
                                             std::span<const PageSum> context) {
  if (newPages.size() > kMaxJournalPages) {
    return errors::recordTooLarge(database.path(), "too many pages would change at once");
  }
  auto identity = database.info();
  if (!identity.ok()) return identity.status();
  const std::uint64_t oldSize = identity->size;
  std::uint64_t newSize = oldSize;
  for (const PageImage& image : newPages) {
    newSize = std::max(newSize, (std::uint64_t{image.page} + 1) * pageSize);
  }
  // Pages the change read but does not write, each once; past the cap the
  // journal only knows less about its file.
  std::vector<PageSum> around;
  for (const PageSum& sum : context) {
    if (around.size() == kMaxContextPages) break;
    if (std::uint64_t{sum.page + 1} * pageSize > oldSize) continue;
    const auto same = [&](const auto& o) { return o.page == sum.page; };
    if (std::any_of(newPages.begin(), newPages.end(), same) || std::any_of(around.begin(), around.end(), same)) {
      continue;
    }
    around.push_back(sum);
  }

  std::vector<std::byte> out(kMagic.size());
  out.reserve(kHeaderSize3 + around.size() * kContextEntry + newPages.size() * entrySize(pageSize) + kChecksumSize);
  std::memcpy(out.data(), kMagic.data(), kMagic.size());
  appendU32(out, kFormat3);
  appendU32(out, pageSize);
  appendU64(out, oldSize);
  appendU64(out, newSize);
  appendU64(out, identity->device);
  appendU64(out, identity->inode);
  appendU32(out, static_cast<std::uint32_t>(newPages.size()));
  appendU32(out, static_cast<std::uint32_t>(around.size()));
  appendU64(out, fnv1a(out));
  appendU64(out, kPending);
  for (const PageSum& sum : around) {
    appendU32(out, sum.page);
    appendU32(out, 0);
    appendU64(out, sum.checksum);
  }
  std::vector<std::byte> none;  // stands for an added page's old image; zeros once needed
  for (const PageImage& image : newPages) {
    if (image.bytes.size() != pageSize) {
      return errors::invalidArgument("page " + std::to_string(image.page) + " is not a whole page");
    }
    if (std::count_if(newPages.begin(), newPages.end(), [&](const PageImage& o) { return o.page == image.page; }) != 1) {
      return errors::invalidArgument("page " + std::to_string(image.page) + " is written twice");
    }
    const bool added = std::uint64_t{image.page} * pageSize >= oldSize;
    const auto old = std::find_if(oldPages.begin(), oldPages.end(),
                                  [&](const PageImage& o) { return o.page == image.page; });
    if (!added && (old == oldPages.end() || old->bytes.size() != pageSize)) {
      return errors::invalidArgument("page " + std::to_string(image.page) + " has no old image");
    }
    appendU32(out, image.page);
    appendU32(out, added ? 1 : 0);
    for (std::size_t s = 0; s < sectorsOf(pageSize); ++s) {
      appendU64(out, fnv1a(std::span(image.bytes).subspan(s * kJournalSector, kJournalSector)));
    }
    if (added) none.resize(pageSize);
    appendBytes(out, added ? std::span<const std::byte>(none) : std::span<const std::byte>(old->bytes));
  }
  appendU64(out, bodyChecksum3(out));
  return out;
}

Status markJournalCommitted(File& journal) {
  std::vector<std::byte> mark;
  appendU64(mark, kCommitted);
  if (Status s = journal.writeAt(kOffsetState, mark); !s.ok()) return s;
  return journal.sync();
}

Status markJournalCommitted(FileSystem& fs, const std::string& databasePath) {
  auto journal = fs.open(journalPath(databasePath), OpenMode::readWrite);
  if (!journal.ok()) return journal.status();
  return markJournalCommitted(**journal);
}

Status finishJournal(FileSystem& fs, const std::string& databasePath) {
  const std::string path = journalPath(databasePath);
  Status s = fs.remove(path);
  if (s.ok()) s = fs.syncFolder(folderOf(path));
  if (!s.ok()) noticeFinishedJournalLeft(databasePath, s);
  return Status::success();
}

void noticeFinishedJournalLeft(const std::string& databasePath, const Status& why) {
  currentNotices().notice("'" + databasePath + "' is relinked, but its finished journal '" + journalPath(databasePath) +
         "' could not be removed for good (" + why.description() +
         "); it is marked finished, and the next run removes it without touching the file.");
}

Result<std::unique_ptr<File>> createJournalFile(FileSystem& fs, File& database) {
  const std::string path = journalPath(database.path());
  auto like = database.info();
  if (!like.ok()) return like.status();
  auto file = fs.open(path, OpenMode::createNew);
  if (!file.ok()) {
    if (file.status().number() == kErrFileInUse) return file;
    if (file.status().number() == kErrNoPermission) {
      return errors::journalNotCreated(database.path(), path, "no permission to create a file in its folder");
    }
    auto exists = fs.info(path);
    if (exists.ok() && exists->exists) {
      return errors::fileInUse(database.path(), "an unfinished change left " + path);
    }
    return file;
  }
  // Before a byte of the old pages is in it.
  if (Status s = (*file)->takePermissions(*like); !s.ok()) {
    file->reset();
    discardJournal(fs, database.path());
    return s;
  }
  return file;
}

void discardJournal(FileSystem& fs, const std::string& databasePath) {
  const std::string path = journalPath(databasePath);
  if (fs.remove(path).ok()) (void)fs.syncFolder(folderOf(path));
}

Status writeJournal(FileSystem& fs, File& database, std::uint32_t pageSize,
                    std::span<const PageImage> oldPages, std::span<const PageImage> newPages,
                    std::span<const PageSum> context) {
  auto out = encodeJournal(database, pageSize, oldPages, newPages, context);
  if (!out.ok()) return out.status();
  auto file = createJournalFile(fs, database);
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

Result<JournalFinding> inspectJournal(FileSystem& fs, File& database, const std::string& realPath) {
  JournalFinding finding;
  finding.journal = journalPath(realPath);
  // The name first (one question in the usual case, where nothing is there),
  // then where it leads.
  auto entry = fs.hasEntry(finding.journal);
  if (!entry.ok()) return entry.status();
  if (!*entry) return finding;
  auto there = fs.info(finding.journal);
  if (!there.ok()) return there.status();
  // A symbolic link that leads nowhere still takes the journal's name.
  if (!there->exists) return foreign(finding, "it is a symbolic link that leads nowhere");
  if (!there->isRegular) return foreign(finding, "it is not a regular file");

  auto file = fs.open(finding.journal, OpenMode::readOnly);
  if (!file.ok()) return foreign(finding, "it cannot be read: " + file.status().description());
  auto size = (*file)->size();
  if (!size.ok()) return size.status();
  if (*size > kMaxJournalSize) return foreign(finding, "it is too large to be a povezava journal");
  std::vector<std::byte> bytes(static_cast<std::size_t>(*size));
  if (Status s = (*file)->readAt(0, bytes); !s.ok()) return s;
  // Whether the writer that made it still holds the database's write lock:
  // then the change is not interrupted but going on.
  auto live = database.lockedElsewhere(kWriteLockOffset);
  finding.inProgress = live.ok() && *live;
  file->reset();

  // A journal cut short, down to nothing: its writer stopped before the
  // database was touched (a journal is durable before the first page is
  // written).
  const std::size_t magic = std::min(bytes.size(), kMagic.size());
  if (magic > 0 && std::memcmp(bytes.data(), kMagic.data(), magic) != 0) {
    return foreign(finding, "it is not a povezava journal");
  }
  const PageView view(bytes);
  const auto cutShort = [&] {
    finding.state = JournalFinding::State::incomplete;
    return finding;
  };
  if (bytes.size() < kOffsetJournalVersion + 4) return cutShort();
  const std::uint32_t version = view.u32(kOffsetJournalVersion).value_or(0);
  if (version != kFormat2 && version != kFormat3) {
    return foreign(finding, "it was written by another version of povezava, which this one cannot check");
  }
  const bool v3 = version == kFormat3;
  const std::size_t headerSize = v3 ? kHeaderSize3 : kHeaderSize2;
  if (bytes.size() < headerSize + kChecksumSize) return cutShort();
  if (v3 && view.u64(kOffsetHeaderChecksum).value_or(0) != fnv1a(std::span(bytes).first(kOffsetHeaderChecksum))) {
    return foreign(finding, "it is damaged (its header does not check out), so povezava cannot tell which file "
                            "and pages it is for");
  }
  const std::uint32_t pageSize = view.u32(kOffsetPageSize).value_or(0);
  const std::uint32_t count = view.u32(kOffsetPageCount).value_or(0);
  const std::uint32_t contextCount = v3 ? view.u32(kOffsetContextCount).value_or(0) : 0;
  if (!validPageSize(pageSize) || count > kMaxJournalPages || contextCount > kMaxContextPages) {
    if (!v3) return cutShort();  // as the previous version decided
    return foreign(finding, "the sizes it records are impossible");
  }
  const std::size_t contextAt = headerSize;
  const std::size_t entriesAt = contextAt + std::size_t{contextCount} * kContextEntry;
  const std::size_t full = entriesAt + std::size_t{count} * entrySize(pageSize) + kChecksumSize;
  // Shorter than it says: cut off while it was written.
  if (bytes.size() < full) return cutShort();
  if (bytes.size() > full) {
    if (!v3) return cutShort();
    return foreign(finding, "it is longer than it says");
  }
  // Of its full length, but its checksum fails: damaged, perhaps after the
  // database was written. Decided below, against the database.
  const std::size_t body = bytes.size() - kChecksumSize;
  const std::uint64_t sum = v3 ? bodyChecksum3(std::span(bytes).first(body)) : fnv1a(std::span(bytes).first(body));
  const std::uint64_t state = v3 ? view.u64(kOffsetState).value_or(0) : kPending;
  const bool damaged = view.u64(body).value_or(0) != sum;

  // A complete journal: does it fit this database as it is now?
  finding.pageSize = pageSize;
  if (databasePageSize(database) != pageSize) {
    return foreign(finding, "its page size is not the database's");
  }
  const std::uint64_t oldSize = view.u64(kOffsetOldSize).value_or(0);
  const std::uint64_t newSize = view.u64(kOffsetNewSize).value_or(0);
  if (oldSize == 0 || oldSize % pageSize != 0 || newSize % pageSize != 0 || newSize < oldSize ||
      newSize - oldSize > std::uint64_t{kMaxJournalPages} * pageSize) {
    return foreign(finding, "the sizes it records are impossible");
  }
  std::vector<Entry> entries;
  std::set<std::uint32_t> pages;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = entriesAt + i * entrySize(pageSize);
    Entry e;
    e.page = view.u32(at).value_or(0);
    e.added = view.u32(at + 4).value_or(0) != 0;
    e.sums = *view.sub(at + kEntryHeader, sectorsOf(pageSize) * 8);
    e.old = std::span(bytes).subspan(at + kEntryHeader + sectorsOf(pageSize) * 8, pageSize);
    const std::uint64_t offset = std::uint64_t{e.page} * pageSize;
    if (e.page == kHeaderPage || offset >= newSize || e.added != (offset >= oldSize) ||
        !pages.insert(e.page).second) {
      return foreign(finding, "it names page " + std::to_string(e.page) + ", which no change of povezava writes");
    }
    entries.push_back(e);
  }
  for (std::uint64_t p = oldSize / pageSize; p < newSize / pageSize; ++p) {
    if (!pages.contains(static_cast<std::uint32_t>(p))) {
      return foreign(finding, "it does not account for page " + std::to_string(p));
    }
  }

  auto identity = database.info();
  if (!identity.ok()) return identity.status();
  if (!ownerCouldWrite(*there, *identity)) {
    return foreign(finding, "it belongs to a user who may not change the database");
  }
  // The device number may change when a file system is mounted again; the
  // inode stays.
  if (identity->inode != view.u64(kOffsetInode).value_or(0)) {
    return foreign(finding, "it was made for another file (the database has been replaced since)");
  }
  if (identity->size < oldSize || identity->size > newSize) {
    return foreign(finding, "the database's size is neither the size before the change nor after it "
                            "(another program has written it since)");
  }

  std::vector<std::byte> now(pageSize);
  if (damaged) {
    // Its old images cannot be trusted: removed only when the database
    // still holds every one of them, which means it was never written.
    bool untouched = identity->size == oldSize;
    for (const Entry& e : entries) {
      if (!untouched || e.added) continue;
      if (Status s = database.readAt(std::uint64_t{e.page} * pageSize, now); !s.ok()) return s;
      untouched = std::equal(now.begin(), now.end(), e.old.begin());
    }
    if (untouched) return cutShort();
    return foreign(finding, "it is damaged (its checksum fails) and the database no longer holds the old pages "
                            "it names, so povezava cannot tell what they held");
  }

  // The pages the change read and left as they were: a new version of the
  // file copied over it (same inode) differs in them.
  for (std::size_t i = 0; i < contextCount; ++i) {
    const std::size_t at = contextAt + i * kContextEntry;
    const std::uint32_t page = view.u32(at).value_or(0);
    const std::uint64_t offset = std::uint64_t{page} * pageSize;
    if (offset + pageSize > identity->size) {
      return foreign(finding, "page " + std::to_string(page) + " it names lies past the database's end");
    }
    if (Status s = database.readAt(offset, now); !s.ok()) return s;
    if (fnv1a(now) != view.u64(at + 8).value_or(0)) {
      return foreign(finding, "page " + std::to_string(page) + ", which the change did not write, is not as it "
                              "was (a new version was copied over the file, or another program wrote it since)");
    }
  }

  bool allNew = identity->size == newSize;
  for (const Entry& e : entries) {
    const std::uint64_t offset = std::uint64_t{e.page} * pageSize;
    // Of a page being added only what reached the disk is there.
    const std::uint64_t present = identity->size > offset ? std::min<std::uint64_t>(identity->size - offset, pageSize) : 0;
    if (present == 0) continue;
    std::span<std::byte> onDisk = std::span(now).first(static_cast<std::size_t>(present));
    if (Status s = database.readAt(offset, onDisk); !s.ok()) return s;
    for (std::size_t s = 0; (s + 1) * kJournalSector <= present; ++s) {
      const auto sector = onDisk.subspan(s * kJournalSector, kJournalSector);
      const bool isNew = e.sectorIsNew(sector, s);
      allNew = allNew && isNew;
      if (isNew) continue;
      const bool old = e.added ? allZero(sector)
                               : std::equal(sector.begin(), sector.end(), e.old.begin() + static_cast<std::ptrdiff_t>(s * kJournalSector));
      if (!old) {
        return foreign(finding, "page " + std::to_string(e.page) +
                                    " holds neither its old nor its new contents (another program has written it since)");
      }
    }
  }

  // Marked committed and every page new: the change is done, and was
  // reported done; only its journal's removal did not last. A mark that is
  // neither pending nor committed was torn while written (or damaged since):
  // its writer was at the commit point with every page new, and new it stays.
  finding.state = state != kPending && allNew ? JournalFinding::State::committed : JournalFinding::State::pending;
  finding.oldSize = oldSize;
  for (const Entry& e : entries) {
    if (!e.added) finding.oldPages.push_back({e.page, std::vector<std::byte>(e.old.begin(), e.old.end())});
  }
  return finding;
}

Result<Recovery> recoverJournal(FileSystem& fs, File& database) {
  auto finding = inspectJournal(fs, database, database.path());
  if (!finding.ok()) return finding.status();
  switch (finding->state) {
    case JournalFinding::State::none:
      return Recovery::none;
    case JournalFinding::State::incomplete:
      if (Status s = removeJournal(fs, database.path()); !s.ok()) return s;
      return Recovery::discarded;
    case JournalFinding::State::committed:
      if (Status s = removeJournal(fs, database.path()); !s.ok()) return s;
      return Recovery::finished;
    case JournalFinding::State::foreign: {
      auto moved = setAside(fs, finding->journal);
      if (!moved.ok()) {
        return errors::fileInUse(database.path(), finding->journal + " does not belong to it (" + finding->reason +
                                                       ") and cannot be moved aside: " + moved.status().description());
      }
      currentNotices().notice(Notice{NoticeCase::journalSetAside, database.path(), *moved,
              "'" + finding->journal + "' does not belong to '" + database.path() + "' as it is now (" +
                  finding->reason + "); the database was left alone and the journal moved to '" + *moved + "'."});
      return Recovery::setAside;
    }
    case JournalFinding::State::pending:
      break;
  }

  // Write back only the pages that are not old already, then cut what the
  // change added. The journal stays until that is durable.
  const std::uint32_t pageSize = finding->pageSize;
  bool changed = false;
  std::vector<std::byte> now(pageSize);
  for (const PageImage& image : finding->oldPages) {
    const std::uint64_t offset = std::uint64_t{image.page} * pageSize;
    if (Status s = database.readAt(offset, now); !s.ok()) return s;
    if (now == image.bytes) continue;
    if (Status s = database.writeAt(offset, image.bytes); !s.ok()) return s;
    changed = true;
  }
  auto size = database.size();
  if (!size.ok()) return size.status();
  if (*size > finding->oldSize) {
    if (Status s = database.truncate(finding->oldSize); !s.ok()) return s;
    changed = true;
  }
  if (changed) {
    if (Status s = database.sync(); !s.ok()) return s;
  }
  if (Status s = removeJournal(fs, database.path()); !s.ok()) return s;
  if (changed) {
    currentNotices().notice(Notice{NoticeCase::relinkUndone, database.path(), {},
            "A relink of '" + database.path() + "' was interrupted; its old pages were put back."});
  }
  return Recovery::replayed;
}

namespace {

// The database as a pending journal would leave it.
class JournaledView final : public File {
 public:
  JournaledView(std::unique_ptr<File> database, JournalFinding finding)
      : database_(std::move(database)), finding_(std::move(finding)) {}

  const std::string& path() const override { return database_->path(); }
  Result<FileInfo> info() override {
    auto fi = database_->info();
    if (fi.ok()) fi->size = finding_.oldSize;
    return fi;
  }
  Result<std::uint64_t> size() override { return finding_.oldSize; }
  Status readAt(std::uint64_t offset, std::span<std::byte> out) override {
    if (offset > finding_.oldSize || out.size() > finding_.oldSize - offset) {
      return errors::diskOrNetwork(path(), EIO);  // past the end, as the disk would say
    }
    if (Status s = database_->readAt(offset, out); !s.ok()) return s;
    const std::uint64_t end = offset + out.size();
    for (const PageImage& image : finding_.oldPages) {
      const std::uint64_t from = std::max<std::uint64_t>(offset, std::uint64_t{image.page} * finding_.pageSize);
      const std::uint64_t to = std::min<std::uint64_t>(end, (std::uint64_t{image.page} + 1) * finding_.pageSize);
      if (from >= to) continue;
      std::copy_n(image.bytes.begin() + static_cast<std::ptrdiff_t>(from - std::uint64_t{image.page} * finding_.pageSize),
                  to - from, out.begin() + static_cast<std::ptrdiff_t>(from - offset));
    }
    return Status::success();
  }
  Status writeAt(std::uint64_t, std::span<const std::byte>) override {
    return errors::readOnly(path());
  }
  Status truncate(std::uint64_t) override { return errors::readOnly(path()); }
  Status sync() override { return Status::success(); }
  Status tryLock(std::uint64_t offset) override { return database_->tryLock(offset); }
  void unlock(std::uint64_t offset) override { database_->unlock(offset); }

 private:
  std::unique_ptr<File> database_;
  JournalFinding finding_;
};

}  // namespace

std::unique_ptr<File> journaledView(std::unique_ptr<File> database, JournalFinding finding) {
  return std::make_unique<JournaledView>(std::move(database), std::move(finding));
}

}  // namespace povezava::engine::jet
