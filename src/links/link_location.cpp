#include "links/link_location.h"

#include "base/unicode.h"
#include "engine/link_path.h"

namespace povezava::links {

std::u16string linkString(std::u16string_view location, std::u16string_view fileName,
                          const LinkPlace& place) {
  std::u16string path = linkLocation(location, place);
  path += fileName;
  return engine::jetLink(path);
}

std::optional<std::string> relativeLinkNotice(std::u16string_view link, const LinkPlace& place) {
  const auto path = engine::linkPath(link);
  if (!path || path->empty() || engine::pathForm(*path) != engine::PathForm::relative) return std::nullopt;
  return "the back-end path '" + engine::toUtf8(*path) + "' is relative: it is stored as given and "
         "resolved against the current folder, " + engine::toUtf8(place.currentFolder) +
         ", so the link works only from there";
}

}  // namespace povezava::links
