// Turning a database name as the user typed it into a file on this system.
//
// "\" separates folders as well as "/", and the result has the system's own
// separator ("/" on Linux, "\" on Windows, where "C:\" and "\\server\share\"
// start a path); a relative name is relative to the current folder. On Linux
// a name in Windows form ("S:\DATA\X.MDB", "\\SERVER\share\X.MDB") goes
// through the Windows path map (path_map.h) first. When the name does not
// exist exactly, each component is
// matched without regard to case (names come from Windows, where case does
// not matter): a component must match exactly one entry of its folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/io.h"
#include "base/status.h"
#include "paths/path_map.h"

namespace povezava::engine {

// Names matched without regard to case before, kept by whoever resolves for
// as long as it trusts them (the program: one run of a command). A kept
// match is used only while the file it led to is still there.
class CaseMatchMemo {
 public:
  virtual ~CaseMatchMemo() = default;
  // Whether matches are kept at all now.
  virtual bool keeping() const = 0;
  virtual std::optional<std::string> find(const std::string& path) = 0;
  virtual void keep(const std::string& path, const std::string& resolved) = 0;

 protected:
  CaseMatchMemo() = default;
  CaseMatchMemo(const CaseMatchMemo&) = default;
  CaseMatchMemo& operator=(const CaseMatchMemo&) = default;
};

// The platform path of the named file. Errors: fileNotFound when the last
// component matches nothing, notValidPath when a folder on the way does not
// exist or when `map` covers no drive or share of a Windows name (notMapped),
// ambiguousPath when a component matches several entries that differ only in
// case. Errors show the name as it was given. `memo`, when given, keeps the
// matches made without regard to case. `exactMissing`: the path
// exactPathOf() gives was just found to name nothing (it is not asked about
// again).
[[nodiscard]] Result<std::string> resolveDatabasePath(FileSystem& fs, std::u16string_view name, const PathMap& map,
                                                      CaseMatchMemo* memo = nullptr, bool exactMissing = false);

// The path resolveDatabasePath() gives back when a file lies under exactly
// that name (the system's separators, through `map` on Linux), worked out
// without asking the file system; nullopt when there is none (an empty
// name, a drive no pair covers).
std::optional<std::string> exactPathOf(std::u16string_view name, const PathMap& map);

}  // namespace povezava::engine
