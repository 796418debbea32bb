// A File held in memory: for tests and the fuzz target, which open databases
// from bytes without touching the disk.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "base/io.h"

namespace povezava::engine {

class MemoryFile final : public File {
 public:
  MemoryFile(std::string path, std::vector<std::byte> bytes)
      : path_(std::move(path)), bytes_(std::move(bytes)) {}

  const std::string& path() const override { return path_; }
  Result<FileInfo> info() override {
    FileInfo fi;
    fi.exists = fi.isRegular = true;
    fi.size = bytes_.size();
    return fi;
  }
  Result<std::uint64_t> size() override { return std::uint64_t{bytes_.size()}; }
  Status readAt(std::uint64_t offset, std::span<std::byte> out) override;
  Status writeAt(std::uint64_t offset, std::span<const std::byte> data) override;
  Status truncate(std::uint64_t size) override {
    if (size < bytes_.size()) bytes_.resize(static_cast<std::size_t>(size));
    return Status::success();
  }
  Status sync() override { return Status::success(); }
  Status tryLock(std::uint64_t) override { return Status::success(); }
  void unlock(std::uint64_t) override {}

  const std::vector<std::byte>& bytes() const { return bytes_; }
  // How many readAt calls succeeded: lets tests check that reads stay small.
  std::size_t reads() const { return reads_; }
  std::uint64_t bytesRead() const { return bytesRead_; }

 private:
  std::string path_;
  std::vector<std::byte> bytes_;
  std::size_t reads_ = 0;
  std::uint64_t bytesRead_ = 0;
};

}  // namespace povezava::engine
