#include "engine/jet/write/journal_writer.h"

#include <algorithm>
#include <cstring>

#include "base/errors.h"
#include "engine/jet/format/byte_order.h"

namespace povezava::engine::jet {

using namespace journal_layout;

Result<std::vector<std::byte>> encodeJournal(File& database, std::uint32_t pageSize,
                                             std::span<const PageImage> oldPages,
                                             std::span<const PageImage> newPages,
                                             std::span<const PageSum> context, const FileInfo* known) {
  if (newPages.size() > kMaxJournalPages) {
    return errors::recordTooLarge(database.path(), "too many pages would change at once");
  }
  auto identity = known != nullptr ? Result<FileInfo>(*known) : database.info();
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
  appendU64(out, journalChecksum(out));
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
      appendU64(out, journalChecksum(std::span(image.bytes).subspan(s * kJournalSector, kJournalSector)));
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

Status finishJournal(FileSystem& fs, NoticeSink& notices, const std::string& databasePath) {
  const std::string path = journalPath(databasePath);
  Status s = fs.remove(path);
  if (s.ok()) s = fs.syncFolder(folderOf(path));
  if (!s.ok()) noticeFinishedJournalLeft(notices, databasePath, s);
  return Status::success();
}

void noticeFinishedJournalLeft(NoticeSink& notices, const std::string& databasePath, const Status& why) {
  notices.notice("'" + databasePath + "' is relinked, but its finished journal '" + journalPath(databasePath) +
         "' could not be removed for good (" + why.description() +
         "); it is marked finished, and the next run removes it without touching the file.");
}

Result<std::unique_ptr<File>> createJournalFile(FileSystem& fs, File& database, const FileInfo* known) {
  const std::string path = journalPath(database.path());
  auto like = known != nullptr ? Result<FileInfo>(*known) : database.info();
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

}  // namespace povezava::engine::jet
