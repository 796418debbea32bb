// Readings kept for one run of a command.
//
// On a network share every open, stat and read is a round trip to the
// server. While a KeepReadings lives (povezava-cli makes one per run), what
// was decoded from a file (a front-end's catalogue, the tables a back-end
// holds) is used again as long as the file system describes the file as
// before (identity, size, modification time) and this process has changed
// no file since. Without one, every reading goes to the file.
//
// What decides a write never rests on this: the writer reads what it
// changes under its lock and checks the pages again before the journal and
// before writing them.
#pragma once

#include <cstdint>

#include "base/io.h"

namespace povezava::engine {

class KeepReadings {
 public:
  KeepReadings();
  ~KeepReadings();
  KeepReadings(const KeepReadings&) = delete;
  KeepReadings& operator=(const KeepReadings&) = delete;
};

// A file as it was when it was read.
struct ReadingStamp {
  FileInfo info;
  std::uint64_t run = 0;      // the KeepReadings it was taken under (0: none)
  std::uint64_t changes = 0;  // changesMadeHere() then
};

// The stamp of a reading of the file `info` describes, taken before reading it.
ReadingStamp stampOf(const FileInfo& info);
// Whether the reading stamped `was` may stand for the file `now` describes:
// the same KeepReadings still lives, nothing was changed by this process
// since, and the file looks unchanged.
bool stillStands(const ReadingStamp& was, const FileInfo& now);
// Whether the reading stamped `was` was taken under the KeepReadings that
// still lives, and this process has changed no file since: within one run,
// a reading the writer checks again anyway needs no new question.
bool takenThisRun(const ReadingStamp& was);
// Whether a KeepReadings lives.
bool keepingReadings();

// Files written, cut, renamed or removed by this process through the real
// file system so far (io_posix.cpp, io_windows.cpp count them).
std::uint64_t changesMadeHere();
void noteChangeMadeHere();

}  // namespace povezava::engine
