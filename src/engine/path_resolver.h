// How the engine turns a database's name into a file of this system.
//
// The engine is given one when it is made (engine.h, EngineSetup) and asks it
// for every name it opens: a front-end, the back-end a link string names.
// What a name may look like ("\" or "/" between folders, letter case matched
// as on Windows, a drive or share of the Windows path map) is the resolver's
// rule, not the engine's: the program's comes from src/paths/ (wired in
// links/program_paths.h), a test may hand in its own.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/io.h"
#include "base/status.h"

namespace povezava::engine {

class PathResolver {
 public:
  virtual ~PathResolver() = default;

  // The platform path of the file `name` names, found through `fs` (the
  // engine's file system, or a write batch's view of it). Errors name `name`
  // as given: fileNotFound, notValidPath, ambiguousPath, or the number the
  // resolver's rule gives (a drive no pair covers: 3044).
  [[nodiscard]] virtual Result<std::string> resolve(FileSystem& fs, std::u16string_view name) const = 0;

  // The path resolve() gives back for `name` when a file lies under exactly
  // that name, worked out without asking the file system; nullopt when the
  // resolver cannot tell without looking. The engine opens it at once (on a
  // share that spares asking first), and resolves the name only when that
  // fails.
  virtual std::optional<std::string> exactPath(std::u16string_view /*name*/) const { return std::nullopt; }
  // resolve() once opening exactPath(name) found nothing there: the resolver
  // does not ask about that path again.
  [[nodiscard]] virtual Result<std::string> resolveNotExact(FileSystem& fs, std::u16string_view name) const {
    return resolve(fs, name);
  }

 protected:
  PathResolver() = default;
  PathResolver(const PathResolver&) = default;
  PathResolver& operator=(const PathResolver&) = default;
};

}  // namespace povezava::engine
