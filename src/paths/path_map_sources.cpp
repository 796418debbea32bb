#include "paths/path_map_sources.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "base/errors.h"
#include "base/io.h"
#include "base/native_text.h"
#include "base/unicode.h"

namespace povezava::engine {
namespace {

constexpr char kSystemPathsFile[] = "/etc/povezava/paths";
constexpr char kMountTable[] = "/proc/self/mountinfo";
constexpr char kPathsVariable[] = "POVEZAVA_PATHS";
constexpr std::uint64_t kMaxPathsFileBytes = 1 << 20;

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

// A line of a paths file as it may be shown: control characters (which could
// move the cursor or retitle the terminal) as \xNN.
std::string shownLine(std::string_view line) { return shownBytes(line); }

// Reads a whole paths file: a regular file of at most kMaxPathsFileBytes. A
// missing file is empty.
Result<std::string> readPathsFile(FileSystem& fs, const std::string& file, std::vector<std::string>& said) {
  auto info = fs.info(file);
  if (!info) {
    // A folder on the way that may not be looked into (another user's home)
    // hides the file: it is not read, as a missing one.
    said.push_back("The paths file '" + shownLine(file) + "' is not read: " +
                   shownLine(info.status().description()));
    return std::string();
  }
  if (!info->exists) return std::string();
  // Opened without waiting (a FIFO gets no reader) and checked to be a file.
  auto opened = fs.open(file, OpenMode::readOnly);
  if (!opened) return inOrigin(opened.status(), "the paths file '" + shownLine(file) + "'");
  auto size = (*opened)->size();
  if (!size) return size.status();
  if (*size > kMaxPathsFileBytes) {
    return Status{kErrInvalidArgument, "The paths file '" + shownLine(file) + "' is " + std::to_string(*size) +
                                           " bytes long; a paths file holds a few lines (at most " +
                                           std::to_string(kMaxPathsFileBytes) + " bytes)."};
  }
  std::string text(static_cast<std::size_t>(*size), '\0');
  if (Status s = (*opened)->readAt(0, std::as_writable_bytes(std::span<char>(text))); !s.ok()) return s;
  return text;
}

// Adds the pairs of one paths file; a missing file adds none. What is
// accepted but likely meant otherwise is added to `said`.
Status addPathsFile(FileSystem& fs, const std::string& file, PathMap& map, std::vector<std::string>& said) {
  auto text = readPathsFile(fs, file, said);
  if (!text) return text.status();
  std::istringstream in(*text);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const std::size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos || line[first] == '#') continue;
    while (line.back() == '\r') line.pop_back();  // CRLF, as Windows editors write
    const std::string where = shownLine(file) + ", line " + std::to_string(number);
    const std::string origin = file + ":" + std::to_string(number);
    auto mapping = parseMapping(line, origin);
    if (!mapping) {
      return Status{mapping.status().number(), where + ": " + shownLine(mapping.status().description())};
    }
    // "#" may stand in a folder's name, so it is kept; a blank before it
    // looks like a comment that was meant to go on its own line.
    if (const std::size_t hash = mapping->local.find(" #"); hash != std::string::npos) {
      said.push_back(where + ": '" + shownLine(mapping->local.substr(hash + 1)) +
                     "' is taken as part of the folder '" + shownLine(mapping->local) +
                     "'; comments go on lines of their own.");
    }
    std::error_code error;
    if (!std::filesystem::is_directory(pathFromUtf8(mapping->local), error)) {
      said.push_back(where + ": the folder '" + shownLine(mapping->local) + "' does not exist here.");
    }
    const std::u16string windows = mapping->windows;
    const std::string local = mapping->local;
    if (!map.add(std::move(*mapping))) {
      said.push_back(where + ": " + toUtf8(windows) + " is mapped already, by a line or option before it; '" +
                     shownLine(local) + "' is not used.");
    }
  }
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

std::vector<std::string> pathsFiles(const char* chosen, const char* xdgConfigHome, const char* home) {
  std::vector<std::string> files;
  if (chosen != nullptr) {
    // The files named, ":" between them; none when empty.
    std::string_view list(chosen);
    while (!list.empty()) {
      const std::size_t colon = std::min(list.find(':'), list.size());
      if (colon > 0) files.emplace_back(list.substr(0, colon));
      list.remove_prefix(std::min(colon + 1, list.size()));
    }
    return files;
  }
#ifdef _WIN32
  // Windows resolves drives and shares itself and has no map: "/etc/..." there
  // would be a folder of whatever drive is current, anybody's to write.
  (void)xdgConfigHome;
  (void)home;
#else
  // A relative XDG_CONFIG_HOME is invalid and is ignored, as the XDG rules say.
  if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') {
    files.push_back(std::string(xdgConfigHome) + "/povezava/paths");
  } else if (home != nullptr && home[0] == '/') {
    files.push_back(std::string(home) + "/.config/povezava/paths");
  }
  files.emplace_back(kSystemPathsFile);
#endif
  return files;
}

std::vector<std::string> programPathsFiles() {
  return pathsFiles(std::getenv(kPathsVariable), std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

PathMapSources programPathMapSources(std::vector<std::string> options, const char* xdgConfigHome,
                                     const char* home) {
  PathMapSources sources;
  sources.options = std::move(options);
  sources.files = pathsFiles(nullptr, xdgConfigHome, home);
#ifndef _WIN32
  sources.mountTable = kMountTable;
#endif
  return sources;
}

PathMapSources programPathMapSources(std::vector<std::string> options) {
  PathMapSources sources = programPathMapSources(std::move(options), nullptr, nullptr);
  sources.files = programPathsFiles();
  return sources;
}

Result<PathMap> loadPathMap(const PathMapSources& sources, FileSystem& fs, std::vector<std::string>& said) {
  PathMap map;
  for (const std::string& option : sources.options) {
    auto mapping = parseMapping(option, "--map");
    if (!mapping) return inOrigin(mapping.status(), "--map '" + option + "'");
    map.add(std::move(*mapping));
  }
  for (const std::string& file : sources.files) {
    if (Status s = addPathsFile(fs, file, map, said); !s.ok()) return s;
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
