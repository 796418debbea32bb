// The real file system on Windows, with the promises of the POSIX one:
//
//   - paths are UTF-8, converted to UTF-16 here (never through the ANSI code
//     page), and handed to Windows as long paths ("\\?\C:\...",
//     "\\?\UNC\server\share\...") so that no MAX_PATH limit applies;
//   - files are opened sharing read, write and delete, so Access, readers and
//     a rename of the folder are never blocked by povezava;
//   - writes go in place at an offset; sync() is FlushFileBuffers;
//   - only regular files (disk files) open; a folder, a pipe or a device
//     gets the same error as on Linux;
//   - the writer's lock is one byte locked with LockFileEx at the same offset
//     as on Linux, far past the end of any Jet file and outside the ranges
//     Jet locks, so no reader ever touches it (Windows locks are mandatory);
//   - Windows error codes become the same Jet errors as the errno values do.
#include "base/win32_api.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "platform/file_system.h"
#include "engine/readings.h"
#include "base/native_text.h"
#include "paths/dots.h"

namespace povezava::engine {
namespace {

// The longest path the wide Windows calls take, in UTF-16 units.
constexpr std::size_t kLongestPath = 32767;

// What a Windows error means for the file at `path`.
Status fromWindowsError(std::string_view path, DWORD error) {
  return errors::fromSystemError(path, static_cast<int>(error));
}

Status lastError(std::string_view path) { return fromWindowsError(path, ::GetLastError()); }

// The folder the process runs in, "C:\..." or "\\server\share\...".
std::wstring currentFolder() {
  std::wstring folder(kLongestPath + 1, L'\0');
  const DWORD length = ::GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data());
  folder.resize(length < folder.size() ? length : 0);
  return folder;
}

// The path as Windows wants it for the wide-character calls: absolute, with
// "\" separators, "." and ".." taken out, and prefixed ("\\?\C:\...",
// "\\?\UNC\server\share\...") so that no length limit applies. Done here
// rather than by GetFullPathNameW, which refuses long paths on some systems.
// Device names ("NUL", "\\.\pipe\x") are left to Windows as they are.
std::wstring longPath(const std::string& path) {
  std::wstring wide = wideFromUtf8(path.empty() ? std::string(".") : path);
  if (wide.starts_with(L"\\\\?\\") || wide.starts_with(L"\\\\.\\")) return wide;
  if (wide.size() < MAX_PATH) {
    // A reserved name ("NUL", "COM1", "C:\\x\\CON") is the device wherever it stands.
    std::wstring full(MAX_PATH, L'\0');
    const DWORD length = ::GetFullPathNameW(wide.c_str(), MAX_PATH, full.data(), nullptr);
    if (length > 0 && length < MAX_PATH && full.starts_with(L"\\\\.\\")) return full.substr(0, length);
  }
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  const bool unc = wide.starts_with(L"\\\\");
  const bool drive = wide.size() >= 2 && wide[1] == L':';
  if (!unc && !(drive && wide.size() >= 3 && wide[2] == L'\\')) {
    const std::wstring here = currentFolder();
    if (drive || here.empty()) {
      // "C:x" (relative to C:'s own folder) and the like: Windows knows best.
      const DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
      if (needed == 0) return wide;
      std::wstring full(needed, L'\0');
      const DWORD length = ::GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
      if (length == 0 || length >= needed) return wide;
      full.resize(length);
      wide = full;
    } else if (wide.starts_with(L"\\")) {
      wide = here.substr(0, here.starts_with(L"\\\\") ? here.size() : 2) + wide;  // "\x": the drive's root
    } else {
      wide = here + L"\\" + wide;
    }
  }
  // The root stays; the rest loses "." and "..", as Windows itself would do.
  std::size_t rootEnd = 3;  // "C:\"
  if (wide.starts_with(L"\\\\")) {
    rootEnd = wide.find(L'\\', 2);
    rootEnd = rootEnd == std::wstring::npos ? wide.size() : wide.find(L'\\', rootEnd + 1);
    rootEnd = rootEnd == std::wstring::npos ? wide.size() : rootEnd + 1;
  }
  std::wstring out = wide.substr(0, rootEnd);
  const std::vector<std::wstring> parts =
      *foldDots(std::wstring_view(wide).substr(std::min(rootEnd, wide.size())), AboveStart::stays);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out += L'\\';
    out += parts[i];
  }
  if (out.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + out.substr(2);
  return L"\\\\?\\" + out;
}

// The path without the long-path prefix, as a user would write it.
std::string shortForm(std::wstring path) {
  if (path.starts_with(L"\\\\?\\UNC\\")) {
    path = L"\\\\" + path.substr(8);
  } else if (path.starts_with(L"\\\\?\\")) {
    path = path.substr(4);
  }
  return utf8FromWide(path);
}

class Handle {
 public:
  explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
  ~Handle() {
    if (valid()) ::CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens whatever is at `path` (a folder too) for asking about it only.
HANDLE openForQuery(const std::wstring& path) {
  return ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// What lies behind a handle that is not a disk file, in a user's words.
std::string_view kindOf(HANDLE h) {
  switch (::GetFileType(h)) {
    case FILE_TYPE_PIPE: return "a named pipe (FIFO)";
    case FILE_TYPE_CHAR: return "a device";
    default: return "not a regular file";
  }
}

Result<FileInfo> infoOfHandle(const std::string& path, HANDLE h) {
  BY_HANDLE_FILE_INFORMATION bhi{};
  FileInfo fi;
  fi.exists = true;
  if (::GetFileType(h) != FILE_TYPE_DISK) return fi;  // neither folder nor regular
  if (!::GetFileInformationByHandle(h, &bhi)) return lastError(path);
  fi.isFolder = (bhi.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  fi.isRegular = !fi.isFolder;
  fi.size = (std::uint64_t{bhi.nFileSizeHigh} << 32) | bhi.nFileSizeLow;
  fi.device = bhi.dwVolumeSerialNumber;
  fi.inode = (std::uint64_t{bhi.nFileIndexHigh} << 32) | bhi.nFileIndexLow;
  fi.links = bhi.nNumberOfLinks;
  fi.modified = (std::uint64_t{bhi.ftLastWriteTime.dwHighDateTime} << 32) | bhi.ftLastWriteTime.dwLowDateTime;
  // Windows has access lists, not modes: what a mode would say of the
  // read-only attribute.
  fi.permissions = (bhi.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0666;
  return fi;
}

OVERLAPPED at(std::uint64_t offset) {
  OVERLAPPED ov{};
  ov.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
  ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return ov;
}

// The most one ReadFile or WriteFile call moves.
constexpr std::size_t kMaxTransfer = 1u << 30;

class WindowsFile final : public File {
 public:
  WindowsFile(std::string path, HANDLE h) : path_(std::move(path)), handle_(h) {}

  const std::string& path() const override { return path_; }

  Result<FileInfo> info() override { return infoOfHandle(path_, handle_.get()); }

  // New files take the folder's access list, as every file made there does.
  Status takePermissions(const FileInfo& /*like*/) override { return Status::success(); }

  Result<std::uint64_t> size() override {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(handle_.get(), &size)) return lastError(path_);
    return static_cast<std::uint64_t>(size.QuadPart);
  }

  Status readAt(std::uint64_t offset, std::span<std::byte> out) override {
    std::size_t done = 0;
    while (done < out.size()) {
      OVERLAPPED ov = at(offset + done);
      DWORD n = 0;
      const auto want = static_cast<DWORD>(std::min(out.size() - done, kMaxTransfer));
      if (!::ReadFile(handle_.get(), out.data() + done, want, &n, &ov)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_HANDLE_EOF) return errors::diskOrNetwork(path_, EIO);  // past the end
        return fromWindowsError(path_, error);
      }
      if (n == 0) return errors::diskOrNetwork(path_, EIO);  // past the end
      done += n;
    }
    return Status::success();
  }

  Status writeAt(std::uint64_t offset, std::span<const std::byte> data) override {
    noteChangeMadeHere();
    std::size_t done = 0;
    while (done < data.size()) {
      OVERLAPPED ov = at(offset + done);
      DWORD n = 0;
      const auto want = static_cast<DWORD>(std::min(data.size() - done, kMaxTransfer));
      if (!::WriteFile(handle_.get(), data.data() + done, want, &n, &ov)) return lastError(path_);
      if (n == 0) return errors::diskOrNetwork(path_, EIO);
      done += n;
    }
    return Status::success();
  }

  Status truncate(std::uint64_t size) override {
    noteChangeMadeHere();
    auto now = this->size();
    if (!now) return now.status();
    if (*now <= size) return Status::success();
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    if (!::SetFileInformationByHandle(handle_.get(), FileEndOfFileInfo, &end, sizeof end)) {
      return lastError(path_);
    }
    return Status::success();
  }

  Status sync() override {
    if (!::FlushFileBuffers(handle_.get())) return lastError(path_);
    return Status::success();
  }

  Status tryLock(std::uint64_t offset) override {
    OVERLAPPED ov = at(offset);
    if (::LockFileEx(handle_.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &ov)) {
      return Status::success();
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) {
      return errors::fileInUse(path_, "another program is changing it");
    }
    return fromWindowsError(path_, error);
  }

  void unlock(std::uint64_t offset) override {
    OVERLAPPED ov = at(offset);
    ::UnlockFileEx(handle_.get(), 0, 1, 0, &ov);
  }

  // Windows cannot ask without locking: a lock taken at once is given back.
  Result<bool> lockedElsewhere(std::uint64_t offset) override {
    OVERLAPPED ov = at(offset);
    if (::LockFileEx(handle_.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &ov)) {
      OVERLAPPED again = at(offset);
      ::UnlockFileEx(handle_.get(), 0, 1, 0, &again);
      return false;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) return true;
    return fromWindowsError(path_, error);
  }

 private:
  std::string path_;
  Handle handle_;
};

class WindowsFileSystem final : public FileSystem {
 public:
  Result<std::unique_ptr<File>> open(const std::string& path, OpenMode mode) override {
    DWORD access = GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    switch (mode) {
      case OpenMode::readOnly: break;
      case OpenMode::readWrite: access |= GENERIC_WRITE; break;
      case OpenMode::createNew:
        access |= GENERIC_WRITE;
        disposition = CREATE_NEW;
        break;
    }
    const std::wstring wide = longPath(path);
    HANDLE h = ::CreateFileW(wide.c_str(), access, kShareAll, nullptr, disposition,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD error = ::GetLastError();
      // Opening a folder as a file is refused for lack of access: say what it is.
      if (error == ERROR_ACCESS_DENIED || error == ERROR_DIRECTORY) {
        const DWORD attributes = ::GetFileAttributesW(wide.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
          return errors::isAFolder(path);
        }
      }
      return fromWindowsError(path, error);
    }
    auto file = std::make_unique<WindowsFile>(path, h);
    if (::GetFileType(h) != FILE_TYPE_DISK) return errors::notAFile(path, kindOf(h));
    return std::unique_ptr<File>(std::move(file));
  }

  Result<FileInfo> info(const std::string& path) override {
    const std::wstring wide = longPath(path);
    Handle h(openForQuery(wide));
    if (!h.valid()) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME ||
          error == ERROR_BAD_PATHNAME || error == ERROR_DIRECTORY) {
        return FileInfo{};
      }
      // Held open without sharing (a paging file, some system files): it is there.
      if (error == ERROR_SHARING_VIOLATION) {
        FileInfo fi;
        fi.exists = true;
        const DWORD attributes = ::GetFileAttributesW(wide.c_str());
        fi.isFolder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        fi.isRegular = !fi.isFolder;
        return fi;
      }
      return fromWindowsError(path, error);
    }
    return infoOfHandle(path, h.get());
  }

  // The attributes of the entry itself: a link that leads nowhere has them.
  Result<bool> hasEntry(const std::string& path) override {
    const std::wstring wide = longPath(path);
    if (::GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME ||
        error == ERROR_BAD_PATHNAME || error == ERROR_DIRECTORY) {
      return false;
    }
    return fromWindowsError(path, error);
  }

  Result<std::vector<std::string>> list(const std::string& folder) override {
    std::wstring pattern = longPath(folder.empty() ? std::string(".") : folder);
    if (!pattern.ends_with(L"\\")) pattern += L"\\";
    pattern += L"*";
    WIN32_FIND_DATAW found{};
    HANDLE h = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_FILE_NOT_FOUND) return std::vector<std::string>{};  // an empty drive root
      return fromWindowsError(folder, error);
    }
    std::vector<std::string> names;
    do {
      const std::wstring_view name = found.cFileName;
      if (name != L"." && name != L"..") names.push_back(utf8FromWide(name));
    } while (::FindNextFileW(h, &found));
    const DWORD error = ::GetLastError();
    ::FindClose(h);
    if (error != ERROR_NO_MORE_FILES) return fromWindowsError(folder, error);
    return names;
  }

  Status remove(const std::string& path) override {
    noteChangeMadeHere();
    if (!::DeleteFileW(longPath(path).c_str())) return lastError(path);
    return Status::success();
  }

  Status rename(const std::string& from, const std::string& to) override {
    noteChangeMadeHere();
    // Without MOVEFILE_REPLACE_EXISTING: an existing `to` is an error.
    if (!::MoveFileExW(longPath(from).c_str(), longPath(to).c_str(), MOVEFILE_WRITE_THROUGH)) {
      return lastError(to);
    }
    return Status::success();
  }

  Result<std::string> realPath(const std::string& path) override {
    Handle h(openForQuery(longPath(path)));
    if (!h.valid()) return lastError(path);
    // Room for the longest path Windows has: some versions report a short
    // buffer as a failure (ERROR_MORE_DATA) rather than with the size needed.
    std::wstring out(kLongestPath + 1, L'\0');
    const DWORD length = ::GetFinalPathNameByHandleW(h.get(), out.data(), static_cast<DWORD>(out.size()),
                                                     FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) {
      const DWORD error = ::GetLastError();
      // Wine cannot name a handle whose path is longer than MAX_PATH: the
      // path itself, made absolute, names the file then.
      if (error == ERROR_MORE_DATA) return shortForm(longPath(path));
      return fromWindowsError(path, error);
    }
    if (length >= out.size()) return fromWindowsError(path, ERROR_FILENAME_EXCED_RANGE);
    out.resize(length);
    return shortForm(out);
  }

  // NTFS and SMB servers make a new or removed name durable with the file's
  // own flush; a folder cannot be flushed without administrator rights.
  Status syncFolder(const std::string& /*folder*/) override { return Status::success(); }
};

}  // namespace

FileSystem& posixFileSystem() {
  static WindowsFileSystem fs;
  return fs;
}

}  // namespace povezava::engine
