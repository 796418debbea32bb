#include "links/program.h"

#include <map>
#include <mutex>
#include <optional>
#include <utility>

#include "engine/readings.h"
#include "paths/database_path.h"

namespace povezava::links {

// Names matched without regard to case while readings are kept: each such
// match lists folders, a round trip each on a share.
class ProgramPaths::RunMatches final : public engine::CaseMatchMemo {
 public:
  explicit RunMatches(engine::KeptReadings* readings) : readings_(readings) {}
  bool keeping() const override { return readings_ != nullptr; }
  std::optional<std::string> find(const std::string& path) override {
    const std::lock_guard lock(mutex_);
    const auto it = matches_.find(path);
    if (it == matches_.end() || !engine::takenThisRun(readings_, it->second.first)) return std::nullopt;
    return it->second.second;
  }
  void keep(const std::string& path, const std::string& resolved) override {
    const std::lock_guard lock(mutex_);
    matches_.insert_or_assign(path, std::make_pair(engine::stampOf(readings_, engine::FileInfo{}), resolved));
  }

 private:
  engine::KeptReadings* readings_;
  std::mutex mutex_;
  std::map<std::string, std::pair<engine::ReadingStamp, std::string>> matches_;
};

ProgramPaths::ProgramPaths(engine::KeptReadings* readings) : matches_(std::make_unique<RunMatches>(readings)) {}
ProgramPaths::~ProgramPaths() = default;

engine::Result<std::string> ProgramPaths::resolve(engine::FileSystem& fs, std::u16string_view name) const {
  return engine::resolveDatabasePath(fs, name, map_, matches_.get());
}

engine::Result<std::string> ProgramPaths::resolveNotExact(engine::FileSystem& fs, std::u16string_view name) const {
  return engine::resolveDatabasePath(fs, name, map_, matches_.get(), true);
}

std::optional<std::string> ProgramPaths::exactPath(std::u16string_view name) const {
  auto path = engine::exactPathOf(name, map_);
  // A name matched without regard to case earlier in the run goes where the
  // match led (resolve() asks whether it still does).
  if (path && matches_->find(*path)) return std::nullopt;
  return path;
}

Program::Program(engine::FileSystem& fs, Readings readings)
    : fs_(&fs),
      readings_(readings == Readings::keptForTheRun ? std::make_unique<engine::KeptReadings>() : nullptr),
      paths_(readings_.get()),
      engine_(engine::makeEngine(setup())) {}

}  // namespace povezava::links
