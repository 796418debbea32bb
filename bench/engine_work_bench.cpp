// Makes the databases bench/engine_work.sh measures: a front-end with 400
// linked tables (PARTNER, KONTI, NALOGI and 397 more, every other one with a
// path too long for its catalogue row, so on long-value pages) and its two
// back-ends, each with 200 more local tables to search through.
//
//   povezava_engine_work_bench FOLDER
//   povezava_engine_work_bench --journal-cycle FILE
//       One journal cycle on FILE (a Jet 4 database): page 1 written back as
//       it is, with its journal written, synced and removed, as a relink
//       stores its pages. The floor of a relink's time besides process start.
#include <cstdio>
#include <filesystem>
#include <string>

#include "engine/jet/read/jet_file.h"
#include "engine/jet/write/page_commit.h"
#include "engine/jet_build/builder.h"
#include "engine/jet_build/sample_databases.h"
#include "base/unicode.h"
#include "platform/file_system.h"

namespace {

using namespace povezava::engine;
using namespace povezava::engine::jet;

std::u16string numbered(std::u16string_view prefix, int n) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%03d", n);
  return std::u16string(prefix) + fromUtf8(digits);
}

void addLocalTables(DatabaseSpec& spec, int count) {
  for (int i = 0; i < count; ++i) {
    spec.entries.emplace_back(LocalTableSpec{numbered(u"L", i), {{u"ID", ColumnType::longInteger}}});
  }
}

}  // namespace

int journalCycle(const std::string& path) {
  auto file = posixFileSystem().open(path, OpenMode::readWrite);
  if (!file) return 1;
  auto jet = JetFile::open(std::move(*file), path);
  if (!jet) return 1;
  auto page = (*jet)->page(1);
  if (!page) return 1;
  const PageWrite same{1, std::vector<std::byte>(page->view().bytes().begin(), page->view().bytes().end())};
  const Status s = commitPages(posixFileSystem(), droppedNotices(), **jet, std::span(&same, 1));
  if (!s.ok()) std::fprintf(stderr, "%s\n", s.toString().c_str());
  return s.ok() ? 0 : 1;
}

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--journal-cycle") return journalCycle(argv[2]);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder / "data");
  FrontEndOptions options;
  options.partnerDatabase = fromUtf8((folder / "old" / "PARTNER.MDB").string());
  options.quernoDatabase = fromUtf8((folder / "old" / "QUERNO.MDB").string());
  DatabaseSpec frontEnd = frontEndSpec(options);
  const std::u16string shortPath = u"S:\\DATA\\X.MDB";
  const std::u16string longPath =
      u"\\\\streznik\\skupno\\Računovodstvo in finance\\podatki za leto 2024\\arhiv\\X.MDB";
  for (int i = 0; i < 397; ++i) {
    frontEnd.entries.emplace_back(LinkedTableSpec{numbered(u"T", i), i % 2 == 0 ? shortPath : longPath});
  }
  DatabaseSpec partner = partnerBackEndSpec(Version::jet4);
  DatabaseSpec querno = quernoBackEndSpec(Version::jet4);
  addLocalTables(partner, 200);
  addLocalTables(querno, 200);
  for (const auto& [path, spec] : {std::pair{folder / "TQ.mdb", &frontEnd},
                                   std::pair{folder / "data" / "PARTNER.MDB", &partner},
                                   std::pair{folder / "data" / "QUERNO.MDB", &querno}}) {
    std::filesystem::remove(path);
    if (Status s = buildDatabase(path.string(), *spec); !s.ok()) {
      std::fprintf(stderr, "%s\n", s.toString().c_str());
      return 1;
    }
  }
  return 0;
}
