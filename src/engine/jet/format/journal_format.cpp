#include "engine/jet/format/journal_format.h"

#include <array>
#include <filesystem>

#include "engine/jet/format/layout.h"
#include "base/native_text.h"

namespace povezava::engine::jet {
namespace {
constexpr std::string_view kJournalSuffix = ".povezava-journal";
}  // namespace

std::uint64_t journalChecksum(std::span<const std::byte> bytes, std::uint64_t hash) {
  const auto step = [&hash](std::byte b) { hash = (hash ^ std::to_integer<std::uint64_t>(b)) * 0x100000001b3ULL; };
  // Eight bytes a round: a journal hashes every page it holds twice (the
  // sectors of the new image, the whole journal), and the loop's own counting
  // would otherwise cost as much as the hashing.
  std::size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    step(bytes[i]);
    step(bytes[i + 1]);
    step(bytes[i + 2]);
    step(bytes[i + 3]);
    step(bytes[i + 4]);
    step(bytes[i + 5]);
    step(bytes[i + 6]);
    step(bytes[i + 7]);
  }
  for (; i < bytes.size(); ++i) step(bytes[i]);
  return hash;
}

namespace journal_layout {

std::uint64_t bodyChecksum3(std::span<const std::byte> body) {
  static constexpr std::array<std::byte, 8> kZero{};
  std::uint64_t hash = journalChecksum(body.first(kOffsetState));
  hash = journalChecksum(kZero, hash);
  return journalChecksum(body.subspan(kOffsetState + 8), hash);
}

}  // namespace journal_layout

std::string journalPath(const std::string& databasePath) { return databasePath + std::string(kJournalSuffix); }

bool isJournalPath(std::string_view path) {
  return path.size() > kJournalSuffix.size() && path.ends_with(kJournalSuffix);
}

std::string folderOf(const std::string& path) {
  return utf8Of(pathFromUtf8(path).parent_path());
}

std::uint32_t databasePageSize(File& database) {
  std::vector<std::byte> version(1);
  if (!database.readAt(kOffsetVersion, version).ok()) return 0;
  const Layout* layout = layoutForVersion(std::to_integer<std::uint8_t>(version[0]));
  return layout != nullptr ? layout->pageSize : 0;
}

}  // namespace povezava::engine::jet
