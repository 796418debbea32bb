#include "base/io.h"

namespace povezava::engine {

Result<bool> FileSystem::hasEntry(const std::string& path) {
  auto fi = info(path);
  if (!fi) return fi.status();
  return fi->exists;
}

void FileSystem::sideBySide(std::size_t count, const std::function<void(std::size_t)>& each) {
  for (std::size_t i = 0; i < count; ++i) each(i);
}

}  // namespace povezava::engine
