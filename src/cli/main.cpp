// povezava-cli: the engine and the link rules from the command line.
// Each command lives in its own file; this table dispatches to them.
#include <iostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/list_command.h"
#include "cli/make_demo_command.h"
#include "cli/relink_command.h"

namespace {

struct Command {
  std::string_view name;
  std::string_view usage;
  int (*run)(std::span<const std::string> args, std::ostream& out, std::ostream& err);
};

constexpr Command kCommands[] = {
    {"list", "list FILE [--all]   the tables of a database: name, kind, Connect",
     &povezava::cli::runList},
    {"relink", "relink FILE TABLE=LINK [TABLE=LINK ...]   re-point linked tables",
     &povezava::cli::runRelink},
    {"make-demo", "make-demo FOLDER [--jet3] [--queries N] [--data-bytes N]\n"
                  "                      a demo front-end TQ.mdb and its back-ends in FOLDER/data",
     &povezava::cli::runMakeDemo},
};

int usage(std::ostream& err) {
  err << "usage: povezava-cli COMMAND [ARGS]\ncommands:\n";
  for (const Command& c : kCommands) err << "  " << c.usage << '\n';
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  if (argc < 2) return usage(std::cerr);
  const std::string_view name = argv[1];
  if (name == "--version") {
    std::cout << "povezava-cli " << POVEZAVA_VERSION << '\n';
    return 0;
  }
  const std::vector<std::string> args(argv + 2, argv + argc);
  for (const Command& c : kCommands) {
    if (c.name == name) return c.run(args, std::cout, std::cerr);
  }
  std::cerr << "povezava-cli: unknown command '" << name << "'\n";
  return usage(std::cerr);
}
