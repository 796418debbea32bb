#include "engine/jet/write/access_lock.h"

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <string_view>
#include <vector>

#include "base/case_fold.h"
#include "base/errors.h"
#include "base/native_text.h"
#include "base/unicode.h"

namespace povezava::engine::jet {
namespace {

// The names an Access lock file of `path` may have: same stem, .ldb or .laccdb.
bool isLockFileOf(const std::string& entry, const std::string& stem) {
  // Most entries of a big folder fail this cheap test.
  auto endsWith = [&](std::string_view ext) {
    if (entry.size() < ext.size()) return false;
    for (std::size_t i = 0; i < ext.size(); ++i) {
      const char c = entry[entry.size() - ext.size() + i];
      if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != ext[i]) return false;
    }
    return true;
  };
  if (!endsWith(".ldb") && !endsWith(".laccdb")) return false;
  const std::u16string e = fromUtf8(entry);
  for (std::u16string_view ext : {u".ldb", u".laccdb"}) {
    if (equalsIgnoringCase(e, fromUtf8(stem) + std::u16string(ext))) return true;
  }
  return false;
}

}  // namespace

Status checkAccessLockFile(FileSystem& fs, const std::string& path, const std::string& displayName) {
  const std::string folder = utf8Of(pathFromUtf8(path).parent_path());
  auto names = fs.list(folder.empty() ? "." : folder);
  if (!names) return names.status();
  return checkAccessLockFileAmong(fs, path, displayName, *names);
}

Status checkAccessLockFileAmong(FileSystem& fs, const std::string& path, const std::string& displayName,
                                std::span<const std::string> names) {
  const std::filesystem::path p = pathFromUtf8(path);
  for (const std::string& name : names) {
    if (!isLockFileOf(name, utf8Of(p.stem()))) continue;
    const std::string lockPath = utf8Of(p.parent_path() / pathFromUtf8(name));
    // Entries of 64 bytes: computer name (32), user name (32), padded.
    std::string users;
    if (auto file = fs.open(lockPath, OpenMode::readOnly); file.ok()) {
      auto size = (*file)->size();
      std::vector<std::byte> bytes(static_cast<std::size_t>(std::min<std::uint64_t>(size.ok() ? *size : 0, 64 * 8)));
      if (!bytes.empty() && (*file)->readAt(0, bytes).ok()) {
        for (std::size_t at = 0; at + 32 <= bytes.size(); at += 64) {
          std::string computer;
          for (std::size_t i = at; i < at + 32; ++i) {
            const auto c = std::to_integer<unsigned char>(bytes[i]);
            if (c == 0) break;
            if (c >= 0x20 && c < 0x7F) computer.push_back(static_cast<char>(c));
          }
          while (!computer.empty() && computer.back() == ' ') computer.pop_back();
          if (!computer.empty()) users += (users.empty() ? "" : ", ") + computer;
        }
      }
    }
    const Status inUse = errors::fileInUse(displayName, "Access has it open: " + lockPath +
                                                            (users.empty() ? std::string() : " lists " + users) +
                                                            "; close it there, or delete the lock file if it is stale");
    ErrorDetails details = inUse.details();
    details.what = ErrorCase::accessLockFile;
    details.other = lockPath;
    details.users = users;
    return {inUse.number(), inUse.description(), std::move(details)};
  }
  return Status::success();
}

}  // namespace povezava::engine::jet
