// Relinking the three tables of a front-end, sync included, on a small (2 MB)
// and a big (200 MB) builder-made front-end in the same run: the time must
// not depend on the file's size.
//
//   povezava_relink_bench [FOLDER] [RUNS]
//
// FOLDER (default: a new folder under /tmp, removed afterwards) receives the
// databases; RUNS (default 51) relinks of all three tables per case, each to
// the other of two back-end folders so that every run writes. Prints the
// median and the spread per case, for short (inline) and long (long-value
// row) paths, with and without opening the database.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/jet/jet_database.h"
#include "engine/jet_build/sample_databases.h"
#include "base/unicode.h"
#include "links/program.h"
#include "platform/file_system.h"

namespace {

namespace fs = std::filesystem;
using namespace povezava::engine;
using namespace povezava::engine::jet;
using Clock = std::chrono::steady_clock;

void fail(const std::string& what, const Status& s) {
  std::fprintf(stderr, "%s: %s\n", what.c_str(), s.toString().c_str());
  std::exit(1);
}

struct Stats {
  double median;
  double low;   // 10th percentile
  double high;  // 90th percentile
};

Stats stats(std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  return {ms[ms.size() / 2], ms[ms.size() / 10], ms[ms.size() * 9 / 10]};
}

// Relinks PARTNER, KONTI, NALOGI to the back-ends in `folder`.
void relinkThree(Database& db, const std::string& folder) {
  auto tables = db.tableDefs();
  if (!tables) fail("tableDefs", tables.status());
  const std::u16string partner = u";DATABASE=" + fromUtf8(folder) + u"/PARTNER.MDB";
  const std::u16string querno = u";DATABASE=" + fromUtf8(folder) + u"/QUERNO.MDB";
  const std::pair<const char16_t*, const std::u16string*> work[] = {
      {u"PARTNER", &partner}, {u"KONTI", &querno}, {u"NALOGI", &querno}};
  for (const auto& [name, link] : work) {
    auto t = (*tables)->item(name);
    if (!t) fail("item", t.status());
    if (Status s = (*t)->setConnect(*link); !s.ok()) fail("setConnect", s);
    if (Status s = (*t)->refreshLink(); !s.ok()) fail("refreshLink", s);
  }
}

void runCase(const std::string& label, const std::string& frontEnd, const std::string folders[2], int runs) {
  povezava::links::Program program(posixFileSystem());
  DBEngine& engine = program.engine();
  std::vector<double> withOpen;
  std::vector<double> relinkOnly;
  for (int i = 0; i < runs; ++i) {
    const auto t0 = Clock::now();
    auto db = engine.openDatabase(fromUtf8(frontEnd));
    if (!db) fail("open " + frontEnd, db.status());
    const auto t1 = Clock::now();
    relinkThree(**db, folders[i % 2]);
    const auto t2 = Clock::now();
    if (Status s = (*db)->close(); !s.ok()) fail("close", s);
    withOpen.push_back(std::chrono::duration<double, std::milli>(t2 - t0).count());
    relinkOnly.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
  }
  const Stats a = stats(relinkOnly);
  const Stats b = stats(withOpen);
  std::printf("%-34s relink 3 tables: median %6.2f ms (p10 %6.2f, p90 %6.2f) | with open: median %6.2f ms\n",
              label.c_str(), a.median, a.low, a.high, b.median);
}

// What one page write plus fsync costs on this disk: a relink makes four
// syncs (journal, its folder, the database, the folder again).
double syncCost(const fs::path& folder) {
  const std::string path = (folder / "sync-probe").string();
  auto file = posixFileSystem().open(path, OpenMode::createNew);
  if (!file) fail("sync probe", file.status());
  std::vector<std::byte> page(4096, std::byte{1});
  std::vector<double> ms;
  for (int i = 0; i < 21; ++i) {
    const auto t0 = Clock::now();
    if (Status s = (*file)->writeAt(0, page); !s.ok()) fail("sync probe", s);
    if (Status s = (*file)->sync(); !s.ok()) fail("sync probe", s);
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
  }
  file->reset();
  (void)posixFileSystem().remove(path);
  return stats(ms).median;
}

}  // namespace

int main(int argc, char** argv) {
  const bool ownFolder = argc < 2;
  const fs::path root = ownFolder ? fs::temp_directory_path() / ("povezava-bench-" + std::to_string(::getpid()))
                                  : fs::path(argv[1]);
  const int runs = argc > 2 ? std::max(3, std::atoi(argv[2])) : 51;
  fs::create_directories(root);

  // Two back-end folders, one with a short name (paths stored in the row) and
  // pairs with long names (paths stored in long-value rows).
  const std::string shortFolders[2] = {(root / "a").string(), (root / "b").string()};
  const std::string longFolders[2] = {
      (root / "Računovodstvo in finance - podatki za poslovno leto 2024").string(),
      (root / "Računovodstvo in finance - podatki za poslovno leto 2025").string()};
  for (const auto* set : {shortFolders, longFolders}) {
    for (int i = 0; i < 2; ++i) {
      fs::create_directories(set[i]);
      for (const auto& [name, spec] : {std::pair{"PARTNER.MDB", partnerBackEndSpec(Version::jet4)},
                                       std::pair{"QUERNO.MDB", quernoBackEndSpec(Version::jet4)}}) {
        const std::string path = set[i] + "/" + name;
        if (!fs::exists(path)) {
          if (Status s = buildDatabase(path, spec); !s.ok()) fail("build " + path, s);
        }
      }
    }
  }
  std::printf("one page write + fsync here: median %.2f ms (a relink of three tables makes 12 syncs)\n",
              syncCost(root));
  struct Size {
    const char* name;
    std::uint64_t bytes;
  } sizes[] = {{"2 MB", 2ULL << 20}, {"200 MB", 200ULL << 20}};
  for (const Size& size : sizes) {
    const std::string frontEnd = (root / (std::string("TQ-") + std::to_string(size.bytes >> 20) + ".mdb")).string();
    if (!fs::exists(frontEnd)) {
      FrontEndOptions options;
      options.localDataBytes = size.bytes;
      // Paths out of the row from the start, as in real front-ends: the
      // Database column then owns a long-value page.
      options.partnerDatabase = u"\\\\streznik\\skupno\\Računovodstvo in finance\\podatki\\PARTNER.MDB";
      options.quernoDatabase = u"\\\\streznik\\skupno\\Računovodstvo in finance\\podatki\\QUERNO.MDB";
      const auto t0 = Clock::now();
      if (Status s = buildDatabase(frontEnd, frontEndSpec(options)); !s.ok()) fail("build " + frontEnd, s);
      std::printf("built %s front-end (%.1f MB) in %.1f s\n", size.name,
                  static_cast<double>(fs::file_size(frontEnd)) / (1 << 20),
                  std::chrono::duration<double>(Clock::now() - t0).count());
    }
    runCase(std::string(size.name) + ", short paths (in the row)", frontEnd, shortFolders, runs);
    runCase(std::string(size.name) + ", long paths (long-value rows)", frontEnd, longFolders, runs);
  }
  if (ownFolder) fs::remove_all(root);
  return 0;
}
