// The database header (page 0): signature, version, the masked block, the
// database key and the password checks.
//
// Layout: see "Database header" in layout.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "engine/jet/format/layout.h"
#include "base/status.h"

namespace povezava::engine::jet {

struct HeaderInfo {
  const Layout* layout = nullptr;  // points at one of the constexpr layouts
  std::uint16_t codePage = 0;      // text of Jet 3 files
  std::uint32_t databaseKey = 0;   // != 0: every page after page 0 is RC4-encoded
};

// Reads the header from the first bytes of the file (`probe`, at most one page;
// at least kHeaderProbeLength bytes unless the file is shorter) and checks the
// file's size against the page size.
// Returns the header facts, or: unrecognizedFormat for an empty or short file,
// a foreign signature, an MSISAM file or an unknown version; passwordProtected
// for a Jet database password or ACE Office encryption.
[[nodiscard]] Result<HeaderInfo> parseHeader(std::span<const std::byte> probe, std::uint64_t fileSize,
                                             std::string_view path);

}  // namespace povezava::engine::jet
