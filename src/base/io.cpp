#include "base/io.h"

#include <utility>

namespace povezava::engine {
namespace {

class NamedFolder final : public Folder {
 public:
  NamedFolder(FileSystem& fs, std::string path) : fs_(&fs), path_(std::move(path)) {}
  Result<std::vector<std::string>> list() override { return fs_->list(path_); }
  Status sync() override { return fs_->syncFolder(path_); }

 private:
  FileSystem* fs_;
  std::string path_;
};

}  // namespace

Result<std::unique_ptr<Folder>> FileSystem::openFolder(const std::string& folder) {
  return std::unique_ptr<Folder>(std::make_unique<NamedFolder>(*this, folder));
}

Result<bool> FileSystem::hasEntry(const std::string& path) {
  auto fi = info(path);
  if (!fi) return fi.status();
  return fi->exists;
}

void FileSystem::sideBySide(std::size_t count, const std::function<void(std::size_t)>& each) {
  for (std::size_t i = 0; i < count; ++i) each(i);
}

}  // namespace povezava::engine
