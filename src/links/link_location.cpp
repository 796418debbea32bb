#include "links/link_location.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "engine/link_path.h"
#include "base/native_text.h"
#include "base/unicode.h"
#include "paths/dots.h"

namespace povezava::links {
namespace {

// `relative` made absolute in `folder`, with "." and ".." taken out (by the
// text: the folder need not exist; ".." stops at the root), in the form of
// `folder`: "/" between names under a folder of this system's form
// ("/home/x"), "\" under a drive or share ("S:\APL", "\\SERVER\share"), as
// Windows writes it.
std::u16string absoluteIn(std::u16string_view folder, std::u16string_view relative) {
  std::u16string root;
  char16_t separator = u'/';
  if (engine::pathForm(folder) == engine::PathForm::windows) {
    root = engine::windowsRoot(folder);
    folder.remove_prefix(std::min(root.size(), folder.size()));
    separator = u'\\';
  }
  std::u16string joined(folder);
  joined += u'/';
  joined += relative;
  const std::vector<std::u16string> parts =
      *engine::foldDots(std::u16string_view(joined), engine::AboveStart::stays);
  std::u16string out = root;
  for (const std::u16string& part : parts) {
    out += separator;
    out += part;
  }
  return parts.empty() ? out + separator : out;
}

}  // namespace

std::u16string currentFolder() {
  std::error_code error;
  const std::filesystem::path current = std::filesystem::current_path(error);
  return error ? u"/" : engine::fromUtf8(engine::utf8Of(current));
}

LinkPlace LinkPlace::here(const engine::PathMap& map) { return LinkPlace{&map, links::currentFolder()}; }

std::u16string linkLocation(std::u16string_view location, const LinkPlace& place) {
  std::u16string local;
  switch (engine::pathForm(location)) {
    case engine::PathForm::windows: return std::u16string(location);
    case engine::PathForm::relative:
      if (location.empty()) return {};
      local = absoluteIn(place.currentFolder, location);
      break;
    case engine::PathForm::absolute:
      // "." and ".." taken out before the map is asked: "/srv/share/../x"
      // does not lie in /srv/share.
      local = engine::hasDots(location) ? absoluteIn({}, location) : std::u16string(location);
      break;
  }
  if (place.map != nullptr) {
    if (auto windows = place.map->toWindows(local)) return std::move(*windows);
  }
  return local;
}

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
