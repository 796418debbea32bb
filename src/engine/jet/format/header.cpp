#include "engine/jet/format/header.h"

#include <cmath>
#include <string>
#include <vector>

#include "base/errors.h"
#include "engine/jet/format/byte_order.h"
#include "engine/jet/format/page_view.h"
#include "engine/jet/format/rc4.h"

namespace povezava::engine::jet {
namespace {

bool engineNameIs(PageView header, std::string_view name) {
  const auto field = header.sub(kOffsetEngineName, kEngineNameLength);
  if (!field) return false;
  // The name and its terminating NUL; bytes after it are not checked.
  for (std::size_t i = 0; i <= name.size() && i < kEngineNameLength; ++i) {
    const std::uint8_t expected = i < name.size() ? static_cast<std::uint8_t>(name[i]) : 0;
    if (field->u8(i) != expected) return false;
  }
  return true;
}

// Jet 3: any byte of the password field set. Jet 4: the field is masked with
// the integral part of the creation date, repeated; an empty password leaves
// exactly that mask.
bool hasPassword(PageView unmasked, const Layout& layout) {
  const auto field = unmasked.sub(kOffsetPassword, layout.passwordLength);
  if (!field) return false;
  std::array<std::byte, 4> mask{};
  if (layout.utf16Text) {
    const double date = unmasked.f64(kOffsetCreationDate).value_or(0.0);
    // Out of range or not a number: no integral mask (a cast would be undefined).
    if (std::isfinite(date) && date > -2147483648.0 && date < 2147483648.0) {
      const auto days = static_cast<std::uint32_t>(static_cast<std::int32_t>(std::trunc(date)));
      putU32(mask, 0, days);
    }
  }
  for (std::size_t i = 0; i < field->size(); ++i) {
    if (field->u8(i).value_or(0) != std::to_integer<std::uint8_t>(mask[i % 4])) return true;
  }
  return false;
}

}  // namespace

Result<HeaderInfo> parseHeader(std::span<const std::byte> probe, std::uint64_t fileSize,
                               std::string_view path) {
  if (fileSize == 0) return errors::unrecognizedFormat(path, "the file is empty");
  const PageView raw(probe);
  for (std::size_t i = 0; i < kHeaderMagic.size(); ++i) {
    if (raw.u8(i) != kHeaderMagic[i]) {
      return errors::unrecognizedFormat(path, "not a Jet or ACE database");
    }
  }
  if (engineNameIs(raw, kEngineNameMsisam)) {
    return errors::unrecognizedFormat(path, "a Microsoft Money (MSISAM) file, not an Access database");
  }
  const bool jetName = engineNameIs(raw, kEngineNameJet);
  const bool aceName = engineNameIs(raw, kEngineNameAce);
  if (!jetName && !aceName) return errors::unrecognizedFormat(path, "not a Jet or ACE database");
  const auto versionByte = raw.u8(kOffsetVersion);
  const Layout* layout = versionByte ? layoutForVersion(*versionByte) : nullptr;
  if (layout == nullptr) {
    return errors::unrecognizedFormat(
        path, versionByte ? "unknown version " + std::to_string(*versionByte) : "too short");
  }
  if (fileSize < std::uint64_t{kMinimumPageCount} * layout->pageSize ||
      probe.size() < kHeaderProbeLength) {
    return errors::unrecognizedFormat(path, "the file is truncated: " + std::to_string(fileSize) +
                                                " bytes is less than three pages");
  }

  std::vector<std::byte> header(probe.begin(), probe.begin() + static_cast<std::ptrdiff_t>(
                                                                   kHeaderProbeLength));
  applyHeaderMask(std::span(header).subspan(kOffsetMaskedBlock, layout->maskedBlockLength));
  const PageView unmasked(header);

  HeaderInfo info;
  info.layout = layout;
  info.codePage = unmasked.u16(kOffsetCodePage).value_or(0);
  info.databaseKey = unmasked.u32(kOffsetDatabaseKey).value_or(0);

  // ACE files with a key are encrypted with the user's Office password: unreadable.
  if (isAce(layout->version) && info.databaseKey != 0) return errors::passwordProtected(path);
  if (isAce(layout->version) && unmasked.u16(kOffsetAceEncryptionInfo).value_or(0) != 0) {
    return errors::passwordProtected(path);
  }
  if (hasPassword(unmasked, *layout)) return errors::passwordProtected(path);
  return info;
}

}  // namespace povezava::engine::jet
