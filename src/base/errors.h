// The engine's errors: numbers and wording in one table (errors.cpp).
//
// Numbers and texts follow the ones users of the Jet engine know from
// Access and DAO, so a message from povezava reads like the one they would
// have seen on Windows. Every description names the file it is about.
#pragma once

#include <cstdint>
#include <string_view>
#include <system_error>

#include "base/status.h"

namespace povezava::engine {

// Error numbers, as the Jet engine numbers them.
enum ErrorNumber : int {
  kErrInvalidArgument = 3001,       // Invalid argument.
  kErrObjectNotFound = 3011,        // could not find the object
  kErrNotEnoughSpace = 3026,        // Not enough space on disk.
  kErrReadOnly = 3027,              // Cannot update. Database or object is read-only.
  kErrFileNotFound = 3024,          // Could not find file
  kErrNotValidPassword = 3031,      // Not a valid password.
  kErrDiskOrNetwork = 3043,         // Disk or network error.
  kErrNotValidPath = 3044,          // is not a valid path
  kErrFileInUse = 3045,             // Could not use; file already in use.
  kErrRecordTooLarge = 3047,        // Record is too large.
  kErrCannotOpen = 3049,            // Cannot open database; may be corrupt.
  kErrNoPermission = 3051,          // cannot open the file (permission / exclusive)
  kErrNoInstallableIsam = 3170,     // Could not find installable ISAM.
  kErrDatabaseExists = 3204,        // Database already exists.
  kErrNotSupported = 3251,          // Operation is not supported for this type of object.
  kErrItemNotFound = 3265,          // Item not found in this collection.
  kErrUnrecognizedFormat = 3343,    // Unrecognized database format
  kErrObjectInvalid = 3420,         // Object invalid or no longer set.

  // povezava's own, for what its relinking rules refuse (no Jet number fits):
  kErrHeldBack = 9001,              // not written because another table of the front-end failed
  kErrNoLinkedTables = 9002,        // the front-end has none of the tables as a linked table
  kErrWindowsLinkToLocalPath = 9003,  // a link in Windows form would become a local (Linux) path
  kErrOutsideMappedFolder = 9004,   // a path climbs out of the folder it is mapped through
  kErrNotRepresentable = 9005,      // a file name that is not valid text (UTF-8)
};

namespace errors {

// The named file does not exist (its folder does).
Status fileNotFound(std::string_view path);
// A folder on the way to the named file does not exist.
Status notValidPath(std::string_view path);
// The name matches several files that differ only in case (`first`, `second`).
Status ambiguousPath(std::string_view path, std::string_view first, std::string_view second);
// The name is a folder, or the file cannot be read for lack of permission.
Status cannotOpenFile(std::string_view path, std::string_view why);
// Not a Jet/ACE file at all: wrong signature, unknown version, too short.
Status unrecognizedFormat(std::string_view path, std::string_view why);
// A Jet file whose pages are inconsistent. `page` names where it was found.
Status corrupt(std::string_view path, std::uint32_t page, std::string_view what);
// Password-protected (Jet) or encrypted with an Office password (ACE).
Status passwordProtected(std::string_view path);
// A name looked up in a collection that has no such item.
Status itemNotFound(std::string_view name);
// Another process holds the file (a lock, an Access lock file).
Status fileInUse(std::string_view path, std::string_view why = {});
// fileInUse: another program wrote the file while povezava was changing it.
Status changedMeanwhile(std::string_view path);
// fileInUse: the name now leads to another file (renamed or copied over it).
Status replacedMeanwhile(std::string_view path);
// cannotOpenFile's number: the file has `links` names (hard links).
Status hardLinked(std::string_view path, std::uint64_t links);
// cannotOpenFile's number: the folder of `path` takes no new file, and
// povezava writes its journal `journal` there before changing the file.
Status journalNotCreated(std::string_view path, std::string_view journal, std::string_view why);
// The back-end has no table of that name.
Status objectNotFound(std::string_view object, std::string_view path);
// The file or its folder cannot be written.
Status readOnly(std::string_view path);
// The disk is full while writing the file.
Status notEnoughSpace(std::string_view path);
// Any other failure of reading, writing or syncing the file.
Status diskOrNetwork(std::string_view path, int errnoValue);
// A link string the engine cannot use.
Status noInstallableIsam(std::string_view connect);
// An operation that does not apply to this object (Connect of a local table).
Status notSupported(std::string_view what);
// An object whose database has been closed.
Status objectInvalid();
// A catalogue row that no longer fits where it must go.
Status recordTooLarge(std::string_view path, std::string_view what);
// An argument the engine cannot accept (a character the code page lacks, ...).
Status invalidArgument(std::string_view what);

// A new database was to be made where a file already is.
Status databaseExists(std::string_view path);

// A folder lies at `path` where a database file was expected.
Status isAFolder(std::string_view path);
// Something else that is not a regular file lies at `path`: `kind` says what
// ("a named pipe (FIFO)", "a device", ...).
Status notAFile(std::string_view path, std::string_view kind);
// Maps an errno from opening or writing a file to the matching Status.
Status fromErrno(std::string_view path, int errnoValue);
// The same for the system's own error code: an errno value on Linux, a
// Windows error code (GetLastError) on Windows, mapped to the same numbers
// (a missing file 3024, a missing folder or unreachable server 3044, no
// access 3051, a sharing or lock violation 3045, a full disk 3026, ...).
Status fromSystemError(std::string_view path, int code);
// An error from std::filesystem, whichever of the two kinds it holds.
Status fromErrorCode(std::string_view path, std::error_code code);

}  // namespace errors
}  // namespace povezava::engine
