#include "cli/batch.h"

#include <cstdint>
#include <cstring>
#include <ostream>

#include "engine/notices.h"
#include "base/unicode.h"

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
    printNotices(console.program->notices(), console.err);
    console.out.flush();
  }
  return failed;
}

void printNotices(engine::NoticeList& notices, std::ostream& err) {
  for (const std::string& text : notices.takeTexts()) err << "povezava-cli: " << oneField(text) << '\n';
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

// Replaces every control character of `text` from `from` on with '?'.
// Nearly every field has none: eight bytes at a time until one turns up.
void replaceControls(std::string& text, std::size_t from) {
  std::size_t i = from;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t bytes;
    std::memcpy(&bytes, text.data() + i, sizeof bytes);
    if (hasControlByte(bytes)) break;
  }
  for (; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) < 0x20 || text[i] == '\x7f') text[i] = '?';
  }
}

}  // namespace

void appendField(std::string& out, std::u16string_view text) {
  const std::size_t start = out.size();
  engine::appendUtf8(out, text);
  replaceControls(out, start);
}

std::string oneField(std::string text) {
  replaceControls(text, 0);
  return text;
}

}  // namespace povezava::cli
