#include "paths/link_location.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "base/native_text.h"
#include "base/unicode.h"
#include "paths/dots.h"

namespace povezava::engine {
namespace {

// `relative` made absolute in `folder`, with "." and ".." taken out (by the
// text: the folder need not exist; ".." stops at the root), in the form of
// `folder`: "/" between names under a folder of this system's form
// ("/home/x"), "\" under a drive or share ("S:\APL", "\\SERVER\share"), as
// Windows writes it.
std::u16string absoluteIn(std::u16string_view folder, std::u16string_view relative) {
  std::u16string root;
  char16_t separator = u'/';
  if (pathForm(folder) == PathForm::windows) {
    root = windowsRoot(folder);
    folder.remove_prefix(std::min(root.size(), folder.size()));
    separator = u'\\';
  }
  std::u16string joined(folder);
  joined += u'/';
  joined += relative;
  const std::vector<std::u16string> parts =
      *foldDots(std::u16string_view(joined), AboveStart::stays);
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
  return error ? u"/" : fromUtf8(utf8Of(current));
}

LinkPlace LinkPlace::here(const PathMap& map) { return LinkPlace{&map, engine::currentFolder()}; }

std::u16string linkLocation(std::u16string_view location, const LinkPlace& place) {
  std::u16string local;
  switch (pathForm(location)) {
    case PathForm::windows: return std::u16string(location);
    case PathForm::relative:
      if (location.empty()) return {};
      local = absoluteIn(place.currentFolder, location);
      break;
    case PathForm::absolute:
      // "." and ".." taken out before the map is asked: "/srv/share/../x"
      // does not lie in /srv/share.
      local = hasDots(location) ? absoluteIn({}, location) : std::u16string(location);
      break;
  }
  if (place.map != nullptr) {
    if (auto windows = place.map->toWindows(local)) return std::move(*windows);
  }
  return local;
}

}  // namespace povezava::engine
