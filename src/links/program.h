// The program's one engine and what it is made from.
//
// A program's main (povezava-cli, the Qt window, povezava.exe) makes one
// Program at start from the real file system and hands it to what it runs;
// tests make their own. Two Programs share nothing: each has its path map,
// its notices and its engine.
//
//   ProgramPaths  the path map (loaded once, at start) and the resolver the
//                 engine asks for every name: src/paths/ resolveDatabasePath
//                 over that map, remembering case matches for one run
//                 when readings are kept;
//   readings      what was read, kept for one run (engine/readings.h), when
//                 the program runs one command and ends (povezava-cli);
//   notices       what the engine found, until the program says it.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "base/io.h"
#include "engine/engine.h"
#include "engine/notices.h"
#include "engine/path_resolver.h"
#include "engine/readings.h"
#include "paths/path_map.h"

namespace povezava::links {

class ProgramPaths final : public engine::PathResolver {
 public:
  // `readings`: where case matches are kept for the run (null: nowhere).
  explicit ProgramPaths(engine::KeptReadings* readings = nullptr);
  ~ProgramPaths() override;
  ProgramPaths(const ProgramPaths&) = delete;
  ProgramPaths& operator=(const ProgramPaths&) = delete;

  // The map names are resolved with and link strings written with: empty
  // until setMap().
  const engine::PathMap& map() const { return map_; }
  void setMap(engine::PathMap map) { map_ = std::move(map); }

  [[nodiscard]] engine::Result<std::string> resolve(engine::FileSystem& fs,
                                                    std::u16string_view name) const override;
  [[nodiscard]] engine::Result<std::string> resolveNotExact(engine::FileSystem& fs,
                                                            std::u16string_view name) const override;
  std::optional<std::string> exactPath(std::u16string_view name) const override;

 private:
  class RunMatches;
  engine::PathMap map_;
  std::unique_ptr<RunMatches> matches_;
};

class Program {
 public:
  enum class Readings { none, keptForTheRun };
  // `fs` must outlive the program. With Readings::keptForTheRun a file read
  // once is not read again while it is unchanged (on a share every read is a
  // round trip): for a program that runs one command and ends.
  explicit Program(engine::FileSystem& fs, Readings readings = Readings::none);
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  engine::FileSystem& fileSystem() { return *fs_; }
  ProgramPaths& paths() { return paths_; }
  const engine::PathMap& pathMap() const { return paths_.map(); }
  engine::NoticeList& notices() { return notices_; }
  engine::DBEngine& engine() { return *engine_; }
  // What the engine was made from: for write batches and recovery.
  engine::EngineSetup setup() { return {fs_, &paths_, &notices_, readings_.get()}; }

 private:
  engine::FileSystem* fs_;
  std::unique_ptr<engine::KeptReadings> readings_;
  ProgramPaths paths_;
  engine::NoticeList notices_;
  std::unique_ptr<engine::DBEngine> engine_;
};

}  // namespace povezava::links
