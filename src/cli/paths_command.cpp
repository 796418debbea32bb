#include "cli/paths_command.h"

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "cli/batch.h"
#include "base/unicode.h"
#include "paths/path_map_sources.h"

namespace povezava::cli {

std::optional<std::string> takeMapOptions(std::span<const std::string> args, MapOptions& options) {
  bool optionsEnd = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnd || !(arg == "--map" || arg.starts_with("--map="))) {
      if (arg == "--") optionsEnd = true;
      options.rest.push_back(arg);
    } else if (arg != "--map") {
      options.maps.push_back(arg.substr(6));
    } else if (i + 1 < args.size()) {
      options.maps.push_back(args[++i]);
    } else {
      return "--map needs WINDOWS=LOCAL (for example --map 'S:=/srv/data')";
    }
  }
  return std::nullopt;
}

namespace {

// The merged map; what was said while loading it is on stderr, a failure's
// Status is returned.
engine::Result<engine::PathMap> loaded(const engine::PathMapSources& sources, Console& console) {
  std::vector<std::string> said;
  auto map = engine::loadPathMap(sources, console.program->fileSystem(), said);
  for (std::string& sentence : said) console.program->notices().notice(std::move(sentence));
  if (map) printNotices(console.program->notices(), console.err);
  return map;
}

}  // namespace

std::optional<int> usePathMap(const engine::PathMapSources& sources, Console& console) {
  auto map = loaded(sources, console);
  if (!map) {
    console.err << "povezava-cli: " << map.status().toString() << "\npovezava-cli: nothing was done\n";
    return 2;
  }
  console.program->paths().setMap(std::move(*map));
  return std::nullopt;
}

int runPaths(std::span<const std::string> args, const engine::PathMapSources& sources, Console& console) {
  if (!args.empty()) {
    console.err << "usage: povezava-cli paths [--map WINDOWS=LOCAL ...]\n";
    return 2;
  }
  auto map = loaded(sources, console);
  if (!map) {
    console.err << "povezava-cli: " << map.status().toString() << '\n';
    return 2;
  }
  std::string text;
  for (const engine::PathMapping& pair : map->mappings()) {
    text += oneField(engine::toUtf8(pair.windows)) + '\t' + oneField(pair.local) + '\t' +
            oneField(pair.origin) + '\n';
  }
  console.out << text;
  console.out.flush();
  if (map->empty()) {
    console.err << "povezava-cli: the path map is empty: no --map, no pairs in";
    for (const std::string& file : sources.files) console.err << ' ' << file;
    console.err << ", no SMB mounts\n";
  }
  return console.out ? 0 : 1;
}

}  // namespace povezava::cli
