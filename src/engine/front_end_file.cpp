#include "engine/front_end_file.h"

#include <string>

#include "base/errors.h"
#include "base/unicode.h"
#include "engine/jet/write/access_lock.h"

namespace povezava::engine {
namespace {

Result<FileInfo> identityOf(FileSystem& fs, const PathResolver& paths, std::u16string_view name) {
  auto path = paths.resolve(fs, name);
  if (!path) return path.status();
  auto info = fs.info(*path);
  if (!info) return info.status();
  if (!info->exists) return errors::fileNotFound(toUtf8(name));
  return *info;
}

}  // namespace

Status accessLockFileBeside(FileSystem& fs, const PathResolver& paths, std::u16string_view name) {
  auto path = paths.resolve(fs, name);
  if (!path) return Status::success();
  return jet::checkAccessLockFile(fs, *path, toUtf8(name));
}

Result<bool> sameFile(FileSystem& fs, const PathResolver& paths, std::u16string_view a, std::u16string_view b) {
  auto first = identityOf(fs, paths, a);
  if (!first) return first.status();
  auto second = identityOf(fs, paths, b);
  if (!second) return second.status();
  return sameFile(*first, *second);
}

}  // namespace povezava::engine
