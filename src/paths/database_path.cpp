#include "paths/database_path.h"

#include <optional>
#include <vector>

#include "base/case_fold.h"
#include "base/errors.h"
#include "base/unicode.h"

namespace povezava::engine {
namespace {

// Both "\" and "/" separate folders; a path is turned to the system's own
// separator before use, and errors show it that way.
#ifdef _WIN32
constexpr char kSeparator = '\\';
constexpr char kOtherSeparator = '/';
#else
constexpr char kSeparator = '/';
constexpr char kOtherSeparator = '\\';
#endif

std::vector<std::string> splitComponents(const std::string& path) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : path) {
    if (c == kSeparator) {
      if (!current.empty()) parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(current);
  return parts;
}

// The part of a path (with the system's separators) that names where it
// starts and is never matched against folder entries: "/" on Linux; "C:\",
// "C:", "\" and "\\server\share\" on Windows. Empty for a relative path.
std::string rootOf(const std::string& path) {
#ifdef _WIN32
  const bool drive = path.size() >= 2 && path[1] == ':' &&
                     ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
  if (drive) return path.substr(0, path.size() > 2 && path[2] == kSeparator ? 3 : 2);
  if (path.starts_with("\\\\")) {
    // The server and the share are one unit: a share is not listed in a folder.
    std::size_t end = path.find(kSeparator, 2);
    if (end != std::string::npos) end = path.find(kSeparator, end + 1);
    return end == std::string::npos ? path : path.substr(0, end + 1);
  }
#endif
  return path.starts_with(kSeparator) ? std::string(1, kSeparator) : "";
}

std::string join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == kSeparator) return folder + name;
#ifdef _WIN32
  if (folder.size() == 2 && folder.back() == ':') return folder + name;  // "C:x": relative to C:'s folder
#endif
  return folder + kSeparator + name;
}

// Resolves `path` (a platform path; either separator); errors name `shown`.
Result<std::string> resolveIgnoringCase(FileSystem& fs, const std::string& path, const std::string& shown);

std::string withOwnSeparators(std::string path) {
  for (char& c : path) {
    if (c == kOtherSeparator) c = kSeparator;
  }
  return path;
}

// `exactMissing`: the path as given was just found to name nothing.
Result<std::string> resolveLocal(FileSystem& fs, std::string path, const std::string& shown, CaseMatchMemo* memo,
                                 bool exactMissing) {
  path = withOwnSeparators(std::move(path));
  if (path.empty()) return errors::fileNotFound(shown);
  const bool keeping = memo != nullptr && memo->keeping();
  if (keeping) {
    // Matched before in this run, and still there: one question, not a
    // listing of each folder on the way.
    if (const auto known = memo->find(path)) {
      auto there = fs.info(*known);
      if (!there) return there.status();
      if (there->exists) return *known;
    }
  }
  if (!exactMissing) {
    auto exact = fs.info(path);
    if (!exact) return exact.status();
    if (exact->exists) return path;
  }
  auto matched = resolveIgnoringCase(fs, path, shown);
  if (matched && keeping) memo->keep(path, *matched);
  return matched;
}

// `folder` joined with the one of its `entries` that is `part` without
// regard to case; `last`: `part` is the file's own name.
Result<std::string> matchEntry(const std::vector<std::string>& entries, const std::string& folder,
                               const std::string& part, bool last, const std::string& shown) {
  const std::u16string wanted = fromUtf8(part);
  std::vector<std::string> matches;
  for (const std::string& entry : entries) {
    if (equalsIgnoringCase(fromUtf8(entry), wanted)) matches.push_back(entry);
  }
  if (matches.empty()) return last ? errors::fileNotFound(shown) : errors::notValidPath(shown);
  if (matches.size() > 1) return errors::ambiguousPath(shown, join(folder, matches[0]), join(folder, matches[1]));
  return join(folder, matches.front());
}

// The path matched component by component without regard to case (the path
// as given names nothing).
Result<std::string> resolveIgnoringCase(FileSystem& fs, const std::string& path, const std::string& shown) {

  std::string resolved = rootOf(path);
  const std::vector<std::string> parts = splitComponents(path.substr(resolved.size()));
  if (parts.empty()) return errors::fileNotFound(shown);
  // Most often only the file's own name differs in case: its folder, listed
  // at once, spares asking about each folder on the way (a round trip each
  // on a share). When that folder is not there as written, each component
  // is matched in turn.
  std::string parent = resolved;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) parent = join(parent, parts[i]);
  const std::string& leaf = parts.back();
  if (leaf != "." && leaf != "..") {
    if (auto entries = fs.list(parent.empty() ? "." : parent)) return matchEntry(*entries, parent, leaf, true, shown);
  }
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    const bool last = i + 1 == parts.size();
    const std::string candidate = join(resolved, part);
    // The path as given was just found to name nothing: not asked again.
    auto info = last && candidate == path ? Result<FileInfo>(FileInfo{}) : fs.info(candidate);
    if (!info) return info.status();
    if (info->exists || part == "." || part == "..") {
      resolved = candidate;
      continue;
    }
    auto entries = fs.list(resolved.empty() ? "." : resolved);
    if (!entries) {
      // A folder that is not there (a share on a server that does not answer)
      // is a bad path even right before the file's name.
      auto folder = fs.info(resolved.empty() ? "." : resolved);
      if (last && folder.ok() && folder->exists) return errors::fileNotFound(shown);
      return errors::notValidPath(shown);
    }
    auto matched = matchEntry(*entries, resolved, part, last, shown);
    if (!matched) return matched.status();
    resolved = std::move(*matched);
  }
  return resolved;
}

}  // namespace

Result<std::string> resolveDatabasePath(FileSystem& fs, std::u16string_view name, const PathMap& map,
                                        CaseMatchMemo* memo, bool exactMissing) {
  const std::string shown = toUtf8(name);
#ifdef _WIN32
  // Drive letters and shares are this system's own.
  (void)map;
  return resolveLocal(fs, shown, shown, memo, exactMissing);
#else
  if (pathForm(name) != PathForm::windows) return resolveLocal(fs, shown, shown, memo, exactMissing);
  const auto local = map.localOf(name);
  if (!local) return local.status();
  auto resolved = resolveLocal(fs, *local, shown, memo, exactMissing);
  if (resolved) return resolved;
  // Say where the name led, as the map may be what is wrong.
  const Status& failed = resolved.status();
  return failed.withDescription(failed.description() + " (the path map puts it at '" + *local + "')");
#endif
}

std::optional<std::string> exactPathOf(std::u16string_view name, const PathMap& map) {
  if (name.empty()) return std::nullopt;
#ifdef _WIN32
  (void)map;
  return withOwnSeparators(toUtf8(name));
#else
  if (pathForm(name) != PathForm::windows) return withOwnSeparators(toUtf8(name));
  auto local = map.localOf(name);
  if (!local) return std::nullopt;
  return withOwnSeparators(std::move(*local));
#endif
}

}  // namespace povezava::engine
