// Opening the file a database name leads to.
//
// On a share every question is a round trip: where the resolver can tell
// the path a name leads to without looking (path_resolver.h, exactPath), the
// file is opened there at once; only when that fails is the name resolved,
// and the open tried on the path found.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/io.h"
#include "base/status.h"
#include "engine/path_resolver.h"

namespace povezava::engine {

struct NamedFile {
  std::string path;            // the platform path the name led to
  std::unique_ptr<File> file;  // null when `open` answered without opening
};

// Calls `open` on the path `name` leads to and gives the path with what it
// opened. A failure of `open` on the exact path sends the name through the
// resolver (without asking again about a path just found missing), so that
// errors are the resolver's and the open's as if it had been asked first.
[[nodiscard]] Result<NamedFile> openNamed(
    FileSystem& fs, const PathResolver& paths, std::u16string_view name,
    const std::function<Result<std::unique_ptr<File>>(const std::string& path)>& open);

}  // namespace povezava::engine
