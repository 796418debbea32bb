#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "base/errors.h"
#include "platform/file_system.h"
#include "engine/readings.h"

namespace povezava::engine {
namespace {

// Syncs, creations and removals are waits on the disk, not work for the
// processor: up to this many run side by side, and the disk serves them
// together.
constexpr std::size_t kSideBySide = 16;

FileInfo infoOf(const struct stat& st) {
  FileInfo fi;
  fi.exists = true;
  fi.isFolder = S_ISDIR(st.st_mode);
  fi.isRegular = S_ISREG(st.st_mode);
  fi.size = static_cast<std::uint64_t>(st.st_size);
  fi.device = static_cast<std::uint64_t>(st.st_dev);
  fi.inode = static_cast<std::uint64_t>(st.st_ino);
  fi.links = static_cast<std::uint64_t>(st.st_nlink);
  fi.permissions = static_cast<std::uint32_t>(st.st_mode & 07777);
  fi.owner = static_cast<std::uint32_t>(st.st_uid);
  fi.group = static_cast<std::uint32_t>(st.st_gid);
  fi.modified = static_cast<std::uint64_t>(st.st_mtim.tv_sec) * 1000000000u +
                static_cast<std::uint64_t>(st.st_mtim.tv_nsec);
  return fi;
}

// What lies at a path that is not a regular file, in a user's words.
std::string_view kindOf(mode_t mode) {
  if (S_ISFIFO(mode)) return "a named pipe (FIFO)";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "not a regular file";
}

class PosixFile final : public File {
 public:
  // `opened`: what fstat said as the file was opened; the first question
  // about the file takes it instead of asking again.
  PosixFile(std::string path, int fd, const struct stat& opened)
      : path_(std::move(path)), fd_(fd), opened_(infoOf(opened)) {}
  ~PosixFile() override { ::close(fd_); }
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;

  const std::string& path() const override { return path_; }

  Result<FileInfo> info() override {
    if (opened_) return *std::exchange(opened_, std::nullopt);
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return errors::fromErrno(path_, errno);
    return infoOf(st);
  }

  Status takePermissions(const FileInfo& like) override {
    // What the file was given as it was made needs no second word.
    const std::optional<FileInfo> was = std::exchange(opened_, std::nullopt);
    const bool ownerAsLike = was && was->owner == like.owner && was->group == like.group;
    const bool modeAsLike = was && (was->permissions & 07777) == (like.permissions & 0777);
    if (::geteuid() == 0 && !ownerAsLike && ::fchown(fd_, like.owner, like.group) != 0) {
      return errors::fromErrno(path_, errno);
    }
    if (!modeAsLike && ::fchmod(fd_, static_cast<mode_t>(like.permissions & 0777)) != 0) {
      return errors::fromErrno(path_, errno);
    }
    return Status::success();
  }

  Result<std::uint64_t> size() override {
    if (opened_) return std::exchange(opened_, std::nullopt)->size;
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return errors::fromErrno(path_, errno);
    return static_cast<std::uint64_t>(st.st_size);
  }

  Status readAt(std::uint64_t offset, std::span<std::byte> out) override {
    std::size_t done = 0;
    while (done < out.size()) {
      const ssize_t n = ::pread(fd_, out.data() + done, out.size() - done,
                                static_cast<off_t>(offset + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        return errors::fromErrno(path_, errno);
      }
      if (n == 0) return errors::diskOrNetwork(path_, EIO);  // past the end
      done += static_cast<std::size_t>(n);
    }
    return Status::success();
  }

  Status writeAt(std::uint64_t offset, std::span<const std::byte> data) override {
    noteChangeMadeHere();
    opened_.reset();
    std::size_t done = 0;
    while (done < data.size()) {
      const ssize_t n = ::pwrite(fd_, data.data() + done, data.size() - done,
                                 static_cast<off_t>(offset + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        return errors::fromErrno(path_, errno);
      }
      done += static_cast<std::size_t>(n);
    }
    return Status::success();
  }

  Status truncate(std::uint64_t size) override {
    noteChangeMadeHere();
    opened_.reset();
    auto now = this->size();
    if (!now) return now.status();
    if (*now <= size) return Status::success();
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) return errors::fromErrno(path_, errno);
    return Status::success();
  }

  Status sync() override {
    if (::fsync(fd_) != 0) return errors::fromErrno(path_, errno);
    return Status::success();
  }

  Status tryLock(std::uint64_t offset) override {
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = 1;
    if (::fcntl(fd_, F_OFD_SETLK, &fl) == 0) return Status::success();
    if (errno == EAGAIN || errno == EACCES) {
      return errors::fileInUse(path_, "another program is changing it");
    }
    return errors::fromErrno(path_, errno);
  }

  void unlock(std::uint64_t offset) override {
    struct flock fl {};
    fl.l_type = F_UNLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = 1;
    ::fcntl(fd_, F_OFD_SETLK, &fl);
  }

  Result<bool> lockedElsewhere(std::uint64_t offset) override {
    // Asking needs no write access: a file open for reading may ask.
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = 1;
    if (::fcntl(fd_, F_OFD_GETLK, &fl) != 0) return errors::fromErrno(path_, errno);
    return fl.l_type != F_UNLCK;
  }

 private:
  std::string path_;
  int fd_;
  std::optional<FileInfo> opened_;
};

// The entries of the folder open as `fd`, from where its position stands,
// read straight from the descriptor (opendir() would ask about the folder
// once more, a round trip on a share).
Result<std::vector<std::string>> entriesOf(int fd, const std::string& folder) {
  std::vector<std::string> names;
  std::vector<char> buffer(32768);
  for (;;) {
    const ssize_t n = ::getdents64(fd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errors::fromErrno(folder, errno);
    if (n == 0) break;
    for (std::size_t at = 0; at < static_cast<std::size_t>(n);) {
      unsigned short length = 0;
      std::memcpy(&length, buffer.data() + at + offsetof(struct dirent64, d_reclen), sizeof length);
      const std::string name(buffer.data() + at + offsetof(struct dirent64, d_name));
      if (name != "." && name != "..") names.push_back(name);
      if (length == 0) break;
      at += length;
    }
  }
  return names;
}

class PosixFolder final : public Folder {
 public:
  PosixFolder(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
  ~PosixFolder() override { ::close(fd_); }
  PosixFolder(const PosixFolder&) = delete;
  PosixFolder& operator=(const PosixFolder&) = delete;

  Result<std::vector<std::string>> list() override {
    // Back to the start, which (as rewinddir) reads the folder as it is now.
    if (listed_ && ::lseek(fd_, 0, SEEK_SET) != 0) return errors::fromErrno(path_, errno);
    listed_ = true;
    return entriesOf(fd_, path_);
  }

  Status sync() override {
    if (::fsync(fd_) != 0) return errors::fromErrno(path_, errno);
    return Status::success();
  }

 private:
  std::string path_;
  int fd_;
  bool listed_ = false;
};

class PosixFileSystem final : public FileSystem {
 public:
  Result<std::unique_ptr<File>> open(const std::string& path, OpenMode mode) override {
    // Without O_NONBLOCK, opening a FIFO for reading waits for a writer.
    int flags = O_CLOEXEC | O_NONBLOCK;
    switch (mode) {
      case OpenMode::readOnly: flags |= O_RDONLY; break;
      case OpenMode::readWrite: flags |= O_RDWR; break;
      case OpenMode::createNew: flags |= O_RDWR | O_CREAT | O_EXCL; break;
    }
    int fd = -1;
    do {
      fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return errors::fromErrno(path, errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
      const int e = errno;
      ::close(fd);
      return errors::fromErrno(path, e);
    }
    if (!S_ISREG(st.st_mode)) {
      ::close(fd);
      return S_ISDIR(st.st_mode) ? errors::isAFolder(path) : errors::notAFile(path, kindOf(st.st_mode));
    }
    // O_NONBLOCK stays: it means nothing for a regular file's reads, writes
    // and locks, and clearing it would cost two more calls on a share.
    return std::unique_ptr<File>(std::make_unique<PosixFile>(path, fd, st));
  }

  Result<FileInfo> info(const std::string& path) override {
    struct stat st {};
    FileInfo fi;
    if (::stat(path.c_str(), &st) != 0) {
      if (errno == ENOENT || errno == ENOTDIR) return fi;
      return errors::fromErrno(path, errno);
    }
    return infoOf(st);
  }

  Result<bool> hasEntry(const std::string& path) override {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) return true;
    if (errno == ENOENT || errno == ENOTDIR) return false;
    return errors::fromErrno(path, errno);
  }

  // By name: the folder opened, listed or synced, closed.
  Result<std::vector<std::string>> list(const std::string& folder) override {
    auto open = openFolder(folder);
    if (!open) return open.status();
    return (*open)->list();
  }

  Result<std::unique_ptr<Folder>> openFolder(const std::string& folder) override {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errors::fromErrno(folder, errno);
    return std::unique_ptr<Folder>(std::make_unique<PosixFolder>(folder, fd));
  }

  Status remove(const std::string& path) override {
    noteChangeMadeHere();
    if (::unlink(path.c_str()) != 0) return errors::fromErrno(path, errno);
    return Status::success();
  }

  Status rename(const std::string& from, const std::string& to) override {
    noteChangeMadeHere();
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
      return Status::success();
    }
    if (errno != EINVAL && errno != ENOSYS) return errors::fromErrno(to, errno);
    // A file system without RENAME_NOREPLACE: look first.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) return errors::fromErrno(to, EEXIST);
    if (::rename(from.c_str(), to.c_str()) != 0) return errors::fromErrno(to, errno);
    return Status::success();
  }

  Result<std::string> realPath(const std::string& path) override {
    char* resolved = ::realpath(path.empty() ? "." : path.c_str(), nullptr);
    if (resolved == nullptr) return errors::fromErrno(path, errno);
    std::string out(resolved);
    std::free(resolved);
    return out;
  }

  Status syncFolder(const std::string& folder) override {
    auto open = openFolder(folder);
    if (!open) return open.status();
    return (*open)->sync();
  }

  void sideBySide(std::size_t count, const std::function<void(std::size_t)>& each) override {
    const std::size_t threads = std::min(count, kSideBySide);
    if (threads <= 1) {
      FileSystem::sideBySide(count, each);
      return;
    }
    std::atomic<std::size_t> next{0};
    auto work = [&] {
      for (std::size_t i = next++; i < count; i = next++) each(i);
    };
    std::vector<std::jthread> pool;
    pool.reserve(threads - 1);
    try {
      for (std::size_t t = 1; t < threads; ++t) pool.emplace_back(work);
    } catch (const std::system_error&) {
      // No more threads to be had: the ones running (this one at least) do the rest.
    }
    work();
  }
};

}  // namespace

FileSystem& posixFileSystem() {
  static PosixFileSystem fs;
  return fs;
}

}  // namespace povezava::engine
