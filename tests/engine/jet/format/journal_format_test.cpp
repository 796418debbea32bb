#include "engine/jet/format/journal_format.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace povezava::engine::jet {
namespace {


// The journal's checksum is FNV-1a (64 bits): journals left by an earlier
// build must still check out.
TEST(JournalChecksum, IsFnv1aOverEveryLength) {
  const auto of = [](std::string_view text) { return journalChecksum(std::as_bytes(std::span(text))); };
  EXPECT_EQ(of(""), 0xcbf29ce484222325ULL);
  EXPECT_EQ(of("a"), 0xaf63dc4c8601ec8cULL);
  EXPECT_EQ(of("foobar"), 0x85944171f73967e8ULL);
  std::vector<std::byte> bytes;
  for (std::size_t length = 0; length <= 4100; length += length < 20 ? 1 : 511) {
    bytes.resize(length);
    for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::byte>((i * 131 + 7) & 0xFF);
    std::uint64_t expected = 0xcbf29ce484222325ULL;
    for (std::byte b : bytes) expected = (expected ^ std::to_integer<std::uint64_t>(b)) * 0x100000001b3ULL;
    EXPECT_EQ(journalChecksum(bytes), expected) << length << " bytes";
  }
}

}  // namespace
}  // namespace povezava::engine::jet
