#include "cli/recover_command.h"

#include <ostream>

#include "cli/batch.h"
#include "base/io.h"
#include "engine/recovery.h"
#include "base/unicode.h"

namespace povezava::cli {
namespace {

using engine::Recovery;

std::string_view outcomeText(Recovery r) {
  switch (r) {
    case Recovery::none: return "nothing to recover";
    case Recovery::discarded: return "unfinished journal removed";
    case Recovery::replayed: return "undone";
    case Recovery::finished: return "finished relink's journal removed";
    case Recovery::setAside: return "journal moved aside";
  }
  return "nothing to recover";
}

}  // namespace

int runRecover(std::span<const std::string> args, Console& console) {
  for (const std::string& arg : args) {
    if (arg.size() > 1 && arg.front() == '-') {
      console.err << "povezava-cli recover: unknown option '" << arg << "'\nusage: povezava-cli recover FILE...\n";
      return 2;
    }
  }
  if (args.empty()) {
    console.err << "usage: povezava-cli recover FILE...\n";
    return 2;
  }
  const engine::EngineSetup setup = console.program->setup();
  const std::size_t failed = forEachFile(args, console, [&](const std::string& file) {
    auto recovered = engine::recoverInterruptedRelink(setup, engine::fromUtf8(file));
    console.out << oneField(file) << '\t'
                << (recovered ? std::string(outcomeText(*recovered)) : recovered.status().toString()) << '\n';
    // A journal moved aside is for a person to look at.
    return recovered.ok() && *recovered != Recovery::setAside;
  });
  return failed == 0 ? 0 : 1;
}

}  // namespace povezava::cli
