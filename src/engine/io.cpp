#include "engine/io.h"

namespace povezava::engine {

std::vector<Status> FileSystem::syncFiles(std::span<File* const> files) {
  std::vector<Status> results;
  results.reserve(files.size());
  for (File* file : files) results.push_back(file->sync());
  return results;
}

std::vector<Status> FileSystem::syncFolders(std::span<const std::string> folders) {
  std::vector<Status> results;
  results.reserve(folders.size());
  for (const std::string& folder : folders) results.push_back(syncFolder(folder));
  return results;
}

}  // namespace povezava::engine
