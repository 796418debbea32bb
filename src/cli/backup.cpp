#include "cli/backup.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "engine/local_time.h"
#include "engine/native_text.h"
#include "engine/path_resolver.h"

namespace povezava::cli {
namespace {

using engine::Status;

constexpr std::uint64_t kChunkBytes = 1 << 20;

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

engine::Result<std::string> backUp(engine::FileSystem& fs, std::u16string_view frontEnd, std::string_view stamp) {
  auto path = engine::resolveDatabasePath(fs, frontEnd);
  if (!path) return path.status();
  auto source = fs.open(*path, engine::OpenMode::readOnly);
  if (!source) return source.status();
  std::string copy = *path + '.' + std::string(stamp) + ".bak";
  auto target = fs.open(copy, engine::OpenMode::createNew);
  if (!target) return target.status();
  Status copied = copyBytes(**source, **target);
  if (copied.ok()) {
    const std::string folder = engine::utf8Of(engine::pathFromUtf8(copy).parent_path());
    copied = fs.syncFolder(folder.empty() ? "." : folder);
  }
  if (!copied.ok()) {
    target->reset();
    (void)fs.remove(copy);
    return copied;
  }
  return copy;
}

}  // namespace povezava::cli
