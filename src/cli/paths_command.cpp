#include "cli/paths_command.h"

#include <ostream>
#include <utility>

#include "cli/batch.h"
#include "engine/unicode.h"

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

std::optional<int> usePathMap(const engine::PathMapSources& sources, Console& console) {
  auto map = engine::loadPathMap(sources);
  if (!map) {
    console.err << "povezava-cli: " << map.status().toString() << "\npovezava-cli: nothing was done\n";
    return 2;
  }
  printNotices(console.err);
  engine::setProcessPathMap(std::move(*map));
  return std::nullopt;
}

int runPaths(std::span<const std::string> args, const engine::PathMapSources& sources, Console& console) {
  if (!args.empty()) {
    console.err << "usage: povezava-cli paths [--map WINDOWS=LOCAL ...]\n";
    return 2;
  }
  auto map = engine::loadPathMap(sources);
  if (!map) {
    console.err << "povezava-cli: " << map.status().toString() << '\n';
    return 2;
  }
  printNotices(console.err);
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
