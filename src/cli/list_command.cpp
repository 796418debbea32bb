#include "cli/list_command.h"

#include <ostream>

#include "cli/batch.h"

#include "engine/engine.h"
#include "base/unicode.h"

namespace povezava::cli {

int runList(std::span<const std::string> args, Console& console) {
  std::ostream& out = console.out;
  std::ostream& err = console.err;
  bool all = false;
  const std::string* file = nullptr;
  for (const std::string& arg : args) {
    if (arg == "--all") {
      all = true;
    } else if (file == nullptr && (arg.empty() || arg.front() != '-' || arg == "-")) {
      file = &arg;
    } else {
      err << "usage: povezava-cli list FILE [--all]\n";
      return 2;
    }
  }
  if (file == nullptr) {
    err << "usage: povezava-cli list FILE [--all]\n";
    return 2;
  }
  using namespace povezava::engine;
  auto db = console.program->engine().openDatabase(fromUtf8(*file));
  printNotices(console.program->notices(), err);
  if (!db) {
    err << db.status().toString() << '\n';
    return 1;
  }
  auto tables = (*db)->tableDefs();
  if (!tables) {
    err << tables.status().toString() << '\n';
    return 1;
  }
  std::string text;
  for (std::size_t i = 0; i < (*tables)->count(); ++i) {
    const auto table = (*tables)->at(i);
    if (!all && table->isSystem()) continue;
    auto link = table->connect();
    if (!link) {
      err << link.status().toString() << '\n';
      return 1;
    }
    // Names and links are the file's text: a control character in one must
    // not start a line of its own.
    appendField(text, table->name());
    text += '\t';
    text += kindName(table->kind());
    text += '\t';
    appendField(text, *link);
    text += '\n';
  }
  out << text;
  out.flush();
  if (Status s = (*db)->close(); !s.ok()) {
    err << s.toString() << '\n';
    return 1;
  }
  return out ? 0 : 1;
}

}  // namespace povezava::cli
