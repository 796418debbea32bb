// Where a command writes: its results (stdout), its messages (stderr), and
// whether the messages go to a terminal, the only place progress is shown.
#pragma once

#include <iosfwd>

namespace povezava::cli {

struct Console {
  std::ostream& out;
  std::ostream& err;
  bool errIsTerminal = false;
};

}  // namespace povezava::cli
