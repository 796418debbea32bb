#include "base/errors.h"

#ifdef _WIN32
#include "base/win32_api.h"
#endif

#include <cerrno>
#include <string>
#include <system_error>

#include "base/native_text.h"

namespace povezava::engine::errors {
namespace {

// The system's text for an errno value; unlike strerror, safe while other
// threads report errors too.
std::string errnoText(int errnoValue) { return std::generic_category().message(errnoValue); }

// Built by appending: GCC 12 at -O3 reports a false -Wrestrict for "'" + std::string(s).
std::string quoted(std::string_view s) {
  std::string out;
  out.reserve(s.size() + 2);
  out += '\'';
  out += s;
  out += '\'';
  return out;
}

std::string withReason(std::string text, std::string_view why) {
  if (!why.empty()) {
    text += " (";
    text += why;
    text += ")";
  }
  return text;
}

ErrorDetails about(ErrorCase what, std::string_view path = {}, std::string_view name = {}) {
  ErrorDetails details;
  details.what = what;
  details.path = path;
  details.name = name;
  return details;
}

ErrorDetails because(ErrorCase what, std::string_view path, std::string_view why) {
  ErrorDetails details = about(what, path);
  details.reason = why;
  return details;
}

Status diskOrNetworkBecause(std::string_view path, std::string_view why) {
  return {kErrDiskOrNetwork, "Disk or network error on " + quoted(path) + " (" + std::string(why) + ").",
          because(ErrorCase::diskOrNetwork, path, why)};
}

#ifdef _WIN32
// Windows' own text for an error code, in the user's language.
std::string windowsErrorText(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
      0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = length == 0 || buffer == nullptr ? std::wstring() : std::wstring(buffer, length);
  if (buffer != nullptr) ::LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' || text.back() == L'.')) {
    text.pop_back();
  }
  if (text.empty()) return "Windows error " + std::to_string(code);
  return utf8FromWide(text);
}

constexpr DWORD kErrorDiskQuotaExceeded = 1295;  // ERROR_DISK_QUOTA_EXCEEDED, not in every SDK

Status fromWindowsError(std::string_view path, DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND: return fileNotFound(path);
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_NETWORK_UNREACHABLE:
    case ERROR_HOST_UNREACHABLE:
    case ERROR_REM_NOT_LIST:
    case ERROR_DEV_NOT_EXIST: return notValidPath(path);
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD: return cannotOpenFile(path, windowsErrorText(code));
    case ERROR_WRITE_PROTECT: return readOnly(path);
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return databaseExists(path);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case kErrorDiskQuotaExceeded: return notEnoughSpace(path);
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_BUSY: return fileInUse(path, windowsErrorText(code));
    default: return diskOrNetworkBecause(path, windowsErrorText(code));
  }
}
#endif

}  // namespace

Status fileNotFound(std::string_view path) {
  return {kErrFileNotFound, "Could not find file " + quoted(path) + ".", about(ErrorCase::fileNotFound, path)};
}

Status notValidPath(std::string_view path) {
  return {kErrNotValidPath,
          quoted(path) + " is not a valid path. Make sure that the path name is spelled "
                         "correctly and that you are connected to the server on which the file "
                         "resides.",
          about(ErrorCase::notValidPath, path)};
}

Status ambiguousPath(std::string_view path, std::string_view first, std::string_view second) {
  return {kErrNotValidPath,
          quoted(path) + " is not a valid path: it matches both " + quoted(first) + " and " +
              quoted(second) + ", which differ only in case.",
          [&] {
            ErrorDetails details = about(ErrorCase::ambiguousPath, path, first);
            details.other = second;
            return details;
          }()};
}

Status cannotOpenFile(std::string_view path, std::string_view why) {
  return {kErrNoPermission,
          withReason("The database engine cannot open the file " + quoted(path) +
                         ". It is already opened exclusively by another user, or you need "
                         "permission to view its data.",
                     why),
          because(ErrorCase::cannotOpenFile, path, why)};
}

Status unrecognizedFormat(std::string_view path, std::string_view why) {
  return {kErrUnrecognizedFormat,
          withReason("Unrecognized database format " + quoted(path) + ".", why),
          because(ErrorCase::unrecognizedFormat, path, why)};
}

Status corrupt(std::string_view path, std::uint32_t page, std::string_view what) {
  return {kErrCannotOpen,
          "Cannot open database " + quoted(path) +
              ". It may not be a database that your application recognizes, or the file may "
              "be corrupt (page " +
              std::to_string(page) + ": " + std::string(what) + ").",
          [&] {
            ErrorDetails details = because(ErrorCase::corrupt, path, what);
            details.page = page;
            return details;
          }()};
}

Status passwordProtected(std::string_view path) {
  return {kErrNotValidPassword,
          "Not a valid password: " + quoted(path) +
              " is protected by a password or encrypted, and povezava cannot open it.",
          about(ErrorCase::passwordProtected, path)};
}

Status itemNotFound(std::string_view name) {
  return {kErrItemNotFound, "Item not found in this collection: " + quoted(name) + ".",
          about(ErrorCase::itemNotFound, {}, name)};
}

Status fileInUse(std::string_view path, std::string_view why) {
  return {kErrFileInUse, withReason("Could not use " + quoted(path) + "; file already in use.", why),
          because(ErrorCase::fileInUse, path, why)};
}

Status changedMeanwhile(std::string_view path) {
  return fileInUse(path, "another program changed it while povezava was relinking it; nothing was written");
}

Status replacedMeanwhile(std::string_view path) {
  return fileInUse(path, "another file was put under its name (renamed or copied over it) while povezava was "
                         "relinking it; nothing was written. Relink it again");
}

Status hardLinked(std::string_view path, std::uint64_t links) {
  return {kErrNoPermission,
          "The database engine will not write the file " + quoted(path) + ": it has " + std::to_string(links) +
              " names (hard links). Access may have it open under another name, whose lock file povezava cannot "
              "see. Relink it under a name of its own."};
}

Status journalNotCreated(std::string_view path, std::string_view journal, std::string_view why) {
  return {kErrNoPermission,
          withReason("The database engine cannot change the file " + quoted(path) +
                         ": povezava writes its journal " + quoted(journal) +
                         " beside it first, and its folder takes no new file. Relink it where you may create "
                         "files, or ask for that right",
                     why)};
}

Status objectNotFound(std::string_view object, std::string_view path) {
  return {kErrObjectNotFound,
          "The database engine could not find the object " + quoted(object) + " in " +
              quoted(path) + ". Make sure the object exists and that you spell its name and the "
                             "path name correctly.",
          about(ErrorCase::objectNotFound, path, object)};
}

Status readOnly(std::string_view path) {
  return {kErrReadOnly,
          "Cannot update. Database or object is read-only: " + quoted(path) + ".",
          about(ErrorCase::readOnly, path)};
}

Status notEnoughSpace(std::string_view path) {
  return {kErrNotEnoughSpace, "Not enough space on disk to update " + quoted(path) + ".",
          about(ErrorCase::notEnoughSpace, path)};
}

Status diskOrNetwork(std::string_view path, int errnoValue) {
  return diskOrNetworkBecause(path, errnoText(errnoValue));
}

Status noInstallableIsam(std::string_view connect) {
  return {kErrNoInstallableIsam,
          "Could not find installable ISAM for the link string " + quoted(connect) + ".",
          about(ErrorCase::noInstallableIsam, {}, connect)};
}

Status notSupported(std::string_view what) {
  return {kErrNotSupported,
          withReason("Operation is not supported for this type of object.", what),
          because(ErrorCase::notSupported, {}, what)};
}

Status objectInvalid() {
  return {kErrObjectInvalid, "Object invalid or no longer set.", about(ErrorCase::objectInvalid)};
}

Status recordTooLarge(std::string_view path, std::string_view what) {
  return {kErrRecordTooLarge,
          withReason("Record is too large in " + quoted(path) +
                         "; compact the database in Access and try again.",
                     what),
          because(ErrorCase::recordTooLarge, path, what)};
}

Status invalidArgument(std::string_view what) {
  return {kErrInvalidArgument, withReason("Invalid argument.", what), because(ErrorCase::invalidArgument, {}, what)};
}

Status databaseExists(std::string_view path) {
  return {kErrDatabaseExists, "Database already exists: " + quoted(path) + ".", about(ErrorCase::databaseExists, path)};
}

Status isAFolder(std::string_view path) {
  return {kErrNotValidPath, quoted(path) + " is a folder, not a database file.", about(ErrorCase::isAFolder, path)};
}

Status notAFile(std::string_view path, std::string_view kind) {
  return {kErrNotValidPath,
          quoted(path) + " is " + std::string(kind) + ", not a regular file; povezava reads and writes only regular files.",
          because(ErrorCase::notAFile, path, kind)};
}

Status fromErrno(std::string_view path, int errnoValue) {
  switch (errnoValue) {
    case ENOENT: return fileNotFound(path);
    case ENOTDIR:
    case ENETUNREACH:
    case EHOSTUNREACH: return notValidPath(path);  // as Windows says of a server that does not answer
    case EISDIR: return isAFolder(path);
    case EACCES:
    case EPERM: return cannotOpenFile(path, errnoText(errnoValue));
    case EROFS: return readOnly(path);
    case EEXIST: return databaseExists(path);
#ifdef EDQUOT
    case EDQUOT:
#endif
    case ENOSPC: return notEnoughSpace(path);
    case EBUSY:
    case ETXTBSY:
    case EAGAIN: return fileInUse(path, errnoText(errnoValue));
    default: return diskOrNetwork(path, errnoValue);
  }
}

Status fromSystemError(std::string_view path, int code) {
#ifdef _WIN32
  return fromWindowsError(path, static_cast<DWORD>(code));
#else
  return fromErrno(path, code);
#endif
}

Status fromErrorCode(std::string_view path, std::error_code code) {
  if (code.category() == std::system_category()) return fromSystemError(path, code.value());
  return fromErrno(path, code.value());
}

}  // namespace povezava::engine::errors
