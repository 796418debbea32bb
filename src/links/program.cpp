#include "links/program.h"

#include <map>
#include <mutex>
#include <optional>
#include <utility>

#include "engine/readings.h"
#include "paths/database_path.h"

namespace povezava::links {

// Names matched without regard to case while a KeepReadings lives: each such
// match lists folders, a round trip each on a share.
class ProgramPaths::RunMatches final : public engine::CaseMatchMemo {
 public:
  bool keeping() const override { return engine::keepingReadings(); }
  std::optional<std::string> find(const std::string& path) override {
    const std::lock_guard lock(mutex_);
    const auto it = matches_.find(path);
    if (it == matches_.end() || !engine::takenThisRun(it->second.first)) return std::nullopt;
    return it->second.second;
  }
  void keep(const std::string& path, const std::string& resolved) override {
    const std::lock_guard lock(mutex_);
    matches_.insert_or_assign(path, std::make_pair(engine::stampOf(engine::FileInfo{}), resolved));
  }

 private:
  std::mutex mutex_;
  std::map<std::string, std::pair<engine::ReadingStamp, std::string>> matches_;
};

ProgramPaths::ProgramPaths() : matches_(std::make_unique<RunMatches>()) {}
ProgramPaths::~ProgramPaths() = default;

engine::Result<std::string> ProgramPaths::resolve(engine::FileSystem& fs, std::u16string_view name) const {
  return engine::resolveDatabasePath(fs, name, map_, matches_.get());
}

bool ProgramPaths::takenAsGiven(std::u16string_view name) const { return engine::takenAsGiven(name); }

Program::Program(engine::FileSystem& fs)
    : fs_(&fs), engine_(engine::makeEngine(engine::EngineSetup{&fs, &paths_, &notices_})) {}

}  // namespace povezava::links
