// All file access of the engine goes through this small interface, so tests
// can put a double in its place that fails the Nth call, tears a write or
// forgets what was not synced.
//
// Paths are UTF-8 on every system (converted to UTF-16 on Windows). Every failure is a Status that
// names the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "base/status.h"

namespace povezava::engine {

struct FileInfo {
  bool exists = false;
  bool isFolder = false;
  bool isRegular = false;       // a plain file: not a folder, FIFO, device or socket
  std::uint64_t size = 0;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t links = 1;      // names (hard links) the file has
  std::uint32_t permissions = 0;  // the mode's permission bits (07777)
  std::uint32_t owner = 0;
  std::uint32_t group = 0;
  // When the content last changed, in the system's own units (0 when unknown).
  std::uint64_t modified = 0;
};

// Whether two infos describe the same file (device and inode; on Windows
// volume serial number and file index).
inline bool sameFile(const FileInfo& a, const FileInfo& b) {
  return a.exists && b.exists && a.device == b.device && a.inode == b.inode;
}

// Whether `now` is the file `was` described, unchanged as far as the file
// system tells: same identity, size and modification time. (A change within
// the time stamp's granularity that keeps the size is not seen: only what
// re-reads its pages may rely on it.)
inline bool unchangedSince(const FileInfo& was, const FileInfo& now) {
  return sameFile(was, now) && was.size == now.size && was.modified != 0 && was.modified == now.modified;
}

class File {
 public:
  virtual ~File() = default;

  virtual const std::string& path() const = 0;
  // What the open file is now: its identity (device, inode), size, links,
  // permissions. Files that live only in memory answer with what they know.
  [[nodiscard]] virtual Result<FileInfo> info() = 0;
  // Gives the file the permission bits of `like`, and its owner and group
  // where the process may change them (as root). Files in memory ignore it.
  [[nodiscard]] virtual Status takePermissions(const FileInfo& /*like*/) { return Status::success(); }
  // Size in bytes, as the file is now.
  [[nodiscard]] virtual Result<std::uint64_t> size() = 0;
  // Fills `out` from `offset`; reading past the end is an error.
  [[nodiscard]] virtual Status readAt(std::uint64_t offset, std::span<std::byte> out) = 0;
  // Writes all of `data` at `offset`.
  [[nodiscard]] virtual Status writeAt(std::uint64_t offset, std::span<const std::byte> data) = 0;
  // Cuts the file to `size` bytes when it is longer (never grows it).
  [[nodiscard]] virtual Status truncate(std::uint64_t size) = 0;
  // Makes everything written so far durable.
  [[nodiscard]] virtual Status sync() = 0;
  // Takes an exclusive advisory lock on one byte at `offset` (which may lie far
  // beyond the end of the file), without waiting; fileInUse when another
  // process holds it. Released by unlock() or when the File is destroyed.
  [[nodiscard]] virtual Status tryLock(std::uint64_t offset) = 0;
  virtual void unlock(std::uint64_t offset) = 0;
  // Whether another open file (of this process or another) holds the lock
  // on the byte at `offset`; takes no lock. Files in memory answer false.
  [[nodiscard]] virtual Result<bool> lockedElsewhere(std::uint64_t /*offset*/) { return false; }

 protected:
  File() = default;
  File(const File&) = default;
  File& operator=(const File&) = default;
};

// A file that passes every call on to another: a wrapper derives from it
// and overrides what it changes.
class ForwardingFile : public File {
 public:
  explicit ForwardingFile(std::shared_ptr<File> file) : file_(std::move(file)) {}

  const std::string& path() const override { return file_->path(); }
  [[nodiscard]] Result<FileInfo> info() override { return file_->info(); }
  [[nodiscard]] Status takePermissions(const FileInfo& like) override { return file_->takePermissions(like); }
  [[nodiscard]] Result<std::uint64_t> size() override { return file_->size(); }
  [[nodiscard]] Status readAt(std::uint64_t offset, std::span<std::byte> out) override {
    return file_->readAt(offset, out);
  }
  [[nodiscard]] Status writeAt(std::uint64_t offset, std::span<const std::byte> data) override {
    return file_->writeAt(offset, data);
  }
  [[nodiscard]] Status truncate(std::uint64_t size) override { return file_->truncate(size); }
  [[nodiscard]] Status sync() override { return file_->sync(); }
  [[nodiscard]] Status tryLock(std::uint64_t offset) override { return file_->tryLock(offset); }
  void unlock(std::uint64_t offset) override { file_->unlock(offset); }
  [[nodiscard]] Result<bool> lockedElsewhere(std::uint64_t offset) override { return file_->lockedElsewhere(offset); }

 protected:
  File& inner() { return *file_; }

 private:
  std::shared_ptr<File> file_;
};

// A folder kept open: listed anew and made durable through one handle, so
// that a relink's checks and syncs of its folder cost one open on a share.
class Folder {
 public:
  virtual ~Folder() = default;
  // The names in the folder as it is now (without "." and ".."); each call
  // reads it again.
  [[nodiscard]] virtual Result<std::vector<std::string>> list() = 0;
  // Makes the creation or removal of entries in it durable.
  [[nodiscard]] virtual Status sync() = 0;

 protected:
  Folder() = default;
  Folder(const Folder&) = default;
  Folder& operator=(const Folder&) = default;
};

// Opening never waits (a FIFO does not block) and gives only regular files;
// anything else fails with a Status that says what is there instead.
enum class OpenMode { readOnly, readWrite, createNew };


class FileSystem {
 public:
  virtual ~FileSystem() = default;

  [[nodiscard]] virtual Result<std::unique_ptr<File>> open(const std::string& path, OpenMode mode) = 0;
  // Information about a path; exists == false when there is nothing there.
  [[nodiscard]] virtual Result<FileInfo> info(const std::string& path) = 0;
  // Whether the folder has an entry of that name, even a symbolic link that
  // leads nowhere (which info() reports as nothing).
  [[nodiscard]] virtual Result<bool> hasEntry(const std::string& path);
  // The names in a folder (without "." and "..").
  [[nodiscard]] virtual Result<std::vector<std::string>> list(const std::string& folder) = 0;
  [[nodiscard]] virtual Status remove(const std::string& path) = 0;
  // Gives the entry `from` the name `to` (which must not exist), in one step.
  [[nodiscard]] virtual Status rename(const std::string& from, const std::string& to) = 0;
  // The path with every symbolic link, "." and ".." resolved: the one name
  // under which the file itself lies. Fails when the path leads nowhere.
  [[nodiscard]] virtual Result<std::string> realPath(const std::string& path) = 0;
  // Makes the creation or removal of entries in `folder` durable.
  [[nodiscard]] virtual Status syncFolder(const std::string& folder) = 0;
  // `folder`, kept open for listing and syncing. The default lists and syncs
  // it by name through list() and syncFolder(), each time: a name that leads
  // to no folder fails at the first listing.
  [[nodiscard]] virtual Result<std::unique_ptr<Folder>> openFolder(const std::string& folder);
  // Whether writes through this file system are held in memory and stored
  // later by a commit of its own, which checks the files on disk then.
  virtual bool holdsWrites() const { return false; }

  // Calls each(i) for every i below `count`, and returns when all are done.
  // A file system may run the calls side by side (a disk serves many syncs,
  // creations or removals in about the time of one): calls for different i
  // must then not share anything but this file system.
  virtual void sideBySide(std::size_t count, const std::function<void(std::size_t)>& each);

 protected:
  FileSystem() = default;
  FileSystem(const FileSystem&) = default;
  FileSystem& operator=(const FileSystem&) = default;
};

}  // namespace povezava::engine
