#include "support/fault_io.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>

#include "base/errors.h"
#include "support/test_support.h"

namespace povezava::testing {

using engine::File;
using engine::FileInfo;
using engine::OpenMode;
using engine::Result;
using engine::Status;

namespace {

std::string folderOf(const std::string& path) {
  return std::filesystem::path(path).parent_path().lexically_normal().string();
}

std::string normal(const std::string& path) {
  return std::filesystem::path(path).lexically_normal().string();
}

}  // namespace

void restoreFile(const std::string& path, const std::vector<std::byte>& bytes) {
  // Rewritten in place: same inode when the file is still there.
  std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
  if (!out) out.open(path, std::ios::binary | std::ios::out);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  std::error_code ec;
  if (std::filesystem::file_size(path, ec) != bytes.size()) std::filesystem::resize_file(path, bytes.size(), ec);
}

// A File of the double: every changing call goes through the plan.
class FaultFile final : public File {
 public:
  FaultFile(FaultFileSystem& fs, std::unique_ptr<File> real) : fs_(fs), real_(std::move(real)) {}

  const std::string& path() const override { return real_->path(); }
  Result<FileInfo> info() override {
    if (fs_.crashed_) return fs_.powerLost(path());
    ++fs_.questions_;
    return real_->info();
  }
  Status takePermissions(const FileInfo& like) override {
    if (fs_.crashed_) return fs_.powerLost(path());
    return real_->takePermissions(like);
  }
  Result<std::uint64_t> size() override {
    if (fs_.crashed_) return fs_.powerLost(path());
    ++fs_.questions_;
    return real_->size();
  }
  Status readAt(std::uint64_t offset, std::span<std::byte> out) override {
    if (fs_.crashed_) return fs_.powerLost(path());
    ++fs_.reads_[path()];
    return real_->readAt(offset, out);
  }
  Status writeAt(std::uint64_t offset, std::span<const std::byte> data) override {
    return fs_.onWrite(*real_, offset, data);
  }
  Status truncate(std::uint64_t size) override { return fs_.onTruncate(*real_, size); }
  Status sync() override { return fs_.onSync(*real_); }
  Status tryLock(std::uint64_t offset) override {
    if (fs_.crashed_) return fs_.powerLost(path());
    return real_->tryLock(offset);
  }
  void unlock(std::uint64_t offset) override { real_->unlock(offset); }
  Result<bool> lockedElsewhere(std::uint64_t offset) override { return real_->lockedElsewhere(offset); }

 private:
  FaultFileSystem& fs_;
  std::unique_ptr<File> real_;
};

FaultFileSystem::FaultFileSystem(engine::FileSystem& base) : base_(base) {}
FaultFileSystem::~FaultFileSystem() = default;

Status FaultFileSystem::powerLost(const std::string& path) const {
  return engine::errors::diskOrNetwork(path, EIO);
}

bool FaultFileSystem::beginChange() {
  if (crashed_) return false;
  ++changes_;
  if (auto hook = beforeChange_.find(changes_); hook != beforeChange_.end()) {
    auto action = std::move(hook->second);
    beforeChange_.erase(hook);
    action();
  }
  if (crashAfter_ > 0 && changes_ > crashAfter_) {
    crashed_ = true;
    return false;
  }
  return true;
}

FaultFileSystem::Tracked& FaultFileSystem::track(const std::string& rawPath) {
  const std::string path = normal(rawPath);
  auto [it, inserted] = tracked_.try_emplace(path);
  Tracked& t = it->second;
  if (inserted) {
    std::error_code ec;
    t.entryExists = std::filesystem::is_regular_file(path, ec);
    t.durableEntry = t.entryExists;
    if (t.entryExists) {
      t.durable = readFile(path);
      t.contentKnown = true;
    }
  }
  return t;
}

Status FaultFileSystem::onWrite(File& real, std::uint64_t offset,
                                std::span<const std::byte> data) {
  if (!beginChange()) return powerLost(real.path());
  ++writes_;
  Tracked& t = track(real.path());
  if (failWrite_ == writes_) return engine::errors::diskOrNetwork(real.path(), EIO);
  if (appendBudget_) {
    auto size = real.size();
    if (!size.ok()) return size.status();
    const std::uint64_t end = offset + data.size();
    const std::uint64_t growth = end > *size ? end - *size : 0;
    if (growth > *appendBudget_) return engine::errors::fromErrno(real.path(), ENOSPC);
    *appendBudget_ -= growth;
  }
  if (tearWrite_ == writes_) {
    const auto half = data.first(data.size() / 2);
    Status s = real.writeAt(offset, half);
    if (!s.ok()) return s;
    // The half that reached the platter survives the power loss.
    if (t.durableEntry) {
      if (t.durable.size() < offset + half.size()) t.durable.resize(offset + half.size());
      std::copy(half.begin(), half.end(),
                t.durable.begin() + static_cast<std::ptrdiff_t>(offset));
    }
    crashed_ = true;
    return powerLost(real.path());
  }
  return real.writeAt(offset, data);
}

Status FaultFileSystem::onTruncate(File& real, std::uint64_t size) {
  if (!beginChange()) return powerLost(real.path());
  ++writes_;
  track(real.path());
  if (failWrite_ == writes_) return engine::errors::diskOrNetwork(real.path(), EIO);
  if (tearWrite_ == writes_) {
    crashed_ = true;
    return powerLost(real.path());
  }
  return real.truncate(size);
}

Status FaultFileSystem::onSync(File& real) {
  if (!beginChange()) return powerLost(real.path());
  ++syncs_;
  if (failSync_ == syncs_) return engine::errors::diskOrNetwork(real.path(), EIO);
  // Durability is this double's own model; a real sync would only cost time.
  Tracked& t = track(real.path());
  t.durable = readFile(normal(real.path()));
  t.contentKnown = true;
  return Status::success();
}

Result<std::unique_ptr<File>> FaultFileSystem::open(const std::string& path, OpenMode mode) {
  if (crashed_) return powerLost(path);
  ++opens_[path];
  if (beforeOpen_) beforeOpen_(path, mode);
  if (mode == OpenMode::createNew) {
    if (readOnlyFolders_) return engine::errors::fromErrno(path, EACCES);
    if (!beginChange()) return powerLost(path);
    Tracked& t = track(path);
    auto real = base_.open(path, mode);
    if (!real.ok()) return real.status();
    t.entryExists = true;
    if (!t.durableEntry) {
      t.durable.clear();
      t.contentKnown = true;
    }
    return std::unique_ptr<File>(std::make_unique<FaultFile>(*this, std::move(real).value()));
  }
  if (mode == OpenMode::readWrite && readOnlyFiles_) {
    return engine::errors::fromErrno(path, EACCES);
  }
  auto real = base_.open(path, mode);
  if (!real.ok()) return real.status();
  if (mode == OpenMode::readWrite) track(path);
  return std::unique_ptr<File>(std::make_unique<FaultFile>(*this, std::move(real).value()));
}

Result<FileInfo> FaultFileSystem::info(const std::string& path) {
  if (crashed_) return powerLost(path);
  ++questions_;
  return base_.info(path);
}

Result<bool> FaultFileSystem::hasEntry(const std::string& path) {
  if (crashed_) return powerLost(path);
  ++questions_;
  return base_.hasEntry(path);
}

Result<std::vector<std::string>> FaultFileSystem::list(const std::string& folder) {
  if (crashed_) return powerLost(folder);
  ++questions_;
  return base_.list(folder);
}

namespace {

// The real folder kept open (its listings come through the real handle, read
// anew each time), with its syncs planned and tracked as the file system's.
class FaultFolder final : public engine::Folder {
 public:
  FaultFolder(FaultFileSystem& fs, std::string path, std::unique_ptr<engine::Folder> real, int& questions)
      : fs_(&fs), path_(std::move(path)), real_(std::move(real)), questions_(&questions) {}
  Result<std::vector<std::string>> list() override {
    if (fs_->crashed()) return engine::errors::diskOrNetwork(path_, EIO);
    ++*questions_;
    return real_->list();
  }
  Status sync() override { return fs_->syncFolder(path_); }

 private:
  FaultFileSystem* fs_;
  std::string path_;
  std::unique_ptr<engine::Folder> real_;
  int* questions_;
};

}  // namespace

Result<std::unique_ptr<engine::Folder>> FaultFileSystem::openFolder(const std::string& folder) {
  if (crashed_) return powerLost(folder);
  auto real = base_.openFolder(folder);
  if (!real) return real.status();
  return std::unique_ptr<engine::Folder>(std::make_unique<FaultFolder>(*this, folder, std::move(*real), questions_));
}

int FaultFileSystem::opens(const std::string& path) const {
  const auto it = opens_.find(path);
  return it == opens_.end() ? 0 : it->second;
}

int FaultFileSystem::reads(const std::string& path) const {
  const auto it = reads_.find(path);
  return it == reads_.end() ? 0 : it->second;
}

int FaultFileSystem::reads() const {
  int all = 0;
  for (const auto& entry : reads_) all += entry.second;
  return all;
}

Status FaultFileSystem::remove(const std::string& path) {
  if (readOnlyFolders_ || failRemoves_) return engine::errors::fromErrno(path, EACCES);
  if (!beginChange()) return powerLost(path);
  Tracked& t = track(path);
  Status s = base_.remove(path);
  if (s.ok()) t.entryExists = false;
  return s;
}

Status FaultFileSystem::rename(const std::string& from, const std::string& to) {
  if (readOnlyFolders_) return engine::errors::fromErrno(to, EACCES);
  if (!beginChange()) return powerLost(to);
  Tracked& source = track(from);
  Tracked& target = track(to);
  Status s = base_.rename(from, to);
  if (!s.ok()) return s;
  // Durable once both folders are synced; until then a reboot undoes it.
  source.entryExists = false;
  target.entryExists = true;
  target.durable = readFile(normal(to));
  target.contentKnown = true;
  return s;
}

Result<std::string> FaultFileSystem::realPath(const std::string& path) {
  if (crashed_) return powerLost(path);
  return base_.realPath(path);
}

Status FaultFileSystem::syncFolder(const std::string& folder) {
  if (!beginChange()) return powerLost(folder);
  if (++folderSyncs_ == failFolderSync_) return engine::errors::diskOrNetwork(folder, EIO);
  const std::string dir = normal(folder.empty() ? "." : folder);
  for (auto& [path, t] : tracked_) {
    if (folderOf(path) == dir || (folderOf(path).empty() && dir == ".")) t.durableEntry = t.entryExists;
  }
  return Status::success();
}

void FaultFileSystem::powerCycle() {
  for (auto& [path, t] : tracked_) {
    std::error_code ec;
    if (!t.durableEntry) {
      std::filesystem::remove(path, ec);
      continue;
    }
    restoreFile(path, t.durable);
  }
  tracked_.clear();
  failWrite_ = failSync_ = tearWrite_ = crashAfter_ = 0;
  appendBudget_.reset();
  readOnlyFiles_ = readOnlyFolders_ = failRemoves_ = false;
  failFolderSync_ = folderSyncs_ = 0;
  beforeChange_.clear();
  beforeOpen_ = nullptr;
  writes_ = syncs_ = changes_ = 0;
  crashed_ = false;
}

}  // namespace povezava::testing
