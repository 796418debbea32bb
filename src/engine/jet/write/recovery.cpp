// recovery.h over the Jet writer: its lock, its Access lock-file check and its
// journal (link_writer.h, journal_replay.h).
#include "engine/recovery.h"

#ifdef _WIN32
#include <io.h>

#include "base/native_text.h"
#else
#include <unistd.h>
#endif

#include <cerrno>
#include <string>

#include "base/errors.h"
#include "engine/jet/format/journal_format.h"
#include "engine/jet/write/link_writer.h"
#include "engine/jet/write/relink.h"
#include "engine/path_resolver.h"

namespace povezava::engine {

Result<Recovery> recoverInterruptedRelink(const EngineSetup& setup, std::u16string_view name) {
  auto path = setup.paths->resolve(*setup.fileSystem, name);
  if (!path) return path.status();
  return jet::recoverInterruptedRelink(*setup.fileSystem, *setup.notices, *path);
}

Status checkFrontEndWritable(FileSystem& fs, const PathResolver& paths, std::u16string_view name) {
  auto path = paths.resolve(fs, name);
  if (!path) return path.status();
  auto real = fs.realPath(*path);
  if (!real) return real.status();
  return jet::checkWritable(fs, *path, *real);
}

}  // namespace povezava::engine

namespace povezava::engine::jet {

Status checkWritable(FileSystem& fs, const std::string& path, const std::string& realPath) {
  auto file = openForWriting(fs, realPath, path);
  if (!file) return file.status();
  // The journal is created beside the real file. Asking the folder, rather than
  // creating a trial file, keeps the check free of any write.
  const std::string journal = journalPath(realPath);
  const std::string folder = folderOf(journal);
#ifdef _WIN32
  // Windows knows no search permission; a folder marked read-only is what refuses.
  if (::_waccess(wideFromUtf8(folder.empty() ? "." : folder).c_str(), 2) != 0) {
    const Status s = errors::fromErrno(journal, errno);
    if (s.number() != kErrNoPermission) return s;
    return errors::journalNotCreated(path, journal, "no permission to create a file in its folder");
  }
#else
  if (::access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) != 0) {
    const Status s = errors::fromErrno(journal, errno);
    if (s.number() != kErrNoPermission) return s;
    return errors::journalNotCreated(path, journal, "no permission to create a file in its folder");
  }
#endif
  return Status::success();
}

}  // namespace povezava::engine::jet
