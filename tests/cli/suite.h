// A small suite of builder-made databases in a temporary folder, for the
// command-line tests: back-ends PARTNER.MDB (PARTNER) and QUERNO.MDB (KONTI,
// NALOGI) in data/, and front-ends that link to them or to elsewhere.
//
// Header-only: the test folders build from *_test.cpp files alone.
#pragma once

#include <filesystem>
#include <span>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/console.h"
#include "cli/json.h"
#include "engine/engine.h"
#include "engine/jet_build/builder.h"
#include "base/unicode.h"
#include "links/program.h"
#include "paths/path_map.h"
#include "platform/file_system.h"
#include "support/databases.h"
#include "support/test_support.h"

namespace povezava::cli::testing {

namespace jet = engine::jet;

// A local table with one column and one row.
inline jet::LocalTableSpec localTable(std::u16string name) {
  return jet::LocalTableSpec{std::move(name), {{u"ID", jet::ColumnType::longInteger}}, {{std::int32_t{1}}}};
}

inline jet::DatabaseSpec spec(jet::Version version, std::vector<jet::CatalogueEntry> entries) {
  jet::DatabaseSpec made;
  made.version = version;
  made.codePage = 1250;
  made.entries = std::move(entries);
  return made;
}

inline void build(const std::filesystem::path& file, const jet::DatabaseSpec& spec) {
  povezava::testing::buildFile(file, spec);
}

using povezava::testing::buildBackEnds;
using povezava::testing::buildFrontEnd;
using povezava::testing::lines;
using povezava::testing::storedConnect;

inline std::u16string u16(const std::filesystem::path& path) { return engine::fromUtf8(path.string()); }

// A text as it stands inside a JSON string: a Windows path's "\" doubled.
inline std::string inJson(const std::string& text) {
  std::string quoted;
  appendJsonString(quoted, engine::fromUtf8(text));
  return quoted.substr(1, quoted.size() - 2);
}

// The suite's front-ends link into Windows folders ("C:\..."); relinking them
// to the temporary folders of this computer is asked for with --local-paths.
inline std::vector<std::string> withLocalPaths(std::vector<std::string> args) {
  args.push_back("--local-paths");
  return args;
}

// What a command run in-process printed, and its exit status.
struct CommandResult {
  int status;
  std::string out;
  std::string err;
};

inline CommandResult runInProcess(int (*command)(std::span<const std::string>, std::ostream&, std::ostream&),
                                  const std::vector<std::string>& args) {
  std::ostringstream out;
  std::ostringstream err;
  const int status = command(args, out, err);
  return {status, out.str(), err.str()};
}

// A command run in-process with its output captured, with a program of its
// own over the real file system and the path map `map`.
struct Captured {
  explicit Captured(engine::PathMap map = {}) { program.paths().setMap(std::move(map)); }
  std::ostringstream out;
  std::ostringstream err;
  links::Program program{engine::posixFileSystem()};
  Console console{out, err, false, &program};
};

inline CommandResult runInProcess(int (*command)(std::span<const std::string>, Console&),
                                  const std::vector<std::string>& args) {
  Captured io;
  const int status = command(args, io.console);
  return {status, io.out.str(), io.err.str()};
}

}  // namespace povezava::cli::testing
