#include "engine/jet/read/journal_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "base/errors.h"
#include "engine/jet/format/layout.h"
#include "engine/jet/format/page_view.h"

namespace povezava::engine::jet {

using namespace journal_layout;

namespace {

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
    return journalChecksum(sector) == sums.u64(index * 8).value_or(0);
  }
};

JournalFinding foreign(JournalFinding finding, std::string reason) {
  finding.state = JournalFinding::State::foreign;
  finding.reason = std::move(reason);
  return finding;
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
  if (v3 && view.u64(kOffsetHeaderChecksum).value_or(0) != journalChecksum(std::span(bytes).first(kOffsetHeaderChecksum))) {
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
  const std::uint64_t sum = v3 ? bodyChecksum3(std::span(bytes).first(body)) : journalChecksum(std::span(bytes).first(body));
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
    if (journalChecksum(now) != view.u64(at + 8).value_or(0)) {
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
