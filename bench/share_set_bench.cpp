// Makes the files bench/share_ops.sh counts file operations on: COUNT
// front-ends (TQ.mdb, TQ02.mdb, ...) in FOLDER, each with a local table and
// four links (PARTNER to PARTNER.MDB, KONTI and NALOGI to QUERNO.MDB, both in
// FOLDER/DATA, and MANJKA to a file that does not exist), the two back-ends,
// and an empty FOLDER/DATA2 that a relink re-points them to (the script
// copies the back-ends there).
//
//   povezava_share_set_bench FOLDER [COUNT]
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/jet_build/builder.h"
#include "engine/jet_build/sample_databases.h"
#include "base/unicode.h"

namespace {

using namespace povezava::engine;
using namespace povezava::engine::jet;

Status build(const std::filesystem::path& path, const DatabaseSpec& spec) {
  std::filesystem::remove(path);
  return buildDatabase(path.string(), spec);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: %s FOLDER [COUNT]\n", argv[0]);
    return 2;
  }
  const std::filesystem::path folder = std::filesystem::absolute(argv[1]);
  const int count = argc == 3 ? std::atoi(argv[2]) : 1;
  if (count < 1 || count > 999) {
    std::fprintf(stderr, "COUNT: 1 to 999\n");
    return 2;
  }
  std::filesystem::create_directories(folder / "DATA");
  std::filesystem::create_directories(folder / "DATA2");

  FrontEndOptions options;
  options.partnerDatabase = fromUtf8((folder / "DATA" / "PARTNER.MDB").string());
  options.quernoDatabase = fromUtf8((folder / "DATA" / "QUERNO.MDB").string());
  DatabaseSpec frontEnd = frontEndSpec(options);
  frontEnd.entries.emplace_back(
      LinkedTableSpec{u"MANJKA", fromUtf8((folder / "DATA" / "MANJKA.MDB").string()), u"PARTNER"});

  for (int i = 1; i <= count; ++i) {
    char name[16];
    if (i == 1) {
      std::snprintf(name, sizeof name, "TQ.mdb");
    } else {
      std::snprintf(name, sizeof name, "TQ%02d.mdb", i);
    }
    if (Status s = build(folder / name, frontEnd); !s.ok()) {
      std::fprintf(stderr, "%s\n", s.toString().c_str());
      return 1;
    }
  }
  for (const auto& [path, spec] : {std::pair{folder / "DATA" / "PARTNER.MDB", partnerBackEndSpec(Version::jet4)},
                                   std::pair{folder / "DATA" / "QUERNO.MDB", quernoBackEndSpec(Version::jet4)}}) {
    if (Status s = build(path, spec); !s.ok()) {
      std::fprintf(stderr, "%s\n", s.toString().c_str());
      return 1;
    }
  }
  return 0;
}
