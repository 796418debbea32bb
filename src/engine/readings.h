// Readings kept for one run of a command.
//
// On a network share every open, stat and read is a round trip to the
// server. An engine made with a KeptReadings (EngineSetup::readings;
// povezava-cli's program has one for its run) uses again what was decoded
// from a file (a front-end's catalogue, the tables a back-end holds) as long
// as the file system describes the file as before (identity, size,
// modification time) and this process has changed no file since. Without
// one, every reading goes to the file.
//
// What decides a write never rests on this: the writer reads what it
// changes under its lock and checks the pages again before the journal and
// before writing them.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/io.h"

namespace povezava::engine {

// A file as it was when it was read.
struct ReadingStamp {
  FileInfo info;
  std::uint64_t run = 0;      // the KeptReadings it was taken under (0: none)
  std::uint64_t changes = 0;  // changesMadeHere() then
};

class KeptReadings {
 public:
  KeptReadings();
  KeptReadings(const KeptReadings&) = delete;
  KeptReadings& operator=(const KeptReadings&) = delete;

  // Back-ends read under these readings: the names of their tables, by the
  // path they were read from.
  bool knowsBackEnd(const std::string& path);
  // The back-end's table names, when the reading of it still stands for the
  // file `now` describes.
  std::optional<std::vector<std::u16string>> backEndTables(const std::string& path, const FileInfo& now);
  void keepBackEnd(const std::string& path, ReadingStamp stamp, std::vector<std::u16string> tables);
  // Where a link's path led when its back-end was read.
  std::optional<std::string> ledTo(const std::u16string& given);
  void leadsTo(const std::u16string& given, const std::string& path);

 private:
  friend ReadingStamp stampOf(const KeptReadings* readings, const FileInfo& info);
  friend bool takenThisRun(const KeptReadings* readings, const ReadingStamp& was);

  struct BackEnd {
    ReadingStamp stamp;
    std::vector<std::u16string> tables;
  };
  const std::uint64_t run_;
  std::mutex mutex_;
  std::map<std::string, BackEnd> backEnds_;
  std::map<std::u16string, std::string> given_;
};

// The stamp of a reading of the file `info` describes, taken before reading
// it, under `readings` (null: none).
ReadingStamp stampOf(const KeptReadings* readings, const FileInfo& info);
// Whether the reading stamped `was` may stand for the file `now` describes:
// it was taken under `readings` (not null), nothing was changed by this
// process since, and the file looks unchanged.
bool stillStands(const KeptReadings* readings, const ReadingStamp& was, const FileInfo& now);
// Whether the reading stamped `was` was taken under `readings` (not null),
// and this process has changed no file since: within one run, a reading the
// writer checks again anyway needs no new question.
bool takenThisRun(const KeptReadings* readings, const ReadingStamp& was);

// Files written, cut, renamed or removed by this process through the real
// file system so far (io_posix.cpp, io_windows.cpp count them).
std::uint64_t changesMadeHere();
void noteChangeMadeHere();

}  // namespace povezava::engine
