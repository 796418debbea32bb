// Where a command writes: its results (stdout), its messages (stderr), and
// whether the messages go to a terminal, the only place progress is shown.
#pragma once

#include <iosfwd>

#include "links/program.h"

namespace povezava::cli {

struct Console {
  std::ostream& out;
  std::ostream& err;
  bool errIsTerminal = false;
  // The program the command works with: its engine, path map and notices.
  links::Program* program = nullptr;
};

}  // namespace povezava::cli
