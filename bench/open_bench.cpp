// Open a builder-made front-end (2,000 catalogue rows), look up PARTNER,
// KONTI and NALOGI and read their Connect, as link inspection does; with 2 MB
// and with 200 MB of local table data, which must cost the same.
//
// The databases are made once into $POVEZAVA_BENCH_DATA (default
// ./bench-data) and reused.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/engine.h"
#include "links/program.h"
#include "platform/file_system.h"
#include "engine/jet_build/sample_databases.h"
#include "base/unicode.h"

namespace {

using namespace povezava::engine;

std::string frontEnd(std::uint64_t dataBytes) {
  const char* env = std::getenv("POVEZAVA_BENCH_DATA");
  const std::filesystem::path dir =
      std::filesystem::path(env != nullptr ? env : "bench-data") / std::to_string(dataBytes);
  const std::filesystem::path file = dir / "TQ.mdb";
  if (!std::filesystem::exists(file)) {
    std::filesystem::create_directories(dir);
    jet::FrontEndOptions options;
    options.extraQueries = 2000;
    options.localDataBytes = dataBytes;
    if (Status s = jet::buildDatabase(file.string(), jet::frontEndSpec(options)); !s.ok()) {
      return {};
    }
  }
  return file.string();
}

void openLookupConnect(benchmark::State& state) {
  const std::string path = frontEnd(static_cast<std::uint64_t>(state.range(0)));
  if (path.empty()) {
    state.SkipWithError("cannot build the front-end");
    return;
  }
  const std::u16string name = fromUtf8(path);
  povezava::links::Program program(posixFileSystem());
  for (auto _ : state) {
    auto db = program.engine().openDatabase(name);
    if (!db) {
      state.SkipWithError(db.status().toString().c_str());
      return;
    }
    std::size_t total = 0;
    for (const char16_t* table : {u"PARTNER", u"KONTI", u"NALOGI"}) {
      auto tables = (*db)->tableDefs();  // fetched anew for each lookup, as inspection does
      auto def = (*tables)->item(table);
      total += (*(*def)->connect()).size();
    }
    benchmark::DoNotOptimize(total);
    (void)(*db)->close();
  }
}

BENCHMARK(openLookupConnect)->Arg(2'000'000)->Arg(200'000'000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
