#include "engine/jet/write/write_batch.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "base/errors.h"
#include "engine/jet/format/layout.h"
#include "engine/jet/jet_database.h"
#include "engine/jet/write/journal.h"
#include "engine/jet/write/link_writer.h"
#include "engine/jet/write/page_commit.h"
#include "engine/notice_scope.h"

namespace povezava::engine::jet {
namespace {

struct Extent {
  std::uint64_t offset = 0;
  std::vector<std::byte> bytes;
  std::uint64_t end() const { return offset + bytes.size(); }
};

// One real file as the batch sees it: the disk's bytes with the held writes
// over them.
struct Held {
  std::string path;                      // as first opened
  FileInfo identity;                     // of the file first opened
  std::unique_ptr<File> writer;          // read-write, locked; set by the first lock
  // The file as first opened through the batch: later opens of a name bound
  // to it read through it (one open per file on a share).
  std::shared_ptr<File> reader;
  std::vector<std::uint64_t> locks;      // offsets locked on `writer`
  std::uint32_t pageSize = 0;            // set by the first page read or write
  std::uint64_t diskSize = 0;            // the file's size then
  std::vector<Extent> extents;           // in the order written
  PageSums seen;                         // pages read or written: the disk's page as first seen
  // Whole pages as first read from the disk: later reads (the next relink of
  // the same file) take them from here, not from the share. commit() finds
  // any change on the disk since: it checks every page in `seen` and the size.
  std::map<std::uint32_t, std::vector<std::byte>> diskPages;
  std::set<std::size_t> units;

  // Takes the page size and the size of the file (through `disk`) once.
  Status shape(File& disk) {
    if (pageSize != 0) return Status::success();
    const std::uint32_t size = databasePageSize(disk);
    if (size == 0) return errors::unrecognizedFormat(path, "unknown version");
    auto now = disk.size();
    if (!now) return now.status();
    pageSize = size;
    diskSize = *now;
    return Status::success();
  }

  // Notes the whole pages of a read at `offset` that came from the disk
  // (none of the held writes lie over them).
  void noteRead(File& disk, std::uint64_t offset, std::span<const std::byte> bytes) {
    const std::uint64_t end = offset + bytes.size();
    if (std::any_of(extents.begin(), extents.end(), [&](const Extent& x) { return x.offset < end && offset < x.end(); })) {
      return;
    }
    if (!shape(disk).ok()) return;
    notePagesRead(seen, pageSize, offset, bytes);
  }

  // Reads [offset, offset + out.size()) from the disk, or from the pages
  // first read there when the span is whole pages all read before.
  Status readDisk(File& disk, std::uint64_t offset, std::span<std::byte> out) {
    const bool wholePages = pageSize != 0 && offset % pageSize == 0 && out.size() % pageSize == 0 && !out.empty();
    if (wholePages) {
      const auto first = static_cast<std::uint32_t>(offset / pageSize);
      const auto count = static_cast<std::uint32_t>(out.size() / pageSize);
      bool all = true;
      for (std::uint32_t i = 0; i < count && all; ++i) all = diskPages.contains(first + i);
      if (all) {
        for (std::uint32_t i = 0; i < count; ++i) {
          const std::vector<std::byte>& page = diskPages.at(first + i);
          std::copy(page.begin(), page.end(), out.begin() + static_cast<std::ptrdiff_t>(std::size_t{i} * pageSize));
        }
        return Status::success();
      }
    }
    if (pageSize != 0 && !wholePages && !out.empty() && offset / pageSize == (offset + out.size() - 1) / pageSize &&
        (offset / pageSize + 1) * pageSize <= diskSize) {
      // Part of one page (the header, read by every relink of the file): the
      // whole page once, noted as seen so that commit() checks it too.
      const auto number = static_cast<std::uint32_t>(offset / pageSize);
      auto page = diskPages.find(number);
      if (page == diskPages.end()) {
        std::vector<std::byte> bytes(pageSize);
        if (Status s = disk.readAt(std::uint64_t{number} * pageSize, bytes); !s.ok()) return s;
        seen.try_emplace(number, journalChecksum(bytes));
        page = diskPages.emplace(number, std::move(bytes)).first;
      }
      std::copy_n(page->second.begin() + static_cast<std::ptrdiff_t>(offset - std::uint64_t{number} * pageSize),
                  out.size(), out.begin());
      return Status::success();
    }
    if (Status s = disk.readAt(offset, out); !s.ok()) return s;
    if (wholePages) {
      for (std::size_t at = 0; at < out.size(); at += pageSize) {
        const auto number = static_cast<std::uint32_t>((offset + at) / pageSize);
        diskPages.try_emplace(number, out.begin() + static_cast<std::ptrdiff_t>(at),
                              out.begin() + static_cast<std::ptrdiff_t>(at + pageSize));
      }
    }
    return Status::success();
  }

  // Forgets what was read from the disk (it was changed under the lock).
  void forgetReads() {
    seen.clear();
    diskPages.clear();
    pageSize = 0;
  }

  std::uint64_t end() const {
    std::uint64_t e = 0;
    for (const Extent& x : extents) e = std::max(e, x.end());
    return e;
  }

  // Drops what is held from `size` on.
  void cut(std::uint64_t size) {
    std::erase_if(extents, [&](const Extent& x) { return x.offset >= size; });
    for (Extent& x : extents) {
      if (x.end() > size) x.bytes.resize(static_cast<std::size_t>(size - x.offset));
    }
  }

  void release() {
    writer.reset();  // closing it drops the locks
    reader.reset();
    locks.clear();
    extents.clear();
    seen.clear();
    diskPages.clear();
    units.clear();
  }
};

// Reads [offset, offset + out.size()) of `held`'s file: the disk's bytes
// (through `disk`), then the held writes over them. Bytes past the disk's end
// must all be held.
Status readThrough(Held& held, File& disk, std::uint64_t offset, std::span<std::byte> out) {
  if (held.extents.empty()) return held.readDisk(disk, offset, out);
  // The size as first seen: commit() writes nothing if it has changed since.
  std::uint64_t diskSize = held.diskSize;
  if (held.pageSize == 0) {
    auto now = disk.size();
    if (!now) return now.status();
    diskSize = *now;
  }
  const std::uint64_t end = offset + out.size();
  if (end < offset) return errors::diskOrNetwork(disk.path(), EINVAL);
  const std::uint64_t fromDisk = offset < diskSize ? std::min(end, diskSize) - offset : 0;
  if (fromDisk > 0) {
    if (Status s = held.readDisk(disk, offset, out.first(static_cast<std::size_t>(fromDisk))); !s.ok()) return s;
  }
  std::vector<bool> covered(out.size() - static_cast<std::size_t>(fromDisk), false);
  for (const Extent& x : held.extents) {
    const std::uint64_t from = std::max(offset, x.offset);
    const std::uint64_t to = std::min(end, x.end());
    if (from >= to) continue;
    std::copy_n(x.bytes.begin() + static_cast<std::ptrdiff_t>(from - x.offset), to - from,
                out.begin() + static_cast<std::ptrdiff_t>(from - offset));
    for (std::uint64_t at = std::max(from, offset + fromDisk); at < to; ++at) {
      covered[static_cast<std::size_t>(at - offset - fromDisk)] = true;
    }
  }
  if (std::find(covered.begin(), covered.end(), false) != covered.end()) {
    return errors::diskOrNetwork(disk.path(), EIO);  // past the end, as the disk would say
  }
  return Status::success();
}

// A file created inside the batch (a journal), kept in memory.
class HeldJournal final : public File {
 public:
  HeldJournal(std::string path, std::shared_ptr<std::vector<std::byte>> bytes)
      : path_(std::move(path)), bytes_(std::move(bytes)) {}

  const std::string& path() const override { return path_; }
  Result<FileInfo> info() override {
    FileInfo fi;
    fi.exists = fi.isRegular = true;
    fi.size = bytes_->size();
    return fi;
  }
  Result<std::uint64_t> size() override { return std::uint64_t{bytes_->size()}; }
  Status readAt(std::uint64_t offset, std::span<std::byte> out) override {
    if (offset > bytes_->size() || out.size() > bytes_->size() - offset) {
      return errors::diskOrNetwork(path_, EIO);
    }
    std::copy_n(bytes_->begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
    return Status::success();
  }
  Status writeAt(std::uint64_t offset, std::span<const std::byte> data) override {
    if (offset + data.size() > bytes_->size()) bytes_->resize(static_cast<std::size_t>(offset + data.size()));
    std::copy(data.begin(), data.end(), bytes_->begin() + static_cast<std::ptrdiff_t>(offset));
    return Status::success();
  }
  Status truncate(std::uint64_t size) override {
    if (size < bytes_->size()) bytes_->resize(static_cast<std::size_t>(size));
    return Status::success();
  }
  Status sync() override { return Status::success(); }
  Status tryLock(std::uint64_t) override { return Status::success(); }
  void unlock(std::uint64_t) override {}

 private:
  std::string path_;
  std::shared_ptr<std::vector<std::byte>> bytes_;
};

}  // namespace

struct WriteBatch::State final : public FileSystem {
  explicit State(const EngineSetup& setup)
      : disk(*setup.fileSystem), notices(*setup.notices), jet(EngineSetup{this, setup.paths, setup.notices}) {}

  FileSystem& disk;
  NoticeSink& notices;
  JetEngine jet;
  std::map<std::pair<std::uint64_t, std::uint64_t>, std::shared_ptr<Held>> files;  // by device, inode
  std::vector<std::shared_ptr<Held>> written;  // files with writes held, in order
  std::map<std::string, std::shared_ptr<std::vector<std::byte>>> created;
  // Each name opened since the last commit, and the file it led to.
  std::map<std::string, FileInfo> boundNames;
  // Folder listings, read once per commit: the Access lock-file check of each
  // relink reads one, and a folder may hold hundreds of front-ends.
  std::map<std::string, std::vector<std::string>> listings;
  std::size_t units = 0;

  Status lock(Held& held, const std::string& path, std::uint64_t offset);
  // Whether `path` names the journal of a file whose write lock the batch
  // holds: none lies there, since taking the lock recovered any and only the
  // lock's holder makes one (commit() creates it exclusively all the same).
  bool journalOfLocked(const std::string& path) const {
    return std::any_of(files.begin(), files.end(), [&](const auto& entry) {
      const Held& held = *entry.second;
      return held.writer && std::find(held.locks.begin(), held.locks.end(), kWriteLockOffset) != held.locks.end() &&
             jet::journalPath(held.path) == path;
    });
  }
  Status hold(const std::shared_ptr<Held>& held, std::uint64_t offset, std::span<const std::byte> data);
  std::vector<Status> commit();

  // FileSystem: the batch's view.
  Result<std::unique_ptr<File>> open(const std::string& path, OpenMode mode) override;
  Result<FileInfo> info(const std::string& path) override;
  Result<bool> hasEntry(const std::string& path) override {
    if (created.contains(path)) return true;
    if (journalOfLocked(path)) return false;
    return disk.hasEntry(path);
  }
  // Read once until the next commit (which checks for Access lock files anew).
  Result<std::vector<std::string>> list(const std::string& folder) override {
    if (auto it = listings.find(folder); it != listings.end()) return it->second;
    auto names = disk.list(folder);
    if (names) listings.emplace(folder, *names);
    return names;
  }
  Status remove(const std::string& path) override {
    if (created.erase(path) == 0) return errors::notSupported("removing " + path + " while relinks are held");
    return Status::success();
  }
  Status rename(const std::string& from, const std::string&) override {
    return errors::notSupported("renaming " + from + " while relinks are held");
  }
  Result<std::string> realPath(const std::string& path) override { return disk.realPath(path); }
  Status syncFolder(const std::string&) override { return Status::success(); }
  bool holdsWrites() const override { return true; }
};

namespace {

// A database file opened through the batch.
class HeldFile final : public File {
 public:
  HeldFile(WriteBatch::State& state, std::string path, std::shared_ptr<File> disk, std::shared_ptr<Held> held,
           bool writable)
      : state_(&state), path_(std::move(path)), disk_(std::move(disk)), held_(std::move(held)), writable_(writable) {}

  const std::string& path() const override { return path_; }
  Result<FileInfo> info() override {
    if (held_->pageSize != 0) {
      // Once read, the file as the batch first found it: commit() asks the
      // disk again (the name, the links, the size, every page seen).
      FileInfo fi = held_->identity;
      fi.size = std::max(held_->diskSize, held_->end());
      return fi;
    }
    auto fi = disk_->info();
    if (fi) fi->size = std::max(fi->size, held_->end());
    return fi;
  }
  Result<std::uint64_t> size() override {
    // Once known, the size as first seen (commit() checks it again).
    if (held_->pageSize != 0) return std::max(held_->diskSize, held_->end());
    auto size = disk_->size();
    if (!size) return size;
    return std::max(*size, held_->end());
  }
  Status readAt(std::uint64_t offset, std::span<std::byte> out) override {
    if (Status s = readThrough(*held_, *disk_, offset, out); !s.ok()) return s;
    held_->noteRead(*disk_, offset, out);
    return Status::success();
  }
  Status writeAt(std::uint64_t offset, std::span<const std::byte> data) override {
    if (!writable_) return errors::fromErrno(path(), EBADF);
    return state_->hold(held_, offset, data);
  }
  // Only what was written through the batch can be cut off again.
  Status truncate(std::uint64_t size) override {
    auto diskSize = disk_->size();
    if (!diskSize) return diskSize.status();
    if (size < *diskSize) return errors::notSupported("shortening " + path() + " while relinks are held");
    held_->cut(size);
    return Status::success();
  }
  // Held writes become durable in commit().
  Status sync() override { return Status::success(); }
  Status tryLock(std::uint64_t offset) override { return state_->lock(*held_, path(), offset); }
  // The batch keeps its locks until commit().
  void unlock(std::uint64_t) override {}
  Result<bool> lockedElsewhere(std::uint64_t offset) override { return disk_->lockedElsewhere(offset); }

 private:
  WriteBatch::State* state_;
  std::string path_;
  std::shared_ptr<File> disk_;
  std::shared_ptr<Held> held_;
  bool writable_;
};

}  // namespace

Result<std::unique_ptr<File>> WriteBatch::State::open(const std::string& path, OpenMode mode) {
  if (auto it = created.find(path); it != created.end()) {
    if (mode == OpenMode::createNew) return errors::fromErrno(path, EEXIST);
    return std::unique_ptr<File>(std::make_unique<HeldJournal>(path, it->second));
  }
  if (mode == OpenMode::createNew) {
    if (!journalOfLocked(path)) {
      auto there = disk.info(path);
      if (!there) return there.status();
      if (there->exists) return errors::fromErrno(path, EEXIST);
    }
    auto bytes = std::make_shared<std::vector<std::byte>>();
    created.emplace(path, bytes);
    return std::unique_ptr<File>(std::make_unique<HeldJournal>(path, std::move(bytes)));
  }
  if (jet::isJournalPath(path)) {
    // A journal found on the disk is read and closed by the recovery, which
    // then removes it: a handle kept here would keep Windows from removing it.
    return disk.open(path, mode);
  }
  if (auto bound = boundNames.find(path); bound != boundNames.end()) {
    // A name opened before: asking where it leads now is enough to read
    // through the file already open. Opening it for writing before its
    // writer is open goes to the disk (which says whether it may be written).
    auto known = files.find({bound->second.device, bound->second.inode});
    if (known != files.end() && known->second->reader && (mode == OpenMode::readOnly || known->second->writer)) {
      auto now = disk.info(path);
      if (!now) return now.status();
      if (now->exists && now->isRegular && sameFile(*now, bound->second)) {
        return std::unique_ptr<File>(std::make_unique<HeldFile>(*this, path, known->second->reader, known->second,
                                                                mode == OpenMode::readWrite));
      }
    }
  }
  auto file = disk.open(path, mode);
  if (!file) return file.status();
  auto identity = (*file)->info();
  if (!identity) return identity.status();
  // A name stays bound to the file it first led to.
  if (auto [bound, first] = boundNames.emplace(path, *identity); !first && !sameFile(bound->second, *identity)) {
    return errors::replacedMeanwhile(path);
  }
  auto& held = files[{identity->device, identity->inode}];
  if (!held) {
    held = std::make_shared<Held>();
    held->path = path;
    held->identity = *identity;
  }
  std::shared_ptr<File> reader = std::move(*file);
  if (!held->reader) held->reader = reader;
  return std::unique_ptr<File>(std::make_unique<HeldFile>(*this, path, std::move(reader), held, mode == OpenMode::readWrite));
}

Result<FileInfo> WriteBatch::State::info(const std::string& path) {
  if (auto it = created.find(path); it != created.end()) {
    FileInfo fi;
    fi.exists = true;
    fi.size = it->second->size();
    return fi;
  }
  if (journalOfLocked(path)) return FileInfo{};
  auto fi = disk.info(path);
  if (!fi || !fi->exists || fi->isFolder) return fi;
  if (auto it = files.find({fi->device, fi->inode}); it != files.end()) {
    fi->size = std::max(fi->size, it->second->end());
  }
  return fi;
}

Status WriteBatch::State::lock(Held& held, const std::string& path, std::uint64_t offset) {
  if (std::find(held.locks.begin(), held.locks.end(), offset) != held.locks.end()) return Status::success();
  if (!held.writer) {
    auto writer = disk.open(path, OpenMode::readWrite);
    if (!writer) return writer.status();
    // The file locked is the file read.
    auto identity = (*writer)->info();
    if (!identity) return identity.status();
    if (!sameFile(*identity, held.identity)) return errors::replacedMeanwhile(path);
    held.writer = std::move(*writer);
    // Writers lock the file under its real path; its journal goes there.
    held.path = path;
  }
  if (Status s = held.writer->tryLock(offset); !s.ok()) {
    if (held.locks.empty()) held.writer.reset();
    return s;
  }
  if (offset == kWriteLockOffset) {
    // What an interrupted relink left is undone on the disk now, before
    // anything is read for the new one. (The writer asking for this lock has
    // just found no Access lock file: openForWriting(), link_writer.h.)
    auto recovered = recoverJournal(disk, *held.writer);
    if (!recovered) {
      held.writer->unlock(offset);
      if (held.locks.empty()) held.writer.reset();
      return recovered.status();
    }
    if (*recovered == Recovery::replayed) {
      // Pages read before were the interrupted relink's: read again.
      held.forgetReads();
    }
  }
  held.locks.push_back(offset);
  return Status::success();
}

Status WriteBatch::State::hold(const std::shared_ptr<Held>& file, std::uint64_t offset,
                              std::span<const std::byte> data) {
  Held& held = *file;
  if (!held.writer) return errors::notSupported("writing " + held.path + " without its lock");
  File& onDisk = *held.writer;
  if (Status s = held.shape(onDisk); !s.ok()) return s;
  // Remember what each page to change holds on the disk (as the relink first
  // read it, else now): commit() stores nothing if it differs by then.
  const std::uint64_t end = offset + data.size();
  std::vector<std::byte> page(held.pageSize);
  for (std::uint64_t p = offset / held.pageSize; p * held.pageSize < end; ++p) {
    if ((p + 1) * held.pageSize > held.diskSize) break;
    const auto number = static_cast<std::uint32_t>(p);
    if (held.seen.contains(number)) continue;
    if (Status s = held.readDisk(onDisk, p * held.pageSize, page); !s.ok()) return s;
    held.seen.emplace(number, journalChecksum(page));
  }
  auto same = std::find_if(held.extents.begin(), held.extents.end(), [&](const Extent& x) {
    return x.offset == offset && x.bytes.size() == data.size();
  });
  if (same != held.extents.end()) {
    std::copy(data.begin(), data.end(), same->bytes.begin());
  } else {
    held.extents.push_back({offset, std::vector<std::byte>(data.begin(), data.end())});
  }
  if (units > 0) held.units.insert(units - 1);
  if (std::find(written.begin(), written.end(), file) == written.end()) written.push_back(file);
  return Status::success();
}

namespace {

// One file's part of a commit.
struct Commit {
  std::shared_ptr<Held> held;
  std::vector<PageImage> oldImages;  // as on the disk
  std::vector<PageImage> newImages;  // as they go to the disk: pages added, then the rest as first written
  std::vector<std::byte> journalBytes;
  std::unique_ptr<File> journal;
  bool pagesWritten = false;
  Status status;

  std::string journalPath() const { return jet::journalPath(held->path); }
  std::string folder() const { return folderOf(journalPath()); }
};

// The pages a file's held writes touch, in the order first written.
std::vector<std::uint32_t> touchedPages(const Held& held) {
  std::vector<std::uint32_t> pages;
  for (const Extent& x : held.extents) {
    for (std::uint64_t p = x.offset / held.pageSize; p * held.pageSize < x.end(); ++p) {
      const auto number = static_cast<std::uint32_t>(p);
      if (std::find(pages.begin(), pages.end(), number) == pages.end()) pages.push_back(number);
    }
  }
  return pages;
}

// The file's name still leads to it, it has one name and no Access lock file
// beside it, its size is as first seen, and every page the relinks read
// holds what it held then. `folderNames`: what the file's folder holds now.
Status checkUnchanged(FileSystem& fs, Held& held, const std::vector<std::string>& folderNames) {
  File& disk = *held.writer;
  if (Status s = checkStillTheFile(fs, disk, &folderNames); !s.ok()) return s;
  auto size = disk.size();
  if (!size) return size.status();
  if (*size != held.diskSize) return errors::changedMeanwhile(held.path);
  std::vector<std::byte> page(held.pageSize);
  for (const auto& [number, sum] : held.seen) {
    const std::uint64_t at = std::uint64_t{number} * held.pageSize;
    if (at + held.pageSize > held.diskSize) return errors::changedMeanwhile(held.path);
    if (Status s = disk.readAt(at, page); !s.ok()) return s;
    if (journalChecksum(page) != sum) return errors::changedMeanwhile(held.path);
  }
  return Status::success();
}

// Step 1 for one file: the checks, the page images, the journal's bytes.
Status prepare(FileSystem& fs, Commit& c, const Result<std::vector<std::string>>& folderNames) {
  Held& held = *c.held;
  File& disk = *held.writer;
  if (!folderNames) return folderNames.status();
  if (Status s = checkUnchanged(fs, held, *folderNames); !s.ok()) return s;

  const std::uint64_t diskPages = held.diskSize / held.pageSize;
  std::vector<std::uint32_t> added;
  for (std::uint32_t page : touchedPages(held)) {
    if (page == kHeaderPage) return errors::invalidArgument("page 0 of " + held.path + " cannot be written");
    std::vector<std::byte> bytes(held.pageSize);
    if (Status s = readThrough(held, disk, std::uint64_t{page} * held.pageSize, bytes); !s.ok()) return s;
    c.newImages.push_back({page, std::move(bytes)});
    if (page >= diskPages) {
      added.push_back(page);
      continue;
    }
    PageImage old{page, std::vector<std::byte>(held.pageSize)};
    if (Status s = disk.readAt(std::uint64_t{page} * held.pageSize, old.bytes); !s.ok()) return s;
    auto sum = held.seen.find(page);
    if (sum == held.seen.end() || sum->second != journalChecksum(old.bytes)) {
      return errors::changedMeanwhile(held.path);
    }
    c.oldImages.push_back(std::move(old));
  }
  // Pages added at the end go first: only pages already there point at them,
  // so a reader never meets a pointer to a page not yet written.
  std::stable_partition(c.newImages.begin(), c.newImages.end(),
                        [&](const PageImage& image) { return image.page >= diskPages; });
  // They follow each other without a gap.
  std::sort(added.begin(), added.end());
  for (std::size_t i = 0; i < added.size(); ++i) {
    if (added[i] != diskPages + i) {
      return errors::invalidArgument("page " + std::to_string(added[i]) + " lies past the end of " + held.path);
    }
  }
  std::vector<PageSum> context;
  for (const auto& [page, sum] : held.seen) context.push_back({page, sum});
  auto bytes = encodeJournal(disk, held.pageSize, c.oldImages, c.newImages, context);
  if (!bytes) return bytes.status();
  c.journalBytes = std::move(*bytes);
  return Status::success();
}

// Creates and writes a file's journal (not synced).
Status createJournal(FileSystem& fs, Commit& c) {
  auto journal = createJournalFile(fs, *c.held->writer);
  if (!journal) return journal.status();
  c.journal = std::move(*journal);
  return c.journal->writeAt(0, c.journalBytes);
}

// Drops a journal whose file's pages were never written.
void dropJournal(FileSystem& fs, Commit& c) {
  if (!c.journal) return;
  c.journal.reset();
  discardJournal(fs, c.held->path);
}

// Runs `step` side by side for every commit still going; a failed step fails
// its commit.
template <typename Step>
void eachGoing(FileSystem& fs, std::vector<Commit>& commits, const Step& step) {
  std::vector<Commit*> going;
  for (Commit& c : commits) {
    if (c.status.ok()) going.push_back(&c);
  }
  fs.sideBySide(going.size(), [&](std::size_t i) { going[i]->status = step(*going[i]); });
}

// Syncs the journal folders of the commits still going, each folder once;
// the result for each of them.
std::vector<Status> syncJournalFolders(FileSystem& fs, const std::vector<Commit>& commits) {
  std::vector<std::string> folders;
  for (const Commit& c : commits) {
    if (c.status.ok() && std::find(folders.begin(), folders.end(), c.folder()) == folders.end()) {
      folders.push_back(c.folder());
    }
  }
  std::vector<Status> results(folders.size());
  fs.sideBySide(folders.size(), [&](std::size_t i) { results[i] = fs.syncFolder(folders[i]); });
  std::vector<Status> each(commits.size());
  for (std::size_t i = 0; i < commits.size(); ++i) {
    if (!commits[i].status.ok()) continue;
    const auto at = std::find(folders.begin(), folders.end(), commits[i].folder());
    each[i] = results[static_cast<std::size_t>(at - folders.begin())];
  }
  return each;
}

}  // namespace

std::vector<Status> WriteBatch::State::commit() {
  std::vector<Commit> commits;
  for (const auto& held : written) commits.push_back({held, {}, {}, {}, {}, false, {}});

  // 1. Journals written, each folder listed once for the lock-file check.
  std::map<std::string, Result<std::vector<std::string>>> folders;
  const auto listing = [&](const Commit& c) -> const Result<std::vector<std::string>>& {
    std::string folder = folderOf(c.held->path);
    if (folder.empty()) folder = ".";
    auto listed = folders.find(folder);
    if (listed == folders.end()) listed = folders.emplace(folder, disk.list(folder)).first;
    return listed->second;
  };
  for (Commit& c : commits) c.status = prepare(disk, c, listing(c));
  eachGoing(disk, commits, [&](Commit& c) { return createJournal(disk, c); });
  // 2. Journals durable: the files, then their folders.
  eachGoing(disk, commits, [](Commit& c) { return c.journal->sync(); });
  const std::vector<Status> journalFolders = syncJournalFolders(disk, commits);
  for (std::size_t i = 0; i < commits.size(); ++i) {
    if (commits[i].status.ok()) commits[i].status = journalFolders[i];
  }
  // Checked again now that the journals are durable: a file that another
  // program wrote or replaced meanwhile is not written. (Only Access's page
  // locks could close the gap; this narrows it to the page writes.)
  folders.clear();
  for (Commit& c : commits) {
    c.journalBytes = {};
    if (c.status.ok()) {
      const auto& names = listing(c);
      c.status = names ? checkUnchanged(disk, *c.held, *names) : names.status();
    }
    if (!c.status.ok()) dropJournal(disk, c);
  }
  // 3. New pages written.
  for (Commit& c : commits) {
    if (!c.status.ok()) continue;
    c.pagesWritten = true;
    for (const PageImage& image : c.newImages) {
      c.status = c.held->writer->writeAt(std::uint64_t{image.page} * c.held->pageSize, image.bytes);
      if (!c.status.ok()) break;
    }
  }
  // 4. New pages durable.
  eachGoing(disk, commits, [](Commit& c) { return c.held->writer->sync(); });
  // 5. The commit point.
  eachGoing(disk, commits, [](Commit& c) { return markJournalCommitted(*c.journal); });

  // A file that failed before its commit point gets its old pages back while
  // its journal is on disk; failing that, the journal stays and the next
  // open replays it.
  for (Commit& c : commits) {
    c.journal.reset();
    if (!c.status.ok() && c.pagesWritten) {
      (void)rollBackPages(disk, *c.held->writer, c.held->pageSize, c.oldImages, c.held->diskSize);
    }
  }
  // 6. Journals gone, durably: the files are stored whatever comes of it.
  std::vector<Status> removed(commits.size());
  eachGoing(disk, commits, [&](Commit& c) {
    removed[static_cast<std::size_t>(&c - commits.data())] = disk.remove(c.journalPath());
    return Status::success();
  });
  const std::vector<Status> synced = syncJournalFolders(disk, commits);
  for (std::size_t i = 0; i < commits.size(); ++i) {
    const Status& s = !removed[i].ok() ? removed[i] : synced[i];
    if (commits[i].status.ok() && !s.ok()) noticeFinishedJournalLeft(commits[i].held->path, s);
  }

  std::vector<Status> results(units);
  for (const Commit& c : commits) {
    for (std::size_t unit : c.held->units) {
      if (unit < results.size() && results[unit].ok()) results[unit] = c.status;
    }
  }
  for (auto& [key, held] : files) held->release();
  files.clear();
  written.clear();
  created.clear();
  listings.clear();
  boundNames.clear();
  units = 0;
  return results;
}

WriteBatch::WriteBatch(const EngineSetup& setup) : state_(std::make_unique<State>(setup)) {}

WriteBatch::~WriteBatch() {
  for (auto& [key, held] : state_->files) held->release();
}

DBEngine& WriteBatch::engine() { return state_->jet; }
FileSystem& WriteBatch::fileSystem() { return *state_; }
void WriteBatch::beginUnit() { ++state_->units; }
std::size_t WriteBatch::heldFiles() const { return state_->written.size(); }
std::vector<Status> WriteBatch::commit() {
  const NoticeScope scope(state_->notices);
  return state_->commit();
}

}  // namespace povezava::engine::jet

namespace povezava::engine {

std::unique_ptr<WriteBatch> makeWriteBatch(const EngineSetup& setup) {
  return std::make_unique<jet::WriteBatch>(setup);
}

}  // namespace povezava::engine
