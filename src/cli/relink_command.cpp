#include "cli/relink_command.h"

#include <ostream>
#include <vector>

#include "engine/engine.h"
#include "engine/unicode.h"

namespace povezava::cli {
namespace {

constexpr char kUsage[] = "usage: povezava-cli relink FILE TABLE=LINK [TABLE=LINK ...]\n";

}  // namespace

int runRelink(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  using namespace povezava::engine;
  if (args.size() < 2) {
    err << kUsage;
    return 2;
  }
  struct Pair {
    std::string table;
    std::string link;
  };
  std::vector<Pair> pairs;
  for (const std::string& arg : args.subspan(1)) {
    const std::size_t eq = arg.find('=');
    if (eq == std::string::npos || eq == 0) {
      err << "povezava-cli relink: '" << arg << "' is not TABLE=LINK\n" << kUsage;
      return 2;
    }
    pairs.push_back({arg.substr(0, eq), arg.substr(eq + 1)});
  }

  auto db = dbEngine().openDatabase(fromUtf8(args[0]));
  if (!db) {
    err << db.status().toString() << '\n';
    return 1;
  }
  bool allRelinked = true;
  for (const Pair& pair : pairs) {
    // Each step absorbs its failure and the next one runs, as the program's
    // relinking does; the line reports the first failure.
    Status failure;
    auto tables = (*db)->tableDefs();
    if (!tables) {
      failure = tables.status();
    } else if (auto table = (*tables)->item(fromUtf8(pair.table)); !table) {
      failure = table.status();
    } else {
      Status written = (*table)->setConnect(fromUtf8(pair.link));
      Status refreshed = (*table)->refreshLink();
      failure = !written.ok() ? written : refreshed;
    }
    if (failure.ok()) {
      out << pair.table << ": relinked\n";
    } else {
      allRelinked = false;
      out << pair.table << ": " << failure.toString() << '\n';
    }
    out.flush();
  }
  if (Status s = (*db)->close(); !s.ok()) err << s.toString() << '\n';
  return allRelinked ? 0 : 1;
}

}  // namespace povezava::cli
