// The Windows path map on the command line.
//
//   povezava-cli check|relink|list ... --map 'WINDOWS=LOCAL' ...
//       --map (repeatable, also --map=WINDOWS=LOCAL) adds pairs before those
//       of the paths files and the mounts (engine/path_map_sources.h).
//   povezava-cli paths [--map WINDOWS=LOCAL ...]
//       The merged map, one pair a line, tab-separated: Windows prefix, local
//       folder, where it came from ("--map", "FILE:LINE", "mount").
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cli/console.h"
#include "paths/path_map_sources.h"

namespace povezava::cli {

struct MapOptions {
  std::vector<std::string> maps;  // the WINDOWS=LOCAL texts, in order
  std::vector<std::string> rest;  // every other argument, in order
};

// Takes the --map options out of `args` (up to a "--"); a message when one
// has no value.
std::optional<std::string> takeMapOptions(std::span<const std::string> args, MapOptions& options);

// Loads the map from `sources` and makes it the process's. On a wrong option
// or paths-file line, says so on console.err and returns exit status 2.
std::optional<int> usePathMap(const engine::PathMapSources& sources, Console& console);

// `paths`, with the --map options already taken out into sources.options.
int runPaths(std::span<const std::string> args, const engine::PathMapSources& sources, Console& console);

}  // namespace povezava::cli
