#include "paths/path_map.h"

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "base/case_fold.h"
#include "base/errors.h"
#include "paths/dots.h"
#include "paths/path_map_sources.h"
#include "base/unicode.h"

namespace povezava::engine {
namespace {

bool isSeparator(char16_t c) { return c == u'\\' || c == u'/'; }
bool isAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

bool isBareDrive(std::u16string_view windows) { return windows.size() == 2 && windows[1] == u':'; }

// "/" becomes "\" and trailing separators go ("S:\" -> "S:").
std::u16string windowsSpelling(std::u16string_view path) {
  std::u16string out(path);
  for (char16_t& c : out) {
    if (c == u'/') c = u'\\';
  }
  while (out.size() > 2 && out.back() == u'\\') out.pop_back();
  if (out.size() == 3 && out[1] == u':' && out[2] == u'\\') out.pop_back();
  return out;
}

// How a Windows path compares: folded case, "\" for "/".
std::u16string comparable(std::u16string_view path) {
  std::u16string out = foldCase(path);
  for (char16_t& c : out) {
    if (c == u'/') c = u'\\';
  }
  return out;
}

// True when `prefix` (comparable, no final separator) covers `path`
// (comparable): it begins the path and ends where a component ends. A bare
// drive covers everything on it.
bool covers(std::u16string_view prefix, std::u16string_view path) {
  if (!path.starts_with(prefix)) return false;
  return path.size() == prefix.size() || path[prefix.size()] == u'\\' || isBareDrive(prefix);
}

// The length of the "\\server\share" part of a share path, or 0 when the
// server or the share name is missing.
std::size_t shareRootLength(std::u16string_view path) {
  std::size_t at = 2;
  for (int component = 0; component < 2; ++component) {
    const std::size_t start = at;
    while (at < path.size() && !isSeparator(path[at])) ++at;
    if (at == start) return 0;
    if (component == 0) {
      if (at == path.size()) return 0;
      ++at;
    }
  }
  return at;
}

bool isDrivePath(std::u16string_view path) {
  return path.size() >= 2 && isAsciiLetter(path[0]) && path[1] == u':';
}

std::string_view trimBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

PathForm pathForm(std::u16string_view path) {
  if (isDrivePath(path)) return PathForm::windows;
  if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) return PathForm::windows;
  if (!path.empty() && isSeparator(path[0])) return PathForm::absolute;
  return PathForm::relative;
}

std::u16string windowsRoot(std::u16string_view path) {
  if (isDrivePath(path)) return std::u16string(path.substr(0, 2));
  if (pathForm(path) != PathForm::windows) return {};
  std::size_t length = shareRootLength(path);
  if (length == 0) {
    // Only a server: name what there is.
    length = 2;
    while (length < path.size() && !isSeparator(path[length])) ++length;
  }
  return windowsSpelling(path.substr(0, length));
}

bool PathMap::add(PathMapping mapping) {
  const std::u16string key = comparable(mapping.windows);
  for (const PathMapping& existing : mappings_) {
    if (comparable(existing.windows) == key) return false;
  }
  mappings_.push_back(std::move(mapping));
  return true;
}

Result<std::string> PathMap::localOf(std::u16string_view windowsPath) const {
  if (pathForm(windowsPath) != PathForm::windows) return notMapped(windowsPath);
  const std::u16string path = comparable(windowsPath);
  const PathMapping* best = nullptr;
  std::size_t bestLength = 0;
  for (const PathMapping& mapping : mappings_) {
    const std::u16string prefix = comparable(mapping.windows);
    if (covers(prefix, path) && (best == nullptr || prefix.size() > bestLength)) {
      best = &mapping;
      bestLength = prefix.size();
    }
  }
  if (best == nullptr) return notMapped(windowsPath);
  // The rest, "." and ".." taken out: it stays inside the mapped folder.
  const auto parts = foldDots(std::string_view(toUtf8(windowsPath.substr(bestLength))), AboveStart::refused);
  if (!parts) {
    return Status{kErrOutsideMappedFolder, "'" + toUtf8(windowsPath) + "' climbs out of " + toUtf8(best->windows) +
                                               " with '..'; povezava follows links only inside the folders of "
                                               "the path map."};
  }
  std::string local = best->local;
  for (const std::string& part : *parts) {
    if (local != "/") local += '/';
    local += part;
  }
  return local;
}

std::optional<std::string> PathMap::toLocal(std::u16string_view windowsPath) const {
  auto local = localOf(windowsPath);
  if (!local) return std::nullopt;
  return std::move(*local);
}

std::optional<std::u16string> PathMap::toWindows(std::u16string_view localPath) const {
  if (pathForm(localPath) != PathForm::absolute) return std::nullopt;
  std::string path = toUtf8(localPath);
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  if (hasDots(std::string_view(path))) {
    // "." and ".." taken out first: "/srv/share/../other" is not in /srv/share.
    const auto parts = foldDots(std::string_view(path), AboveStart::refused);
    path.clear();
    for (const std::string& part : parts.value_or(std::vector<std::string>{})) path += "/" + part;
    if (path.empty()) path = "/";
  }
  const PathMapping* best = nullptr;
  for (const PathMapping& mapping : mappings_) {
    const std::string& folder = mapping.local;
    const bool inside = folder == "/" || (path.starts_with(folder) &&
                                          (path.size() == folder.size() || path[folder.size()] == '/'));
    if (inside && (best == nullptr || folder.size() > best->local.size())) best = &mapping;
  }
  if (best == nullptr) return std::nullopt;
  std::u16string windows = best->windows;
  const std::size_t start = path.find_first_not_of('/', best->local == "/" ? 0 : best->local.size());
  if (start == std::string::npos) return windows;
  std::u16string rest = fromUtf8(path.substr(start));
  for (char16_t& c : rest) {
    if (c == u'/') c = u'\\';
  }
  windows += u'\\';
  windows += rest;
  return windows;
}

Result<PathMapping> parseMapping(std::string_view text, std::string origin) {
  const std::size_t eq = text.find('=');
  if (eq == std::string_view::npos) {
    return errors::invalidArgument("'" + std::string(trimBlanks(text)) +
                                   "' has no '=': a pair reads WINDOWS = LOCAL");
  }
  const std::string windowsText(trimBlanks(text.substr(0, eq)));
  const std::string local(trimBlanks(text.substr(eq + 1)));
  const std::u16string windows = fromUtf8(windowsText);
  const bool drive = isDrivePath(windows) && (windows.size() == 2 || isSeparator(windows[2]));
  const bool share = !isDrivePath(windows) && pathForm(windows) == PathForm::windows &&
                     shareRootLength(windows) > 0;
  if (!drive && !share) {
    return errors::invalidArgument("'" + windowsText +
                                   "' is neither a drive (S: or S:\\FOLDER) nor a share "
                                   "(\\\\SERVER\\share)");
  }
  if (local.empty() || local.front() != '/') {
    return errors::invalidArgument("the local folder '" + local +
                                   "' of '" + windowsText + "' is not absolute (it must begin with /)");
  }
  std::string folder = local;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return PathMapping{windowsSpelling(windows), std::move(folder), std::move(origin)};
}

namespace {

// "the paths file (A or B)", as this process reads them.
std::string pathsFilesNamed() {
  const std::vector<std::string> files = programPathsFiles();
  if (files.empty()) return "a paths file (POVEZAVA_PATHS names none)";
  std::string named = "the paths file (";
  for (std::size_t i = 0; i < files.size(); ++i) named += (i == 0 ? "" : " or ") + files[i];
  return named + ")";
}

}  // namespace

Status notMapped(std::u16string_view path) {
  const std::string root = toUtf8(windowsRoot(path));
  const bool drive = isDrivePath(path);
  return Status{kErrNotValidPath,
                "'" + toUtf8(path) + "' is not a valid path here: povezava does not know which folder of "
                "this computer the " + (drive ? "drive " : "share ") + root +
                " is. Add a line '" + root + " = /local/folder' to " + pathsFilesNamed() +
                ", or give povezava-cli --map '" + root + "=/local/folder'.",
                ErrorDetails{ErrorCase::notMapped, toUtf8(path), root, {}, {}, 0, {}}};
}

}  // namespace povezava::engine
