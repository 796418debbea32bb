#include "cli/batch.h"

#include <ostream>

namespace povezava::cli {
namespace {

constexpr char kClearLine[] = "\r\033[K";

}  // namespace

std::size_t forEachFile(std::span<const std::string> files, Console& console,
                        const std::function<bool(const std::string& file)>& each) {
  const bool progress = console.errIsTerminal && files.size() > kProgressThreshold;
  std::size_t failed = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (progress) {
      console.err << kClearLine << "povezava-cli: " << i << '/' << files.size() << " files";
      if (failed > 0) console.err << ", " << failed << " failed";
      console.err.flush();
    }
    const bool ok = each(files[i]);
    if (!ok) ++failed;
    if (progress) console.err << kClearLine << std::flush;
    console.out.flush();
  }
  return failed;
}

std::string oneField(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == '\x7f') c = '?';
  }
  return text;
}

}  // namespace povezava::cli
