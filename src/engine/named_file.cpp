#include "engine/named_file.h"

#include <utility>

#include "base/errors.h"

namespace povezava::engine {

Result<NamedFile> openNamed(FileSystem& fs, const PathResolver& paths, std::u16string_view name,
                            const std::function<Result<std::unique_ptr<File>>(const std::string& path)>& open) {
  bool missing = false;
  if (auto exact = paths.exactPath(name)) {
    auto file = open(*exact);
    if (file) return NamedFile{std::move(*exact), std::move(*file)};
    missing = file.status().number() == kErrFileNotFound;
  }
  auto path = missing ? paths.resolveNotExact(fs, name) : paths.resolve(fs, name);
  if (!path) return path.status();
  auto file = open(*path);
  if (!file) return file.status();
  return NamedFile{std::move(*path), std::move(*file)};
}

}  // namespace povezava::engine
