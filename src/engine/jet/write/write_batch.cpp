#include "engine/jet/write/write_batch.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "base/errors.h"
#include "engine/jet/format/layout.h"
#include "engine/jet/jet_database.h"
#include "engine/jet/write/access_lock.h"
#include "engine/jet/write/journal_replay.h"
#include "engine/jet/write/journal_writer.h"
#include "engine/jet/write/link_writer.h"
#include "engine/jet/write/page_commit.h"
#include "engine/notices.h"

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
  std::shared_ptr<File> writer;          // read-write, locked; set by the first lock
  // The file as first opened through the batch: later opens of a name bound
  // to it read through it (one open per file on a share).
  std::shared_ptr<File> reader;
  // `reader` was opened read-write: the writer takes it rather than opening
  // the file again.
  bool readerWritable = false;
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

  // Whether the size in `identity` is still the file's (the open found it;
  // a recovery may have cut the file since).
  bool openedSize = true;

  // Takes the page size and the size of the file (through `disk`) once: the
  // page size from `read` (bytes read at `offset`) when they hold the
  // header's version byte, the size from the open when nothing changed it.
  Status shape(File& disk, std::uint64_t offset = 0, std::span<const std::byte> read = {}) {
    if (pageSize != 0) return Status::success();
    std::uint32_t size = 0;
    if (offset <= kOffsetVersion && offset + read.size() > kOffsetVersion) {
      const Layout* layout = layoutForVersion(std::to_integer<std::uint8_t>(read[kOffsetVersion - offset]));
      size = layout != nullptr ? layout->pageSize : 0;
    } else {
      size = databasePageSize(disk);
    }
    if (size == 0) return errors::unrecognizedFormat(path, "unknown version");
    std::uint64_t now = identity.size;
    if (!openedSize) {
      auto asked = disk.size();
      if (!asked) return asked.status();
      now = *asked;
    }
    pageSize = size;
    diskSize = now;
    return Status::success();
  }

  // Notes the whole pages of a read at `offset` that came from the disk
  // (none of the held writes lie over them).
  void noteRead(File& disk, std::uint64_t offset, std::span<const std::byte> bytes) {
    const std::uint64_t end = offset + bytes.size();
    if (std::any_of(extents.begin(), extents.end(), [&](const Extent& x) { return x.offset < end && offset < x.end(); })) {
      return;
    }
    if (!shape(disk, offset, bytes).ok()) return;
    notePagesRead(seen, pageSize, offset, bytes);
  }

  // Reads [offset, offset + out.size()) from the disk, or from the pages
  // first read there when the span is whole pages all read before.
  Status readDisk(File& disk, std::uint64_t offset, std::span<std::byte> out) {
    constexpr std::size_t kLargestPage = 4096;
    if (pageSize == 0 && offset == 0 && !out.empty() && openedSize) {
      // The header, before the page size is known: at least the largest page
      // there is, so that each page it covers is read once (and noted as
      // seen, as below).
      std::vector<std::byte> head(identity.size >= kLargestPage ? std::max(out.size(), kLargestPage) : out.size());
      if (Status s = disk.readAt(0, head); !s.ok()) return s;
      std::copy_n(head.begin(), out.size(), out.begin());
      if (shape(disk, 0, head).ok()) {
        for (std::size_t at = 0; at + pageSize <= head.size(); at += pageSize) {
          std::vector<std::byte> page(head.begin() + static_cast<std::ptrdiff_t>(at),
                                      head.begin() + static_cast<std::ptrdiff_t>(at + pageSize));
          seen.try_emplace(static_cast<std::uint32_t>(at / pageSize), journalChecksum(page));
          diskPages.try_emplace(static_cast<std::uint32_t>(at / pageSize), std::move(page));
        }
      }
      return Status::success();
    }
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
    openedSize = false;
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
    // A file opened read-write through the batch may serve as the writer
    // and outlive the batch: the locks go explicitly. So they do when the
    // writer is the reader under its real name (both held here) and
    // something outside the batch still reads through it.
    const bool outlives = writer.use_count() > 1 || (readerWritable && reader.use_count() > 2);
    if (writer && outlives) {
      for (std::uint64_t offset : locks) writer->unlock(offset);
    }
    writer.reset();
    reader.reset();
    readerWritable = false;
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

// A file open under one name, answering to another that leads to it (its
// real path): the writer takes the reader's descriptor this way, and its
// journal and checks go by the real path.
class NamedAs final : public ForwardingFile {
 public:
  NamedAs(std::string path, std::shared_ptr<File> file) : ForwardingFile(std::move(file)), path_(std::move(path)) {}
  const std::string& path() const override { return path_; }

 private:
  std::string path_;
};

}  // namespace

struct WriteBatch::State final : public FileSystem {
  explicit State(const EngineSetup& setup)
      : disk(*setup.fileSystem),
        notices(*setup.notices),
        jet(EngineSetup{this, setup.paths, setup.notices, setup.readings}, true) {}

  FileSystem& disk;
  NoticeSink& notices;
  JetEngine jet;
  std::map<std::pair<std::uint64_t, std::uint64_t>, std::shared_ptr<Held>> files;  // by device, inode
  std::vector<std::shared_ptr<Held>> written;  // files with writes held, in order
  std::map<std::string, std::shared_ptr<std::vector<std::byte>>> created;
  // Each name opened since the last commit, and the file it led to.
  std::map<std::string, FileInfo> boundNames;
  // The real path of a bound name (realPath()), and that name.
  std::map<std::string, std::string> realNames;
  // Folder listings, read once per commit: the Access lock-file check of each
  // relink reads one, and a folder may hold hundreds of front-ends.
  std::map<std::string, std::vector<std::string>> listings;
  // Folders kept open until the commit's end: the relinks' Access lock-file
  // check lists one; the commit syncs it once the journals are made, lists
  // it again just before the pages are written, and syncs it once the
  // journals are gone (on a share, one open for all of that).
  std::map<std::string, std::unique_ptr<Folder>> openFolders;
  std::size_t units = 0;

  // `open`: the file of `held` already open read-write under `path`, if any;
  // it becomes the writer.
  // `openedByName`: `open` was opened under `path` just now and found to be
  // the file read (not the reader taken as the writer).
  Status lock(Held& held, const std::string& path, std::uint64_t offset, const std::shared_ptr<File>& open = nullptr,
              bool openedByName = true);
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
    auto open = keptFolder(folder);
    if (!open) return open.status();
    auto names = (*open)->list();
    if (names) listings.emplace(folder, *names);
    return names;
  }
  // `folder` as the batch keeps it open (opened now if it is not yet).
  Result<Folder*> keptFolder(const std::string& folder);
  Status remove(const std::string& path) override {
    if (created.erase(path) == 0) return errors::notSupported("removing " + path + " while relinks are held");
    return Status::success();
  }
  Status rename(const std::string& from, const std::string&) override {
    return errors::notSupported("renaming " + from + " while relinks are held");
  }
  Result<std::string> realPath(const std::string& path) override {
    auto real = disk.realPath(path);
    if (real && *real != path && boundNames.contains(path)) realNames.insert_or_assign(*real, path);
    return real;
  }
  // The file read through a writable reader that `path` (a name opened
  // before, or its real path) leads to, still without a writer; null if none.
  std::shared_ptr<Held> writableReaderOf(const std::string& path);
  Status syncFolder(const std::string&) override { return Status::success(); }
  bool holdsWrites() const override { return true; }
};

namespace {

// A database file opened through the batch.
class HeldFile final : public File {
 public:
  // `diskWritable`: `disk` was opened read-write under `path`; `opened`:
  // what the disk said of it as it was opened, the answer to the first
  // question about it.
  // `readerAsWriter`: `disk` is the file's reader, opened read-write under
  // another name before (commit() and the recovery ask where `path` leads).
  HeldFile(WriteBatch::State& state, std::string path, std::shared_ptr<File> disk, std::shared_ptr<Held> held,
           bool writable, bool diskWritable = false, std::optional<FileInfo> opened = std::nullopt,
           bool readerAsWriter = false)
      : state_(&state), path_(std::move(path)), disk_(std::move(disk)), held_(std::move(held)), writable_(writable),
        diskWritable_(diskWritable), readerAsWriter_(readerAsWriter), opened_(std::move(opened)) {}

  const std::string& path() const override { return path_; }
  Result<FileInfo> info() override {
    if (held_->pageSize != 0) {
      // Once read, the file as the batch first found it: commit() asks the
      // disk again (the name, the links, the size, every page seen).
      FileInfo fi = held_->identity;
      fi.size = std::max(held_->diskSize, held_->end());
      return fi;
    }
    auto fi = opened_ ? Result<FileInfo>(*std::exchange(opened_, std::nullopt)) : disk_->info();
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
  Status tryLock(std::uint64_t offset) override {
    return state_->lock(*held_, path(), offset, diskWritable_ ? disk_ : nullptr, !readerAsWriter_);
  }
  // The batch keeps its locks until commit().
  void unlock(std::uint64_t) override {}
  Result<bool> lockedElsewhere(std::uint64_t offset) override { return disk_->lockedElsewhere(offset); }

 private:
  WriteBatch::State* state_;
  std::string path_;
  std::shared_ptr<File> disk_;
  std::shared_ptr<Held> held_;
  bool writable_;
  bool diskWritable_;
  bool readerAsWriter_;
  std::optional<FileInfo> opened_;
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
  if (mode == OpenMode::readWrite) {
    if (auto held = writableReaderOf(path)) {
      // The file was opened read-write to be read: the writer is that same
      // open file (commit() asks again where the name leads, and stores
      // nothing if it has moved on).
      boundNames.emplace(path, held->identity);
      return std::unique_ptr<File>(std::make_unique<HeldFile>(
          *this, path, std::make_shared<NamedAs>(path, held->reader), held, true, true, std::nullopt, true));
    }
  }
  if (auto bound = boundNames.find(path); bound != boundNames.end()) {
    // A name opened before: asking where it leads now is enough to read
    // through the file already open. Opening it for writing before its
    // writer is open goes to the disk (which says whether it may be written).
    auto known = files.find({bound->second.device, bound->second.inode});
    if (known != files.end() && known->second->reader && known->second->writer) {
      // Its write lock is held (or being taken): commit() asks where the name
      // leads, and stores nothing if it has moved on.
      return std::unique_ptr<File>(std::make_unique<HeldFile>(*this, path, known->second->reader, known->second,
                                                              mode == OpenMode::readWrite));
    }
    if (known != files.end() && known->second->reader && mode == OpenMode::readOnly) {
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
  const bool readWrite = mode == OpenMode::readWrite;
  if (!held->reader) {
    held->reader = reader;
    held->readerWritable = readWrite;
  }
  return std::unique_ptr<File>(
      std::make_unique<HeldFile>(*this, path, std::move(reader), held, readWrite, readWrite, *identity));
}

Result<Folder*> WriteBatch::State::keptFolder(const std::string& folder) {
  const std::string key = folder.empty() ? "." : folder;
  if (auto it = openFolders.find(key); it != openFolders.end()) return it->second.get();
  auto open = disk.openFolder(key);
  if (!open) return open.status();
  return openFolders.emplace(key, std::move(*open)).first->second.get();
}

std::shared_ptr<Held> WriteBatch::State::writableReaderOf(const std::string& path) {
  auto bound = boundNames.find(path);
  if (bound == boundNames.end()) {
    const auto real = realNames.find(path);
    if (real == realNames.end()) return nullptr;
    bound = boundNames.find(real->second);
    if (bound == boundNames.end()) return nullptr;
  }
  const auto known = files.find({bound->second.device, bound->second.inode});
  if (known == files.end()) return nullptr;
  const std::shared_ptr<Held>& held = known->second;
  if (!held->reader || !held->readerWritable || held->writer) return nullptr;
  return held;
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

Status WriteBatch::State::lock(Held& held, const std::string& path, std::uint64_t offset,
                               const std::shared_ptr<File>& open, bool openedByName) {
  if (std::find(held.locks.begin(), held.locks.end(), offset) != held.locks.end()) return Status::success();
  if (!held.writer && open) {
    // Opened read-write under this name, and found to be this file as it was
    // opened: no second open.
    held.writer = open;
    held.path = path;
  } else if (!held.writer) {
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
    // A reader taken as the writer was opened under another name, or
    // before: a journal beside `path` is acted on only once `path` is known
    // to lead to it still (else the journal may be another file's).
    const auto stillThere = [&]() -> Status {
      auto named = disk.info(path);
      if (!named) return named.status();
      if (!named->exists || !sameFile(*named, held.identity)) return errors::replacedMeanwhile(path);
      return Status::success();
    };
    auto recovered = recoverJournal(disk, notices, *held.writer,
                                    openedByName ? std::function<Status()>() : std::function<Status()>(stillThere));
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
  FileInfo identity;  // the file as the first check found it
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

// The file's name still leads to it, it has one name, its size is as first
// seen, and every page the relinks read holds what it held then; with
// `folderNames` (what the file's folder holds now), no Access lock file lies
// beside it either. `now` gets what the file is now, `pages` the pages read.
Status checkUnchanged(FileSystem& fs, Held& held, const std::vector<std::string>* folderNames, FileInfo& now,
                      std::map<std::uint32_t, std::vector<std::byte>>* pages = nullptr) {
  File& disk = *held.writer;
  if (fs.holdsWrites()) {
    // A batch inside a batch: the outer one asks the disk when it stores
    // what this one hands it.
    auto info = disk.info();
    if (!info) return info.status();
    now = *info;
  } else {
    // Where the name leads: the file open here (an open file keeps its device
    // and inode) when the answer names them, and then the answer is the
    // file's own.
    auto named = fs.info(disk.path());
    if (!named) return named.status();
    if (!named->exists || !sameFile(*named, held.identity)) return errors::replacedMeanwhile(disk.path());
    if (named->links > 1) return errors::hardLinked(disk.path(), named->links);
    now = *named;
  }
  if (folderNames != nullptr) {
    if (Status s = checkAccessLockFileAmong(fs, disk.path(), disk.path(), *folderNames); !s.ok()) return s;
  }
  if (now.size != held.diskSize) return errors::changedMeanwhile(held.path);
  return checkPagesUnchanged(disk, held.pageSize, held.diskSize, held.seen, pages);
}

// Step 1 for one file: the checks (all but the Access lock file's, which
// comes just before the pages are written), the page images, the journal's
// bytes. Each page is read once: the old images are the pages the check read.
Status prepare(FileSystem& fs, Commit& c) {
  Held& held = *c.held;
  File& disk = *held.writer;
  std::map<std::uint32_t, std::vector<std::byte>> onDisk;
  if (Status s = checkUnchanged(fs, held, nullptr, c.identity, &onDisk); !s.ok()) return s;

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
    // Every page to change was noted as seen when it was first held.
    auto old = onDisk.find(page);
    if (old == onDisk.end()) return errors::changedMeanwhile(held.path);
    c.oldImages.push_back({page, std::move(old->second)});
  }
  // Pages added at the end go first: only pages already there point at them,
  // so a reader never meets a pointer to a page not yet written.
  // The pages already there follow in page order (the journal undoes any
  // mix of them a crash leaves), so that adjacent ones go in one write.
  const auto existing = std::stable_partition(c.newImages.begin(), c.newImages.end(),
                                              [&](const PageImage& image) { return image.page >= diskPages; });
  std::sort(existing, c.newImages.end(), [](const PageImage& a, const PageImage& b) { return a.page < b.page; });
  // They follow each other without a gap.
  std::sort(added.begin(), added.end());
  for (std::size_t i = 0; i < added.size(); ++i) {
    if (added[i] != diskPages + i) {
      return errors::invalidArgument("page " + std::to_string(added[i]) + " lies past the end of " + held.path);
    }
  }
  std::vector<PageSum> context;
  for (const auto& [page, sum] : held.seen) context.push_back({page, sum});
  auto bytes = encodeJournal(disk, held.pageSize, c.oldImages, c.newImages, context, &c.identity);
  if (!bytes) return bytes.status();
  c.journalBytes = std::move(*bytes);
  return Status::success();
}

// Creates and writes a file's journal (not synced).
Status createJournal(FileSystem& fs, Commit& c) {
  auto journal = createJournalFile(fs, *c.held->writer, &c.identity);
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

// Syncs the journal folders of the commits still going, each folder once,
// through the folder as `openFolder` gives it; the result for each of them.
std::vector<Status> syncJournalFolders(FileSystem& fs, const std::vector<Commit>& commits,
                                       const std::function<Result<Folder*>(const std::string&)>& openFolder) {
  std::vector<std::string> folders;
  for (const Commit& c : commits) {
    if (c.status.ok() && std::find(folders.begin(), folders.end(), c.folder()) == folders.end()) {
      folders.push_back(c.folder());
    }
  }
  // Opened one after the other (most are open since the relinks' checks),
  // synced side by side.
  std::vector<Result<Folder*>> open;
  open.reserve(folders.size());
  for (const std::string& folder : folders) open.push_back(openFolder(folder));
  std::vector<Status> results(folders.size());
  fs.sideBySide(folders.size(), [&](std::size_t i) {
    results[i] = open[i] ? (*open[i])->sync() : open[i].status();
  });
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
  for (const auto& held : written) commits.push_back({held, {}, {}, {}, {}, {}, false, {}});

  // 1. Journals written.
  for (Commit& c : commits) c.status = prepare(disk, c);
  eachGoing(disk, commits, [&](Commit& c) { return createJournal(disk, c); });
  // 2. Journals durable: the files, then their folders.
  eachGoing(disk, commits, [](Commit& c) { return c.journal->sync(); });
  const auto kept = [this](const std::string& folder) { return keptFolder(folder); };
  const std::vector<Status> journalFolders = syncJournalFolders(disk, commits, kept);
  for (std::size_t i = 0; i < commits.size(); ++i) {
    if (commits[i].status.ok()) commits[i].status = journalFolders[i];
  }
  // Checked again now that the journals are durable: a file that another
  // program wrote or replaced meanwhile, or that Access opened, is not
  // written. (Only Access's page locks could close the gap; this narrows it
  // to the page writes.) Each folder is listed once.
  std::map<std::string, Result<std::vector<std::string>>> folders;
  for (Commit& c : commits) {
    c.journalBytes = {};
    if (c.status.ok()) {
      std::string folder = folderOf(c.held->path);
      if (folder.empty()) folder = ".";
      auto listed = folders.find(folder);
      if (listed == folders.end()) {
        auto open = keptFolder(folder);
        listed = folders.emplace(folder, open ? (*open)->list() : open.status()).first;
      }
      FileInfo now;
      c.status = listed->second ? checkUnchanged(disk, *c.held, &*listed->second, now) : listed->second.status();
    }
    if (!c.status.ok()) dropJournal(disk, c);
  }
  // 3. New pages written.
  for (Commit& c : commits) {
    if (!c.status.ok()) continue;
    c.pagesWritten = true;
    // Adjacent pages in one write.
    std::vector<std::byte> run;
    for (std::size_t i = 0; i < c.newImages.size() && c.status.ok();) {
      const std::uint32_t first = c.newImages[i].page;
      run.assign(c.newImages[i].bytes.begin(), c.newImages[i].bytes.end());
      for (++i; i < c.newImages.size() && c.newImages[i].page == c.newImages[i - 1].page + 1; ++i) {
        run.insert(run.end(), c.newImages[i].bytes.begin(), c.newImages[i].bytes.end());
      }
      c.status = c.held->writer->writeAt(std::uint64_t{first} * c.held->pageSize, run);
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
  const std::vector<Status> synced = syncJournalFolders(disk, commits, kept);
  for (std::size_t i = 0; i < commits.size(); ++i) {
    const Status& s = !removed[i].ok() ? removed[i] : synced[i];
    if (commits[i].status.ok() && !s.ok()) noticeFinishedJournalLeft(notices, commits[i].held->path, s);
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
  openFolders.clear();
  boundNames.clear();
  realNames.clear();
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
  return state_->commit();
}

}  // namespace povezava::engine::jet

namespace povezava::engine {

std::unique_ptr<WriteBatch> makeWriteBatch(const EngineSetup& setup) {
  return std::make_unique<jet::WriteBatch>(setup);
}

}  // namespace povezava::engine
