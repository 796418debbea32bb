// Working through many files, one at a time.
#pragma once

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <span>
#include <string>

#include "cli/console.h"

namespace povezava::cli {

// Progress is shown for more files than this.
inline constexpr std::size_t kProgressThreshold = 5;

// The progress line: shown when console.err is a terminal and there are more
// than kProgressThreshold files ("povezava-cli: 12/500 files, 1 failed").
class Progress {
 public:
  Progress(Console& console, std::size_t files);
  // Shows that `done` files are finished, `failed` of them with a failure.
  void show(std::size_t done, std::size_t failed);
  // Clears the line, before results are printed and at the end.
  void clear();

 private:
  Console& console_;
  std::size_t files_;
  bool shown_;
};

// Calls `each` for every file, in order. `each` opens, works on and closes
// its file, writes the file's results to console.out and returns false when
// anything asked of that file failed; a failure never stops the files after
// it. Each file's results are flushed before the next file starts, so a
// script sees them as they come and memory does not grow with the number of
// files.
//
// When console.err is a terminal and there are more than kProgressThreshold
// files, a progress line ("povezava-cli: 12/500 files, 1 failed") is kept on
// console.err, cleared before each file's results and at the end.
//
// Returns the number of files for which `each` returned false.
std::size_t forEachFile(std::span<const std::string> files, Console& console,
                        const std::function<bool(const std::string& file)>& each);

// Prints what the engine noticed since the last call (an interrupted relink
// pending or undone, a journal moved aside), one line each.
void printNotices(engine::NoticeList& notices, std::ostream& err);

// Replaces control characters (tab, newline, ...) by '?', so that a name or
// path stays one field of one line in tab-separated output.
std::string oneField(std::string text);
// Appends `text` (UTF-16) to `out` as UTF-8, as oneField() would give it.
void appendField(std::string& out, std::u16string_view text);

}  // namespace povezava::cli
