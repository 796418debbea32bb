// An engine made for one test: the real file system (or the test's own), the
// program's path rules (src/paths/) over a map of the test's own, and its
// notices kept for the test to look at. Two TestEngines share nothing.
// Header-only: only the folders that link the engine and src/paths/ use it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/engine.h"
#include "engine/notices.h"
#include "engine/path_resolver.h"
#include "engine/readings.h"
#include "paths/database_path.h"
#include "paths/path_map.h"
#include "platform/file_system.h"

namespace povezava::testing {

// A map of pairs "WINDOWS=LOCAL"; the test fails when one does not parse.
inline engine::PathMap pathMapOf(const std::vector<std::string>& pairs) {
  engine::PathMap map;
  for (const std::string& pair : pairs) {
    auto mapping = engine::parseMapping(pair, "test");
    EXPECT_TRUE(mapping.ok()) << pair << ": " << mapping.status().toString();
    if (mapping) map.add(std::move(*mapping));
  }
  return map;
}

// The program's rules for names (resolveDatabasePath) over `map`.
class TestPaths final : public engine::PathResolver {
 public:
  engine::Result<std::string> resolve(engine::FileSystem& fs, std::u16string_view name) const override {
    return engine::resolveDatabasePath(fs, name, map);
  }
  engine::Result<std::string> resolveNotExact(engine::FileSystem& fs, std::u16string_view name) const override {
    return engine::resolveDatabasePath(fs, name, map, nullptr, true);
  }
  std::optional<std::string> exactPath(std::u16string_view name) const override {
    return engine::exactPathOf(name, map);
  }

  engine::PathMap map;
};

struct TestEngine {
  explicit TestEngine(engine::FileSystem& files = engine::posixFileSystem(), engine::PathMap map = {})
      : fs(&files), paths(withMap(std::move(map))), engine(engine::makeEngine(setup())) {}
  TestEngine(const TestEngine&) = delete;
  TestEngine& operator=(const TestEngine&) = delete;

  engine::EngineSetup setup() { return {fs, &paths, &notices}; }
  engine::DBEngine& operator*() { return *engine; }
  engine::DBEngine* operator->() { return engine.get(); }

  engine::FileSystem* fs;
  TestPaths paths;
  engine::NoticeList notices;
  std::unique_ptr<engine::DBEngine> engine;

 private:
  static TestPaths withMap(engine::PathMap map) {
    TestPaths made;
    made.map = std::move(map);
    return made;
  }
};

// For tests of the engine's parts, which call the writer without an engine:
// one resolver (an empty map) and one notice list for the test program, which
// they pass to the writer's calls.
inline TestPaths& sharedTestPaths() {
  static TestPaths paths;
  return paths;
}
inline engine::NoticeList& testNotices() {
  static engine::NoticeList list;
  return list;
}
inline std::vector<std::string> takeNotices() { return testNotices().takeTexts(); }
inline engine::EngineSetup testSetup(engine::FileSystem& fs = engine::posixFileSystem(),
                                     engine::KeptReadings* readings = nullptr) {
  return {&fs, &sharedTestPaths(), &testNotices(), readings};
}
// An engine over the real file system with testSetup().
inline engine::DBEngine& testEngine() {
  static const std::unique_ptr<engine::DBEngine> made = engine::makeEngine(testSetup());
  return *made;
}

}  // namespace povezava::testing
