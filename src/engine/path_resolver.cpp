#include "engine/path_resolver.h"

#include <utility>
#include <vector>

#include "engine/case_fold.h"
#include "engine/errors.h"
#include "engine/unicode.h"

namespace povezava::engine {
namespace {

std::vector<std::string> splitComponents(const std::string& path) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : path) {
    if (c == '/') {
      if (!current.empty()) parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(current);
  return parts;
}

std::string join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

// Resolves `path` (a platform path, "/" separated); errors name `shown`.
Result<std::string> resolveLocal(FileSystem& fs, const std::string& path, const std::string& shown) {
  if (path.empty()) return errors::fileNotFound(shown);
  auto exact = fs.info(path);
  if (!exact) return exact.status();
  if (exact->exists) return path;

  const std::vector<std::string> parts = splitComponents(path);
  std::string resolved = path.front() == '/' ? "/" : "";
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    const bool last = i + 1 == parts.size();
    const std::string candidate = join(resolved, part);
    auto info = fs.info(candidate);
    if (!info) return info.status();
    if (info->exists || part == "." || part == "..") {
      resolved = candidate;
      continue;
    }
    auto entries = fs.list(resolved.empty() ? "." : resolved);
    if (!entries) return last ? errors::fileNotFound(shown) : errors::notValidPath(shown);
    const std::u16string wanted = fromUtf8(part);
    std::vector<std::string> matches;
    for (const std::string& entry : *entries) {
      if (equalsIgnoringCase(fromUtf8(entry), wanted)) matches.push_back(entry);
    }
    if (matches.empty()) return last ? errors::fileNotFound(shown) : errors::notValidPath(shown);
    if (matches.size() > 1) {
      return errors::ambiguousPath(shown, join(resolved, matches[0]), join(resolved, matches[1]));
    }
    resolved = join(resolved, matches.front());
  }
  return resolved;
}

}  // namespace

Result<std::string> resolveDatabasePath(FileSystem& fs, std::u16string_view name,
                                        const PathMap& map) {
  const std::string shown = toUtf8(name);
  if (pathForm(name) != PathForm::windows) {
    std::string path = shown;
    for (char& c : path) {
      if (c == '\\') c = '/';
    }
    return resolveLocal(fs, path, shown);
  }
  const auto local = map.toLocal(name);
  if (!local) return notMapped(name);
  auto resolved = resolveLocal(fs, *local, shown);
  if (resolved) return resolved;
  // Say where the name led, as the map may be what is wrong.
  const Status& failed = resolved.status();
  return Status{failed.number(), failed.description() + " (the path map puts it at '" + *local + "')"};
}

}  // namespace povezava::engine
