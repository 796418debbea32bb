#include "engine/jet_build/memory_file.h"

#include <algorithm>
#include <cerrno>

#include "base/errors.h"

namespace povezava::engine {

Status MemoryFile::readAt(std::uint64_t offset, std::span<std::byte> out) {
  if (offset > bytes_.size() || out.size() > bytes_.size() - offset) {
    return errors::diskOrNetwork(path_, EIO);
  }
  std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
  ++reads_;
  bytesRead_ += out.size();
  return Status::success();
}

Status MemoryFile::writeAt(std::uint64_t offset, std::span<const std::byte> data) {
  if (offset > bytes_.max_size() - data.size()) return errors::notEnoughSpace(path_);
  const std::size_t end = static_cast<std::size_t>(offset) + data.size();
  if (end > bytes_.size()) bytes_.resize(end);
  std::copy(data.begin(), data.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
  return Status::success();
}

}  // namespace povezava::engine
