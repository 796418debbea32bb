// Open a database from arbitrary bytes, read its catalogue, and read the name,
// kind and Connect of every table; look up the three linked tables by name.
// Any outcome but a crash, a hang or a sanitizer report is fine: damaged input
// must come back as a Status.
//
// Run, seeded with the shared fixtures (copies; the corpus grows in place):
//   mkdir -p corpus && cp ../shared/fixtures/*/*.{mdb,MDB,accdb} ../shared/fixtures/*/*/*.* corpus/
//   build-fuzz/fuzz/povezava_fuzz_open corpus -max_len=3200000 -rss_limit_mb=2048 -timeout=10
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/jet/jet_database.h"
#include "engine/jet_build/memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace povezava::engine;
  std::vector<std::byte> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::byte>(data[i]);
  auto db = jet::JetDatabase::open(std::make_unique<MemoryFile>("fuzz.mdb", std::move(bytes)),
                                   u"fuzz.mdb");
  if (!db) return 0;
  auto tables = (*db)->tableDefs();
  if (!tables) return 0;
  std::size_t total = 0;
  for (std::size_t i = 0; i < (*tables)->count(); ++i) {
    const auto table = (*tables)->at(i);
    auto link = table->connect();
    total += table->name().size() + (link ? link->size() : 0);
    total += table->isSystem() ? 1 : 0;
  }
  for (const char16_t* name : {u"Partner", u"KONTI", u"nalogi"}) {
    auto table = (*tables)->item(name);
    if (table) total += (*table)->name().size();
  }
  (void)(*db)->close();
  return total == static_cast<std::size_t>(-1) ? 1 : 0;
}
