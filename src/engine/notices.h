// What the engine found that its user should know although nothing failed:
// an interrupted relink that is pending or was undone, a journal that did
// not belong to its database and was moved aside.
//
// The engine adds them as it works; the command line prints them to stderr
// and the window shows them, each after the operation that found them.
#pragma once

#include <string>
#include <vector>

namespace povezava::engine {

// Adds a notice (a whole sentence naming the file).
void notice(std::string text);

// The notices added since the last call, oldest first.
std::vector<std::string> takeNotices();

}  // namespace povezava::engine
