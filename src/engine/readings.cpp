#include "engine/readings.h"

#include <atomic>

namespace povezava::engine {
namespace {

std::atomic<std::uint64_t> runs{0};
std::atomic<std::uint64_t> currentRun{0};
std::atomic<std::uint64_t> changes{0};

}  // namespace

KeepReadings::KeepReadings() { currentRun = ++runs; }
KeepReadings::~KeepReadings() { currentRun = 0; }

bool keepingReadings() { return currentRun != 0; }

ReadingStamp stampOf(const FileInfo& info) { return ReadingStamp{info, currentRun, changes}; }

bool takenThisRun(const ReadingStamp& was) { return was.run != 0 && was.run == currentRun && was.changes == changes; }

bool stillStands(const ReadingStamp& was, const FileInfo& now) {
  return takenThisRun(was) && unchangedSince(was.info, now);
}

std::uint64_t changesMadeHere() { return changes; }
void noteChangeMadeHere() { ++changes; }

}  // namespace povezava::engine
