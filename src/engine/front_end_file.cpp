#include "engine/front_end_file.h"

#include <string>

#include "engine/engine.h"
#include "engine/errors.h"
#include "engine/io.h"
#include "engine/jet/write/access_lock.h"
#include "engine/path_resolver.h"
#include "engine/unicode.h"

namespace povezava::engine {
namespace {

Result<FileInfo> identityOf(FileSystem& fs, std::u16string_view name) {
  auto path = resolveDatabasePath(fs, name);
  if (!path) return path.status();
  auto info = fs.info(*path);
  if (!info) return info.status();
  if (!info->exists) return errors::fileNotFound(toUtf8(name));
  return *info;
}

}  // namespace

Status accessLockFileBeside(std::u16string_view name) {
  FileSystem& fs = posixFileSystem();
  auto path = resolveDatabasePath(fs, name);
  if (!path) return Status::success();
  return jet::checkAccessLockFile(fs, *path, toUtf8(name));
}

Result<bool> sameFile(std::u16string_view a, std::u16string_view b) {
  FileSystem& fs = posixFileSystem();
  auto first = identityOf(fs, a);
  if (!first) return first.status();
  auto second = identityOf(fs, b);
  if (!second) return second.status();
  return sameFile(*first, *second);
}

Result<bool> DBEngine::sameFile(std::u16string_view a, std::u16string_view b) { return engine::sameFile(a, b); }

Status DBEngine::accessLockFile(std::u16string_view name) { return accessLockFileBeside(name); }

}  // namespace povezava::engine
