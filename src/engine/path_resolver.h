// How the engine turns a database's name into a file of this system.
//
// The engine is given one when it is made (engine.h, EngineSetup) and asks it
// for every name it opens: a front-end, the back-end a link string names.
// What a name may look like ("\" or "/" between folders, letter case matched
// as on Windows, a drive or share of the Windows path map) is the resolver's
// rule, not the engine's: the program's comes from src/paths/ (wired in
// links/program_paths.h), a test may hand in its own.
#pragma once

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

  // Whether `name` is, by its form alone, a path of this system that
  // resolve() would give back unchanged when the file is there: the engine
  // then opens it at once (on a share that spares asking first), and
  // resolves it only when that fails.
  virtual bool takenAsGiven(std::u16string_view /*name*/) const { return false; }

 protected:
  PathResolver() = default;
  PathResolver(const PathResolver&) = default;
  PathResolver& operator=(const PathResolver&) = default;
};

}  // namespace povezava::engine
