// Sets the process's Windows path map for one test and puts the earlier one
// back afterwards. Header-only: only the folders that link the engine use it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/path_map.h"

namespace povezava::testing {

class ProcessPathMap {
 public:
  // Pairs "WINDOWS=LOCAL"; the test fails when one does not parse.
  explicit ProcessPathMap(const std::vector<std::string>& pairs) : previous_(engine::processPathMap()) {
    engine::PathMap map;
    for (const std::string& pair : pairs) {
      auto mapping = engine::parseMapping(pair, "test");
      EXPECT_TRUE(mapping.ok()) << pair << ": " << mapping.status().toString();
      if (mapping) map.add(std::move(*mapping));
    }
    engine::setProcessPathMap(std::move(map));
  }
  ~ProcessPathMap() { engine::setProcessPathMap(std::move(previous_)); }
  ProcessPathMap(const ProcessPathMap&) = delete;
  ProcessPathMap& operator=(const ProcessPathMap&) = delete;

 private:
  engine::PathMap previous_;
};

}  // namespace povezava::testing
