#include "cli/backup.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "base/errors.h"
#include "base/local_time.h"
#include "base/native_text.h"
#include "engine/recovery.h"

namespace povezava::cli {
namespace {

using engine::Status;

constexpr std::uint64_t kChunkBytes = 1 << 20;
// "-2" .. "-9" after the stamp when its name is taken.
constexpr int kNamesPerStamp = 9;

Status copyBytes(engine::File& from, engine::File& to) {
  auto size = from.size();
  if (!size) return size.status();
  std::vector<std::byte> chunk(static_cast<std::size_t>(std::min(*size, kChunkBytes)));
  for (std::uint64_t at = 0; at < *size; at += chunk.size()) {
    const std::span<std::byte> part(chunk.data(), static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), *size - at)));
    if (Status s = from.readAt(at, part); !s.ok()) return s;
    if (Status s = to.writeAt(at, part); !s.ok()) return s;
  }
  return to.sync();
}

}  // namespace

std::string backupStamp(std::time_t when) { return engine::localTimeStamp(when); }

engine::Result<std::string> backUp(const engine::EngineSetup& setup, engine::FileSystem& disk,
                                   std::u16string_view frontEnd, std::string_view stamp) {
  engine::FileSystem& fs = *setup.fileSystem;
  auto path = setup.paths->resolve(fs, frontEnd);
  if (!path) return path.status();
  // A copy of a front-end torn by an interrupted relink would undo nothing:
  // its old pages go back first, or there is no copy.
  if (auto recovered = engine::recoverInterruptedRelink(setup, frontEnd); !recovered) return recovered.status();
  auto source = fs.open(*path, engine::OpenMode::readOnly);
  if (!source) return source.status();
  auto like = (*source)->info();
  if (!like) return like.status();
  std::string copy;
  engine::Result<std::unique_ptr<engine::File>> target = engine::errors::databaseExists(*path);
  for (int n = 1; n <= kNamesPerStamp; ++n) {
    copy = *path + '.' + std::string(stamp) + (n > 1 ? "-" + std::to_string(n) : std::string()) + ".bak";
    target = disk.open(copy, engine::OpenMode::createNew);
    if (target || target.status().number() != engine::kErrDatabaseExists) break;
  }
  if (!target) return target.status();
  // The copy holds what the front-end holds: nobody else may read it either.
  Status copied = (*target)->takePermissions(*like);
  if (copied.ok()) copied = copyBytes(**source, **target);
  if (copied.ok()) {
    const std::string folder = engine::utf8Of(engine::pathFromUtf8(copy).parent_path());
    copied = disk.syncFolder(folder.empty() ? "." : folder);
  }
  if (!copied.ok()) {
    target->reset();
    (void)disk.remove(copy);
    return copied;
  }
  return copy;
}

}  // namespace povezava::cli
