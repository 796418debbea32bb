#include "engine/readings.h"

#include <atomic>
#include <utility>

namespace povezava::engine {
namespace {

std::atomic<std::uint64_t> runs{0};
std::atomic<std::uint64_t> changes{0};

}  // namespace

KeptReadings::KeptReadings() : run_(++runs) {}

ReadingStamp stampOf(const KeptReadings* readings, const FileInfo& info) {
  return ReadingStamp{info, readings != nullptr ? readings->run_ : 0, changes};
}

bool takenThisRun(const KeptReadings* readings, const ReadingStamp& was) {
  return readings != nullptr && was.run == readings->run_ && was.changes == changes;
}

bool stillStands(const KeptReadings* readings, const ReadingStamp& was, const FileInfo& now) {
  return takenThisRun(readings, was) && unchangedSince(was.info, now);
}

bool KeptReadings::knowsBackEnd(const std::string& path) {
  const std::lock_guard lock(mutex_);
  return backEnds_.contains(path);
}

std::optional<std::vector<std::u16string>> KeptReadings::backEndTables(const std::string& path, const FileInfo& now) {
  const std::lock_guard lock(mutex_);
  const auto it = backEnds_.find(path);
  if (it == backEnds_.end() || !stillStands(this, it->second.stamp, now)) return std::nullopt;
  return it->second.tables;
}

void KeptReadings::keepBackEnd(const std::string& path, ReadingStamp stamp, std::vector<std::u16string> tables) {
  const std::lock_guard lock(mutex_);
  backEnds_.insert_or_assign(path, BackEnd{std::move(stamp), std::move(tables)});
}

std::optional<std::string> KeptReadings::ledTo(const std::u16string& given) {
  const std::lock_guard lock(mutex_);
  const auto it = given_.find(given);
  if (it == given_.end()) return std::nullopt;
  return it->second;
}

void KeptReadings::leadsTo(const std::u16string& given, const std::string& path) {
  const std::lock_guard lock(mutex_);
  given_.insert_or_assign(given, path);
}

std::uint64_t changesMadeHere() { return changes; }
void noteChangeMadeHere() { ++changes; }

}  // namespace povezava::engine
