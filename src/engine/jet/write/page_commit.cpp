#include "engine/jet/write/page_commit.h"

#include <algorithm>
#include <iterator>

#include "base/errors.h"
#include "engine/jet/format/rc4.h"
#include "engine/jet/write/access_lock.h"
#include "engine/jet/write/journal_writer.h"

namespace povezava::engine::jet {
namespace {

Status writeRaw(File& file, std::uint32_t pageSize, const PageImage& image) {
  return file.writeAt(std::uint64_t{image.page} * pageSize, image.bytes);
}

// A File that notes the pages read through it.
class NotingFile final : public ForwardingFile {
 public:
  NotingFile(std::unique_ptr<File> file, std::shared_ptr<PageSums> sums)
      : ForwardingFile(std::move(file)), sums_(std::move(sums)) {}

  Status readAt(std::uint64_t offset, std::span<std::byte> out) override {
    if (Status s = inner().readAt(offset, out); !s.ok()) return s;
    if (pageSize_ == 0) pageSize_ = databasePageSize(inner());
    if (pageSize_ != 0) notePagesRead(*sums_, pageSize_, offset, out);
    return Status::success();
  }

 private:
  std::shared_ptr<PageSums> sums_;
  std::uint32_t pageSize_ = 0;
};

// fileInUse unless every page in `read` holds what it held when read.
Status checkPagesRead(File& file, std::uint32_t pageSize, const PageSums* read) {
  if (read == nullptr) return Status::success();
  auto size = file.size();
  if (!size.ok()) return size.status();
  return checkPagesUnchanged(file, pageSize, *size, *read);
}

// fileInUse unless every page of `images` is on disk as it was.
Status checkOldImages(File& file, std::uint32_t pageSize, std::span<const PageImage> images) {
  std::vector<std::byte> now(pageSize);
  for (const PageImage& image : images) {
    if (Status s = file.readAt(std::uint64_t{image.page} * pageSize, now); !s.ok()) return s;
    if (now != image.bytes) return errors::changedMeanwhile(file.path());
  }
  return Status::success();
}

}  // namespace

void notePagesRead(PageSums& sums, std::uint32_t pageSize, std::uint64_t offset, std::span<const std::byte> bytes) {
  std::uint64_t first = (offset + pageSize - 1) / pageSize;
  for (std::uint64_t p = first; (p + 1) * pageSize <= offset + bytes.size(); ++p) {
    const auto page = static_cast<std::uint32_t>(p);
    if (sums.contains(page)) continue;
    sums.emplace(page, journalChecksum(bytes.subspan(static_cast<std::size_t>(p * pageSize - offset), pageSize)));
  }
}

std::unique_ptr<File> noteReads(std::unique_ptr<File> file, std::shared_ptr<PageSums> sums) {
  return std::make_unique<NotingFile>(std::move(file), std::move(sums));
}

Status checkStillTheFile(FileSystem& fs, File& file, const std::vector<std::string>* listing) {
  auto now = file.info();
  if (!now.ok()) return now.status();
  auto named = fs.info(file.path());
  if (!named.ok()) return named.status();
  if (!sameFile(*named, *now)) return errors::replacedMeanwhile(file.path());
  if (now->links > 1) return errors::hardLinked(file.path(), now->links);
  if (listing != nullptr) return checkAccessLockFileAmong(fs, file.path(), file.path(), *listing);
  return checkAccessLockFile(fs, file.path(), file.path());
}

Status checkPagesUnchanged(File& file, std::uint32_t pageSize, std::uint64_t size, const PageSums& read,
                           std::map<std::uint32_t, std::vector<std::byte>>* pages) {
  std::vector<std::byte> run;
  for (auto first = read.begin(); first != read.end();) {
    // A run of adjacent pages: one read.
    auto last = std::next(first);
    while (last != read.end() && last->first == std::prev(last)->first + 1) ++last;
    const std::size_t count = static_cast<std::size_t>(std::distance(first, last));
    const std::uint64_t at = std::uint64_t{first->first} * pageSize;
    if (at + count * pageSize > size) return errors::changedMeanwhile(file.path());
    run.resize(count * pageSize);
    if (Status s = file.readAt(at, run); !s.ok()) return s;
    for (std::size_t i = 0; first != last; ++first, ++i) {
      const auto page = std::span(run).subspan(i * pageSize, pageSize);
      if (journalChecksum(page) != first->second) return errors::changedMeanwhile(file.path());
      if (pages != nullptr) pages->insert_or_assign(first->first, std::vector<std::byte>(page.begin(), page.end()));
    }
  }
  return Status::success();
}

Status rollBackPages(FileSystem& fs, File& file, std::uint32_t pageSize,
                     std::span<const PageImage> oldImages, std::uint64_t oldSize) {
  for (const PageImage& image : oldImages) {
    if (Status s = writeRaw(file, pageSize, image); !s.ok()) return s;
  }
  if (Status s = file.truncate(oldSize); !s.ok()) return s;
  if (Status s = file.sync(); !s.ok()) return s;
  return removeJournal(fs, file.path());
}

Status commitPages(FileSystem& fs, NoticeSink& notices, JetFile& database, std::span<const PageWrite> writes,
                   const PageSums* read) {
  File& file = database.file();
  const std::uint32_t pageSize = database.layout().pageSize;
  auto fileSize = file.size();
  if (!fileSize.ok()) return fileSize.status();

  // A page written more than once goes to the disk once, in its final state
  // and at its first place in the order: with the journal in place the order
  // matters no more, and an intermediate state on disk would be neither the
  // old page nor the new one.
  std::vector<PageWrite> once;
  for (const PageWrite& w : writes) {
    auto same = std::find_if(once.begin(), once.end(), [&](const PageWrite& o) { return o.page == w.page; });
    if (same != once.end()) {
      same->bytes = w.bytes;
    } else {
      once.push_back(w);
    }
  }

  std::vector<PageImage> oldImages;
  std::vector<PageImage> newImages;
  for (const PageWrite& w : once) {
    if (w.bytes.size() != pageSize || w.page == kHeaderPage) {
      return errors::invalidArgument("page " + std::to_string(w.page) + " cannot be written");
    }
    const std::uint64_t at = std::uint64_t{w.page} * pageSize;
    if (at < *fileSize) {
      PageImage old{w.page, std::vector<std::byte>(pageSize)};
      if (Status s = file.readAt(at, old.bytes); !s.ok()) return s;
      oldImages.push_back(std::move(old));
    } else if (at != *fileSize) {
      return errors::invalidArgument("page " + std::to_string(w.page) + " lies past the end");
    }
    PageImage next{w.page, w.bytes};
    if (database.encoded()) rc4ApplyPage(database.header().databaseKey, w.page, next.bytes);
    newImages.push_back(std::move(next));
  }

  // The file being written is still the one the change was made for. (A
  // batch checks the disk's file when it stores what it holds.)
  const auto stillTheFile = [&] {
    if (fs.holdsWrites()) return Status::success();
    if (Status s = checkStillTheFile(fs, file); !s.ok()) return s;
    if (Status s = checkPagesRead(file, pageSize, read); !s.ok()) return s;
    return checkOldImages(file, pageSize, oldImages);
  };
  if (Status s = stillTheFile(); !s.ok()) return s;
  std::vector<PageSum> context;
  if (read != nullptr) {
    for (const auto& [page, sum] : *read) context.push_back({page, sum});
  }
  if (Status s = writeJournal(fs, file, pageSize, oldImages, newImages, context); !s.ok()) return s;
  // Another program that wrote the file while the journal was made: its
  // change is not overwritten. (Only Access's own page locks could close
  // this gap; the check narrows it to the time of a few page writes.)
  if (Status s = stillTheFile(); !s.ok()) {
    discardJournal(fs, file.path());
    database.dropCache();
    return s;
  }

  Status failure;
  for (const PageImage& image : newImages) {
    failure = writeRaw(file, pageSize, image);
    if (!failure.ok()) break;
  }
  if (failure.ok()) failure = file.sync();
  if (failure.ok()) failure = markJournalCommitted(fs, file.path());
  database.dropCache();
  if (failure.ok()) return finishJournal(fs, notices, file.path());
  // The journal is still on disk: the old pages may go back. If this fails
  // too, the journal stays for the next writer.
  (void)rollBackPages(fs, file, pageSize, oldImages, *fileSize);
  return failure;
}

}  // namespace povezava::engine::jet
