#include "engine/path_map_sources.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "engine/errors.h"
#include "engine/unicode.h"

namespace povezava::engine {
namespace {

constexpr char kSystemPathsFile[] = "/etc/povezava/paths";
constexpr char kMountTable[] = "/proc/self/mountinfo";

// A mountinfo field with its octal escapes ("\040", "\011", "\012", "\134") decoded.
std::string unescapeMountField(std::string_view field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    const auto digit = [&](std::size_t at) {
      return at < field.size() && field[at] >= '0' && field[at] <= '7' ? field[at] - '0' : -1;
    };
    if (field[i] == '\\' && digit(i + 1) >= 0 && digit(i + 2) >= 0 && digit(i + 3) >= 0) {
      out += static_cast<char>((digit(i + 1) << 6) | (digit(i + 2) << 3) | digit(i + 3));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

std::vector<std::string_view> splitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t at = 0;
  while (at < line.size()) {
    const std::size_t start = line.find_first_not_of(' ', at);
    if (start == std::string_view::npos) break;
    const std::size_t end = std::min(line.find(' ', start), line.size());
    fields.push_back(line.substr(start, end - start));
    at = end;
  }
  return fields;
}

Status inOrigin(const Status& status, const std::string& origin) {
  return Status{status.number(), origin + ": " + status.description()};
}

// Adds the pairs of one paths file; a missing file adds none.
Status addPathsFile(const std::string& file, PathMap& map) {
  std::error_code error;
  if (!std::filesystem::exists(file, error)) return Status::success();
  std::ifstream in(file);
  if (!in) return Status{kErrNoPermission, "Cannot read the paths file '" + file + "'."};
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const std::size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos || line[first] == '#') continue;
    if (line.back() == '\r') line.pop_back();
    const std::string origin = file + ":" + std::to_string(number);
    auto mapping = parseMapping(line, origin);
    if (!mapping) return inOrigin(mapping.status(), file + ", line " + std::to_string(number));
    map.add(std::move(*mapping));
  }
  if (in.bad()) return errors::diskOrNetwork(file, EIO);
  return Status::success();
}

}  // namespace

std::vector<PathMapping> smbMounts(std::string_view mountinfo) {
  std::vector<PathMapping> mounts;
  std::size_t at = 0;
  while (at < mountinfo.size()) {
    const std::size_t end = std::min(mountinfo.find('\n', at), mountinfo.size());
    const std::vector<std::string_view> fields = splitFields(mountinfo.substr(at, end - at));
    at = end + 1;
    // ID PARENT MAJOR:MINOR ROOT MOUNT-POINT OPTIONS [OPTIONAL...] - TYPE SOURCE SUPER-OPTIONS
    std::size_t dash = 6;
    while (dash < fields.size() && fields[dash] != "-") ++dash;
    if (dash + 2 >= fields.size()) continue;
    const std::string_view type = fields[dash + 1];
    if (type != "cifs" && type != "smb3") continue;
    std::string source = unescapeMountField(fields[dash + 2]);
    // A bind mount of a folder inside the share shows that folder as its root.
    const std::string root = unescapeMountField(fields[3]);
    if (root != "/") source += root;
    auto mapping = parseMapping(source + "=" + unescapeMountField(fields[4]), "mount");
    if (mapping) mounts.push_back(std::move(*mapping));
  }
  return mounts;
}

PathMapSources programPathMapSources(std::vector<std::string> options, const char* xdgConfigHome,
                                     const char* home) {
  PathMapSources sources;
  sources.options = std::move(options);
  // A relative XDG_CONFIG_HOME is invalid and is ignored, as the XDG rules say.
  if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') {
    sources.files.push_back(std::string(xdgConfigHome) + "/povezava/paths");
  } else if (home != nullptr && home[0] == '/') {
    sources.files.push_back(std::string(home) + "/.config/povezava/paths");
  }
  sources.files.emplace_back(kSystemPathsFile);
  sources.mountTable = kMountTable;
  return sources;
}

PathMapSources programPathMapSources(std::vector<std::string> options) {
  return programPathMapSources(std::move(options), std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

Result<PathMap> loadPathMap(const PathMapSources& sources) {
  PathMap map;
  for (const std::string& option : sources.options) {
    auto mapping = parseMapping(option, "--map");
    if (!mapping) return inOrigin(mapping.status(), "--map '" + option + "'");
    map.add(std::move(*mapping));
  }
  for (const std::string& file : sources.files) {
    if (Status s = addPathsFile(file, map); !s.ok()) return s;
  }
  if (!sources.mountTable.empty()) {
    std::ifstream in(sources.mountTable);
    std::ostringstream text;
    if (in) text << in.rdbuf();
    for (PathMapping& mount : smbMounts(text.str())) map.add(std::move(mount));
  }
  return map;
}

}  // namespace povezava::engine
