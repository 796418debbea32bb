#include "cli/batch.h"

#include <cstdint>
#include <cstring>
#include <ostream>

#include "engine/notices.h"
#include "engine/unicode.h"

namespace povezava::cli {
namespace {

constexpr char kClearLine[] = "\r\033[K";

}  // namespace

Progress::Progress(Console& console, std::size_t files)
    : console_(console), files_(files), shown_(console.errIsTerminal && files > kProgressThreshold) {}

void Progress::show(std::size_t done, std::size_t failed) {
  if (!shown_) return;
  console_.err << kClearLine << "povezava-cli: " << done << '/' << files_ << " files";
  if (failed > 0) console_.err << ", " << failed << " failed";
  console_.err.flush();
}

void Progress::clear() {
  if (shown_) console_.err << kClearLine << std::flush;
}

std::size_t forEachFile(std::span<const std::string> files, Console& console,
                        const std::function<bool(const std::string& file)>& each) {
  Progress progress(console, files.size());
  std::size_t failed = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    progress.show(i, failed);
    const bool ok = each(files[i]);
    if (!ok) ++failed;
    progress.clear();
    printNotices(console.err);
    console.out.flush();
  }
  return failed;
}

void printNotices(std::ostream& err) {
  for (const std::string& text : engine::takeNotices()) err << "povezava-cli: " << oneField(text) << '\n';
}

namespace {

// Whether any of the 8 bytes of `bytes` is a control character (below 0x20,
// or 0x7F): the classic "has a byte less than n" and "has a zero byte" tests.
bool hasControlByte(std::uint64_t bytes) {
  constexpr std::uint64_t kOnes = 0x0101'0101'0101'0101ULL;
  constexpr std::uint64_t kHigh = 0x8080'8080'8080'8080ULL;
  const std::uint64_t del = bytes ^ (kOnes * 0x7F);
  return (((bytes - kOnes * 0x20) & ~bytes) | ((del - kOnes) & ~del)) & kHigh;
}

}  // namespace

void appendField(std::string& out, std::u16string_view text) {
  std::size_t i = out.size();
  engine::appendUtf8(out, text);
  // Nearly every field has no control character: eight bytes at a time.
  for (; i + 8 <= out.size(); i += 8) {
    std::uint64_t bytes;
    std::memcpy(&bytes, out.data() + i, sizeof bytes);
    if (hasControlByte(bytes)) break;
  }
  for (; i < out.size(); ++i) {
    if (static_cast<unsigned char>(out[i]) < 0x20 || out[i] == '\x7f') out[i] = '?';
  }
}

std::string oneField(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == '\x7f') c = '?';
  }
  return text;
}

}  // namespace povezava::cli
