// Real front-end databases for the links tests, in a temporary folder:
// copies of the shared fixtures of one format, or files the builder makes.
// Every folder holds TQ, NONALOGI and LOCALPARTNER front-ends and the two
// back-ends (PARTNER, QUERNO) under the format's extension.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "engine/jet_build/builder.h"
#include "engine/jet_build/sample_databases.h"
#include "support/test_support.h"

namespace povezava::links::testing {

struct FrontEndSet {
  const char* name;        // for test names
  const char* fixtures;    // fixture folder to copy, or nullptr to build
  engine::jet::Version version;  // for building
  const char* extension;   // of every file in the folder
  std::uint16_t codePage = 1250;  // for building: Slovenian text in Jet 3
};

inline const FrontEndSet kFrontEndSets[] = {
    {"FixturesJet4V2000", "jet4-v2000", engine::jet::Version::jet4, ".mdb"},
    {"FixturesJet4V2003", "jet4-v2003", engine::jet::Version::jet4, ".mdb"},
    {"FixturesAce14", "ace-v2010", engine::jet::Version::ace14, ".accdb"},
    {"BuiltJet3", nullptr, engine::jet::Version::jet3, ".mdb"},
    {"BuiltJet4", nullptr, engine::jet::Version::jet4, ".mdb"},
};

// Fills `dir` with the set's files. Returns false (after a test failure or
// skip has been recorded) when that is not possible.
inline bool prepareFrontEnds(const FrontEndSet& set, const povezava::testing::TempDir& dir) {
  namespace jet = engine::jet;
  if (set.fixtures != nullptr) {
    if (povezava::testing::fixturesDir().empty()) return false;
    dir.copyFiles(povezava::testing::fixturesDir() / set.fixtures);
    return true;
  }
  auto build = [&](const std::string& stem, const jet::DatabaseSpec& spec) {
    const engine::Status status = jet::buildDatabase((dir.path() / (stem + set.extension)).string(), spec);
    EXPECT_TRUE(status.ok()) << stem << ": " << status.toString();
    return status.ok();
  };
  jet::FrontEndOptions options;
  options.version = set.version;
  options.codePage = set.codePage;
  bool ok = build("TQ", jet::frontEndSpec(options));
  options.withNalogi = false;
  ok = ok && build("NONALOGI", jet::frontEndSpec(options));
  options.withNalogi = true;
  options.partnerLocal = true;
  ok = ok && build("LOCALPARTNER", jet::frontEndSpec(options));
  ok = ok && build("PARTNER", jet::partnerBackEndSpec(set.version, set.codePage));
  ok = ok && build("QUERNO", jet::quernoBackEndSpec(set.version, set.codePage));
  return ok;
}

// A test run over every set, each prepared in a temporary folder of its own.
class FrontEndSetTest : public ::testing::TestWithParam<FrontEndSet> {
 protected:
  void SetUp() override {
    if (GetParam().fixtures != nullptr) POVEZAVA_REQUIRE_FIXTURES();
    ASSERT_TRUE(prepareFrontEnds(GetParam(), dir_));
  }
  // A file of the set by its stem ("TQ", "PARTNER", ...).
  std::string file(const std::string& stem) const { return (dir_.path() / (stem + GetParam().extension)).string(); }

  povezava::testing::TempDir dir_;
};

}  // namespace povezava::links::testing
