#include "engine/io.h"

namespace povezava::engine {

void FileSystem::sideBySide(std::size_t count, const std::function<void(std::size_t)>& each) {
  for (std::size_t i = 0; i < count; ++i) each(i);
}

}  // namespace povezava::engine
